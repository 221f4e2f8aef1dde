// Logging of kavsnmpd: one line per message on stderr, with a verbose level for
// the per-request trace.
#pragma once

namespace kavhost {

void SetVerbose(bool verbose);
bool IsVerbose();

// printf-style; a line feed is added.
void LogInfo(const char* format, ...) __attribute__((format(printf, 1, 2)));
void LogError(const char* format, ...) __attribute__((format(printf, 1, 2)));
void LogDebug(const char* format, ...) __attribute__((format(printf, 1, 2)));

}  // namespace kavhost

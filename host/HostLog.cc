// Logging of kavsnmpd to stderr.
#include "host/HostLog.h"

#include <cstdarg>
#include <cstdio>

namespace kavhost {
namespace {

bool g_verbose = false;

void Emit(const char* tag, const char* format, va_list args) {
  char line[2048];
  vsnprintf(line, sizeof line, format, args);
  fprintf(stderr, "kavsnmpd: %s%s\n", tag, line);
}

}  // namespace

void SetVerbose(bool verbose) { g_verbose = verbose; }
bool IsVerbose() { return g_verbose; }

void LogInfo(const char* format, ...) {
  va_list args;
  va_start(args, format);
  Emit("", format, args);
  va_end(args);
}

void LogError(const char* format, ...) {
  va_list args;
  va_start(args, format);
  Emit("error: ", format, args);
  va_end(args);
}

void LogDebug(const char* format, ...) {
  if (!g_verbose) return;
  va_list args;
  va_start(args, format);
  Emit("", format, args);
  va_end(args);
}

}  // namespace kavhost

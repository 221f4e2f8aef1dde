// The agent's trace sink; see CDebug.h.
#include "win32/KavSnmpAgent/CDebug.h"

#include <cstdarg>
#include <cstdlib>

CDebug::CDebug() {
  const char* path = std::getenv("KAV_AGENT_TRACE");
  if (path != nullptr && path[0] != '\0') m_pFile = std::fopen(path, "a");
}

CDebug::~CDebug() {
  if (m_pFile != nullptr) std::fclose(m_pFile);
}

void CDebug::Trace(const char* format, ...) {
  if (m_pFile == nullptr) return;
  // Format first, so that a line from one thread is never split by the other.
  char line[2048];
  va_list args;
  va_start(args, format);
  int n = std::vsnprintf(line, sizeof line, format, args);
  va_end(args);
  if (n < 0) return;
  size_t length = static_cast<size_t>(n) < sizeof line ? static_cast<size_t>(n) : sizeof line - 1;
  std::lock_guard<std::mutex> hold(m_Lock);
  std::fwrite(line, 1, length, m_pFile);
  std::fflush(m_pFile);
}

// CDebug: the agent's trace sink. Every step of the agent emits a printf-style
// line ending in "\r\n". By default the lines go nowhere; when the environment
// variable KAV_AGENT_TRACE names a file at load time, they are appended to it
// (one whole line per write, from either thread), so a log can be captured.
#pragma once

#include <cstdio>
#include <mutex>

class CDebug {
 public:
  CDebug();
  virtual ~CDebug();
  CDebug(const CDebug&) = delete;
  CDebug& operator=(const CDebug&) = delete;

  void Trace(const char* format, ...) __attribute__((format(printf, 2, 3)));

 private:
  std::mutex m_Lock;
  FILE* m_pFile = nullptr;
};

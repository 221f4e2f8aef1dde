// kavwinmsg: sends (or posts) one window message to a running window by its
// title, as another program would on Windows. For the tray tool:
//   kavwinmsg "Kavor SNMP Configuration Tool V1.0" 32869     hides its window
// Prints the window procedure's result for a sent message.
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "platform/handles.h"
#include "platform/window_messages.h"

namespace {

void Usage() {
  std::fprintf(stderr,
               "usage: kavwinmsg [--post] [--timeout MS] WINDOW-TITLE MESSAGE [WPARAM [LPARAM]]\n"
               "  sends MESSAGE (decimal or 0x hex) to the window and prints its result;\n"
               "  --post queues it without waiting. Default time-out 2000 ms.\n");
}

bool ParseNumber(const char* text, long long* value) {
  if (text == nullptr || *text == '\0') return false;
  errno = 0;
  char* end = nullptr;
  long long parsed = std::strtoll(text, &end, 0);
  if (errno != 0 || end == text || *end != '\0') return false;
  *value = parsed;
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  bool post = false;
  long long timeout = 2000;
  int arg = 1;
  for (; arg < argc && std::strncmp(argv[arg], "--", 2) == 0; ++arg) {
    if (std::strcmp(argv[arg], "--post") == 0) {
      post = true;
    } else if (std::strcmp(argv[arg], "--timeout") == 0 && arg + 1 < argc &&
               ParseNumber(argv[arg + 1], &timeout) && timeout >= 0 && timeout <= 600000) {
      ++arg;
    } else {
      Usage();
      return 2;
    }
  }
  int left = argc - arg;
  long long message = 0, wparam = 0, lparam = 0;
  if (left < 2 || left > 4 || !ParseNumber(argv[arg + 1], &message) || message < 0 ||
      message > 0xFFFFFFFFll || (left > 2 && !ParseNumber(argv[arg + 2], &wparam)) ||
      (left > 3 && !ParseNumber(argv[arg + 3], &lparam))) {
    Usage();
    return 2;
  }
  const char* title = argv[arg];
  if (post) {
    if (!KavPostWindowMessageA(title, static_cast<UINT>(message), static_cast<WPARAM>(wparam),
                               static_cast<LPARAM>(lparam))) {
      std::fprintf(stderr, "kavwinmsg: no window \"%s\" (error %u)\n", title, GetLastError());
      return 1;
    }
    return 0;
  }
  LRESULT result = 0;
  if (!KavSendWindowMessageA(title, static_cast<UINT>(message), static_cast<WPARAM>(wparam),
                             static_cast<LPARAM>(lparam), static_cast<DWORD>(timeout), &result)) {
    DWORD error = GetLastError();
    std::fprintf(stderr, "kavwinmsg: %s \"%s\" (error %u)\n",
                 error == ERROR_TIMEOUT ? "no answer from window" : "no window", title, error);
    return 1;
  }
  std::printf("%lld\n", static_cast<long long>(result));
  return 0;
}

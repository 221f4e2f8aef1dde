// GetLocalTime/GetSystemTime, with a fixed clock for tests.
#include "platform/clock.h"

#include <atomic>
#include <ctime>

#include "platform/testing.h"

namespace {

std::atomic<int64_t> g_fixed_clock{-1};

void Fill(LPSYSTEMTIME out, bool local) {
  if (out == nullptr) return;
  timespec now{};
  clock_gettime(CLOCK_REALTIME, &now);
  int64_t fixed = g_fixed_clock.load();
  if (fixed >= 0) now = timespec{static_cast<time_t>(fixed), 0};
  tm parts{};
  if (local) {
    localtime_r(&now.tv_sec, &parts);
  } else {
    gmtime_r(&now.tv_sec, &parts);
  }
  out->wYear = static_cast<WORD>(parts.tm_year + 1900);
  out->wMonth = static_cast<WORD>(parts.tm_mon + 1);
  out->wDayOfWeek = static_cast<WORD>(parts.tm_wday);
  out->wDay = static_cast<WORD>(parts.tm_mday);
  out->wHour = static_cast<WORD>(parts.tm_hour);
  out->wMinute = static_cast<WORD>(parts.tm_min);
  out->wSecond = static_cast<WORD>(parts.tm_sec > 59 ? 59 : parts.tm_sec);
  out->wMilliseconds = static_cast<WORD>(now.tv_nsec / 1000000);
}

}  // namespace

extern "C" void KavTestSetClock(int64_t epoch_seconds) { g_fixed_clock = epoch_seconds; }
extern "C" void GetLocalTime(LPSYSTEMTIME time) { Fill(time, true); }
extern "C" void GetSystemTime(LPSYSTEMTIME time) { Fill(time, false); }

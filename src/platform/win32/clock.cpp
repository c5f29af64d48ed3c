// Local wall-clock time and sleeping on Windows.
#include "platform/clock.h"

#define WIN32_LEAN_AND_MEAN
#include <windows.h>
#include <mmsystem.h>

#include <atomic>

namespace platform {

LocalTimeFields CurrentLocalTime() {
  SYSTEMTIME now{};
  GetLocalTime(&now);
  LocalTimeFields result;
  result.year = now.wYear;
  result.month = now.wMonth;
  result.day = now.wDay;
  result.hour = now.wHour;
  result.minute = now.wMinute;
  result.second = now.wSecond;
  return result;
}

void SleepMilliseconds(unsigned int milliseconds) {
  // Without a finer timer a short sleep lasts a whole tick of about 16 ms.
  // The resolution is raised once and kept until the process ends.
  static std::atomic<bool> raised{false};
  if (!raised.exchange(true)) timeBeginPeriod(1);
  Sleep(milliseconds);
}

}  // namespace platform

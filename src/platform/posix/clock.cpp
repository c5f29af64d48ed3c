// Local wall-clock time and sleeping, over the C library's clocks.
#include "platform/clock.h"

#include <errno.h>
#include <time.h>

namespace platform {

LocalTimeFields CurrentLocalTime() {
  // localtime_r need not read TZ again on its own; tzset makes it do so.
  tzset();
  const time_t now = time(nullptr);
  struct tm fields {};
  LocalTimeFields result;
  if (localtime_r(&now, &fields) == nullptr) return result;
  result.year = fields.tm_year + 1900;
  result.month = fields.tm_mon + 1;
  result.day = fields.tm_mday;
  result.hour = fields.tm_hour;
  result.minute = fields.tm_min;
  result.second = fields.tm_sec > 59 ? 59 : fields.tm_sec;  // a leap second
  return result;
}

void SleepMilliseconds(unsigned int milliseconds) {
  // An absolute deadline keeps the total right however often a signal
  // interrupts the wait.
  struct timespec deadline {};
  clock_gettime(CLOCK_MONOTONIC, &deadline);
  deadline.tv_sec += milliseconds / 1000;
  deadline.tv_nsec += static_cast<long>(milliseconds % 1000) * 1000000L;
  if (deadline.tv_nsec >= 1000000000L) {
    deadline.tv_sec += 1;
    deadline.tv_nsec -= 1000000000L;
  }
  while (clock_nanosleep(CLOCK_MONOTONIC, TIMER_ABSTIME, &deadline, nullptr) == EINTR) {
  }
}

}  // namespace platform

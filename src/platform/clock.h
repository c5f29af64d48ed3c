// Local wall-clock time.
#pragma once

namespace platform {

struct LocalTimeFields {
  int year = 0;
  int month = 0;
  int day = 0;
  int hour = 0;
  int minute = 0;
  int second = 0;
};

/// The current local date and time, milliseconds dropped.
LocalTimeFields CurrentLocalTime();

/// Suspends the calling thread for the given number of milliseconds.
void SleepMilliseconds(unsigned int milliseconds);

}  // namespace platform

// Fuzz target: date values from wall-clock fields and their formatting by mask.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>

#include "fuzz_support.h"
#include "run/date_stamp.h"

namespace {

const Text kFullMask = u"%yyyy|%mm|%dd|%hh|%ii|%ss|%yy";

bool Leap(std::int64_t year) { return year % 4 == 0 && (year % 100 != 0 || year % 400 == 0); }

int DaysInMonth(std::int64_t year, std::int64_t month) {
  static const int days[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  return month == 2 && Leap(year) ? 29 : days[month - 1];
}

bool ValidFields(std::int64_t y, std::int64_t mo, std::int64_t d, std::int64_t h, std::int64_t mi,
                 std::int64_t s) {
  return y >= 1970 && y <= 9999 && mo >= 1 && mo <= 12 && d >= 1 && d <= DaysInMonth(y, mo) &&
         h >= 0 && h <= 23 && mi >= 0 && mi <= 59 && s >= 0 && s <= 59;
}

// Seconds since 1970 counted day by day, the slow and obvious way.
std::int64_t CountSeconds(int y, int mo, int d, int h, int mi, int s) {
  std::int64_t days = 0;
  for (int year = 1970; year < y; ++year) days += Leap(year) ? 366 : 365;
  for (int month = 1; month < mo; ++month) days += DaysInMonth(y, month);
  days += d - 1;
  return days * 86400 + h * 3600 + mi * 60 + s;
}

Text Expected(int y, int mo, int d, int h, int mi, int s) {
  char buffer[64];
  std::snprintf(buffer, sizeof buffer, "%04d|%02d|%02d|%02d|%02d|%02d|%02d", y, mo, d, h, mi, s,
                y % 100);
  return Text(buffer, buffer + std::char_traits<char>::length(buffer));
}

// Reads "YYYY|MM|DD|hh|ii|ss|yy" back into numbers; false when the text has
// another shape.
bool ParseFull(const Text& text, int fields[7]) {
  const std::size_t widths[] = {4, 2, 2, 2, 2, 2, 2};
  std::size_t at = 0;
  for (int k = 0; k < 7; ++k) {
    if (k > 0) {
      if (at >= text.size() || text[at] != u'|') return false;
      ++at;
    }
    int value = 0;
    for (std::size_t i = 0; i < widths[k]; ++i, ++at) {
      if (at >= text.size() || text[at] < u'0' || text[at] > u'9') return false;
      value = value * 10 + (text[at] - u'0');
    }
    fields[k] = value;
  }
  return at == text.size();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  fuzz::Parts parts(data, size);
  const int y = parts.NextInt(), mo = parts.NextInt(), d = parts.NextInt();
  const int h = parts.NextInt(), mi = parts.NextInt(), s = parts.NextInt();
  const std::int64_t anyValue = parts.NextNumber();
  const Text mask = parts.NextText();

  static const std::int64_t kLast = CountSeconds(9999, 12, 31, 23, 59, 59);

  // From fields: valid exactly for real dates in range, and then the value
  // formats back to the same fields.
  const DateValue value = DateFromFields(y, mo, d, h, mi, s);
  if (ValidFields(y, mo, d, h, mi, s)) {
    FUZZ_CHECK(value == CountSeconds(y, mo, d, h, mi, s));
    FUZZ_CHECK(FormatDateMask(kFullMask, value) == Expected(y, mo, d, h, mi, s));
  } else {
    FUZZ_CHECK(value == kInvalidDate);
  }

  // From a value: every value in range formats to fields that give it back;
  // a negative one formats as zeros.
  const Text full = FormatDateMask(kFullMask, anyValue);
  if (anyValue >= 0 && anyValue <= kLast) {
    int f[7];
    FUZZ_CHECK(ParseFull(full, f));
    FUZZ_CHECK(f[6] == f[0] % 100);
    FUZZ_CHECK(DateFromFields(f[0], f[1], f[2], f[3], f[4], f[5]) == anyValue);
  } else if (anyValue < 0) {
    FUZZ_CHECK(full == u"0000|00|00|00|00|00|00");
  }

  // Any mask: without a '%' it comes back as it is, and with a date in range
  // no token writes more units than it takes.
  const DateValue inRange =
      value != kInvalidDate ? value : (anyValue >= 0 && anyValue <= kLast ? anyValue : -1);
  const Text out = FormatDateMask(mask, inRange);
  if (mask.find(u'%') == Text::npos) FUZZ_CHECK(out == mask);
  FUZZ_CHECK(out.size() <= mask.size());
  // Values out of range are never formatted by the run; they must still not
  // go wrong inside.
  FormatDateMask(mask, anyValue);
  return 0;
}

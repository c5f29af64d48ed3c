// Date values from wall-clock fields and their formatting by mask.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <string>

#include "run/date_stamp.h"
#include "u16_display.h"

namespace {

const Text kRunMask = u"(%yyyy-%mm-%dd) %hh-%ii-%ss";

// Days from 1970-01-01 to a date of the proleptic Gregorian calendar, by the
// well-known era arithmetic: an oracle that shares nothing with the code.
std::int64_t DaysFromCivil(std::int64_t y, unsigned m, unsigned d) {
  y -= m <= 2;
  const std::int64_t era = (y >= 0 ? y : y - 399) / 400;
  const unsigned yoe = static_cast<unsigned>(y - era * 400);
  const unsigned doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
  const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  return era * 146097 + static_cast<std::int64_t>(doe) - 719468;
}

bool IsLeap(int y) { return (y % 4 == 0 && y % 100 != 0) || y % 400 == 0; }

int DaysInMonth(int y, int m) {
  static const int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  return m == 2 && IsLeap(y) ? 29 : kDays[m - 1];
}

Text Ascii(const std::string& s) { return Text(s.begin(), s.end()); }

std::string Fields(int y, int mo, int d, int h, int mi, int s) {
  char buf[64];
  std::snprintf(buf, sizeof buf, "%04d-%02d-%02d %02d:%02d:%02d", y, mo, d, h, mi, s);
  return buf;
}

struct DateCase {
  int year, month, day, hour, minute, second;
  DateValue expected;
};

TEST(DateFromFieldsTest, KnownValues) {
  const DateCase cases[] = {
      {1970, 1, 1, 0, 0, 0, 0},
      {1970, 1, 1, 0, 0, 5, 5},
      {1970, 1, 1, 23, 59, 59, 86399},
      {1970, 1, 2, 0, 0, 0, 86400},
      {1970, 12, 31, 23, 59, 59, 31535999},
      {1972, 2, 29, 0, 0, 0, 68169600},
      {2000, 1, 1, 0, 0, 0, 946684800},
      {2000, 2, 29, 0, 0, 0, 951782400},
      {2031, 4, 7, 9, 5, 3, 1933319103},
      {2032, 2, 29, 12, 0, 0, 1961668800},
      // The last second a signed 32-bit value holds, and the ones after it.
      {2038, 1, 19, 3, 14, 7, 2147483647},
      {2038, 1, 19, 3, 14, 8, 2147483648LL},
      {2100, 3, 1, 0, 0, 0, 4107542400LL},
      {2400, 2, 29, 23, 59, 59, 13574649599LL},
      {9999, 12, 31, 23, 59, 59, 253402300799LL},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(Fields(c.year, c.month, c.day, c.hour, c.minute, c.second));
    EXPECT_EQ(DateFromFields(c.year, c.month, c.day, c.hour, c.minute, c.second), c.expected);
  }
}

TEST(DateFromFieldsTest, ImpossibleOrOutOfRangeFieldsGiveMinusOne) {
  const DateCase cases[] = {
      // Outside 1970 to 9999.
      {1969, 12, 31, 23, 59, 59, kInvalidDate},
      {1900, 1, 1, 0, 0, 0, kInvalidDate},
      {0, 1, 1, 0, 0, 0, kInvalidDate},
      {10000, 1, 1, 0, 0, 0, kInvalidDate},
      {-1, 1, 1, 0, 0, 0, kInvalidDate},
      // Month and day.
      {2031, 0, 1, 0, 0, 0, kInvalidDate},
      {2031, 13, 1, 0, 0, 0, kInvalidDate},
      {2031, 1, 0, 0, 0, 0, kInvalidDate},
      {2031, 1, 32, 0, 0, 0, kInvalidDate},
      {2031, 4, 31, 0, 0, 0, kInvalidDate},
      {2031, 6, 31, 0, 0, 0, kInvalidDate},
      {2031, 9, 31, 0, 0, 0, kInvalidDate},
      {2031, 11, 31, 0, 0, 0, kInvalidDate},
      {2032, 2, 30, 0, 0, 0, kInvalidDate},
      {2032, 2, 31, 0, 0, 0, kInvalidDate},
      // 29 February only in a leap year; centuries only when divisible by 400.
      {2031, 2, 29, 0, 0, 0, kInvalidDate},
      {2100, 2, 29, 0, 0, 0, kInvalidDate},
      {2200, 2, 29, 0, 0, 0, kInvalidDate},
      {9999, 2, 29, 0, 0, 0, kInvalidDate},
      // Time of day.
      {2031, 4, 7, 24, 0, 0, kInvalidDate},
      {2031, 4, 7, 0, 60, 0, kInvalidDate},
      {2031, 4, 7, 0, 0, 60, kInvalidDate},
      {2031, 4, 7, -1, 0, 0, kInvalidDate},
      {2031, 4, 7, 0, -1, 0, kInvalidDate},
      {2031, 4, 7, 0, 0, -1, kInvalidDate},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(Fields(c.year, c.month, c.day, c.hour, c.minute, c.second));
    EXPECT_EQ(DateFromFields(c.year, c.month, c.day, c.hour, c.minute, c.second), kInvalidDate);
  }
  // The last day of each month is accepted.
  EXPECT_NE(DateFromFields(2031, 4, 30, 0, 0, 0), kInvalidDate);
  EXPECT_NE(DateFromFields(2031, 12, 31, 23, 59, 59), kInvalidDate);
  EXPECT_NE(DateFromFields(2031, 2, 28, 0, 0, 0), kInvalidDate);
}

struct MaskCase {
  Text mask;
  DateValue value;
  Text expected;
};

TEST(FormatDateMaskTest, Table) {
  const DateValue april7 = DateFromFields(2031, 4, 7, 9, 5, 3);
  const DateValue late = DateFromFields(2005, 11, 28, 23, 41, 57);
  const MaskCase cases[] = {
      {kRunMask, april7, u"(2031-04-07) 09-05-03"},
      {kRunMask, late, u"(2005-11-28) 23-41-57"},
      {kRunMask, kInvalidDate, u"(0000-00-00) 00-00-00"},
      {u"%yy/%yyyy", kInvalidDate, u"00/0000"},
      // Tokens in any letter case.
      {u"%YYYY-%Mm", april7, u"2031-04"},
      {u"%yYyY%MM%Dd%hH%II%sS", april7, u"20310407090503"},
      // The two-digit year, also below 10.
      {u"%yy", april7, u"31"},
      {u"%yy", late, u"05"},
      // The longest token is tried first; what follows is copied.
      {u"%yyy", april7, u"31y"},
      {u"%yyyyy", april7, u"2031y"},
      // No token: the per-cent sign and what follows are copied.
      {u"a%yb%xc", april7, u"a%yb%xc"},
      {u"%m-%d %h:%i:%s", april7, u"%m-%d %h:%i:%s"},
      {u"100%", april7, u"100%"},
      {u"%", april7, u"%"},
      {u"", april7, u""},
      // Two per-cent signs before a token: one stays, the token is replaced.
      {u"%%dd", april7, u"%07"},
      {u"%%%dd", april7, u"%%07"},
      // Minutes are %ii; %mm is always the month.
      {u"%hh:%ii:%ss %mm", late, u"23:41:57 11"},
      {u"\u00E9t\u00E9 %dd \u2014 %ss", april7, u"\u00E9t\u00E9 07 \u2014 03"},
      {u"%\u00FDy", april7, u"%\u00FDy"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(ShowText(c.mask) + " value " + std::to_string(c.value));
    EXPECT_TEXT_EQ(FormatDateMask(c.mask, c.value), c.expected);
  }
}

TEST(FormatDateMaskTest, DatesAfter2038KeepTheirOwnFields) {
  EXPECT_TEXT_EQ(FormatDateMask(kRunMask, DateFromFields(2038, 1, 19, 3, 14, 8)),
                 u"(2038-01-19) 03-14-08");
  EXPECT_TEXT_EQ(FormatDateMask(kRunMask, DateFromFields(2106, 2, 7, 6, 28, 16)),
                 u"(2106-02-07) 06-28-16");
  EXPECT_TEXT_EQ(FormatDateMask(kRunMask, DateFromFields(9999, 12, 31, 23, 59, 59)),
                 u"(9999-12-31) 23-59-59");
  EXPECT_TEXT_EQ(FormatDateMask(kRunMask, 253402300799LL), u"(9999-12-31) 23-59-59");
}

// Every day from 1970 to 9999, each at a different time of day: the value
// matches the oracle and formats back to exactly its own fields.
TEST(DateRoundTripTest, EveryDayFrom1970To9999) {
  const Text mask = u"%yyyy-%mm-%dd %hh:%ii:%ss";
  int failures = 0;
  std::int64_t dayIndex = 0;
  for (int y = 1970; y <= 9999 && failures < 10; ++y) {
    for (int m = 1; m <= 12; ++m) {
      for (int d = 1; d <= DaysInMonth(y, m); ++d, ++dayIndex) {
        const int secondOfDay = static_cast<int>((dayIndex * 7919) % 86400);
        const int h = secondOfDay / 3600, mi = secondOfDay / 60 % 60, s = secondOfDay % 60;
        const DateValue expected = DaysFromCivil(y, m, d) * 86400 + secondOfDay;
        const DateValue value = DateFromFields(y, m, d, h, mi, s);
        const std::string fields = Fields(y, m, d, h, mi, s);
        if (value != expected) {
          ADD_FAILURE() << fields << " gives " << value << ", expected " << expected;
          ++failures;
          continue;
        }
        // Formatting is slower than the arithmetic: check it on a sample that
        // still touches every month of every year.
        if (d == 1 || d == DaysInMonth(y, m) || (m == 2 && d == 28) || y <= 2040) {
          const Text text = FormatDateMask(mask, value);
          if (text != Ascii(fields)) {
            ADD_FAILURE() << fields << " formats as " << ShowText(text);
            ++failures;
          }
        }
      }
    }
  }
  EXPECT_EQ(dayIndex, DaysFromCivil(10000, 1, 1));
}

TEST(LocalDateNowTest, GivesAValidValueThatRoundTrips) {
  const DateValue now = LocalDateNow();
  ASSERT_NE(now, kInvalidDate);
  const Text text = FormatDateMask(u"%yyyy %mm %dd %hh %ii %ss", now);
  int y = 0, mo = 0, d = 0, h = 0, mi = 0, s = 0;
  const std::string ascii(text.begin(), text.end());
  ASSERT_EQ(std::sscanf(ascii.c_str(), "%d %d %d %d %d %d", &y, &mo, &d, &h, &mi, &s), 6) << ascii;
  EXPECT_GE(y, 2024);
  EXPECT_EQ(DateFromFields(y, mo, d, h, mi, s), now) << ascii;
}

}  // namespace

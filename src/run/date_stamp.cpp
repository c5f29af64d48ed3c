// The local date and time as a count of seconds, and its formatting by mask.
#include "run/date_stamp.h"

#include "platform/clock.h"

namespace {

bool IsLeapYear(int year) { return year % 4 == 0 && (year % 100 != 0 || year % 400 == 0); }

// Days from 1970-01-01 to the given civil date (proleptic Gregorian).
std::int64_t DaysFromCivil(std::int64_t y, unsigned m, unsigned d) {
  y -= m <= 2;
  const std::int64_t era = (y >= 0 ? y : y - 399) / 400;
  const unsigned yoe = static_cast<unsigned>(y - era * 400);
  const unsigned doy = (153 * (m > 2 ? m - 3 : m + 9) + 2) / 5 + d - 1;
  const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  return era * 146097 + static_cast<std::int64_t>(doe) - 719468;
}

struct Fields {
  int year = 0, month = 0, day = 0, hour = 0, minute = 0, second = 0;
};

Fields FieldsOf(DateValue value) {
  Fields f;
  if (value < 0) return f;  // the invalid date prints as zeros
  std::int64_t days = value / 86400;
  std::int64_t rest = value % 86400;
  f.hour = static_cast<int>(rest / 3600);
  f.minute = static_cast<int>(rest / 60 % 60);
  f.second = static_cast<int>(rest % 60);
  // Civil date from days since 1970-01-01.
  days += 719468;
  const std::int64_t era = days / 146097;
  const unsigned doe = static_cast<unsigned>(days - era * 146097);
  const unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
  const unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
  const unsigned mp = (5 * doy + 2) / 153;
  f.day = static_cast<int>(doy - (153 * mp + 2) / 5 + 1);
  f.month = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
  f.year = static_cast<int>(static_cast<std::int64_t>(yoe) + era * 400 + (f.month <= 2));
  return f;
}

void AppendNumber(Text& out, int value, int digits) {
  Text number;
  do {
    number.insert(number.begin(), static_cast<char16_t>(u'0' + value % 10));
    value /= 10;
  } while (value > 0);
  while (static_cast<int>(number.size()) < digits) number.insert(number.begin(), u'0');
  out += number;
}

bool MatchesToken(const Text& mask, size_t at, const char16_t* token) {
  for (size_t k = 0; token[k]; ++k) {
    if (at + k >= mask.size()) return false;
    char16_t c = mask[at + k];
    if (c >= u'A' && c <= u'Z') c = static_cast<char16_t>(c + 32);
    if (c != token[k]) return false;
  }
  return true;
}

}  // namespace

DateValue DateFromFields(int year, int month, int day, int hour, int minute, int second) {
  // 64-bit values carry every year up to 9999, so stamps stay right after 2038.
  if (year < 1970 || year > 9999) return kInvalidDate;
  if (month < 1 || month > 12 || day < 1 || day > 31) return kInvalidDate;
  if (day == 31 && (month == 4 || month == 6 || month == 9 || month == 11)) return kInvalidDate;
  if (month == 2 && (day > 29 || (day == 29 && !IsLeapYear(year)))) return kInvalidDate;
  if (hour < 0 || hour > 23 || minute < 0 || minute > 59 || second < 0 || second > 59)
    return kInvalidDate;
  return DaysFromCivil(year, static_cast<unsigned>(month), static_cast<unsigned>(day)) * 86400 +
         hour * 3600 + minute * 60 + second;
}

DateValue LocalDateNow() {
  const auto t = platform::CurrentLocalTime();
  return DateFromFields(t.year, t.month, t.day, t.hour, t.minute, t.second);
}

Text FormatDateMask(const Text& mask, DateValue value) {
  const Fields f = FieldsOf(value);
  // The first token that matches wins, so "yyyy" is tried before "yy".
  const struct {
    const char16_t* token;
    int value;
    int digits;
  } tokens[] = {{u"yyyy", f.year, 4}, {u"yy", f.year % 100, 2}, {u"mm", f.month, 2},
                {u"dd", f.day, 2},     {u"hh", f.hour, 2},       {u"ii", f.minute, 2},
                {u"ss", f.second, 2}};
  Text out;
  size_t i = 0;
  while (i < mask.size()) {
    if (mask[i] != u'%') {
      out += mask[i++];
      continue;
    }
    const size_t at = i + 1;
    bool matched = false;
    for (const auto& t : tokens) {
      if (MatchesToken(mask, at, t.token)) {
        AppendNumber(out, t.value, t.digits);
        i = at + std::char_traits<char16_t>::length(t.token);
        matched = true;
        break;
      }
    }
    if (!matched) {
      out += u'%';  // no token follows: the sign stands for itself
      i = at;
    }
  }
  return out;
}

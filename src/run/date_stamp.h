// The local date and time as a count of seconds, and its formatting by mask.
#pragma once

#include <cstdint>
#include <string>

using Text = std::u16string;

/// Seconds from 1970-01-01 00:00:00 to a wall-clock time, both read as if
/// they were UTC; -1 for an invalid date.
using DateValue = std::int64_t;
constexpr DateValue kInvalidDate = -1;

/// The value of the given wall-clock fields, or kInvalidDate when they are
/// impossible or outside 1970 to 9999.
DateValue DateFromFields(int year, int month, int day, int hour, int minute, int second);

/// The value of the current local wall-clock time.
DateValue LocalDateNow();

/// The mask with %yyyy, %yy, %mm, %dd, %hh, %ii and %ss (any case) replaced by
/// the value's fields.
Text FormatDateMask(const Text& mask, DateValue value);

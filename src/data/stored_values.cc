#include "data/stored_values.h"

#include <chrono>
#include <limits>

#include "data/value_calendar.h"

namespace zav5::data {

namespace {

bool ReadDigits(std::string_view text, std::size_t at, std::size_t count, int& number) {
  if (at + count > text.size()) {
    return false;
  }
  number = 0;
  for (std::size_t i = at; i < at + count; ++i) {
    if (text[i] < '0' || text[i] > '9') {
      return false;
    }
    number = number * 10 + (text[i] - '0');
  }
  return true;
}

}  // namespace

Value WholeNumber(std::int64_t v, bool may_be_short) {
  if (may_be_short && v >= std::numeric_limits<std::int16_t>::min() &&
      v <= std::numeric_limits<std::int16_t>::max()) {
    return Value::Integer(static_cast<std::int16_t>(v));
  }
  if (v >= std::numeric_limits<std::int32_t>::min() &&
      v <= std::numeric_limits<std::int32_t>::max()) {
    return Value::Long(static_cast<std::int32_t>(v));
  }
  return Value::Double(static_cast<double>(v));
}

std::optional<double> IsoDateToDayNumber(std::string_view text) {
  int year = 0, month = 0, day = 0;
  if (!ReadDigits(text, 0, 4, year) || text.size() < 10 || text[4] != '-' || text[7] != '-' ||
      !ReadDigits(text, 5, 2, month) || !ReadDigits(text, 8, 2, day)) {
    return std::nullopt;
  }
  const std::chrono::year_month_day ymd{std::chrono::year(year),
                                        std::chrono::month(static_cast<unsigned>(month)),
                                        std::chrono::day(static_cast<unsigned>(day))};
  if (!ymd.ok()) {
    return std::nullopt;
  }
  int hours = 0, minutes = 0, seconds = 0;
  if (text.size() > 10) {
    if ((text[10] != ' ' && text[10] != 'T') || !ReadDigits(text, 11, 2, hours) ||
        text.size() < 16 || text[13] != ':' || !ReadDigits(text, 14, 2, minutes)) {
      return std::nullopt;
    }
    std::size_t end = 16;
    if (text.size() > 16) {
      if (text[16] != ':' || !ReadDigits(text, 17, 2, seconds)) {
        return std::nullopt;
      }
      end = 19;
      if (end < text.size() && text[end] == '.') {  // fractions of a second: not kept
        ++end;
        while (end < text.size() && text[end] >= '0' && text[end] <= '9') {
          ++end;
        }
      }
    }
    if (end != text.size() || hours > 23 || minutes > 59 || seconds > 59) {
      return std::nullopt;
    }
  }
  const double whole = DayNumber(ymd);
  const double time = (hours * 3600.0 + minutes * 60.0 + seconds) / 86400.0;
  return whole >= 0 ? whole + time : whole - time;
}

}  // namespace zav5::data

#include "data/value_calendar.h"

#include <cmath>
#include <cstddef>

#include "data/ascii_text.h"

namespace zav5::data {

namespace {

using std::chrono::days;
using std::chrono::sys_days;
using std::chrono::year_month_day;

// The dates Visual Basic can hold: 1 January 100 to 31 December 9999.
constexpr double kFirstDay = -657434;
constexpr double kLastDay = 2958465;

constexpr sys_days kDayZero = sys_days{std::chrono::year{1899} / 12 / 30};

std::string TwoDigits(unsigned n) {
  return std::string{static_cast<char>('0' + n / 10 % 10), static_cast<char>('0' + n % 10)};
}

// The year as the short date shows it: at least four digits ("0100").
std::string FourDigitYear(int year) {
  std::string digits = std::to_string(year);
  return std::string(digits.size() < 4 ? 4 - digits.size() : 0, '0') + digits;
}

std::string FormatCalendarDay(year_month_day day) {
  return TwoDigits(static_cast<unsigned>(day.day())) + "/" +
         TwoDigits(static_cast<unsigned>(day.month())) + "/" +
         FourDigitYear(static_cast<int>(day.year()));
}

// Reads `min_digits` to `max_digits` digits at `pos`; nullopt when there are fewer.
std::optional<int> ReadNumber(std::string_view text, std::size_t& pos, std::size_t min_digits,
                              std::size_t max_digits) {
  int n = 0;
  std::size_t count = 0;
  while (pos < text.size() && IsDigit(text[pos]) && count < max_digits) {
    n = n * 10 + (text[pos++] - '0');
    ++count;
  }
  if (count < min_digits) {
    return std::nullopt;
  }
  return n;
}

bool ReadChar(std::string_view text, std::size_t& pos, char c) {
  if (pos < text.size() && text[pos] == c) {
    ++pos;
    return true;
  }
  return false;
}

// "hh:mm:ss" at `pos` as a fraction of a day.
std::optional<double> ReadTime(std::string_view text, std::size_t& pos) {
  const auto hours = ReadNumber(text, pos, 1, 2);
  if (!hours || !ReadChar(text, pos, ':')) {
    return std::nullopt;
  }
  const auto minutes = ReadNumber(text, pos, 2, 2);
  if (!minutes || !ReadChar(text, pos, ':')) {
    return std::nullopt;
  }
  const auto seconds = ReadNumber(text, pos, 2, 2);
  if (!seconds || *hours > 23 || *minutes > 59 || *seconds > 59) {
    return std::nullopt;
  }
  return (*hours * 3600 + *minutes * 60 + *seconds) / 86400.0;
}

}  // namespace

bool IsDateInRange(double ole_days) {
  return ole_days > kFirstDay - 1 && ole_days < kLastDay + 1;
}

std::optional<std::string> FormatDate(double ole_days) {
  if (!IsDateInRange(ole_days)) {
    return std::nullopt;
  }
  const double whole = std::trunc(ole_days);
  std::int32_t day = static_cast<std::int32_t>(whole);
  long seconds = std::lround(std::fabs(ole_days - whole) * 86400);
  if (seconds >= 86400) {  // a time that rounds up to the next midnight
    seconds -= 86400;
    day += ole_days < 0 ? -1 : 1;
  }
  const unsigned s = static_cast<unsigned>(seconds);
  const std::string time =
      TwoDigits(s / 3600) + ":" + TwoDigits(s / 60 % 60) + ":" + TwoDigits(s % 60);
  if (day == 0) {
    return time;
  }
  const std::string date = FormatCalendarDay(DayFromNumber(day));
  return seconds == 0 ? date : date + " " + time;
}

std::optional<Date> ParseDate(std::string_view text) {
  text = Trim(text);
  std::size_t pos = 0;
  const auto first = ReadNumber(text, pos, 1, 4);
  if (!first) {
    return std::nullopt;
  }
  std::optional<int> y, m, d;
  if (pos <= 2 && ReadChar(text, pos, '/')) {
    d = first;
    m = ReadNumber(text, pos, 1, 2);
    if (!m || !ReadChar(text, pos, '/')) {
      return std::nullopt;
    }
    y = ReadNumber(text, pos, 4, 4);
  } else if (pos == 4 && ReadChar(text, pos, '-')) {
    y = first;
    m = ReadNumber(text, pos, 2, 2);
    if (!m || !ReadChar(text, pos, '-')) {
      return std::nullopt;
    }
    d = ReadNumber(text, pos, 2, 2);
  } else if (pos <= 2 && pos < text.size() && text[pos] == ':') {
    pos = 0;
    const auto time = ReadTime(text, pos);
    if (!time || pos != text.size()) {
      return std::nullopt;
    }
    return Date{*time};
  }
  if (!y || !d) {
    return std::nullopt;
  }
  const year_month_day day{std::chrono::year{*y}, std::chrono::month{static_cast<unsigned>(*m)},
                           std::chrono::day{static_cast<unsigned>(*d)}};
  if (!day.ok()) {
    return std::nullopt;
  }
  const double number = DayNumber(day);
  if (number < kFirstDay || number > kLastDay) {
    return std::nullopt;
  }
  double time = 0;
  if (pos < text.size()) {
    if (!ReadChar(text, pos, ' ')) {
      return std::nullopt;
    }
    const auto t = ReadTime(text, pos);
    if (!t) {
      return std::nullopt;
    }
    time = *t;
  }
  if (pos != text.size()) {
    return std::nullopt;
  }
  // Before day 0 the time still counts forward from the day's start, so it moves away from zero.
  return Date{number < 0 ? number - time : number + time};
}

std::int32_t DayNumber(year_month_day day) {
  return static_cast<std::int32_t>((sys_days{day} - kDayZero).count());
}

year_month_day DayFromNumber(std::int32_t day_number) {
  return year_month_day{kDayZero + days{day_number}};
}

}  // namespace zav5::data

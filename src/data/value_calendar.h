// OLE day numbers (day 0 is 30 December 1899, the time of day as the fraction), the calendar days
// they stand for, and the text forms of dates that field values convert through.
#pragma once

#include <chrono>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "data/value.h"

namespace zav5::data {

// OLE day numbers and calendar days.
std::int32_t DayNumber(std::chrono::year_month_day day);
std::chrono::year_month_day DayFromNumber(std::int32_t day_number);

// True when the day number `ole_days` falls within the dates Visual Basic can hold, 1 January 100
// to 31 December 9999, at any time of those days; false for NaN.
bool IsDateInRange(double ole_days);

// A date's text: dd/mm/yyyy, followed by " hh:mm:ss" when it carries a time; day 0 shows only its
// time. The whole part is the day; the fraction, counted forward from that day's start even for
// days before day 0, is the time. nullopt when !IsDateInRange(ole_days).
std::optional<std::string> FormatDate(double ole_days);

// The date a text holds: "dd/mm/yyyy" or "yyyy-mm-dd", either optionally followed by
// " hh:mm:ss", or "hh:mm:ss" alone (a time on day 0, the form FormatDate gives it); blanks around
// it do not count. nullopt for any other text and for a day outside the dates Visual Basic can
// hold.
std::optional<Date> ParseDate(std::string_view text);

}  // namespace zav5::data

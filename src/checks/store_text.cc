#include "checks/store_text.h"

#include <charconv>
#include <chrono>

#include <fmt/core.h>

#include "data/value_calendar.h"
#include "errors.h"
#include "startup/log_format.h"

namespace zav5::checks {

namespace {

std::optional<int> Number(std::string_view text) {
  int value = 0;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (error != std::errc{} || end != text.data() + text.size()) {
    return std::nullopt;
  }
  return value;
}

std::string Day(const data::Value& value) {
  if (value.IsNull()) {
    return {};
  }
  try {
    return FormatDay(value.ToLong());
  } catch (const Error&) {
    return {};
  }
}

}  // namespace

std::string Shown(const data::Value& value) {
  return value.IsNull() ? std::string() : value.ToText();
}

std::string FormatPrice(const data::Value& value) {
  std::string text = Shown(value);
  if (value.Kind() != data::ValueKind::kCurrency && value.Kind() != data::ValueKind::kDouble) {
    return text;
  }
  const std::size_t comma = text.find(',');
  if (comma == std::string::npos) {
    text += ",00";
  } else if (text.size() - comma == 2) {
    text += '0';
  }
  return text;
}

std::string FormatPromotion(const data::RowEditor& article) {
  return Day(article.Field("data1")) + "-" + Day(article.Field("data2"));
}

std::string FormatDay(std::int32_t day) {
  const std::chrono::year_month_day date = data::DayFromNumber(day);
  return fmt::format("{:02}/{:02}/{:04}", static_cast<unsigned>(date.day()),
                     static_cast<unsigned>(date.month()), static_cast<int>(date.year()));
}

std::string IsoDay(std::int32_t day) {
  const std::chrono::year_month_day date = data::DayFromNumber(day);
  return fmt::format("{:04}-{:02}-{:02}", static_cast<int>(date.year()),
                     static_cast<unsigned>(date.month()), static_cast<unsigned>(date.day()));
}

std::string FormatMoment(platform::LocalTime moment) {
  return startup::ShortDate(moment) + " " + startup::LongTime(moment);
}

std::string IsoMoment(platform::LocalTime moment) {
  const auto day = std::chrono::floor<std::chrono::days>(moment);
  const std::chrono::hh_mm_ss time{moment - day};
  return fmt::format("{}T{:02}:{:02}:{:02}",
                     IsoDay(data::DayNumber(std::chrono::year_month_day{day})),
                     time.hours().count(), time.minutes().count(), time.seconds().count());
}

std::optional<platform::LocalTime> ParseMoment(std::string_view stamp) {
  if (stamp.size() != 19 || stamp[2] != '/' || stamp[5] != '/' || stamp[10] != '-' ||
      stamp[13] != ':' || stamp[16] != ':') {
    return std::nullopt;
  }
  const auto day = Number(stamp.substr(0, 2));
  const auto month = Number(stamp.substr(3, 2));
  const auto year = Number(stamp.substr(6, 4));
  const auto hour = Number(stamp.substr(11, 2));
  const auto minute = Number(stamp.substr(14, 2));
  const auto second = Number(stamp.substr(17, 2));
  if (!day || !month || !year || !hour || !minute || !second) {
    return std::nullopt;
  }
  const std::chrono::year_month_day date{std::chrono::year{*year},
                                         std::chrono::month{static_cast<unsigned>(*month)},
                                         std::chrono::day{static_cast<unsigned>(*day)}};
  if (!date.ok() || *hour > 23 || *minute > 59 || *second > 59) {
    return std::nullopt;
  }
  return std::chrono::local_days{date} + std::chrono::hours{*hour} + std::chrono::minutes{*minute} +
         std::chrono::seconds{*second};
}

}  // namespace zav5::checks

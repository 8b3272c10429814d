#include "startup/log_format.h"

#include <chrono>

#include <fmt/format.h>

namespace zav5::startup {

namespace {

struct Parts {
  std::chrono::year_month_day day;
  std::chrono::hh_mm_ss<std::chrono::seconds> time;
};

Parts Split(platform::LocalTime when) {
  const auto midnight = std::chrono::floor<std::chrono::days>(when);
  return {std::chrono::year_month_day{midnight},
          std::chrono::hh_mm_ss<std::chrono::seconds>{when - midnight}};
}

}  // namespace

std::string ShortDate(platform::LocalTime when) {
  const auto [day, time] = Split(when);
  return fmt::format("{:02}/{:02}/{:04}", static_cast<unsigned>(day.day()),
                     static_cast<unsigned>(day.month()), static_cast<int>(day.year()));
}

std::string LongTime(platform::LocalTime when) {
  const auto [day, time] = Split(when);
  return fmt::format("{:02}:{:02}:{:02}", time.hours().count(), time.minutes().count(),
                     time.seconds().count());
}

std::string LogPath(platform::LocalTime start) {
  // The name takes day, month and year from the short date: characters 1-2, 4-5 and 7-10.
  const std::string date = ShortDate(start);
  return "C:\\sulvo\\bkp\\logzav3_" + date.substr(0, 2) + date.substr(3, 2) + date.substr(6, 4) +
         ".txt";
}

std::string DatedLine(platform::LocalTime date_taken, platform::LocalTime time_taken,
                      std::string_view text) {
  return ShortDate(date_taken) + "-" + LongTime(time_taken) + std::string(text);
}

}  // namespace zav5::startup

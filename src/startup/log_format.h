// The text forms of the run log: its file name and its dated lines. Pure functions.
#pragma once

#include <string>
#include <string_view>

#include "platform/env.h"

namespace zav5::startup {

// The store's short date form, dd/mm/yyyy.
std::string ShortDate(platform::LocalTime when);
// The store's time form, hh:mm:ss on the 24-hour clock.
std::string LongTime(platform::LocalTime when);

// C:\sulvo\bkp\logzav3_DDMMYYYY.txt for the day of `start`.
std::string LogPath(platform::LocalTime start);

// dd/mm/yyyy-hh:mm:ss directly followed by `text`. Date and time are read from the clock one
// after the other, as the log has always done, so they may come from two different moments.
std::string DatedLine(platform::LocalTime date_taken, platform::LocalTime time_taken,
                      std::string_view text);

}  // namespace zav5::startup

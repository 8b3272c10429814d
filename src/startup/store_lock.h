// The lock file that keeps one zav5 per store.
#pragma once

#include <cctype>
#include <string>

#include <fmt/core.h>

namespace zav5::startup {

// The lock file of the store whose company database is on drive `drive`: "X:\dorn\zav5.lck",
// beside the company database.
inline std::string StoreLockPath(char drive) {
  return fmt::format("{}:\\dorn\\zav5.lck",
                     static_cast<char>(std::toupper(static_cast<unsigned char>(drive))));
}

}  // namespace zav5::startup

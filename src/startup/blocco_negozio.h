// The lock file that keeps one zav5 per store.
#pragma once

#include <cctype>
#include <string>

#include <fmt/core.h>

namespace zav5::startup {

// The lock file of the store whose company database is on drive `unita`: "X:\dorn\zav5.lck",
// beside the company database.
inline std::string PercorsoBloccoNegozio(char unita) {
  return fmt::format("{}:\\dorn\\zav5.lck",
                     static_cast<char>(std::toupper(static_cast<unsigned char>(unita))));
}

}  // namespace zav5::startup

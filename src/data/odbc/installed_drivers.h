// The ODBC drivers this program can load. On Windows a 32-bit and a 64-bit program see separate
// lists: the Access driver that every Windows has ("Microsoft Access Driver (*.mdb)", Jet 4.0) is
// in the 32-bit list only.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace zav5::data::odbc {

// The names of the drivers the driver manager knows for programs of this build, in its order;
// nullopt when it gives no list.
std::optional<std::vector<std::string>> InstalledDrivers();

// Whether `name` is among InstalledDrivers(), whatever the case of its letters; nullopt when
// there is no list to look in.
std::optional<bool> DriverInstalled(std::string_view name);

}  // namespace zav5::data::odbc

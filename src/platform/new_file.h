// Taking a file name that nobody else holds.
#pragma once

#include <filesystem>
#include <system_error>

namespace zav5::platform {

// Creates an empty file at `host_path` (a path of this machine, not a Windows path), unless
// something of that name is already there: then it returns std::errc::file_exists and leaves it
// alone. The check and the creation are one step, so of several processes or threads that try the
// same name at once exactly one gets it.
std::error_code CreateNewFile(const std::filesystem::path& host_path);

}  // namespace zav5::platform

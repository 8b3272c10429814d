// Making a file's bytes durable before the program relies on them.
#pragma once

#include <filesystem>
#include <system_error>

namespace zav5::platform {

// Asks the operating system to put the contents of the file at `host_path` (a path of this
// machine, not a Windows path) on the disk, and returns once it has. Used before the original of a
// copy is deleted, so that a power cut cannot lose both.
std::error_code SyncFile(const std::filesystem::path& host_path);

// The same for a folder's entries (a file created or renamed in it); a no-op where the system
// keeps folder entries durable by itself.
std::error_code SyncFolder(const std::filesystem::path& host_path);

}  // namespace zav5::platform

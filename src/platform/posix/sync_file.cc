#include "platform/sync_file.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>

namespace zav5::platform {

namespace {

std::error_code Sync(const std::filesystem::path& host_path, int flags) {
  const int descriptor = ::open(host_path.c_str(), flags | O_CLOEXEC);
  if (descriptor < 0) {
    return {errno, std::generic_category()};
  }
  std::error_code error;
  if (::fsync(descriptor) != 0) {
    error = {errno, std::generic_category()};
  }
  ::close(descriptor);
  return error;
}

}  // namespace

std::error_code SyncFile(const std::filesystem::path& host_path) {
  return Sync(host_path, O_RDONLY);
}

std::error_code SyncFolder(const std::filesystem::path& host_path) {
  return Sync(host_path, O_RDONLY | O_DIRECTORY);
}

}  // namespace zav5::platform

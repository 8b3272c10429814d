#include "platform/new_file.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>

namespace zav5::platform {

std::error_code CreateNewFile(const std::filesystem::path& host_path) {
  const int descriptor = ::open(host_path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
  if (descriptor < 0) {
    return {errno, std::generic_category()};
  }
  ::close(descriptor);
  return {};
}

}  // namespace zav5::platform

#include "platform/sync_file.h"

#include <windows.h>

namespace zav5::platform {

namespace {

std::error_code LastError() {
  return std::error_code(static_cast<int>(::GetLastError()), std::system_category());
}

}  // namespace

std::error_code SyncFile(const std::filesystem::path& host_path) {
  // FlushFileBuffers needs a handle with write access.
  HANDLE file = ::CreateFileW(host_path.wstring().c_str(), GENERIC_WRITE,
                              FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                              OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) {
    return LastError();
  }
  std::error_code result;
  if (!::FlushFileBuffers(file)) {
    result = LastError();
  }
  ::CloseHandle(file);
  return result;
}

// Windows has no call that flushes a folder's entries; NTFS journals them on its own.
std::error_code SyncFolder(const std::filesystem::path&) {
  return {};
}

}  // namespace zav5::platform

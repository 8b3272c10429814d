#include "platform/new_file.h"

#include <windows.h>

namespace zav5::platform {

std::error_code CreateNewFile(const std::filesystem::path& host_path) {
  HANDLE file = ::CreateFileW(host_path.wstring().c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) {
    const DWORD error = ::GetLastError();
    // The system category does not compare equal to std::errc here on every toolchain.
    if (error == ERROR_FILE_EXISTS || error == ERROR_ALREADY_EXISTS) {
      return std::make_error_code(std::errc::file_exists);
    }
    return std::error_code(static_cast<int>(error), std::system_category());
  }
  ::CloseHandle(file);
  return {};
}

}  // namespace zav5::platform

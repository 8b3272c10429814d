#include "app/program_path.h"

#include <system_error>

#ifdef _WIN32
#include <windows.h>
#endif

namespace zav5::app {

std::filesystem::path ThisProgram(const char* argv0) {
#ifdef _WIN32
  wchar_t buffer[32768];
  const DWORD length = ::GetModuleFileNameW(nullptr, buffer, 32768);
  if (length > 0 && length < 32768) {
    return std::filesystem::path(std::wstring(buffer, length));
  }
#else
  std::error_code error;
  std::filesystem::path self = std::filesystem::read_symlink("/proc/self/exe", error);
  if (!error) {
    return self;
  }
#endif
  return std::filesystem::absolute(argv0).lexically_normal();
}

}  // namespace zav5::app

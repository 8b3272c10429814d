#include "platform/windows/error_text.h"

#include <windows.h>

#include <string_view>

#include <fmt/core.h>

#include "platform/windows/wide_text.h"

namespace zav5::platform {

std::string WindowsErrorText(std::uint32_t code) {
  wchar_t* buffer = nullptr;
  const DWORD length = ::FormatMessageW(
      FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
      nullptr, code, 0, reinterpret_cast<wchar_t*>(&buffer), 0, nullptr);
  if (length == 0 || buffer == nullptr) {
    return fmt::format("errore di sistema {}", code);
  }
  std::string text = WideToUtf8(std::wstring_view(buffer, length));
  ::LocalFree(buffer);
  while (!text.empty() &&
         (text.back() == '\n' || text.back() == '\r' || text.back() == ' ' || text.back() == '.')) {
    text.pop_back();
  }
  return text.empty() ? fmt::format("errore di sistema {}", code) : text;
}

}  // namespace zav5::platform

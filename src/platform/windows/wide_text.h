// UTF-8, the program's text, and UTF-16, the text of the Windows functions.
#pragma once

#include <string>
#include <string_view>

namespace zav5::platform {

// Malformed input becomes U+FFFD, as the conversion functions of Windows do.
std::wstring Utf8ToWide(std::string_view utf8);
std::string WideToUtf8(std::wstring_view wide);

}  // namespace zav5::platform

// Letter case of UTF-8 texts as the Windows file system and the store's programs see it: ASCII
// letters and the letters of the Latin-1 range (à, È, ...) have an upper and a lower case.
#pragma once

#include <string>
#include <string_view>

namespace zav5::platform {

std::string UpperCase(std::string_view text);
std::string LowerCase(std::string_view text);

// True when the two texts are equal without regard to letter case.
bool EqualNoCase(std::string_view a, std::string_view b);

}  // namespace zav5::platform

// The store's 8-bit code page, Windows-1252. The label system and the suite's other programs read
// and write their text files in it; inside the program every text is UTF-8.
#pragma once

#include <string>
#include <string_view>

namespace zav5::platform {

// Converts UTF-8 text to Windows-1252, one byte per character. A character the code page lacks
// becomes one "?", however many bytes it took; so does every malformed byte.
std::string Utf8ToWindows1252(std::string_view utf8);

// Converts Windows-1252 bytes to UTF-8. The five bytes the code page leaves undefined
// (0x81, 0x8D, 0x8F, 0x90, 0x9D) become the control characters of the same number (U+0081 ...),
// so that they survive a round trip.
std::string Windows1252ToUtf8(std::string_view bytes);

// Reads `bytes` as UTF-8, taking each byte that is not part of a well-formed sequence as a
// Windows-1252 byte, one character each (as Windows1252ToUtf8 does): a file said to be UTF-8 that
// a code-page editor touched loses nothing.
std::string Utf8OrWindows1252ToUtf8(std::string_view bytes);

}  // namespace zav5::platform

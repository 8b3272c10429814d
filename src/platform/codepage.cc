#include "platform/codepage.h"

#include <array>
#include <cstddef>
#include <optional>

#include "platform/utf8.h"

namespace zav5::platform {

namespace {

// Characters of the bytes 0x80-0x9F, where Windows-1252 differs from Latin-1. The undefined bytes
// keep their Latin-1 (control character) value.
constexpr std::array<char32_t, 32> kHighControls = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,  // 0x80
    0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x008D, 0x017D, 0x008F,  // 0x88
    0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,  // 0x90
    0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178,  // 0x98
};

char32_t CharacterOf(unsigned char byte) {
  if (byte >= 0x80 && byte <= 0x9F) {
    return kHighControls[byte - 0x80];
  }
  return byte;
}

std::optional<unsigned char> ByteOf(char32_t c) {
  if (c < 0x80 || (c >= 0xA0 && c <= 0xFF)) {
    return static_cast<unsigned char>(c);
  }
  for (std::size_t i = 0; i < kHighControls.size(); ++i) {
    if (kHighControls[i] == c) {
      return static_cast<unsigned char>(0x80 + i);
    }
  }
  return std::nullopt;
}

}  // namespace

std::string Utf8ToWindows1252(std::string_view utf8) {
  std::string bytes;
  bytes.reserve(utf8.size());
  std::size_t pos = 0;
  while (pos < utf8.size()) {
    const std::optional<char32_t> c = DecodeUtf8(utf8, pos);
    const std::optional<unsigned char> byte = c ? ByteOf(*c) : std::nullopt;
    bytes += byte ? static_cast<char>(*byte) : '?';
  }
  return bytes;
}

std::string Windows1252ToUtf8(std::string_view bytes) {
  std::string utf8;
  utf8.reserve(bytes.size());
  for (const char byte : bytes) {
    AppendUtf8(utf8, CharacterOf(static_cast<unsigned char>(byte)));
  }
  return utf8;
}

std::string Utf8OrWindows1252ToUtf8(std::string_view bytes) {
  std::string utf8;
  utf8.reserve(bytes.size());
  std::size_t pos = 0;
  while (pos < bytes.size()) {
    const std::size_t start = pos;
    if (DecodeUtf8(bytes, pos)) {
      utf8.append(bytes.substr(start, pos - start));
    } else {
      AppendUtf8(utf8, CharacterOf(static_cast<unsigned char>(bytes[start])));
    }
  }
  return utf8;
}

}  // namespace zav5::platform

#include "platform/text_case.h"

#include <cstdint>

namespace zav5::platform {

namespace {

// Latin-1 letters come as two bytes, 0xC3 then 0x80..0xBF (U+00C0..U+00FF). Upper and lower case
// differ by 0x20 in the second byte, except × (U+00D7) and ÷ (U+00F7), which are no letters, and
// ß and ÿ, whose capitals lie outside the range.
bool IsLatin1Upper(unsigned char second) { return second >= 0x80 && second <= 0x9E && second != 0x97; }
bool IsLatin1Lower(unsigned char second) { return second >= 0xA0 && second <= 0xBE && second != 0xB7; }

template <bool kToUpper>
std::string ChangeCase(std::string_view text) {
  std::string out(text);
  for (std::size_t i = 0; i < out.size(); ++i) {
    auto c = static_cast<unsigned char>(out[i]);
    if (c < 0x80) {
      if (kToUpper && c >= 'a' && c <= 'z') {
        out[i] = static_cast<char>(c - 0x20);
      } else if (!kToUpper && c >= 'A' && c <= 'Z') {
        out[i] = static_cast<char>(c + 0x20);
      }
    } else if (c == 0xC3 && i + 1 < out.size()) {
      auto second = static_cast<unsigned char>(out[i + 1]);
      if (kToUpper && IsLatin1Lower(second)) {
        out[i + 1] = static_cast<char>(second - 0x20);
      } else if (!kToUpper && IsLatin1Upper(second)) {
        out[i + 1] = static_cast<char>(second + 0x20);
      }
      ++i;
    }
  }
  return out;
}

}  // namespace

std::string UpperCase(std::string_view text) { return ChangeCase<true>(text); }
std::string LowerCase(std::string_view text) { return ChangeCase<false>(text); }

bool EqualNoCase(std::string_view a, std::string_view b) {
  return a.size() == b.size() && LowerCase(a) == LowerCase(b);
}

}  // namespace zav5::platform

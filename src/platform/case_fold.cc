#include "platform/case_fold.h"

#include <cstddef>
#include <optional>

#include "platform/utf8.h"

namespace zav5::platform {

namespace {

// Latin Extended-A pairs a capital with the small letter right after it, starting on an even
// code point in some runs and on an odd one in others.
bool IsCapitalOfPair(char32_t c, char32_t first, char32_t last) {
  return c >= first && c <= last && (c - first) % 2 == 0;
}

}  // namespace

char32_t FoldCase(char32_t c) {
  if (c >= U'A' && c <= U'Z') {
    return c + 0x20;
  }
  if (c >= 0xC0 && c <= 0xDE && c != 0xD7) {  // 0xD7 is the multiplication sign
    return c + 0x20;
  }
  if (IsCapitalOfPair(c, 0x100, 0x12E) || IsCapitalOfPair(c, 0x132, 0x136) ||
      IsCapitalOfPair(c, 0x139, 0x147) || IsCapitalOfPair(c, 0x14A, 0x176) ||
      IsCapitalOfPair(c, 0x179, 0x17D)) {
    return c + 1;
  }
  if (c == 0x178) {  // Ÿ, whose small letter sits in Latin-1
    return 0xFF;
  }
  return c;
}

std::string FoldCase(std::string_view text) {
  std::string folded;
  folded.reserve(text.size());
  std::size_t pos = 0;
  while (pos < text.size()) {
    const std::size_t start = pos;
    const std::optional<char32_t> c = DecodeUtf8(text, pos);
    if (c) {
      AppendUtf8(folded, FoldCase(*c));
    } else {
      folded += text[start];
    }
  }
  return folded;
}

bool EqualsIgnoringCase(std::string_view a, std::string_view b) {
  return FoldCase(a) == FoldCase(b);
}

}  // namespace zav5::platform

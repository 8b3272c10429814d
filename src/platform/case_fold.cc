#include "platform/case_fold.h"

#include <cstddef>
#include <optional>

#include "platform/utf8.h"

namespace zav5::platform {

namespace {

// Latin Extended-A pairs a capital with the small letter right after it, starting on an even
// code point in some runs and on an odd one in others. Each run is given by its first and last
// capital.
struct PairRun {
  char32_t first_capital;
  char32_t last_capital;
};

constexpr PairRun kPairRuns[] = {
    {0x100, 0x12E}, {0x132, 0x136}, {0x139, 0x147}, {0x14A, 0x176}, {0x179, 0x17D},
};

bool IsCapitalOf(const PairRun& run, char32_t c) {
  return c >= run.first_capital && c <= run.last_capital && (c - run.first_capital) % 2 == 0;
}

bool IsSmallOf(const PairRun& run, char32_t c) {
  return c > run.first_capital && c <= run.last_capital + 1 && (c - run.first_capital) % 2 == 1;
}

// `text` with `change` applied to each well-formed character.
template <typename Change>
std::string ChangeEach(std::string_view text, Change change) {
  std::string changed;
  changed.reserve(text.size());
  std::size_t pos = 0;
  while (pos < text.size()) {
    const std::size_t start = pos;
    const std::optional<char32_t> c = DecodeUtf8(text, pos);
    if (c) {
      AppendUtf8(changed, change(*c));
    } else {
      changed += text[start];
    }
  }
  return changed;
}

}  // namespace

char32_t FoldCase(char32_t c) {
  if (c >= U'A' && c <= U'Z') {
    return c + 0x20;
  }
  if (c >= 0xC0 && c <= 0xDE && c != 0xD7) {  // 0xD7 is the multiplication sign
    return c + 0x20;
  }
  for (const PairRun& run : kPairRuns) {
    if (IsCapitalOf(run, c)) {
      return c + 1;
    }
  }
  if (c == 0x178) {  // Ÿ, whose small letter sits in Latin-1
    return 0xFF;
  }
  return c;
}

std::string FoldCase(std::string_view text) {
  return ChangeEach(text, [](char32_t c) { return FoldCase(c); });
}

bool EqualsIgnoringCase(std::string_view a, std::string_view b) {
  return FoldCase(a) == FoldCase(b);
}

char32_t UpperCase(char32_t c) {
  if (c >= U'a' && c <= U'z') {
    return c - 0x20;
  }
  // 0xF7 is the division sign. ß (0xDF) has no capital in use, and the capital of ÿ (0xFF) lies
  // outside Latin-1, where upper-casing a path has always left it.
  if (c >= 0xE0 && c <= 0xFE && c != 0xF7) {
    return c - 0x20;
  }
  for (const PairRun& run : kPairRuns) {
    if (IsSmallOf(run, c)) {
      return c - 1;
    }
  }
  return c;
}

std::string UpperCase(std::string_view text) {
  return ChangeEach(text, [](char32_t c) { return UpperCase(c); });
}

}  // namespace zav5::platform

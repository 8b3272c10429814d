#include "platform/wildcard.h"

#include <cstddef>
#include <optional>
#include <vector>

#include "platform/case_fold.h"
#include "platform/utf8.h"

namespace zav5::platform {

namespace {

// One character of a name, folded to lower case. A malformed byte becomes a value above every
// code point, so it matches "?" and itself and nothing else.
using Unit = char32_t;

std::vector<Unit> Units(std::string_view text) {
  std::vector<Unit> units;
  units.reserve(text.size());
  std::size_t pos = 0;
  while (pos < text.size()) {
    const std::size_t start = pos;
    const std::optional<char32_t> c = DecodeUtf8(text, pos);
    units.push_back(c ? FoldCase(*c) : 0x110000 + static_cast<unsigned char>(text[start]));
  }
  return units;
}

// Classic matching with one backtrack point: on a mismatch, let the most recent "*" swallow one
// more character and try again. Linear in most cases and never exponential.
bool Match(const std::vector<Unit>& pattern, std::size_t pattern_end,
           const std::vector<Unit>& name) {
  std::size_t p = 0;
  std::size_t n = 0;
  std::optional<std::size_t> star;  // position in `pattern` just after the last "*"
  std::size_t star_n = 0;           // position in `name` the last "*" swallows up to
  while (n < name.size()) {
    if (p < pattern_end && pattern[p] == U'*') {
      star = ++p;
      star_n = n;
    } else if (p < pattern_end && (pattern[p] == U'?' || pattern[p] == name[n])) {
      ++p;
      ++n;
    } else if (star) {
      p = *star;
      n = ++star_n;
    } else {
      return false;
    }
  }
  while (p < pattern_end && pattern[p] == U'*') {
    ++p;
  }
  return p == pattern_end;
}

}  // namespace

bool HasWildcard(std::string_view pattern) {
  return pattern.find_first_of("*?") != std::string_view::npos;
}

bool MatchesWildcard(std::string_view pattern, std::string_view name) {
  const std::vector<Unit> p = Units(pattern);
  const std::vector<Unit> n = Units(name);
  if (Match(p, p.size(), n)) {
    return true;
  }
  const bool ends_with_dot_star = p.size() >= 2 && p[p.size() - 2] == U'.' && p.back() == U'*';
  return ends_with_dot_star && Match(p, p.size() - 2, n);
}

}  // namespace zav5::platform

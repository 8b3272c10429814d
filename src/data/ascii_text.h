// The ASCII that numbers, SQL and names are written in, whatever the store's texts hold: blanks,
// digits and the case of the letters A to Z.
#pragma once

#include <string_view>

namespace zav5::data {

// A blank around a number or a word: space, tab, carriage return, line feed.
inline bool IsBlank(char c) {
  return c == ' ' || c == '\t' || c == '\r' || c == '\n';
}

inline bool IsDigit(char c) {
  return c >= '0' && c <= '9';
}

// `text` without the blanks at its ends.
inline std::string_view Trim(std::string_view text) {
  while (!text.empty() && IsBlank(text.front())) {
    text.remove_prefix(1);
  }
  while (!text.empty() && IsBlank(text.back())) {
    text.remove_suffix(1);
  }
  return text;
}

// `c` in lower case when it is an ASCII capital; any other byte as it is.
inline char AsciiLower(char c) {
  return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

}  // namespace zav5::data

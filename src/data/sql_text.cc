#include "data/sql_text.h"

namespace zav5::data {

std::string DoubleQuotes(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (const char c : text) {
    out += c;
    if (c == '\'') {
      out += '\'';
    }
  }
  return out;
}

}  // namespace zav5::data

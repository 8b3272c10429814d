// Putting values into SQL texts. A text value goes between single quotes with every quote in it
// doubled, so that a value with a quote is a value, never a syntax error or a piece of SQL.
#pragma once

#include <string>
#include <string_view>

namespace zav5::data {

// `text` with each single quote doubled; the caller writes the surrounding quotes.
std::string DoubleQuotes(std::string_view text);

// `text` as an SQL string literal: between single quotes, inner quotes doubled.
inline std::string SqlLiteral(std::string_view text) {
  return "'" + DoubleQuotes(text) + "'";
}

}  // namespace zav5::data

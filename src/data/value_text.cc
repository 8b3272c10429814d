#include "data/value_text.h"

#include <algorithm>
#include <cstdint>
#include <limits>
#include <optional>

#include "data/ascii_text.h"
#include "data/decimal.h"
#include "platform/utf8.h"

namespace zav5::data {

double LeadingNumber(std::string_view text) {
  std::size_t i = 0;
  auto skip_blanks = [&] {
    while (i < text.size() && IsBlank(text[i])) {
      ++i;
    }
  };
  auto read_digits = [&](auto&& on_digit) {
    bool any = false;
    for (skip_blanks(); i < text.size() && IsDigit(text[i]); skip_blanks()) {
      on_digit(text[i++]);
      any = true;
    }
    return any;
  };

  Decimal number;
  skip_blanks();
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
    number.negative = text[i++] == '-';
  }
  bool any_digit = read_digits([&](char c) { AppendDigit(number, c, false); });
  if (i < text.size() && text[i] == '.') {
    ++i;
    any_digit |= read_digits([&](char c) { AppendDigit(number, c, true); });
  }
  if (!any_digit) {
    return 0;
  }
  // An exponent counts only when digits follow it; otherwise the number ends before the letter.
  if (i < text.size() && (text[i] == 'E' || text[i] == 'e' || text[i] == 'D' || text[i] == 'd')) {
    ++i;
    skip_blanks();
    bool negative_exponent = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
      negative_exponent = text[i++] == '-';
    }
    std::int64_t exponent = 0;
    if (read_digits(
            [&](char c) { exponent = std::min(exponent * 10 + (c - '0'), kExponentLimit); })) {
      number.exponent += negative_exponent ? -exponent : exponent;
    }
  }
  const std::optional<double> result = DecimalToDouble(number);
  if (!result) {
    return number.negative ? -std::numeric_limits<double>::infinity()
                           : std::numeric_limits<double>::infinity();
  }
  return *result;
}

std::size_t CharacterCount(std::string_view text) {
  std::size_t count = 0;
  for (std::size_t pos = 0; pos < text.size(); pos = platform::SkipUtf8Character(text, pos)) {
    ++count;
  }
  return count;
}

std::string MidText(std::string_view text, std::size_t start, std::size_t length) {
  std::size_t begin = 0;
  for (std::size_t skipped = 1; skipped < start && begin < text.size(); ++skipped) {
    begin = platform::SkipUtf8Character(text, begin);
  }
  std::size_t end = begin;
  for (std::size_t taken = 0; taken < length && end < text.size(); ++taken) {
    end = platform::SkipUtf8Character(text, end);
  }
  return std::string(text.substr(begin, end - begin));
}

std::string FitText(std::string_view text, std::size_t length) {
  std::size_t pos = 0;
  std::size_t count = 0;
  while (pos < text.size() && count < length) {
    pos = platform::SkipUtf8Character(text, pos);
    ++count;
  }
  std::string fitted(text.substr(0, pos));
  fitted.append(length - count, ' ');
  return fitted;
}

}  // namespace zav5::data

#include "data/decimal.h"

#include <algorithm>
#include <charconv>
#include <limits>
#include <system_error>

#include "data/ascii_text.h"

namespace zav5::data {

void AppendDigit(Decimal& number, char digit, bool after_point) {
  if (!(number.digits.empty() && digit == '0')) {
    number.digits.push_back(digit);
  }
  if (after_point) {
    --number.exponent;
  }
}

std::optional<Decimal> ParseDecimal(std::string_view text, DecimalForm form) {
  text = Trim(text);
  Decimal number;
  std::size_t i = 0;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
    number.negative = text[i] == '-';
    ++i;
  }
  bool any_digit = false;
  while (i < text.size() && IsDigit(text[i])) {
    AppendDigit(number, text[i++], false);
    any_digit = true;
  }
  if (i < text.size() && (text[i] == '.' || (form.comma && text[i] == ','))) {
    ++i;
    while (i < text.size() && IsDigit(text[i])) {
      AppendDigit(number, text[i++], true);
      any_digit = true;
    }
  }
  if (!any_digit) {
    return std::nullopt;
  }
  if (form.exponent && i < text.size() && (text[i] == 'E' || text[i] == 'e')) {
    ++i;
    bool negative_exponent = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
      negative_exponent = text[i] == '-';
      ++i;
    }
    if (i == text.size() || !IsDigit(text[i])) {
      return std::nullopt;
    }
    std::int64_t exponent = 0;
    while (i < text.size() && IsDigit(text[i])) {
      exponent = std::min(exponent * 10 + (text[i++] - '0'), kExponentLimit);
    }
    number.exponent += negative_exponent ? -exponent : exponent;
  }
  if (i != text.size()) {
    return std::nullopt;
  }
  return number;
}

std::optional<double> DecimalToDouble(const Decimal& number) {
  if (number.digits.empty()) {
    return 0.0;
  }
  std::string text = number.digits + "e" + std::to_string(number.exponent);
  double result = 0;
  auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), result);
  if (error == std::errc::result_out_of_range) {
    // The order of magnitude of the first digit says which way it fell out.
    std::int64_t magnitude = static_cast<std::int64_t>(number.digits.size()) + number.exponent;
    if (magnitude > 0) {
      return std::nullopt;
    }
    result = 0;
  }
  return number.negative ? -result : result;
}

std::optional<std::int64_t> DecimalToScaled(const Decimal& number, int scale) {
  const std::uint64_t limit = static_cast<std::uint64_t>(std::numeric_limits<std::int64_t>::max()) +
                              (number.negative ? 1 : 0);
  const std::int64_t shift = number.exponent + scale;
  const std::int64_t length = static_cast<std::int64_t>(number.digits.size());
  const std::int64_t kept = length + std::min<std::int64_t>(shift, 0);

  std::uint64_t magnitude = 0;
  auto push = [&](int digit) {
    if (magnitude > (limit - static_cast<std::uint64_t>(digit)) / 10) {
      return false;
    }
    magnitude = magnitude * 10 + static_cast<std::uint64_t>(digit);
    return true;
  };
  for (std::int64_t i = 0; i < kept; ++i) {
    if (!push(number.digits[static_cast<std::size_t>(i)] - '0')) {
      return std::nullopt;
    }
  }
  if (shift > 0) {
    if (shift > 19 && !number.digits.empty()) {
      return std::nullopt;
    }
    for (std::int64_t i = 0; i < shift && !number.digits.empty(); ++i) {
      if (!push(0)) {
        return std::nullopt;
      }
    }
  } else if (kept >= 0 && kept < length) {
    // Dropped digits: the first decides, unless it is a 5 followed by nothing but zeros.
    const char first = number.digits[static_cast<std::size_t>(kept)];
    bool round_up = first > '5';
    if (first == '5') {
      const bool more = number.digits.find_first_not_of('0', static_cast<std::size_t>(kept) + 1) !=
                        std::string::npos;
      round_up = more || magnitude % 2 == 1;
    }
    if (round_up) {
      if (magnitude == limit) {
        return std::nullopt;
      }
      ++magnitude;
    }
  }
  // With kept < 0 even the first digit lies two places or more below the unit: the number is
  // below a half and `magnitude` stays 0.
  if (number.negative) {
    return magnitude == 0 ? 0 : -static_cast<std::int64_t>(magnitude - 1) - 1;
  }
  return static_cast<std::int64_t>(magnitude);
}

bool ScalesExactly(const Decimal& number, int scale) {
  const std::int64_t kept = static_cast<std::int64_t>(number.digits.size()) +
                            std::min<std::int64_t>(number.exponent + scale, 0);
  const std::size_t from = static_cast<std::size_t>(std::max<std::int64_t>(kept, 0));
  return from >= number.digits.size() ||
         number.digits.find_first_not_of('0', from) == std::string::npos;
}

}  // namespace zav5::data

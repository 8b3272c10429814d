// Decimal numbers read from text exactly, and scaled and rounded half to even without passing
// through binary fractions: currency amounts and the numbers of texts.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace zav5::data {

// A decimal number as written: its value is digits × 10^exponent. `digits` has no leading zeros,
// so it is empty for zero.
struct Decimal {
  bool negative = false;
  std::string digits;
  std::int64_t exponent = 0;
};

// Keeps decimal exponents far from overflow; anything beyond is zero or infinite anyway.
inline constexpr std::int64_t kExponentLimit = 100000;

// Appends a digit as read, before the point or after it. Leading zeros are dropped; a digit after
// the point lowers the exponent whether kept or not.
void AppendDigit(Decimal& number, char digit, bool after_point);

// What a number's text may hold besides an optional sign, digits and a point with digits.
struct DecimalForm {
  bool comma = true;     // "," as the decimal separator, as well as "."
  bool exponent = true;  // an exponent: E, an optional sign, digits
};

// The whole text as a number: optional sign, digits, optionally one decimal separator and digits,
// optionally an exponent, as `form` allows. Blanks around it are allowed. Nothing for any other
// text.
std::optional<Decimal> ParseDecimal(std::string_view text, DecimalForm form = {});

// The double nearest to the number; nullopt when it is too large for a double. Numbers too small
// for one are zero.
std::optional<double> DecimalToDouble(const Decimal& number);

// The number × 10^scale rounded to a whole number, an exact half to the even neighbour, without
// leaving decimal arithmetic. nullopt when the result does not fit in 64 bits.
std::optional<std::int64_t> DecimalToScaled(const Decimal& number, int scale);

// Whether the number × 10^scale is whole: every digit DecimalToScaled drops is 0.
bool ScalesExactly(const Decimal& number, int scale);

}  // namespace zav5::data

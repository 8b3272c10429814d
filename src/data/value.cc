#include "data/value.h"

#include <charconv>
#include <cmath>
#include <cstdio>
#include <limits>
#include <optional>
#include <string>
#include <string_view>
#include <type_traits>

#include "data/ascii_text.h"
#include "data/decimal.h"
#include "data/value_calendar.h"
#include "errors.h"
#include "platform/case_fold.h"
#include "platform/utf8.h"

namespace zav5::data {

namespace {

// The names of the conversion targets, as they appear in error messages.
constexpr std::string_view kToInteger = "numero intero (16 bit)";
constexpr std::string_view kToLong = "numero intero (32 bit)";
constexpr std::string_view kToDouble = "numero a virgola mobile";
constexpr std::string_view kToCurrency = "valuta";
constexpr std::string_view kToDate = "data";
constexpr std::string_view kToBoolean = "valore logico";
constexpr std::string_view kToText = "testo";

// A text shown in a message is cut to this many characters.
constexpr std::size_t kDescribedTextLength = 60;

[[noreturn]] void ThrowNull(std::string_view target) {
  throw ConversionError("valore Null non convertibile in " + std::string(target));
}

[[noreturn]] void ThrowNotConvertible(const Value& value, std::string_view target) {
  throw ConversionError("conversione non possibile: " + Describe(value) + " in " +
                        std::string(target));
}

[[noreturn]] void ThrowOutOfRange(const Value& value, std::string_view target) {
  throw ConversionError("conversione non possibile: " + Describe(value) +
                        " fuori dall'intervallo di " + std::string(target));
}

// A whole number in 64 bits from a double already rounded; nullopt outside [low, -low - 1] (the
// range of a two's complement integer). The upper bound is tested as "below -low" because -low is
// exact as a double while -low - 1 may not be.
std::optional<std::int64_t> WholeInRange(double rounded, std::int64_t low) {
  const double lower = static_cast<double>(low);
  // The comparisons are false for NaN as well.
  if (!(rounded >= lower && rounded < -lower)) {
    return std::nullopt;
  }
  return static_cast<std::int64_t>(rounded);
}

// A double as ten-thousandths, rounded half to even; nullopt when out of range. The rounding is
// done on the shortest decimal that reads back as the same double, so 1.00005 is the half it is
// written as (its binary value is a little above it) and rounds down to 1.0000, as the text
// "1,00005" does. Multiplying by 10000 in binary would round some halves and not others.
std::optional<std::int64_t> ScaleToCurrency(double value) {
  if (!std::isfinite(value)) {
    return std::nullopt;
  }
  // Most amounts are a number of ten-thousandths to begin with: when the decimal of that many
  // reads back as the value, it is the shortest one (below 1e11 two such decimals are further apart
  // than two doubles), and the text is not needed.
  if (std::fabs(value) < 1e11) {
    const double scaled = std::nearbyint(value * 10000.0);
    if (scaled / 10000.0 == value) {
      return static_cast<std::int64_t>(scaled);
    }
  }
  char buffer[64];
  const auto [end, error] = std::to_chars(buffer, buffer + sizeof buffer, value);
  if (error != std::errc()) {
    return std::nullopt;
  }
  const std::optional<Decimal> number = ParseDecimal(std::string_view(buffer, end - buffer));
  if (!number) {
    return std::nullopt;
  }
  return DecimalToScaled(*number, 4);
}

// Currency amount to a whole number, an exact half to the even neighbour.
std::int64_t RoundCurrency(Currency amount) {
  std::int64_t whole = amount.ten_thousandths / Currency::kScale;
  const std::int64_t rest = amount.ten_thousandths % Currency::kScale;  // same sign as the amount
  const std::int64_t half = Currency::kScale / 2;
  if (rest > half || (rest == half && whole % 2 != 0)) {
    ++whole;
  } else if (rest < -half || (rest == -half && whole % 2 != 0)) {
    --whole;
  }
  return whole;
}

// The value rounded to a whole number within [low, high], for ToInteger and ToLong.
std::int64_t ToWhole(const Value& value, std::int64_t low, std::int64_t high,
                     std::string_view target) {
  std::optional<std::int64_t> whole;
  switch (value.Kind()) {
    case ValueKind::kNull:
      ThrowNull(target);
    case ValueKind::kInteger:
      whole = value.AsInteger();
      break;
    case ValueKind::kLong:
      whole = value.AsLong();
      break;
    case ValueKind::kDouble:
      whole = WholeInRange(RoundHalfEven(value.AsDouble()), low);
      break;
    case ValueKind::kCurrency:
      whole = RoundCurrency(value.AsCurrency());
      break;
    case ValueKind::kDate:
      whole = WholeInRange(RoundHalfEven(value.AsDate().ole_days), low);
      break;
    case ValueKind::kBoolean:
      whole = value.AsBoolean() ? -1 : 0;
      break;
    case ValueKind::kText: {
      const std::optional<Decimal> number = ParseDecimal(value.AsText());
      if (!number) {
        ThrowNotConvertible(value, target);
      }
      whole = DecimalToScaled(*number, 0);
      break;
    }
  }
  if (!whole || *whole < low || *whole > high) {
    ThrowOutOfRange(value, target);
  }
  return *whole;
}

// Double to text the way Visual Basic's CStr does: 15 significant digits, no trailing zeros,
// exponent form below 1E-04 and from 1E+15.
std::string FormatDouble(double value, char decimal_separator) {
  const std::string separator(1, decimal_separator);
  if (std::isnan(value)) {
    return "-1" + separator + "#IND";
  }
  if (std::isinf(value)) {
    return (value < 0 ? "-1" : "1") + separator + "#INF";
  }
  if (value == 0) {
    return "0";  // also for -0
  }
  // "d.ddddddddddddddde±x": the 15 significant digits, rounded once, and the decimal exponent.
  char buffer[40];
  std::snprintf(buffer, sizeof buffer, "%.14e", std::fabs(value));
  const std::string_view scientific(buffer);
  const std::size_t e = scientific.find('e');
  std::string digits = std::string(1, scientific[0]) + std::string(scientific.substr(2, e - 2));
  digits.erase(digits.find_last_not_of('0') + 1);
  int exponent = 0;
  const char* exponent_begin = scientific.data() + e + 1;
  if (*exponent_begin == '+') {
    ++exponent_begin;
  }
  std::from_chars(exponent_begin, scientific.data() + scientific.size(), exponent);

  std::string text = value < 0 ? "-" : "";
  if (exponent < -4 || exponent >= 15) {
    text += digits.substr(0, 1);
    if (digits.size() > 1) {
      text += separator + digits.substr(1);
    }
    const std::string exponent_digits = std::to_string(std::abs(exponent));
    return text + (exponent < 0 ? "E-" : "E+") + (exponent_digits.size() < 2 ? "0" : "") +
           exponent_digits;
  }
  if (exponent < 0) {
    return text + "0" + separator + std::string(static_cast<std::size_t>(-exponent - 1), '0') +
           digits;
  }
  const std::size_t whole_digits = static_cast<std::size_t>(exponent) + 1;
  if (digits.size() <= whole_digits) {
    return text + digits + std::string(whole_digits - digits.size(), '0');
  }
  return text + digits.substr(0, whole_digits) + separator + digits.substr(whole_digits);
}

std::string FormatCurrency(Currency amount, char decimal_separator) {
  const bool negative = amount.ten_thousandths < 0;
  // In unsigned arithmetic so that the most negative amount has a magnitude too.
  const std::uint64_t magnitude = negative ? 0 - static_cast<std::uint64_t>(amount.ten_thousandths)
                                           : static_cast<std::uint64_t>(amount.ten_thousandths);
  const std::uint64_t scale = static_cast<std::uint64_t>(Currency::kScale);
  std::string text = (negative ? "-" : "") + std::to_string(magnitude / scale);
  std::string decimals = std::to_string(magnitude % scale + scale).substr(1);  // four digits
  decimals.erase(decimals.find_last_not_of('0') + 1);
  if (!decimals.empty()) {
    text += decimal_separator + decimals;
  }
  return text;
}
std::string ShortenForMessage(std::string_view text) {
  std::size_t pos = 0;
  std::size_t count = 0;
  while (pos < text.size() && count < kDescribedTextLength) {
    pos = platform::SkipUtf8Character(text, pos);
    ++count;
  }
  return pos < text.size() ? std::string(text.substr(0, pos)) + "..." : std::string(text);
}

}  // namespace

double RoundHalfEven(double value) {
  // From 2^52 on every double is whole; infinities and NaN stay as they are.
  if (!std::isfinite(value) || std::fabs(value) >= 4503599627370496.0) {
    return value;
  }
  const double below = std::floor(value);
  const double fraction = value - below;  // exact at these magnitudes
  if (fraction < 0.5) {
    return below;
  }
  if (fraction > 0.5) {
    return below + 1;
  }
  return std::fmod(below, 2.0) == 0 ? below : below + 1;
}

Currency Currency::FromDouble(double value) {
  const std::optional<Currency> amount = TryFromDouble(value);
  if (!amount) {
    ThrowOutOfRange(Value::Double(value), kToCurrency);
  }
  return *amount;
}

std::optional<Currency> Currency::TryFromDouble(double value) {
  const std::optional<std::int64_t> scaled = ScaleToCurrency(value);
  if (!scaled) {
    return std::nullopt;
  }
  return Currency{*scaled};
}

ValueKind Value::Kind() const {
  // The alternatives of the storage are listed in the order of ValueKind.
  static_assert(std::variant_size_v<Storage> == static_cast<std::size_t>(ValueKind::kText) + 1);
  static_assert(std::is_same_v<
                std::variant_alternative_t<static_cast<std::size_t>(ValueKind::kInteger), Storage>,
                std::int16_t>);
  static_assert(std::is_same_v<
                std::variant_alternative_t<static_cast<std::size_t>(ValueKind::kCurrency), Storage>,
                Currency>);
  static_assert(std::is_same_v<
                std::variant_alternative_t<static_cast<std::size_t>(ValueKind::kBoolean), Storage>,
                bool>);
  return static_cast<ValueKind>(storage_.index());
}

std::int16_t Value::ToInteger() const {
  return static_cast<std::int16_t>(ToWhole(*this, std::numeric_limits<std::int16_t>::min(),
                                           std::numeric_limits<std::int16_t>::max(), kToInteger));
}

std::int32_t Value::ToLong() const {
  return static_cast<std::int32_t>(ToWhole(*this, std::numeric_limits<std::int32_t>::min(),
                                           std::numeric_limits<std::int32_t>::max(), kToLong));
}

double Value::ToDouble() const {
  switch (Kind()) {
    case ValueKind::kNull:
      ThrowNull(kToDouble);
    case ValueKind::kInteger:
      return AsInteger();
    case ValueKind::kLong:
      return AsLong();
    case ValueKind::kDouble:
      return AsDouble();
    case ValueKind::kCurrency:
      return AsCurrency().ToDouble();
    case ValueKind::kDate:
      return AsDate().ole_days;
    case ValueKind::kBoolean:
      return AsBoolean() ? -1 : 0;
    case ValueKind::kText: {
      const std::optional<Decimal> number = ParseDecimal(AsText());
      if (!number) {
        ThrowNotConvertible(*this, kToDouble);
      }
      const std::optional<double> result = DecimalToDouble(*number);
      if (!result) {
        ThrowOutOfRange(*this, kToDouble);
      }
      return *result;
    }
  }
  return 0;  // not reached: every kind is handled above
}

Currency Value::ToCurrency() const {
  switch (Kind()) {
    case ValueKind::kNull:
      ThrowNull(kToCurrency);
    case ValueKind::kCurrency:
      return AsCurrency();
    case ValueKind::kText: {
      // Decimal all the way, so "0,00005" is exactly a half.
      const std::optional<Decimal> number = ParseDecimal(AsText());
      if (!number) {
        ThrowNotConvertible(*this, kToCurrency);
      }
      const std::optional<std::int64_t> scaled = DecimalToScaled(*number, 4);
      if (!scaled) {
        ThrowOutOfRange(*this, kToCurrency);
      }
      return Currency{*scaled};
    }
    case ValueKind::kDouble:
    case ValueKind::kDate: {
      const double number = ToDouble();
      const std::optional<std::int64_t> scaled = ScaleToCurrency(number);
      if (!scaled) {
        ThrowOutOfRange(*this, kToCurrency);
      }
      return Currency{*scaled};
    }
    default:
      // 16- and 32-bit integers and flags: always in range.
      return Currency{ToLong() * Currency::kScale};
  }
}

Date Value::ToDate() const {
  switch (Kind()) {
    case ValueKind::kNull:
      ThrowNull(kToDate);
    case ValueKind::kDate:
      return AsDate();
    case ValueKind::kText: {
      const std::optional<Date> date = ParseDate(AsText());
      if (!date) {
        ThrowNotConvertible(*this, kToDate);
      }
      return *date;
    }
    default: {
      const double number = ToDouble();
      if (!IsDateInRange(number)) {
        ThrowOutOfRange(*this, kToDate);
      }
      return Date{number};
    }
  }
}

bool Value::ToBoolean() const {
  switch (Kind()) {
    case ValueKind::kNull:
      ThrowNull(kToBoolean);
    case ValueKind::kBoolean:
      return AsBoolean();
    case ValueKind::kCurrency:
      return AsCurrency().ten_thousandths != 0;
    case ValueKind::kText: {
      const std::string_view text = Trim(AsText());
      if (platform::EqualsIgnoringCase(text, "True") ||
          platform::EqualsIgnoringCase(text, "Vero")) {
        return true;
      }
      if (platform::EqualsIgnoringCase(text, "False") ||
          platform::EqualsIgnoringCase(text, "Falso")) {
        return false;
      }
      const std::optional<Decimal> number = ParseDecimal(text);
      if (!number) {
        ThrowNotConvertible(*this, kToBoolean);
      }
      return !number->digits.empty();
    }
    default:
      return ToDouble() != 0;
  }
}

std::string Value::ToText(const RegionalSettings& regionale) const {
  switch (Kind()) {
    case ValueKind::kNull:
      ThrowNull(kToText);
    case ValueKind::kInteger:
      return std::to_string(AsInteger());
    case ValueKind::kLong:
      return std::to_string(AsLong());
    case ValueKind::kDouble:
      return FormatDouble(AsDouble(), regionale.decimal_separator);
    case ValueKind::kCurrency:
      return FormatCurrency(AsCurrency(), regionale.decimal_separator);
    case ValueKind::kDate: {
      std::optional<std::string> text = FormatDate(AsDate().ole_days);
      if (!text) {
        ThrowOutOfRange(*this, kToText);
      }
      return *std::move(text);
    }
    case ValueKind::kBoolean:
      return AsBoolean() ? "True" : "False";
    case ValueKind::kText:
      return AsText();
  }
  return {};  // not reached: every kind is handled above
}

std::string Describe(const Value& value) {
  switch (value.Kind()) {
    case ValueKind::kNull:
      return "Null";
    case ValueKind::kInteger:
    case ValueKind::kLong:
    case ValueKind::kDouble:
      return "numero " + value.ToText();
    case ValueKind::kCurrency:
      return "importo " + value.ToText();
    case ValueKind::kDate: {
      // Not through ToText: describing a value for a message must not fail.
      const std::optional<std::string> text = FormatDate(value.AsDate().ole_days);
      return text ? "data " + *text
                  : "data con numero di giorno " + FormatDouble(value.AsDate().ole_days, ',');
    }
    case ValueKind::kBoolean:
      return "valore logico " + value.ToText();
    case ValueKind::kText:
      return "testo '" + ShortenForMessage(value.AsText()) + "'";
  }
  return {};  // not reached: every kind is handled above
}

std::optional<double> TextToDouble(std::string_view text) {
  // The same two steps as ToDouble's, which tells their failures apart in its messages.
  const std::optional<Decimal> number = ParseDecimal(text);
  if (!number) {
    return std::nullopt;
  }
  return DecimalToDouble(*number);
}

}  // namespace zav5::data

#include "labels/label_texts.h"

#include <algorithm>
#include <charconv>
#include <chrono>
#include <cmath>
#include <limits>
#include <string>

#include "data/value_calendar.h"
#include "data/value_text.h"
#include "errors.h"

namespace zav5::labels {

namespace {

// The dates a date field can hold: 1 January 100 to 31 December 9999 as OLE day numbers.
constexpr std::int32_t kFirstOleDay = -657434;
constexpr std::int32_t kLastOleDay = 2958465;

constexpr std::size_t kDescriptionChars = 35;
constexpr std::size_t kDescriptionLength = 50;

// A number rounded to hundredths: the decimal digits of its magnitude × 100, at least three
// ("005" is 0.05), and its sign. Zero is never negative.
struct Cents {
  bool negative = false;
  std::string digits;
};

// Rounds `valore` to hundredths, half away from zero, on the shortest decimal text that reads back
// as the same double. Rounding the binary value instead would turn 2.675 (stored a little below
// the half) into 2.67, which is not what anyone who typed 2.675 expects.
Cents ToCents(double valore, std::string_view cosa) {
  if (!std::isfinite(valore)) {
    throw ConversionError(std::string(cosa) +
                          " non valido: " + data::Describe(data::Value::Double(valore)));
  }
  // Fixed notation, so no exponent to deal with; the largest double has 309 digits and the
  // smallest a few more than 320 places after the point.
  char buffer[512];
  const auto [end_day, errore] =
      std::to_chars(buffer, buffer + sizeof buffer, valore, std::chars_format::fixed);
  if (errore != std::errc()) {
    throw ConversionError(std::string(cosa) +
                          " non valido: " + data::Describe(data::Value::Double(valore)));
  }
  std::string_view testo(buffer, static_cast<std::size_t>(end_day - buffer));

  Cents risultato;
  if (!testo.empty() && testo.front() == '-') {
    risultato.negative = true;
    testo.remove_prefix(1);
  }
  const std::size_t punto = testo.find('.');
  const std::string_view intero = testo.substr(0, punto);
  std::string decimali(punto == std::string_view::npos ? "" : testo.substr(punto + 1));
  decimali.resize(std::max<std::size_t>(decimali.size(), 3), '0');

  risultato.digits = std::string(intero) + decimali.substr(0, 2);
  if (decimali[2] >= '5') {
    // Away from zero: the magnitude goes up whatever the sign.
    std::size_t i = risultato.digits.size();
    while (i > 0 && risultato.digits[i - 1] == '9') {
      risultato.digits[--i] = '0';
    }
    if (i == 0) {
      risultato.digits.insert(risultato.digits.begin(), '1');
    } else {
      ++risultato.digits[i - 1];
    }
  }
  const std::size_t prima_cifra = risultato.digits.find_first_not_of('0');
  if (prima_cifra == std::string::npos) {
    risultato.digits = "000";
    risultato.negative = false;  // -0.004 shows as 0,00
  } else {
    risultato.digits.erase(0, std::min(prima_cifra, risultato.digits.size() - 3));
  }
  return risultato;
}

}  // namespace

std::string_view Trimmed(std::string_view text) {
  const std::size_t inizio = text.find_first_not_of(' ');
  if (inizio == std::string_view::npos) {
    return {};
  }
  return text.substr(inizio, text.find_last_not_of(' ') - inizio + 1);
}

std::string Amount(double valore, const data::RegionalSettings& regionale) {
  const Cents centesimi = ToCents(valore, "importo");
  const std::string_view digits = centesimi.digits;
  const std::string_view intero = digits.substr(0, digits.size() - 2);

  std::string testo = centesimi.negative ? "-" : "";
  for (std::size_t i = 0; i < intero.size(); ++i) {
    if (i > 0 && (intero.size() - i) % 3 == 0) {
      testo += regionale.thousands_separator;
    }
    testo += intero[i];
  }
  testo += regionale.decimal_separator;
  testo += digits.substr(digits.size() - 2);
  return testo;
}

std::string MoneyText(data::Currency valore, const data::RegionalSettings& regionale) {
  // A currency value's own text form is exactly the money form.
  return data::Value::Money(valore).ToText(regionale);
}

data::Currency PriceTwoDecimals(double valore) {
  const Cents centesimi = ToCents(valore, "prezzo");
  constexpr std::int64_t kPerCentesimo = data::Currency::kScale / 100;
  constexpr std::int64_t kMassimo = std::numeric_limits<std::int64_t>::max() / kPerCentesimo;
  std::int64_t quanti = 0;
  for (const char cifra : centesimi.digits) {
    if (quanti > (kMassimo - (cifra - '0')) / 10) {
      throw ConversionError("prezzo fuori dall'intervallo della valuta: " +
                            data::Describe(data::Value::Double(valore)));
    }
    quanti = quanti * 10 + (cifra - '0');
  }
  return data::Currency{(centesimi.negative ? -quanti : quanti) * kPerCentesimo};
}

data::Currency DiscountedPrice(data::Currency price, data::Currency sconto) {
  const data::Currency riduzione =
      data::Currency::FromDouble(sconto.ToDouble() / 100 * price.ToDouble());
  constexpr std::int64_t kMinimo = std::numeric_limits<std::int64_t>::min();
  constexpr std::int64_t kMassimo = std::numeric_limits<std::int64_t>::max();
  const std::int64_t a = price.ten_thousandths;
  const std::int64_t b = riduzione.ten_thousandths;
  if (b > 0 ? a < kMinimo + b : a > kMassimo + b) {
    throw ConversionError("prezzo scontato fuori dall'intervallo della valuta: prezzo " +
                          MoneyText(price) + ", sconto " + MoneyText(sconto) + "%");
  }
  const std::int64_t netto = a - b;
  // Hundredths by exact integer arithmetic; the remainder has the sign of the amount.
  constexpr std::int64_t kPerCentesimo = data::Currency::kScale / 100;
  constexpr std::int64_t kMeta = kPerCentesimo / 2;
  std::int64_t centesimi = netto / kPerCentesimo;
  const std::int64_t resto = netto % kPerCentesimo;
  const bool dispari = centesimi % 2 != 0;
  if (resto > kMeta || (resto == kMeta && dispari)) {
    ++centesimi;
  } else if (resto < -kMeta || (resto == -kMeta && dispari)) {
    --centesimi;
  }
  return data::Currency{centesimi * kPerCentesimo};
}

std::string UnitPrice(double price, double quantity, double fattore,
                      const data::RegionalSettings& regionale) {
  if (quantity == 0) {
    return "0";
  }
  return Amount(price / quantity * fattore, regionale);
}

std::string ArticleDescription(std::string_view desart) {
  return data::FitText(data::FitText(desart, kDescriptionChars), kDescriptionLength);
}

std::string EndDate(std::int32_t giorno) {
  if (giorno < kFirstOleDay || giorno > kLastOleDay) {
    throw ConversionError("data di fine offerta fuori dall'intervallo: giorno numero " +
                          std::to_string(giorno));
  }
  const std::chrono::year_month_day data = data::DayFromNumber(giorno);
  const auto due_cifre = [](unsigned n) {
    return std::string{static_cast<char>('0' + n / 10), static_cast<char>('0' + n % 10)};
  };
  std::string anno = std::to_string(static_cast<int>(data.year()));
  anno.insert(0, 4 - std::min<std::size_t>(anno.size(), 4), '0');
  return due_cifre(static_cast<unsigned>(data.day())) + "-" +
         due_cifre(static_cast<unsigned>(data.month())) + "-" + anno;
}

}  // namespace zav5::labels

// The text forms and roundings of the label import lines. Pure functions: no database, no files.
//
// Two roundings meet here and must not be confused. Prices read from the price list are rounded
// half away from zero; a price after its discount is rounded half to the even neighbour. Both
// treat a half as the number is written (2.675 is a half), not as its binary approximation falls.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "data/value.h"

namespace zav5::labels {

// `text` without leading and trailing blanks (spaces only).
std::string_view Trimmed(std::string_view text);

// The amount form "###,##0.00": at least one integer digit, thousands grouped with the regional
// group separator, two decimals after the regional decimal separator, rounded half away from zero
// (1234.5 gives "1.234,50", 2.675 gives "2,68"). A result that rounds to zero has no sign.
// Throws ConversionError for NaN and infinities.
std::string Amount(double valore, const data::RegionalSettings& regionale = data::kItalianSettings);

// The money form: regional decimal separator, no grouping, no trailing zero decimals, no separator
// for a whole value (12.50 gives "12,5", 3 gives "3").
std::string MoneyText(data::Currency valore,
                      const data::RegionalSettings& regionale = data::kItalianSettings);

// A price rounded to two decimals, half away from zero (1.005 gives 1.01). Throws ConversionError
// for NaN, infinities and values outside the currency range.
data::Currency PriceTwoDecimals(double valore);

// The price less `sconto` percent of it: the discount amount is computed in floating point and
// brought to currency, then the difference is rounded to two decimals, halves to the even
// neighbour (0.25 less 10% is 0.225, which gives 0.22). Throws ConversionError when a result is
// outside the currency range.
data::Currency DiscountedPrice(data::Currency price, data::Currency sconto);

// The price of one unit of measure: "0" when `quantity` is 0, otherwise the amount form of
// price ÷ quantity × fattore (floating point; only the amount form rounds). An unknown unit has
// factor 0 and gives "0,00". Throws ConversionError when the result is not finite.
std::string UnitPrice(double price, double quantity, double fattore,
                      const data::RegionalSettings& regionale = data::kItalianSettings);

// The article description of a line: its first 35 characters, padded with blanks to 50.
std::string ArticleDescription(std::string_view desart);

// The end date of a promotion, DD-MM-YYYY, from an OLE day number (46363 gives "07-12-2026").
// Throws ConversionError for a day outside 1 January 100 to 31 December 9999.
std::string EndDate(std::int32_t giorno);

}  // namespace zav5::labels

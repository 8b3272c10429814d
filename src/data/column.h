// What a column of a store table is, as its declaration says.
#pragma once

#include <string>
#include <string_view>

#include "data/value.h"

namespace zav5::data {

// The column kinds the program knows, after the Access type names of the store suite's tables.
enum class ColumnKind {
  kInteger,   // SHORT, SMALLINT, BYTE: 16-bit integer
  kLong,      // LONG, INTEGER, INT, COUNTER, AUTOINCREMENT: 32-bit integer
  kDouble,    // DOUBLE, SINGLE, FLOAT, REAL, NUMERIC, DECIMAL
  kCurrency,  // CURRENCY, MONEY
  kDate,      // DATETIME, DATE, TIME
  kBoolean,   // YESNO, BIT, BOOLEAN, LOGICAL
  kText,      // TEXT(n), CHAR(n), VARCHAR(n): at most n characters (255 when no size is given)
  kMemo,      // MEMO, LONGTEXT, NOTE: text of any length
  kOther,     // anything else: values are taken as the engine gives them
};

struct Column {
  std::string name;
  ColumnKind kind = ColumnKind::kOther;
  std::size_t size = 0;  // for kText, the most characters the column holds
};

// The kind and size of a column from its declared type ("TEXT(30)", "currency", "LONG").
Column ColumnFromDeclaration(std::string name, std::string_view declared_type);

// Converts a value to be stored in `column`, the way the engine does when a field is assigned:
// numbers take the column's type (a 16-bit 0 into a date column is day 0), texts are checked
// against the column's size. Null stays Null. Throws ConversionError when the value does not fit.
Value CoerceForColumn(const Value& value, const Column& column, std::string_view table);

}  // namespace zav5::data

// What a column of a store table is, as its declaration says.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

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

// True when `a` and `b` are the same name of a table, column or index without regard to letter
// case, as platform::EqualsIgnoringCase has it; names in ASCII, which are all the store's, are
// compared in place.
bool SameName(std::string_view a, std::string_view b);

// The position in `columns` of the first whose name is `name` (see SameName); nothing when none
// is.
std::optional<std::size_t> FindColumn(const std::vector<Column>& columns, std::string_view name);

// The kind and size of a column from its declared type ("TEXT(30)", "currency", "LONG").
Column ColumnFromDeclaration(std::string name, std::string_view declared_type);

// Converts a value to be stored in `column`, the way the engine does when a field is assigned:
// numbers take the column's type (a 16-bit 0 into a date column is day 0), texts are checked
// against the column's size. Null stays Null. Throws ConversionError when the value does not fit.
Value CoerceForColumn(const Value& value, const Column& column, std::string_view table);

}  // namespace zav5::data

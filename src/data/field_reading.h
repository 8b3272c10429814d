// Reading a field of the current row as a given type, with errors that name the field.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "data/recordset.h"
#include "data/value.h"

namespace zav5::data {

// The field `field` of the current row of `row` (read from `table`) converted as asked. A value
// that cannot be converted (Null among them) throws ConversionError naming table and field.
std::int16_t FieldInteger(const RowEditor& row, std::string_view table, std::string_view field);
std::int32_t FieldLong(const RowEditor& row, std::string_view table, std::string_view field);
std::string FieldText(const RowEditor& row, std::string_view table, std::string_view field);
double FieldDouble(const RowEditor& row, std::string_view table, std::string_view field);
Currency FieldCurrency(const RowEditor& row, std::string_view table, std::string_view field);

}  // namespace zav5::data

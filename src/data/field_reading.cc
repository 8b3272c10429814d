#include "data/field_reading.h"

#include "errors.h"

namespace zav5::data {

namespace {

template <typename Convert>
auto Read(const RowEditor& row, std::string_view table, std::string_view field, Convert convert) {
  const Value& value = row.Field(field);
  try {
    return convert(value);
  } catch (const ConversionError& error) {
    throw ConversionError("campo " + std::string(table) + "." + std::string(field) + ": " +
                          error.what());
  }
}

}  // namespace

std::int16_t FieldInteger(const RowEditor& row, std::string_view table, std::string_view field) {
  return Read(row, table, field, [](const Value& v) { return v.ToInteger(); });
}

std::int32_t FieldLong(const RowEditor& row, std::string_view table, std::string_view field) {
  return Read(row, table, field, [](const Value& v) { return v.ToLong(); });
}

std::string FieldText(const RowEditor& row, std::string_view table, std::string_view field) {
  return Read(row, table, field, [](const Value& v) { return v.ToText(); });
}

double FieldDouble(const RowEditor& row, std::string_view table, std::string_view field) {
  return Read(row, table, field, [](const Value& v) { return v.ToDouble(); });
}

Currency FieldCurrency(const RowEditor& row, std::string_view table, std::string_view field) {
  return Read(row, table, field, [](const Value& v) { return v.ToCurrency(); });
}

}  // namespace zav5::data

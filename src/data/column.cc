#include "data/column.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <utility>

#include "data/ascii_text.h"
#include "data/value_text.h"
#include "errors.h"
#include "platform/case_fold.h"

namespace zav5::data {

namespace {

// A text column declared without a size holds 255 characters, as in Access DDL.
constexpr std::size_t kDefaultTextSize = 255;

struct TypeName {
  std::string_view name;
  ColumnKind kind;
};

// The Access (Jet) type names and their synonyms.
constexpr std::array kTypeNames{
    TypeName{"SHORT", ColumnKind::kInteger},
    TypeName{"SMALLINT", ColumnKind::kInteger},
    TypeName{"INTEGER2", ColumnKind::kInteger},
    TypeName{"BYTE", ColumnKind::kInteger},
    TypeName{"TINYINT", ColumnKind::kInteger},
    TypeName{"INTEGER1", ColumnKind::kInteger},
    TypeName{"LONG", ColumnKind::kLong},
    TypeName{"INTEGER", ColumnKind::kLong},
    TypeName{"INT", ColumnKind::kLong},
    TypeName{"INTEGER4", ColumnKind::kLong},
    TypeName{"COUNTER", ColumnKind::kLong},
    TypeName{"AUTOINCREMENT", ColumnKind::kLong},
    TypeName{"DOUBLE", ColumnKind::kDouble},
    TypeName{"FLOAT", ColumnKind::kDouble},
    TypeName{"FLOAT8", ColumnKind::kDouble},
    TypeName{"IEEEDOUBLE", ColumnKind::kDouble},
    TypeName{"NUMBER", ColumnKind::kDouble},
    TypeName{"SINGLE", ColumnKind::kDouble},
    TypeName{"REAL", ColumnKind::kDouble},
    TypeName{"FLOAT4", ColumnKind::kDouble},
    TypeName{"IEEESINGLE", ColumnKind::kDouble},
    TypeName{"NUMERIC", ColumnKind::kDouble},
    TypeName{"DECIMAL", ColumnKind::kDouble},
    TypeName{"DEC", ColumnKind::kDouble},
    TypeName{"CURRENCY", ColumnKind::kCurrency},
    TypeName{"MONEY", ColumnKind::kCurrency},
    TypeName{"DATETIME", ColumnKind::kDate},
    TypeName{"DATE", ColumnKind::kDate},
    TypeName{"TIME", ColumnKind::kDate},
    TypeName{"TIMESTAMP", ColumnKind::kDate},
    TypeName{"YESNO", ColumnKind::kBoolean},
    TypeName{"BIT", ColumnKind::kBoolean},
    TypeName{"BOOLEAN", ColumnKind::kBoolean},
    TypeName{"LOGICAL", ColumnKind::kBoolean},
    TypeName{"LOGICAL1", ColumnKind::kBoolean},
    TypeName{"TEXT", ColumnKind::kText},
    TypeName{"CHAR", ColumnKind::kText},
    TypeName{"CHARACTER", ColumnKind::kText},
    TypeName{"VARCHAR", ColumnKind::kText},
    TypeName{"ALPHANUMERIC", ColumnKind::kText},
    TypeName{"STRING", ColumnKind::kText},
    TypeName{"NCHAR", ColumnKind::kText},
    TypeName{"NVARCHAR", ColumnKind::kText},
    TypeName{"NATIONAL", ColumnKind::kText},  // NATIONAL CHAR(n), NATIONAL CHARACTER(n)
    TypeName{"MEMO", ColumnKind::kMemo},
    TypeName{"LONGTEXT", ColumnKind::kMemo},
    TypeName{"LONGCHAR", ColumnKind::kMemo},
    TypeName{"NOTE", ColumnKind::kMemo},
    TypeName{"NTEXT", ColumnKind::kMemo},
};

bool IsNameChar(char c) {
  return std::isalnum(static_cast<unsigned char>(c)) || c == '_';
}

// The first word of the declaration, in capitals.
std::string TypeWord(std::string_view declared_type) {
  std::size_t begin = 0;
  while (begin < declared_type.size() &&
         std::isspace(static_cast<unsigned char>(declared_type[begin]))) {
    ++begin;
  }
  std::string word;
  for (std::size_t i = begin; i < declared_type.size() && IsNameChar(declared_type[i]); ++i) {
    word.push_back(static_cast<char>(std::toupper(static_cast<unsigned char>(declared_type[i]))));
  }
  return word;
}

// The size in the first parentheses of the declaration ("TEXT(30)", "CHARACTER VARYING (30)");
// 0 when there is none or it is not a number.
std::size_t DeclaredSize(std::string_view declared_type) {
  const std::size_t open = declared_type.find('(');
  if (open == std::string_view::npos) {
    return 0;
  }
  std::size_t i = open + 1;
  while (i < declared_type.size() && std::isspace(static_cast<unsigned char>(declared_type[i]))) {
    ++i;
  }
  std::size_t size = 0;
  bool any_digit = false;
  for (; i < declared_type.size() && std::isdigit(static_cast<unsigned char>(declared_type[i]));
       ++i) {
    if (size > 1'000'000'000) {  // no column is that wide; stop before the count overflows
      return 0;
    }
    size = size * 10 + static_cast<std::size_t>(declared_type[i] - '0');
    any_digit = true;
  }
  return any_digit ? size : 0;
}

std::string FieldName(std::string_view table, const Column& column) {
  return std::string(table) + "." + column.name;
}

// The value in the column's type, before any check of the column's size.
Value Convert(const Value& value, ColumnKind kind) {
  switch (kind) {
    case ColumnKind::kInteger:
      return Value::Integer(value.ToInteger());
    case ColumnKind::kLong:
      return Value::Long(value.ToLong());
    case ColumnKind::kDouble:
      return Value::Double(value.ToDouble());
    case ColumnKind::kCurrency:
      return Value::Money(value.ToCurrency());
    case ColumnKind::kDate:
      return Value::Day(value.ToDate());
    case ColumnKind::kBoolean:
      return Value::Boolean(value.ToBoolean());
    case ColumnKind::kText:
    case ColumnKind::kMemo:
      return Value::Text(value.ToText());
    case ColumnKind::kOther:
      break;
  }
  return value;
}

bool IsAscii(std::string_view text) {
  for (const char c : text) {
    if (static_cast<unsigned char>(c) >= 0x80) {
      return false;
    }
  }
  return true;
}

// Equal but for the case of ASCII letters.
bool SameAsciiCase(std::string_view a, std::string_view b) {
  return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
           return AsciiLower(x) == AsciiLower(y);
         });
}

}  // namespace

std::optional<std::size_t> FindColumn(const std::vector<Column>& columns, std::string_view name) {
  if (IsAscii(name)) {
    // What SameName says, for a name in ASCII.
    const std::size_t size = name.size();
    for (std::size_t i = 0; i < columns.size(); ++i) {
      const std::string& column = columns[i].name;
      if (column.size() != size) {
        continue;
      }
      std::size_t c = 0;
      while (c < size && AsciiLower(column[c]) == AsciiLower(name[c])) {
        ++c;
      }
      if (c == size) {
        return i;
      }
    }
    return std::nullopt;
  }
  for (std::size_t i = 0; i < columns.size(); ++i) {
    if (SameName(columns[i].name, name)) {
      return i;
    }
  }
  return std::nullopt;
}

bool SameName(std::string_view a, std::string_view b) {
  // Equal but for the case of ASCII letters: the same name whatever else they hold, since every
  // other byte is equal. Otherwise a name in ASCII differs: case folding keeps ASCII within ASCII
  // and everything else outside it.
  if (SameAsciiCase(a, b)) {
    return true;
  }
  if (IsAscii(b) || IsAscii(a)) {
    return false;
  }
  return platform::EqualsIgnoringCase(a, b);
}

Column ColumnFromDeclaration(std::string name, std::string_view declared_type) {
  Column column;
  column.name = std::move(name);
  const std::string word = TypeWord(declared_type);
  for (const TypeName& type : kTypeNames) {
    if (type.name == word) {
      column.kind = type.kind;
      break;
    }
  }
  if (column.kind == ColumnKind::kText) {
    const std::size_t size = DeclaredSize(declared_type);
    column.size = size > 0 ? size : kDefaultTextSize;
  }
  return column;
}

Value CoerceForColumn(const Value& value, const Column& column, std::string_view table) {
  if (value.IsNull()) {
    return value;
  }
  Value stored;
  try {
    stored = Convert(value, column.kind);
  } catch (const ConversionError& error) {
    // The conversion rules do not know where the value was going; the operator needs the field.
    throw ConversionError("campo " + FieldName(table, column) + ": " + error.what());
  }
  if (column.kind == ColumnKind::kText) {
    const std::size_t length = CharacterCount(stored.AsText());
    if (length > column.size) {
      throw ConversionError("il campo " + FieldName(table, column) + " (" +
                            std::to_string(column.size) + " caratteri) non può contenere " +
                            Describe(value) + " (" + std::to_string(length) + " caratteri)");
    }
  }
  return stored;
}

}  // namespace zav5::data

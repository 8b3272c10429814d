// Columns from their declared types, and values converted to be stored in them.
#include "data/column.h"

#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include <gtest/gtest.h>

#include "errors.h"

namespace zav5::data {
namespace {

std::string ConversionMessage(const Value& value, const Column& column, std::string_view table) {
  try {
    CoerceForColumn(value, column, table);
  } catch (const ConversionError& error) {
    return error.what();
  }
  ADD_FAILURE() << "no ConversionError";
  return {};
}

TEST(ColumnFromDeclarationTest, AccessTypeNamesAndSynonyms) {
  const std::vector<std::pair<const char*, ColumnKind>> cases = {
      {"SHORT", ColumnKind::kInteger},
      {"smallint", ColumnKind::kInteger},
      {"BYTE", ColumnKind::kInteger},
      {"TinyInt", ColumnKind::kInteger},
      {"INTEGER2", ColumnKind::kInteger},
      {"LONG", ColumnKind::kLong},
      {"INTEGER", ColumnKind::kLong},
      {"int", ColumnKind::kLong},
      {"INTEGER4", ColumnKind::kLong},
      {"COUNTER", ColumnKind::kLong},
      {"AUTOINCREMENT", ColumnKind::kLong},
      {"DOUBLE", ColumnKind::kDouble},
      {"FLOAT", ColumnKind::kDouble},
      {"FLOAT8", ColumnKind::kDouble},
      {"SINGLE", ColumnKind::kDouble},
      {"REAL", ColumnKind::kDouble},
      {"FLOAT4", ColumnKind::kDouble},
      {"NUMERIC", ColumnKind::kDouble},
      {"NUMBER", ColumnKind::kDouble},
      {"DECIMAL(10,2)", ColumnKind::kDouble},
      {"CURRENCY", ColumnKind::kCurrency},
      {"money", ColumnKind::kCurrency},
      {"DATETIME", ColumnKind::kDate},
      {"DATE", ColumnKind::kDate},
      {"TIME", ColumnKind::kDate},
      {"TIMESTAMP", ColumnKind::kDate},
      {"YESNO", ColumnKind::kBoolean},
      {"BIT", ColumnKind::kBoolean},
      {"BOOLEAN", ColumnKind::kBoolean},
      {"LOGICAL", ColumnKind::kBoolean},
      {"MEMO", ColumnKind::kMemo},
      {"LONGTEXT", ColumnKind::kMemo},
      {"NOTE", ColumnKind::kMemo},
      {"LONGCHAR", ColumnKind::kMemo},
      {"", ColumnKind::kOther},
      {"BLOB", ColumnKind::kOther},
      {"TEXTUAL", ColumnKind::kOther},
      {"LONGINTEGER", ColumnKind::kOther},
      {"(30)", ColumnKind::kOther},
      {"  LONG NOT NULL", ColumnKind::kLong},
      {"DOUBLE PRECISION", ColumnKind::kDouble},
  };
  for (const auto& [declared, kind] : cases) {
    SCOPED_TRACE(declared);
    const Column column = ColumnFromDeclaration("campo", declared);
    EXPECT_EQ(column.kind, kind);
    EXPECT_EQ(column.name, "campo");
    EXPECT_EQ(column.size, 0u);
  }
}

TEST(ColumnFromDeclarationTest, TextSizes) {
  const std::vector<std::pair<const char*, std::size_t>> cases = {
      {"TEXT(30)", 30},   {"text (30)", 30},      {"VARCHAR(20)", 20},
      {"CHAR(1)", 1},     {"ALPHANUMERIC(8)", 8}, {"STRING(16)", 16},
      {"NCHAR(4)", 4},    {"NVARCHAR(40)", 40},   {"TEXT( 12 ) NOT NULL", 12},
      {"TEXT", 255},      {"VARCHAR", 255},       {"TEXT()", 255},
      {"TEXT(abc)", 255}, {"TEXT(0)", 255},       {"Text(50) DEFAULT ''", 50},
  };
  for (const auto& [declared, size] : cases) {
    SCOPED_TRACE(declared);
    const Column column = ColumnFromDeclaration("codafo", declared);
    EXPECT_EQ(column.kind, ColumnKind::kText);
    EXPECT_EQ(column.size, size);
  }
}

TEST(CoerceForColumnTest, NumbersTakeTheColumnsType) {
  const Column integer = ColumnFromDeclaration("qta", "SHORT");
  const Column whole = ColumnFromDeclaration("codice", "LONG");
  const Column real = ColumnFromDeclaration("peso", "DOUBLE");
  const Column money = ColumnFromDeclaration("prezzo", "CURRENCY");
  const Column flag = ColumnFromDeclaration("attivo", "YESNO");
  EXPECT_EQ(CoerceForColumn(Value::Double(2.5), integer, "t"), Value::Integer(2));
  EXPECT_EQ(CoerceForColumn(Value::Text("12"), integer, "t"), Value::Integer(12));
  EXPECT_EQ(CoerceForColumn(Value::Integer(7), whole, "t"), Value::Long(7));
  EXPECT_EQ(CoerceForColumn(Value::Text("3,5"), whole, "t"), Value::Long(4));
  EXPECT_EQ(CoerceForColumn(Value::Long(3), real, "t"), Value::Double(3));
  EXPECT_EQ(CoerceForColumn(Value::Double(1.23456), money, "t"), Value::Money(Currency{12346}));
  EXPECT_EQ(CoerceForColumn(Value::Text("12,5"), money, "t"), Value::Money(Currency{125000}));
  EXPECT_EQ(CoerceForColumn(Value::Integer(-1), flag, "t"), Value::Boolean(true));
  EXPECT_EQ(CoerceForColumn(Value::Text("Falso"), flag, "t"), Value::Boolean(false));
}

TEST(CoerceForColumnTest, NumbersIntoDateColumnsAreDayNumbers) {
  const Column date = ColumnFromDeclaration("datafine", "DATETIME");
  EXPECT_EQ(CoerceForColumn(Value::Integer(0), date, "offerte"), Value::Day(Date{0}));
  EXPECT_EQ(CoerceForColumn(Value::Long(45292), date, "offerte"), Value::Day(Date{45292}));
  EXPECT_EQ(CoerceForColumn(Value::Text("07/12/2026"), date, "offerte"), Value::Day(Date{46363}));
  EXPECT_EQ(CoerceForColumn(Value::Day(Date{1.5}), date, "offerte"), Value::Day(Date{1.5}));
}

TEST(CoerceForColumnTest, TextsAreCheckedAgainstTheSize) {
  const Column code = ColumnFromDeclaration("codafo", "TEXT(16)");
  EXPECT_EQ(CoerceForColumn(Value::Text("ABC"), code, "listi01"), Value::Text("ABC"));
  EXPECT_EQ(CoerceForColumn(Value::Text(std::string(16, 'x')), code, "listi01"),
            Value::Text(std::string(16, 'x')));
  // Sixteen characters in more than sixteen bytes still fit.
  const std::string accented = "àèìòùàèìòùàèìòùà";
  EXPECT_EQ(CoerceForColumn(Value::Text(accented), code, "listi01"), Value::Text(accented));
  EXPECT_EQ(CoerceForColumn(Value::Double(1.5), code, "listi01"), Value::Text("1,5"));
  EXPECT_EQ(CoerceForColumn(Value::Day(Date{45292}), code, "listi01"), Value::Text("01/01/2024"));
  EXPECT_EQ(ConversionMessage(Value::Text("12345678901234567"), code, "listi01"),
            "il campo listi01.codafo (16 caratteri) non può contenere testo '12345678901234567' "
            "(17 caratteri)");
  EXPECT_EQ(ConversionMessage(Value::Text(accented + "à"), code, "listi01"),
            "il campo listi01.codafo (16 caratteri) non può contenere testo '" + accented +
                "à' (17 caratteri)");
  const Column memo = ColumnFromDeclaration("note", "MEMO");
  const std::string long_text(100000, 'n');
  EXPECT_EQ(CoerceForColumn(Value::Text(long_text), memo, "listi01"), Value::Text(long_text));
  EXPECT_EQ(CoerceForColumn(Value::Long(5), memo, "listi01"), Value::Text("5"));
}

TEST(CoerceForColumnTest, NullAndUnknownColumnsPassThrough) {
  for (const char* declared : {"SHORT", "LONG", "DATETIME", "TEXT(1)", "CURRENCY", "BLOB"}) {
    SCOPED_TRACE(declared);
    EXPECT_TRUE(CoerceForColumn(Value(), ColumnFromDeclaration("f", declared), "t").IsNull());
  }
  const Column other = ColumnFromDeclaration("dati", "BLOB");
  EXPECT_EQ(CoerceForColumn(Value::Text("abc"), other, "t"), Value::Text("abc"));
  EXPECT_EQ(CoerceForColumn(Value::Integer(3), other, "t"), Value::Integer(3));
}

TEST(CoerceForColumnTest, ConversionErrorsNameTheField) {
  EXPECT_EQ(
      ConversionMessage(Value::Text("abc"), ColumnFromDeclaration("codice", "LONG"), "listi01"),
      "campo listi01.codice: conversione non possibile: testo 'abc' in numero intero "
      "(32 bit)");
  EXPECT_EQ(ConversionMessage(Value::Long(40000), ColumnFromDeclaration("qta", "SHORT"), "art"),
            "campo art.qta: conversione non possibile: numero 40000 fuori dall'intervallo di "
            "numero intero (16 bit)");
  EXPECT_EQ(ConversionMessage(Value::Text("domani"), ColumnFromDeclaration("dal", "DATE"), "off"),
            "campo off.dal: conversione non possibile: testo 'domani' in data");
  EXPECT_THROW(CoerceForColumn(Value::Text("forse"), ColumnFromDeclaration("f", "BIT"), "t"),
               ConversionError);
  EXPECT_THROW(CoerceForColumn(Value::Text("x"), ColumnFromDeclaration("f", "DOUBLE"), "t"),
               ConversionError);
}

// Names are compared as platform::EqualsIgnoringCase compares them, ASCII ones in place.
TEST(SameNameTest, LetterCaseDoesNotCountAnythingElseDoes) {
  const struct {
    std::string_view a;
    std::string_view b;
    bool same;
  } cases[] = {
      {"codart", "codart", true},
      {"CodArt", "cODaRT", true},
      {"AA_offerta", "aa_OFFERTA", true},
      {"codart", "codar", false},
      {"codart", "codare", false},
      {"", "", true},
      {"società", "SOCIETÀ", true},   // Latin-1 letters fold too
      {"società", "SOCIETA", false},  // an accent is not a case
      {"a", "à", false},
      {"perché", "perché", true},
      {"Ł", "ł", true},
      {"\xff"
       "A",
       "\xff"
       "a",
       true},  // a malformed byte stays itself
  };
  for (const auto& c : cases) {
    EXPECT_EQ(SameName(c.a, c.b), c.same) << c.a << " / " << c.b;
    EXPECT_EQ(SameName(c.b, c.a), c.same) << c.b << " / " << c.a;
  }
}

TEST(FindColumnTest, TheFirstColumnOfTheName) {
  const std::vector<Column> columns = {
      ColumnFromDeclaration("codart", "LONG"),    ColumnFromDeclaration("desart", "TEXT(50)"),
      ColumnFromDeclaration("Città", "TEXT(30)"), ColumnFromDeclaration("X", "LONG"),
      ColumnFromDeclaration("x", "TEXT(5)"),  // a query's columns may repeat a name
  };
  EXPECT_EQ(FindColumn(columns, "codart"), 0u);
  EXPECT_EQ(FindColumn(columns, "DESART"), 1u);
  EXPECT_EQ(FindColumn(columns, "CITTÀ"), 2u);
  EXPECT_EQ(FindColumn(columns, "x"), 3u);
  EXPECT_EQ(FindColumn(columns, "citta"), std::nullopt);
  EXPECT_EQ(FindColumn(columns, "codar"), std::nullopt);
  EXPECT_EQ(FindColumn({}, "codart"), std::nullopt);
}

}  // namespace
}  // namespace zav5::data

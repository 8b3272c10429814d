#include "data/select_all.h"

#include <string>
#include <string_view>
#include <vector>

#include <gtest/gtest.h>

namespace zav5::data {
namespace {

using namespace std::string_literals;

// --- Which queries can change their rows ---------------------------------------------------------

TEST(ParseSelectAllFrom, FindsTheTableAndTheStar) {
  const struct {
    std::string_view sql;
    std::string_view table;
    std::size_t star;
  } cases[] = {
      {"select * from società where codute = 1 ", "società", 7},
      {"SELECT * FROM offmo  WHERE bnumer= 7 and bannoc = 2026 ", "offmo", 7},
      {"SELECT * FROM codean WHERE eanare = '8001234567890' ", "codean", 7},
      {"select * from offte where  data2 < 45292  and stato = 'A' ", "offte", 7},
      {"  Select\t*\nFrom   listi01", "listi01", 9},
      {"SELECT*FROM offte;", "offte", 6},
      {"SELECT * FROM [Offerte Testata] ORDER BY numero", "Offerte Testata", 7},
      {"SELECT * FROM \"a\"\"b\" WHERE x = 1", "a\"b", 7},
      {"SELECT * FROM offte o WHERE o.stato = 'A'", "offte", 7},
      {"SELECT * FROM offte AS o", "offte", 7},
      {"SELECT * FROM offte WHERE descrizione = 'x UNION y, z'", "offte", 7},
      {"SELECT * FROM offte WHERE numero IN (SELECT a FROM b UNION SELECT c FROM d)", "offte", 7},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.sql);
    const auto parsed = ParseSelectAllFrom(c.sql);
    ASSERT_TRUE(parsed.has_value());
    EXPECT_EQ(parsed->table, c.table);
    EXPECT_EQ(parsed->star_offset, c.star);
  }
}

TEST(ParseSelectAllFrom, RefusesWhatIsNotOneWholeTable) {
  for (std::string_view sql : {
           "SELECT * FROM offte, offmo WHERE numero = bnumer",
           "SELECT * FROM offte o, offmo m",
           "SELECT * FROM offte JOIN offmo ON numero = bnumer",
           "SELECT * FROM offte LEFT JOIN offmo ON numero = bnumer",
           "SELECT * FROM offte NATURAL JOIN offmo",
           "SELECT * FROM offte UNION SELECT * FROM offte_old",
           "SELECT * FROM (SELECT * FROM offte)",
           "SELECT * FROM main.offte",
           "SELECT DISTINCT * FROM offte",
           "SELECT numero, * FROM offte",
           "SELECT count(*) FROM offte",
           "SELECT * FROM \"unterminated",
           "UPDATE offte SET stato = 'D'",
           "",
       }) {
    EXPECT_FALSE(ParseSelectAllFrom(sql).has_value()) << sql;
  }
}

// --- Shapes: the literals a query's statement takes as parameters -------------------------------

TEST(ShapeOf, TakesOutTheNumbersAndTextsOfTheWhereClause) {
  const struct {
    std::string_view sql;
    std::string_view shape;
    std::vector<Value> literals;
  } cases[] = {
      {"SELECT * FROM codean WHERE codare = 1001  ",
       "SELECT * FROM codean WHERE codare = ?  ",
       {Value::Long(1001)}},
      {"SELECT * FROM codean WHERE eanare = 'L''8001' ",
       "SELECT * FROM codean WHERE eanare = ? ",
       {Value::Text("L'8001")}},
      {"SELECT * FROM offmo  WHERE bnumer= 101 and bannoc = 2026 ",
       "SELECT * FROM offmo  WHERE bnumer= ? and bannoc = ? ",
       {Value::Long(101), Value::Long(2026)}},
      {"select * from offte where  data2 < 46363  and stato = 'A' ",
       "select * from offte where  data2 < ?  and stato = ? ",
       {Value::Long(46363), Value::Text("A")}},
      {"SELECT * FROM t WHERE a = -7", "SELECT * FROM t WHERE a = -?", {Value::Long(7)}},
      {"SELECT * FROM t WHERE a = 2147483647",
       "SELECT * FROM t WHERE a = ?",
       {Value::Long(2147483647)}},
      {"SELECT * FROM t WHERE a = '' ORDER BY 2",
       "SELECT * FROM t WHERE a = ? ORDER BY 2",
       {Value::Text("")}},
      {"SELECT * FROM t WHERE a = 'x' LIMIT 5",
       "SELECT * FROM t WHERE a = ? LIMIT 5",
       {Value::Text("x")}},
      {"SELECT * FROM t WHERE a = 1 AND b IN (2, 3)",
       "SELECT * FROM t WHERE a = ? AND b IN (2, 3)",
       {Value::Long(1)}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.sql);
    const SqlShape shape = ShapeOf(c.sql);
    EXPECT_EQ(shape.text, c.shape);
    EXPECT_EQ(shape.literals, c.literals);
  }
}

TEST(ShapeOf, LeavesWhatAParameterWouldNotMeanTheSame) {
  for (std::string_view sql : {
           "SELECT * FROM t WHERE a = 1.5",             // a real number
           "SELECT * FROM t WHERE a = .5",              // a real number
           "SELECT * FROM t WHERE a = 1e5",             // a real number
           "SELECT * FROM t WHERE a = 0x1F",            // a hexadecimal integer
           "SELECT * FROM t WHERE a = 2147483648",      // beyond 32 bits
           "SELECT * FROM t WHERE a = X'00'",           // a blob
           "SELECT * FROM t WHERE a = ?1 AND b = 2",    // the text's own parameters
           "SELECT * FROM t WHERE a = :n AND b = 'x'",  // the text's own parameters
           "SELECT * FROM t WHERE a IN (SELECT b FROM u ORDER BY 1 LIMIT 1)",  // a subquery
           "SELECT * FROM t ORDER BY 1",      // a column's position
           "SELECT * FROM t LIMIT 5",         // no WHERE clause
           "SELECT a FROM t WHERE a = 1",     // not a whole table
           "SELECT * FROM t, u WHERE a = 1",  // not one table
           "UPDATE t SET a = 1 WHERE b = 2",  // not a query
       }) {
    const SqlShape shape = ShapeOf(sql);
    EXPECT_EQ(shape.text, sql);
    EXPECT_TRUE(shape.literals.empty()) << sql;
  }
  // A NUL inside a text: bound, SQLite would not cut it where the text does.
  const std::string nul = "SELECT * FROM t WHERE a = 'x\0y'"s;
  EXPECT_EQ(ShapeOf(nul).text, nul);
}

// --- The lexer under it
// ---------------------------------------------------------------------------

TEST(SqlLexer, SplitsWordsNamesStringsAndSymbols) {
  SqlLexer lexer("select [a b], \"c\"\"d\" -- comment\n from /* x */ 'it''s' `e`");
  using Kind = SqlToken::Kind;
  const std::vector<std::pair<Kind, std::string>> expected = {
      {Kind::kWord, "select"}, {Kind::kName, "a b"},    {Kind::kSymbol, ","}, {Kind::kName, "c\"d"},
      {Kind::kWord, "from"},   {Kind::kString, "it's"}, {Kind::kName, "e"},   {Kind::kEnd, ""},
  };
  for (const auto& [kind, text] : expected) {
    const SqlToken token = lexer.Next();
    EXPECT_EQ(token.kind, kind) << text;
    EXPECT_EQ(token.text, text);
  }
  EXPECT_EQ(SqlLexer("'open").Next().kind, Kind::kBad);
  EXPECT_TRUE(IsSqlWord(SqlLexer("WiThOuT rowid").Next(), "without"));
  EXPECT_FALSE(IsSqlWord(SqlLexer("\"without\"").Next(), "without"));
}

}  // namespace
}  // namespace zav5::data

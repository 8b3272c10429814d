#include "data/select_all.h"

#include <gtest/gtest.h>

#include <string>
#include <string_view>
#include <vector>

namespace zav5::data {
namespace {

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

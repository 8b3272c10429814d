// Reading the program's own SQL texts: the little the database backends need to see in them.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace zav5::data {

// A query that reads every column of one table, and so returns rows that can be changed.
struct SelectAllFrom {
  std::string table;        // as written, without its quotes
  std::size_t star_offset;  // where the "*" stands in the SQL text
};

// Recognises "SELECT * FROM <table> [alias] [WHERE ...|ORDER BY ...|...]" in any letter case and
// with any blanks. Joins, lists of tables, compound selects and anything else give nothing.
std::optional<SelectAllFrom> ParseSelectAllFrom(std::string_view sql);

// One piece of an SQL text.
struct SqlToken {
  enum class Kind { kEnd, kWord, kName, kString, kSymbol, kBad };
  Kind kind = Kind::kEnd;
  std::string text;  // a word as written, a quoted name without its quotes, a symbol
  std::size_t offset = 0;
};

// Splits SQL text into words, quoted names ("...", `...`, [...]), string literals and one-character
// symbols, skipping blanks and comments, the way SQLite reads it. An unterminated quote gives a
// kBad token; the end of the text gives kEnd tokens.
class SqlLexer {
 public:
  // REQUIRES: `sql` outlives the lexer.
  explicit SqlLexer(std::string_view sql) : sql_(sql) {}

  SqlToken Next();

 private:
  void SkipBlanksAndComments();
  void Quoted(char open, char close, SqlToken& token);

  std::string_view sql_;
  std::size_t at_ = 0;
};

// True when `token` is the word `word` in any letter case.
bool IsSqlWord(const SqlToken& token, std::string_view word);

}  // namespace zav5::data

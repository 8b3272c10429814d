// Reading the program's own SQL texts: the little the database backends need to see in them.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "data/value.h"

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
  std::size_t end = 0;  // just past the token in the SQL text
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
// REQUIRES: `word` is ASCII (a keyword)
bool IsSqlWord(const SqlToken& token, std::string_view word);

// An SQL text with the literals of its WHERE clause taken out, so that the queries that differ
// only in them are one statement for the engine, prepared once.
struct SqlShape {
  std::string text;             // the text with a "?" in place of each literal taken out
  std::vector<Value> literals;  // what they were, in order: Long for numbers, Text for strings
};

// The shape of a "SELECT * FROM <table> ..." (see ParseSelectAllFrom): the whole numbers that fit
// in 32 bits and the string literals (without NUL characters) that stand in its WHERE clause
// outside parentheses are taken out. Bound back as parameters they mean what they meant in the
// text: SQLite gives a literal no affinity, as it gives none to a parameter. Every other literal
// stays: a number after ORDER BY is a column's position, one inside parentheses may belong to a
// subquery's LIMIT, and a text that holds parameters of its own keeps their numbering. Any other
// text is its own shape.
SqlShape ShapeOf(std::string_view sql);

}  // namespace zav5::data

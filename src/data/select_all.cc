#include "data/select_all.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <limits>

namespace zav5::data {

namespace {

bool IsWordByte(unsigned char c) {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_' ||
         c == '$' || c >= 0x80;  // bytes of non-ASCII letters ("società")
}

char AsciiUpper(char c) {
  return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c;
}

bool IsBlank(char c) {
  return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\f' || c == '\v';
}

bool IsSymbol(const SqlToken& token, char symbol) {
  return token.kind == SqlToken::Kind::kSymbol && token.text[0] == symbol;
}

// Whether `token` is one of `words` (keywords in capitals). Most tokens are not: a word longer than
// any keyword, or a symbol, is told at once.
template <std::size_t N>
bool IsOneOf(const SqlToken& token, const std::array<std::string_view, N>& words) {
  if (token.kind != SqlToken::Kind::kWord || token.text.size() > 9) {
    return false;
  }
  const char first = AsciiUpper(token.text[0]);
  for (std::string_view word : words) {
    if (word[0] == first && IsSqlWord(token, word)) {
      return true;
    }
  }
  return false;
}

// The words that may follow the table (and its alias) of a plain one-table query.
constexpr std::array<std::string_view, 6> kClauses = {"WHERE", "GROUP",  "ORDER",
                                                      "LIMIT", "HAVING", "WINDOW"};
bool OpensClause(const SqlToken& token) {
  return IsOneOf(token, kClauses);
}

// Words after a table that say the query reads more than that table, or reads it in a way
// (INDEXED BY, NOT INDEXED) this parser does not follow.
constexpr std::array<std::string_view, 16> kReserved = {
    "JOIN", "NATURAL", "LEFT",    "RIGHT", "FULL",      "INNER",  "CROSS", "OUTER",
    "ON",   "USING",   "INDEXED", "NOT",   "INTERSECT", "EXCEPT", "AS",    "UNION"};
bool IsReservedAfterTable(const SqlToken& token) {
  return IsOneOf(token, kReserved) || OpensClause(token);
}

}  // namespace

// --- The lexer -----------------------------------------------------------------------------------

SqlToken SqlLexer::Next() {
  SkipBlanksAndComments();
  SqlToken token;
  token.offset = at_;
  if (at_ >= sql_.size()) {
    return token;
  }
  const char c = sql_[at_];
  if (IsWordByte(static_cast<unsigned char>(c))) {
    token.kind = SqlToken::Kind::kWord;
    const std::size_t start = at_;
    while (at_ < sql_.size() && IsWordByte(static_cast<unsigned char>(sql_[at_]))) {
      ++at_;
    }
    token.text.assign(sql_.substr(start, at_ - start));
  } else if (c == '"' || c == '`') {
    token.kind = SqlToken::Kind::kName;
    Quoted(c, c, token);
  } else if (c == '[') {
    token.kind = SqlToken::Kind::kName;
    Quoted('[', ']', token);
  } else if (c == '\'') {
    token.kind = SqlToken::Kind::kString;
    Quoted('\'', '\'', token);
  } else {
    token.kind = SqlToken::Kind::kSymbol;
    token.text = std::string(1, c);
    ++at_;
  }
  token.end = at_;
  return token;
}

void SqlLexer::SkipBlanksAndComments() {
  for (;;) {
    while (at_ < sql_.size() && IsBlank(sql_[at_])) {
      ++at_;
    }
    if (sql_.substr(at_, 2) == "--") {
      const std::size_t end = sql_.find('\n', at_);
      at_ = end == std::string_view::npos ? sql_.size() : end + 1;
    } else if (sql_.substr(at_, 2) == "/*") {
      const std::size_t end = sql_.find("*/", at_ + 2);
      at_ = end == std::string_view::npos ? sql_.size() : end + 2;
    } else {
      return;
    }
  }
}

// A quoted token; a doubled closing quote stands for itself (not inside brackets).
void SqlLexer::Quoted(char open, char close, SqlToken& token) {
  ++at_;
  for (;;) {
    if (at_ >= sql_.size()) {
      token.kind = SqlToken::Kind::kBad;
      return;
    }
    const char c = sql_[at_++];
    if (c != close) {
      token.text += c;
    } else if (open != '[' && at_ < sql_.size() && sql_[at_] == close) {
      token.text += c;
      ++at_;
    } else {
      return;
    }
  }
}

bool IsSqlWord(const SqlToken& token, std::string_view word) {
  // What SameName says, for a word in ASCII: only ASCII letters can differ in case.
  return token.kind == SqlToken::Kind::kWord && token.text.size() == word.size() &&
         std::equal(word.begin(), word.end(), token.text.begin(),
                    [](char w, char t) { return AsciiUpper(w) == AsciiUpper(t); });
}

// --- The program's one-table queries -------------------------------------------------------------

namespace {

// Where a literal that ShapeOf takes out stands in the text.
struct Taken {
  std::size_t offset;
  std::size_t end;
};

std::optional<Value> Literal(std::string_view sql, const SqlToken& token);
bool IsParameter(const SqlToken& token);

// ParseSelectAllFrom, and when `taken` is given the literals ShapeOf takes out, in one reading of
// the text.
std::optional<SelectAllFrom> Parse(std::string_view sql, std::vector<Taken>* taken,
                                   std::vector<Value>* literals) {
  SqlLexer lexer(sql);
  if (!IsSqlWord(lexer.Next(), "SELECT")) {
    return std::nullopt;
  }
  const SqlToken star = lexer.Next();
  if (!IsSymbol(star, '*') || !IsSqlWord(lexer.Next(), "FROM")) {
    return std::nullopt;
  }
  SqlToken table = lexer.Next();
  if ((table.kind != SqlToken::Kind::kWord && table.kind != SqlToken::Kind::kName) ||
      (table.kind == SqlToken::Kind::kWord && IsReservedAfterTable(table)) || table.text.empty()) {
    return std::nullopt;
  }
  SqlToken token = lexer.Next();
  // An alias, with or without AS.
  if (IsSqlWord(token, "AS")) {
    token = lexer.Next();
    if (token.kind != SqlToken::Kind::kName && token.kind != SqlToken::Kind::kWord) {
      return std::nullopt;
    }
    token = lexer.Next();
  } else if (token.kind == SqlToken::Kind::kName ||
             (token.kind == SqlToken::Kind::kWord && !IsReservedAfterTable(token))) {
    token = lexer.Next();
  }
  if (token.kind != SqlToken::Kind::kEnd && !IsSymbol(token, ';') && !OpensClause(token)) {
    return std::nullopt;  // a list of tables, a join, a schema name, a subquery...
  }
  // A compound select reads more than the one table (and would get the SQLite backend's rowid in
  // its first part only).
  int depth = 0;
  bool in_where = false;
  for (; token.kind != SqlToken::Kind::kEnd; token = lexer.Next()) {
    if (token.kind == SqlToken::Kind::kBad) {
      return std::nullopt;
    }
    if (IsSymbol(token, '(')) {
      ++depth;
    } else if (IsSymbol(token, ')')) {
      --depth;
    } else if (IsSymbol(token, ';') && depth == 0) {
      break;
    } else if (depth == 0 && (IsSqlWord(token, "UNION") || IsSqlWord(token, "INTERSECT") ||
                              IsSqlWord(token, "EXCEPT"))) {
      return std::nullopt;
    } else if (taken != nullptr) {
      if (IsParameter(token)) {
        // The text's own parameters keep their numbers: nothing is taken out.
        taken->clear();
        literals->clear();
        taken = nullptr;
        continue;
      }
      if (depth == 0 && OpensClause(token)) {
        in_where = IsSqlWord(token, "WHERE");
      } else if (in_where && depth == 0) {
        if (std::optional<Value> literal = Literal(sql, token)) {
          taken->push_back({token.offset, token.end});
          literals->push_back(std::move(*literal));
        }
      }
    }
  }
  return SelectAllFrom{std::move(table.text), star.offset};
}

}  // namespace

std::optional<SelectAllFrom> ParseSelectAllFrom(std::string_view sql) {
  return Parse(sql, nullptr, nullptr);
}

// --- Shapes
// ---------------------------------------------------------------------------------------

namespace {

// A whole number in decimal digits that fits in 32 bits, as SQLite reads the literal.
std::optional<std::int32_t> WholeNumber(std::string_view digits) {
  if (digits.empty() || digits.size() > 10) {
    return std::nullopt;
  }
  std::int64_t n = 0;
  for (const char c : digits) {
    if (c < '0' || c > '9') {
      return std::nullopt;
    }
    n = n * 10 + (c - '0');
  }
  if (n > std::numeric_limits<std::int32_t>::max()) {
    return std::nullopt;
  }
  return static_cast<std::int32_t>(n);
}

// What a literal token of `sql` stands for, when it can be taken out: not a part of something
// larger (the "1" of "1.5", the text of a blob X'00', the number of a parameter ?1).
std::optional<Value> Literal(std::string_view sql, const SqlToken& token) {
  const char before = token.offset > 0 ? sql[token.offset - 1] : ' ';
  const char after = token.end < sql.size() ? sql[token.end] : ' ';
  if (IsWordByte(static_cast<unsigned char>(before)) ||
      std::string_view(".?:@#$").find(before) != std::string_view::npos) {
    return std::nullopt;
  }
  if (token.kind == SqlToken::Kind::kString) {
    if (token.text.find('\0') != std::string::npos) {
      return std::nullopt;
    }
    return Value::Text(token.text);
  }
  if (token.kind == SqlToken::Kind::kWord && after != '.') {
    if (const std::optional<std::int32_t> n = WholeNumber(token.text)) {
      return Value::Long(*n);
    }
  }
  return std::nullopt;
}

// A parameter of the text's own: "?", "?1", ":name", "@name", "$name".
bool IsParameter(const SqlToken& token) {
  return IsSymbol(token, '?') || IsSymbol(token, ':') || IsSymbol(token, '@') ||
         (token.kind == SqlToken::Kind::kWord && token.text.starts_with('$'));
}

}  // namespace

SqlShape ShapeOf(std::string_view sql) {
  SqlShape shape;
  std::vector<Taken> taken;
  if (!Parse(sql, &taken, &shape.literals) || taken.empty()) {
    shape.text = sql;
    shape.literals.clear();
    return shape;
  }
  shape.text.reserve(sql.size());
  std::size_t from = 0;
  for (const Taken& t : taken) {
    shape.text.append(sql.substr(from, t.offset - from));
    shape.text.push_back('?');
    from = t.end;
  }
  shape.text.append(sql.substr(from));
  return shape;
}

}  // namespace zav5::data

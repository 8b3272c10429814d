#include "data/select_all.h"

#include "platform/case_fold.h"

namespace zav5::data {

namespace {

bool IsWordByte(unsigned char c) {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_' ||
         c == '$' || c >= 0x80;  // bytes of non-ASCII letters ("società")
}

bool IsBlank(char c) {
  return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\f' || c == '\v';
}

bool IsSymbol(const SqlToken& token, char symbol) {
  return token.kind == SqlToken::Kind::kSymbol && token.text[0] == symbol;
}

// The words that may follow the table (and its alias) of a plain one-table query.
bool OpensClause(const SqlToken& token) {
  for (std::string_view word : {"WHERE", "GROUP", "ORDER", "LIMIT", "HAVING", "WINDOW"}) {
    if (IsSqlWord(token, word)) {
      return true;
    }
  }
  return false;
}

// Words after a table that say the query reads more than that table, or reads it in a way
// (INDEXED BY, NOT INDEXED) this parser does not follow.
bool IsReservedAfterTable(const SqlToken& token) {
  for (std::string_view word :
       {"JOIN", "NATURAL", "LEFT", "RIGHT", "FULL", "INNER", "CROSS", "OUTER", "ON", "USING",
        "INDEXED", "NOT", "UNION", "INTERSECT", "EXCEPT", "AS"}) {
    if (IsSqlWord(token, word)) {
      return true;
    }
  }
  return OpensClause(token);
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
    while (at_ < sql_.size() && IsWordByte(static_cast<unsigned char>(sql_[at_]))) {
      token.text += sql_[at_++];
    }
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
  return token.kind == SqlToken::Kind::kWord && platform::EqualsIgnoringCase(token.text, word);
}

// --- The program's one-table queries -------------------------------------------------------------

std::optional<SelectAllFrom> ParseSelectAllFrom(std::string_view sql) {
  SqlLexer lexer(sql);
  if (!IsSqlWord(lexer.Next(), "SELECT")) {
    return std::nullopt;
  }
  const SqlToken star = lexer.Next();
  if (!IsSymbol(star, '*') || !IsSqlWord(lexer.Next(), "FROM")) {
    return std::nullopt;
  }
  const SqlToken table = lexer.Next();
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
    }
  }
  return SelectAllFrom{table.text, star.offset};
}

}  // namespace zav5::data

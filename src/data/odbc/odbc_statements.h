// The statements the backend runs: a cached statement's run, with its parameters and the values
// it reads, and a statement of its own for one catalog call or text.
#pragma once

#include <cstddef>
#include <cstdint>
#include <deque>
#include <optional>
#include <string>
#include <vector>

#include "data/odbc/odbc_error.h"
#include "data/odbc/odbc_session.h"
#include "data/odbc/odbc_text.h"
#include "data/odbc/odbc_values.h"

namespace zav5::data::odbc {

// One run of a cached statement: parameters bound in order, then executed, then its rows read.
// The cursor is closed and the parameters are unbound when the run ends, so that the statement
// holds no lock between runs.
class Run {
 public:
  Run(Session& session, const std::string& sql, std::string doing)
      : session_(session), doing_(std::move(doing)) {
    cached_ = &session.Prepared(sql, doing_);
    cached_->busy = true;
    statement_ = cached_->statement.get();
  }
  ~Run() {
    SQLFreeStmt(statement_, SQL_CLOSE);
    SQLFreeStmt(statement_, SQL_RESET_PARAMS);
    cached_->busy = false;
  }
  Run(const Run&) = delete;
  Run& operator=(const Run&) = delete;

  const std::string& doing() const { return doing_; }

  // Binds `value` to the next parameter.
  void Bind(const Value& value);
  // Binds a row id to the next parameter.
  void BindRowId(std::int64_t row_id);
  // Binds what the condition of `match` asks for (see Session::Condition).
  void BindCondition(const KeyMatch& match);

  void Execute() {
    session_.BoundTime(statement_, cached_->timeout);
    session_.NoteStatement();
    const SQLRETURN rc = Check(SQLExecute(statement_));
    no_rows_ = rc == SQL_NO_DATA;  // a searched UPDATE or DELETE that changed nothing
  }

  // The rows the statement changed.
  SQLLEN RowCount() {
    if (no_rows_) {
      return 0;
    }
    SQLLEN rows = 0;
    Check(SQLRowCount(statement_, &rows));
    return rows;
  }

  // The result's columns, described by the driver at the text's first run (and when their number
  // changes: another program changed the table).
  const std::vector<ResultColumn>& Columns() {
    SQLSMALLINT count = 0;
    Check(SQLNumResultCols(statement_, &count));
    if (cached_->described && cached_->columns.size() == static_cast<std::size_t>(count)) {
      return cached_->columns;
    }
    std::vector<ResultColumn> columns;
    for (SQLUSMALLINT i = 1; i <= count; ++i) {
      ColumnDescription description;
      Check(DescribeColumn(statement_, i, description));
      const bool single =
          description.sql_type == SQL_REAL ||
          (description.sql_type == SQL_FLOAT && description.size > 0 && description.size <= 4);
      columns.push_back(
          {ColumnFromOdbc(description.name, description.type_name, description.sql_type,
                          description.size, description.decimal_digits, session_.sqlite()),
           description.sql_type, single});
    }
    cached_->columns = std::move(columns);
    cached_->described = true;
    cached_->layout.reset();
    return cached_->columns;
  }

  // Where a table's columns stand among the result's, kept with the text: empty until the first
  // run works it out, and again when Columns describes the result anew.
  std::optional<Layout>& CachedLayout() { return cached_->layout; }

  // Moves to the next row: false at the end.
  bool Fetch() { return Check(SQLFetch(statement_)) != SQL_NO_DATA; }

  // The field `column` (from 0) of the current row. REQUIRES: fields read in increasing order.
  Field Read(std::size_t column, const ResultColumn& description);

  std::optional<std::string> CharText(SQLUSMALLINT column) {
    std::optional<std::string> text;
    Check(GetCharText(statement_, column, text));
    return text;
  }

 private:
  struct Parameter {
    SQLSMALLINT short_number = 0;
    SQLINTEGER whole = 0;
    SQLBIGINT big = 0;
    double real = 0;
    SQL_TIMESTAMP_STRUCT moment{};
    std::string digits;
    SQLLEN indicator = 0;
    TextParameter text;
  };

  SQLRETURN Check(SQLRETURN rc) {
    return CheckOdbc(rc, SQL_HANDLE_STMT, statement_, session_.database(), doing_);
  }
  void BindBuffer(SQLSMALLINT c_type, SQLSMALLINT sql_type, SQLULEN size, SQLSMALLINT digits,
                  SQLPOINTER buffer, SQLLEN buffer_length, Parameter& parameter) {
    Check(SQLBindParameter(statement_, static_cast<SQLUSMALLINT>(parameters_.size()),
                           SQL_PARAM_INPUT, c_type, sql_type, size, digits, buffer, buffer_length,
                           &parameter.indicator));
  }

  // The buffer of the next parameter. The first one asks whether the driver takes any.
  Parameter& NextParameter() {
    if (parameters_.empty()) {
      session_.RequireParameters(doing_);
    }
    return parameters_.emplace_back();
  }

  Session& session_;
  std::string doing_;
  Session::Cached* cached_ = nullptr;
  SQLHSTMT statement_ = SQL_NULL_HANDLE;
  std::deque<Parameter> parameters_;  // in place until the statement has run
  bool no_rows_ = false;
};

// A statement of its own, not cached: for one catalog call (SQLTables, SQLColumns...) and its rows,
// or one text run directly.
class OwnStatement {
 public:
  OwnStatement(Session& session, std::string doing)
      : database_(session.database()),
        doing_(std::move(doing)),
        statement_(Allocate(SQL_HANDLE_STMT, session.link(), database_, doing_)) {
    Session::QueryTimeout timeout;
    session.BoundTime(statement_.get(), timeout);
    session.NoteStatement();  // its one catalog call or text
  }

  SQLHSTMT get() const { return statement_.get(); }

  // The outcome of the catalog call: throws DatabaseError on failure.
  void Check(SQLRETURN rc) { CheckOdbc(rc, SQL_HANDLE_STMT, statement_.get(), database_, doing_); }
  // Whether the result has the `needed` columns read from it. A driver may answer a catalog call
  // it does not really have with success and no columns (MDB Tools), and fetching from that
  // result crashes in its code.
  bool HasColumns(SQLSMALLINT needed) {
    SQLSMALLINT count = 0;
    return SQL_SUCCEEDED(SQLNumResultCols(statement_.get(), &count)) && count >= needed;
  }
  bool Fetch() {
    return CheckOdbc(SQLFetch(statement_.get()), SQL_HANDLE_STMT, statement_.get(), database_,
                     doing_) != SQL_NO_DATA;
  }
  // A text column of the current row; empty for a Null.
  std::string Text(SQLUSMALLINT column) {
    std::optional<std::string> text;
    Check(GetText(statement_.get(), column, text));
    return text.value_or(std::string());
  }
  bool IsNullText(SQLUSMALLINT column, std::string& text) {
    std::optional<std::string> value;
    Check(GetText(statement_.get(), column, value));
    text = value.value_or(std::string());
    return !value.has_value();
  }
  // A number column of the current row; 0 for a Null.
  long long Number(SQLUSMALLINT column) {
    std::optional<std::string> text;
    Check(GetCharText(statement_.get(), column, text));
    return text ? WholeFromText(*text).value_or(0) : 0;
  }

 private:
  const std::string& database_;
  std::string doing_;
  Handle statement_;
};

}  // namespace zav5::data::odbc

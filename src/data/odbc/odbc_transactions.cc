// Transactions on the connection: autocommit off until they end.
#include <fmt/format.h>

#include "data/odbc/odbc_error.h"
#include "data/odbc/odbc_session.h"
#include "errors.h"

namespace zav5::data::odbc {

void Session::BeginTransaction() {
  if (in_transaction_) {
    throw DatabaseError(fmt::format(
        "errore del database {} iniziando una transazione: ce n'è già una aperta", database_));
  }
  CheckOdbc(SQLSetConnectAttr(connection_.get(), SQL_ATTR_AUTOCOMMIT,
                              IntegerAttribute(SQL_AUTOCOMMIT_OFF), SQL_IS_UINTEGER),
            SQL_HANDLE_DBC, connection_.get(), database_, "iniziando una transazione");
  in_transaction_ = true;
}

void Session::EndTransaction(SQLSMALLINT completion, std::string_view doing) {
  if (!in_transaction_) {
    throw DatabaseError(
        fmt::format("errore del database {} {}: nessuna transazione aperta", database_, doing));
  }
  CheckOdbc(SQLEndTran(SQL_HANDLE_DBC, connection_.get(), completion), SQL_HANDLE_DBC,
            connection_.get(), database_, doing);
  // Only once the transaction has ended: turning autocommit on would commit it.
  CheckOdbc(SQLSetConnectAttr(connection_.get(), SQL_ATTR_AUTOCOMMIT,
                              IntegerAttribute(SQL_AUTOCOMMIT_ON), SQL_IS_UINTEGER),
            SQL_HANDLE_DBC, connection_.get(), database_, doing);
  in_transaction_ = false;
}

void Session::Commit() {
  EndTransaction(SQL_COMMIT, "confermando la transazione");
}

void Session::Rollback() {
  EndTransaction(SQL_ROLLBACK, "annullando la transazione");
}

}  // namespace zav5::data::odbc

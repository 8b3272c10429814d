#include "data/odbc/odbc_handles.h"

#include "data/odbc/odbc_error.h"

namespace zav5::data::odbc {

Handle Allocate(SQLSMALLINT type, SQLHANDLE parent, std::string_view database,
                std::string_view doing) {
  SQLHANDLE handle = SQL_NULL_HANDLE;
  const SQLRETURN rc = SQLAllocHandle(type, parent, &handle);
  if (!SQL_SUCCEEDED(rc)) {
    const SQLSMALLINT parent_type = type == SQL_HANDLE_STMT ? SQL_HANDLE_DBC : SQL_HANDLE_ENV;
    ThrowOdbcError(parent_type, parent, database, doing);
  }
  return Handle(type, handle);
}

}  // namespace zav5::data::odbc

// The ODBC handles the backend holds, each freed when it goes.
#pragma once

#include <string_view>
#include <utility>

#include "data/odbc/odbc_text.h"

namespace zav5::data::odbc {

// One ODBC handle, freed when it goes.
class Handle {
 public:
  Handle() = default;
  Handle(SQLSMALLINT type, SQLHANDLE handle) : type_(type), handle_(handle) {}
  ~Handle() { Free(); }
  Handle(Handle&& other) noexcept
      : type_(other.type_), handle_(std::exchange(other.handle_, nullptr)) {}
  Handle& operator=(Handle&& other) noexcept {
    if (this != &other) {
      Free();
      type_ = other.type_;
      handle_ = std::exchange(other.handle_, nullptr);
    }
    return *this;
  }

  SQLHANDLE get() const { return handle_; }

 private:
  void Free() {
    if (handle_ != SQL_NULL_HANDLE) {
      SQLFreeHandle(type_, handle_);
      handle_ = SQL_NULL_HANDLE;
    }
  }

  SQLSMALLINT type_ = 0;
  SQLHANDLE handle_ = SQL_NULL_HANDLE;
};

// A connection handle's link to its data source, ended when it goes: before the handle is freed,
// which ODBC refuses for a connected handle.
class Connected {
 public:
  Connected() = default;
  explicit Connected(SQLHDBC connection) : connection_(connection) {}
  ~Connected() {
    if (connection_ != SQL_NULL_HANDLE) {
      SQLDisconnect(connection_);
    }
  }
  Connected(const Connected&) = delete;
  Connected& operator=(Connected&& other) noexcept {
    std::swap(connection_, other.connection_);
    return *this;
  }

 private:
  SQLHDBC connection_ = SQL_NULL_HANDLE;
};

// An integer attribute value, which ODBC passes in place of a pointer.
inline SQLPOINTER IntegerAttribute(SQLULEN value) {
  return reinterpret_cast<SQLPOINTER>(value);  // NOLINT(performance-no-int-to-ptr): ODBC's way
}

// Allocates a handle of `type` under `parent` (an environment has none). Throws DatabaseError,
// naming `database` and `doing`, when the driver manager refuses.
Handle Allocate(SQLSMALLINT type, SQLHANDLE parent, std::string_view database,
                std::string_view doing);

}  // namespace zav5::data::odbc

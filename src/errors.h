// Error types of the program. An error leaves the operation where it is met and travels up to the
// event handler that started the work (window load, timer tick); only there is it logged.
#pragma once

#include <stdexcept>
#include <string>

namespace zav5 {

// Every failure the program reports derives from Error. what() says what failed and on what
// (table, field, path, offer), in words an operator can act on.
class Error : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// The database engine refused something: a file that is not a database, a missing table or
// field, a rejected query, a row that cannot be saved.
class DatabaseError : public Error {
 public:
  using Error::Error;
};

// A value could not be turned into the type asked for: Null where a value is needed, a text that
// is not a number, a number out of range.
class ConversionError : public Error {
 public:
  using Error::Error;
};

// The file system refused something: a file that cannot be created, written or deleted.
class FileError : public Error {
 public:
  using Error::Error;
};

// An index outside the bounds of its table: a till number with no entry among the till
// databases, say.
class RangeError : public Error {
 public:
  using Error::Error;
};

}  // namespace zav5

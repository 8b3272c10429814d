// The message of an error that a piece of work must throw.
#pragma once

#include <string>

#include <gtest/gtest.h>

#include "errors.h"

namespace zav5::test {

// The message of the `Error` that `action` throws; fails the test, naming `error_name`, when it
// throws none.
template <typename Error, typename Action>
std::string MessageOf(Action action, const char* error_name) {
  try {
    action();
  } catch (const Error& error) {
    return error.what();
  }
  ADD_FAILURE() << "no " << error_name;
  return "";
}

template <typename Action>
std::string FileErrorOf(Action action) {
  return MessageOf<FileError>(action, "FileError");
}

template <typename Action>
std::string DatabaseErrorOf(Action action) {
  return MessageOf<DatabaseError>(action, "DatabaseError");
}

}  // namespace zav5::test

// The message of an error that a piece of work must throw.
#pragma once

#include <gtest/gtest.h>

#include <string>

#include "errors.h"

namespace zav5::testing {

// The message of the FileError that `action` throws; fails the test when it throws none.
template <typename Action>
std::string FileErrorOf(Action action) {
  try {
    action();
  } catch (const FileError& error) {
    return error.what();
  }
  ADD_FAILURE() << "no FileError";
  return "";
}

}  // namespace zav5::testing

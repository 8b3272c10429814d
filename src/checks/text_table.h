// A table for a terminal: columns aligned on the widest cell, counted in characters, and a limit
// on the rows shown with a count of the rest.
#pragma once

#include <cstddef>
#include <ostream>
#include <string>
#include <vector>

#include "checks/language.h"

namespace zav5::checks {

class TextTable {
 public:
  enum class Align { kLeft, kRight };
  struct Column {
    std::string title;
    Align align = Align::kLeft;
  };

  explicit TextTable(std::vector<Column> columns) : columns_(std::move(columns)) {}

  // REQUIRES: one cell per column
  void AddRow(std::vector<std::string> cells);
  std::size_t Rows() const { return rows_.size(); }

  // Writes the titles (unless every one is empty) and the first `limit` rows (every row when
  // `limit` is 0), each line indented by two blanks and without blanks at its end, then one line
  // that counts the rows left out.
  void Write(std::ostream& out, std::size_t limit, Language language) const;

 private:
  std::vector<Column> columns_;
  std::vector<std::vector<std::string>> rows_;
};

}  // namespace zav5::checks

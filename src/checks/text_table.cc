#include "checks/text_table.h"

#include <algorithm>

#include <fmt/format.h>

#include "data/value_text.h"

namespace zav5::checks {

namespace {

void WriteLine(std::ostream& out, const std::vector<TextTable::Column>& columns,
               const std::vector<std::size_t>& widths, const std::vector<std::string>& cells) {
  std::string line = "  ";
  for (std::size_t i = 0; i < cells.size(); ++i) {
    const std::size_t pad = widths[i] - data::CharacterCount(cells[i]);
    if (i > 0) {
      line += "  ";
    }
    if (columns[i].align == TextTable::Align::kRight) {
      line.append(pad, ' ').append(cells[i]);
    } else {
      line.append(cells[i]).append(pad, ' ');
    }
  }
  line.erase(line.find_last_not_of(' ') + 1);
  out << line << '\n';
}

}  // namespace

void TextTable::AddRow(std::vector<std::string> cells) {
  cells.resize(columns_.size());
  rows_.push_back(std::move(cells));
}

void TextTable::Write(std::ostream& out, std::size_t limit, Language language) const {
  const std::size_t shown = limit == 0 ? rows_.size() : std::min(limit, rows_.size());
  std::vector<std::size_t> widths;
  std::vector<std::string> titles;
  for (const Column& column : columns_) {
    widths.push_back(data::CharacterCount(column.title));
    titles.push_back(column.title);
  }
  for (std::size_t r = 0; r < shown; ++r) {
    for (std::size_t i = 0; i < columns_.size(); ++i) {
      widths[i] = std::max(widths[i], data::CharacterCount(rows_[r][i]));
    }
  }
  if (std::any_of(titles.begin(), titles.end(), [](const std::string& t) { return !t.empty(); })) {
    WriteLine(out, columns_, widths, titles);
  }
  for (std::size_t r = 0; r < shown; ++r) {
    WriteLine(out, columns_, widths, rows_[r]);
  }
  if (shown < rows_.size()) {
    out << "  "
        << fmt::format(
               fmt::runtime(Say(language, {"... e altre {} righe (--limit 0 le mostra tutte)",
                                           "... and {} more rows (--limit 0 shows them all)"})),
               rows_.size() - shown)
        << '\n';
  }
}

}  // namespace zav5::checks

#include "data/recordset.h"

#include <fmt/format.h>

#include <algorithm>
#include <utility>

#include "data/column.h"
#include "errors.h"
#include "platform/case_fold.h"

namespace zav5::data {

// --- RowEditor -----------------------------------------------------------------------------------

RowEditor::RowEditor(std::shared_ptr<Database> database, std::string source)
    : database_(std::move(database)), source_(std::move(source)) {}

void RowEditor::SetShape(std::string table, std::vector<Column> columns) {
  table_ = std::move(table);
  columns_ = std::move(columns);
}

void RowEditor::SetCurrent(std::optional<Row> row) {
  current_ = std::move(row);
  CancelUpdate();
}

std::size_t RowEditor::ColumnIndex(std::string_view name) const {
  for (std::size_t i = 0; i < columns_.size(); ++i) {
    if (platform::EqualsIgnoringCase(columns_[i].name, name)) {
      return i;
    }
  }
  throw DatabaseError(fmt::format("il campo {} non esiste in {}", name, source_));
}

void RowEditor::RequireUpdatable(std::string_view operation) const {
  if (table_.empty()) {
    throw DatabaseError(fmt::format("{} su {}: recordset non aggiornabile", operation, source_));
  }
}

void RowEditor::RequireCurrent(std::string_view operation) const {
  if (!current_) {
    throw DatabaseError(fmt::format("{} su {}: nessun record corrente", operation, source_));
  }
}

const Value& RowEditor::Field(std::string_view name) const {
  const std::size_t index = ColumnIndex(name);
  if (mode_ != Mode::kNone) {
    return buffer_[index];  // as in the edit buffer: what Update would save
  }
  RequireCurrent(fmt::format("lettura del campo {}", name));
  if (index >= current_->values.size()) {
    throw DatabaseError(fmt::format("il campo {} manca nel record letto da {}", name, source_));
  }
  return current_->values[index];
}

void RowEditor::SetField(std::string_view name, const Value& value) {
  if (mode_ == Mode::kNone) {
    throw DatabaseError(
        fmt::format("scrittura del campo {} su {} senza Edit o AddNew", name, source_));
  }
  const std::size_t index = ColumnIndex(name);
  buffer_[index] = CoerceForColumn(value, columns_[index], table_);
  changed_[index] = true;
}

void RowEditor::Edit() {
  RequireUpdatable("Edit");
  RequireCurrent("Edit");
  // Read again, so that the fields not written here keep what other programs (or other data
  // sources of this one) have saved since the query ran.
  std::optional<Row> fresh = database_->connection().Fetch(table_, current_->key);
  if (!fresh) {
    throw DatabaseError(fmt::format(
        "Edit su {}: il record corrente non esiste più (eliminato da un altro utente)", source_));
  }
  current_ = std::move(fresh);
  OnRowChanged(*current_, false);
  buffer_ = current_->values;
  buffer_.resize(columns_.size());
  changed_.assign(columns_.size(), false);
  mode_ = Mode::kEdit;
}

void RowEditor::AddNew() {
  RequireUpdatable("AddNew");
  // Fields left unwritten are not sent, so the row takes the table's defaults for them.
  buffer_.assign(columns_.size(), Value::Null());
  changed_.assign(columns_.size(), false);
  mode_ = Mode::kAdd;
}

void RowEditor::Update() {
  switch (mode_) {
    case Mode::kNone:
      throw DatabaseError(fmt::format("Update su {} senza Edit o AddNew", source_));
    case Mode::kEdit:
      SaveEdit();
      return;
    case Mode::kAdd:
      SaveNew();
      return;
  }
}

void RowEditor::CancelUpdate() {
  mode_ = Mode::kNone;
  buffer_.clear();
  changed_.clear();
}

void RowEditor::SaveEdit() {
  std::vector<FieldChange> changes;
  for (std::size_t i = 0; i < columns_.size(); ++i) {
    if (changed_[i]) {
      changes.push_back({columns_[i].name, buffer_[i]});
    }
  }
  // On failure the edit buffer stays, as the engine leaves it: the caller may retry or cancel.
  // The key follows the row when a key column was changed, so that the row is found again.
  current_->key = database_->connection().Update(table_, current_->key, changes);
  current_->values.resize(std::max(current_->values.size(), columns_.size()));
  for (std::size_t i = 0; i < columns_.size(); ++i) {
    if (changed_[i]) {
      current_->values[i] = std::move(buffer_[i]);
    }
  }
  CancelUpdate();
  OnRowChanged(*current_, false);
}

void RowEditor::SaveNew() {
  std::vector<FieldChange> fields;
  for (std::size_t i = 0; i < columns_.size(); ++i) {
    if (changed_[i]) {
      fields.push_back({columns_[i].name, buffer_[i]});
    }
  }
  Connection& connection = database_->connection();
  const RowKey key = connection.Insert(table_, fields);
  // Read back: the row as saved, with the defaults the engine gave the fields not written.
  std::optional<Row> saved = connection.Fetch(table_, key);
  Row row = saved ? std::move(*saved) : Row{key, buffer_};
  CancelUpdate();
  OnRowChanged(row, true);
}

// --- Recordset -----------------------------------------------------------------------------------

Recordset::Recordset(std::shared_ptr<Database> database, std::string sql)
    : RowEditor(std::move(database), std::move(sql)) {
  QueryResult result = this->database().connection().Query(source());
  SetShape(std::move(result.table), std::move(result.columns));
  rows_ = std::move(result.rows);
  original_count_ = rows_.size();
  deleted_.assign(rows_.size(), false);
  MoveTo(0);
}

void Recordset::MoveTo(std::size_t index) {
  while (index < rows_.size() && deleted_[index]) {
    ++index;
  }
  at_end_ = index >= rows_.size();
  if (at_end_) {
    original_reached_ = original_count_;
    SetCurrent(std::nullopt);
    return;
  }
  position_ = index;
  original_reached_ = std::max(original_reached_, std::min(index + 1, original_count_));
  SetCurrent(rows_[index]);
}

void Recordset::MoveFirst() {
  if (rows_.size() == deleted_count_) {
    throw DatabaseError(fmt::format("MoveFirst su {}: nessun record corrente", source()));
  }
  MoveTo(0);
}

void Recordset::MoveNext() {
  if (at_end_) {
    throw DatabaseError(
        fmt::format("MoveNext su {}: nessun record corrente (fine del recordset)", source()));
  }
  MoveTo(position_ + 1);
}

void Recordset::Delete() {
  RequireUpdatable("Delete");
  RequireCurrent("Delete");
  database().connection().Delete(table(), Current()->key);
  deleted_[position_] = true;
  ++deleted_count_;
  SetCurrent(std::nullopt);  // still positioned here: the next MoveNext goes on from this row
}

int Recordset::RecordCount() const {
  return static_cast<int>(original_reached_ + added_count_ - deleted_count_);
}

void Recordset::OnRowChanged(const Row& row, bool added) {
  if (added) {
    rows_.push_back(row);
    deleted_.push_back(false);
    ++added_count_;
  } else if (!at_end_) {
    rows_[position_] = row;
  }
}

}  // namespace zav5::data

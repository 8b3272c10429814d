#include "data/recordset.h"

#include <algorithm>
#include <utility>

#include <fmt/format.h>

#include "data/ascii_text.h"
#include "data/column.h"
#include "errors.h"

namespace zav5::data {

// --- RowEditor -----------------------------------------------------------------------------------

RowEditor::RowEditor(std::shared_ptr<Database> database, std::string source)
    : database_(std::move(database)), source_(std::move(source)) {}

namespace {

// A digest of a name, the same for the spellings of an ASCII name that differ in letter case: its
// size and its first, middle and last bytes (ASCII letters in lower case).
std::uint32_t NameKey(std::string_view name) {
  if (name.empty()) {
    return 0;
  }
  const auto byte = [&name](std::size_t i) {
    return static_cast<std::uint32_t>(static_cast<unsigned char>(AsciiLower(name[i])));
  };
  return static_cast<std::uint32_t>(name.size()) << 24 | byte(0) << 16 |
         byte(name.size() / 2) << 8 | byte(name.size() - 1);
}

bool IsAscii(std::string_view text) {
  return std::all_of(text.begin(), text.end(),
                     [](char c) { return static_cast<unsigned char>(c) < 0x80; });
}

}  // namespace

void RowEditor::SetShape(std::string table, std::vector<Column> columns) {
  table_ = std::move(table);
  columns_ = std::move(columns);
  name_keys_.clear();
  name_keys_.reserve(columns_.size());
  for (const Column& column : columns_) {
    name_keys_.push_back(NameKey(column.name));
  }
}

void RowEditor::SetCurrent(Row* row) {
  current_ = row;
  CancelUpdate();
}

std::size_t RowEditor::ColumnIndex(std::string_view name) const {
  if (IsAscii(name)) {
    // What FindColumn answers, the columns whose digest differs passed over at a glance: only
    // ASCII letters differ in case when the name looked for is ASCII (see SameName).
    const std::uint32_t key = NameKey(name);
    for (std::size_t i = 0; i < name_keys_.size(); ++i) {
      if (name_keys_[i] == key &&
          std::equal(name.begin(), name.end(), columns_[i].name.begin(),
                     [](char a, char b) { return AsciiLower(a) == AsciiLower(b); })) {
        return i;
      }
    }
  } else if (const std::optional<std::size_t> index = FindColumn(columns_, name)) {
    return *index;
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
  static const Value kNull;
  const std::size_t index = ColumnIndex(name);
  if (mode_ != Mode::kNone) {
    // As in the edit buffer: what Update would save.
    if (changed_[index]) {
      return buffer_[index];
    }
    if (mode_ == Mode::kAdd || index >= current_->values.size()) {
      return kNull;
    }
    return current_->values[index];
  }
  if (!current_) {
    RequireCurrent(fmt::format("lettura del campo {}", name));
  }
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

void RowEditor::NoteRowsRead() {
  read_in_ = database_->OpenTransaction();
  changes_seen_ = database_->TableChanges(table_);
}

bool RowEditor::BeginChange() {
  const bool as_read = database_->TableChanges(table_) == changes_seen_;
  database_->NoteChange(table_);
  return as_read;
}

void RowEditor::EndChange(bool rows_as_read) {
  if (rows_as_read) {
    changes_seen_ = database_->TableChanges(table_);
  }
}

bool RowEditor::RowAsRead() const {
  return read_in_ != 0 && read_in_ == database_->OpenTransaction() &&
         changes_seen_ == database_->TableChanges(table_) &&
         database_->connection().RowsStayAsRead();
}

void RowEditor::Edit() {
  RequireUpdatable("Edit");
  RequireCurrent("Edit");
  // Read again, so that the fields not written here keep what other programs (or other data
  // sources of this one) have saved since the query ran.
  if (!RowAsRead()) {
    std::optional<Row> fresh = database_->connection().Fetch(table_, current_->key);
    if (!fresh) {
      throw DatabaseError(fmt::format(
          "Edit su {}: il record corrente non esiste più (eliminato da un altro utente)", source_));
    }
    *current_ = std::move(*fresh);
  }
  buffer_.resize(columns_.size());
  changed_.assign(columns_.size(), false);
  mode_ = Mode::kEdit;
}

void RowEditor::AddNew() {
  RequireUpdatable("AddNew");
  // Fields left unwritten are not sent, so the row takes the table's defaults for them.
  buffer_.resize(columns_.size());
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
  // The buffer keeps its values (and their memory) for the next edit; changed_ says none counts.
  mode_ = Mode::kNone;
  changed_.clear();
}

void RowEditor::SaveEdit() {
  std::vector<FieldChange> changes;
  for (std::size_t i = 0; i < columns_.size(); ++i) {
    if (changed_[i]) {
      changes.push_back({columns_[i].name, std::move(buffer_[i])});
    }
  }
  // On failure the edit buffer stays, as the engine leaves it: the caller may retry or cancel.
  // The key follows the row when a key column was changed, so that the row is found again.
  const bool as_read = BeginChange();
  try {
    current_->key = database_->connection().Update(table_, current_->key, changes);
    EndChange(as_read);
  } catch (...) {
    for (std::size_t i = 0, c = 0; i < columns_.size(); ++i) {
      if (changed_[i]) {
        buffer_[i] = std::move(changes[c++].value);
      }
    }
    throw;
  }
  current_->values.resize(std::max(current_->values.size(), columns_.size()));
  for (std::size_t i = 0, c = 0; i < columns_.size(); ++i) {
    if (changed_[i]) {
      current_->values[i] = std::move(changes[c++].value);
    }
  }
  CancelUpdate();
}

void RowEditor::SaveNew() {
  std::vector<FieldChange> fields;
  for (std::size_t i = 0; i < columns_.size(); ++i) {
    if (changed_[i]) {
      fields.push_back({columns_[i].name, buffer_[i]});
    }
  }
  Connection& connection = database_->connection();
  const bool as_read = BeginChange();
  const RowKey key = connection.Insert(table_, fields);
  EndChange(as_read);
  // Read back: the row as saved, with the defaults the engine gave the fields not written. With
  // every field written, none Null (a counter numbers itself then), there are none, and the values
  // are already coerced for their columns.
  std::optional<Row> saved;
  if (fields.size() != columns_.size() ||
      std::any_of(fields.begin(), fields.end(),
                  [](const FieldChange& field) { return field.value.IsNull(); })) {
    saved = connection.Fetch(table_, key);
  }
  Row row;
  if (saved) {
    row = std::move(*saved);
  } else {
    row.key = key;
    row.values.resize(columns_.size());
    for (std::size_t i = 0; i < columns_.size(); ++i) {
      if (changed_[i]) {
        row.values[i] = std::move(buffer_[i]);
      }
    }
  }
  CancelUpdate();
  OnRowAdded(std::move(row));
}

// --- Recordset -----------------------------------------------------------------------------------

Recordset::Recordset(std::shared_ptr<Database> database, std::string sql)
    : RowEditor(std::move(database), std::move(sql)) {
  QueryResult result = this->database().connection().Query(source());
  SetShape(std::move(result.table), std::move(result.columns));
  rows_ = std::move(result.rows);
  NoteRowsRead();
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
    SetCurrent(nullptr);
    return;
  }
  position_ = index;
  original_reached_ = std::max(original_reached_, std::min(index + 1, original_count_));
  SetCurrent(&rows_[index]);
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
  const bool as_read = BeginChange();
  database().connection().Delete(table(), Current()->key);
  EndChange(as_read);
  deleted_[position_] = true;
  ++deleted_count_;
  SetCurrent(nullptr);  // still positioned here: the next MoveNext goes on from this row
}

int Recordset::RecordCount() const {
  return static_cast<int>(original_reached_ + added_count_ - deleted_count_);
}

void Recordset::OnRowAdded(Row row) {
  const bool positioned = HasCurrent();
  rows_.push_back(std::move(row));
  deleted_.push_back(false);
  ++added_count_;
  if (positioned) {
    SetCurrent(&rows_[position_]);  // the rows may have moved
  }
}

}  // namespace zav5::data

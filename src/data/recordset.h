// A recordset: the rows of one query, walked one at a time, each of which can be changed.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "data/backend.h"
#include "data/database.h"
#include "data/value.h"

namespace zav5::data {

// The fields of the row being read or edited, and the edit protocol shared by Recordset and
// TableCursor: Edit (or AddNew), field writes, Update.
class RowEditor {
 public:
  // Value of a field of the current row. Throws DatabaseError when there is no current row or
  // the field does not exist.
  const Value& Field(std::string_view name) const;

  // The column behind a field. Throws DatabaseError when the field does not exist.
  const Column& FieldColumn(std::string_view name) const { return columns_[ColumnIndex(name)]; }

  // Changes a field in the edit buffer. REQUIRES: between Edit or AddNew and Update; otherwise
  // throws DatabaseError. The value is converted to the column's type (ConversionError).
  void SetField(std::string_view name, const Value& value);

  // Puts the current row into edit mode; its fields are read again from the database first,
  // unless they surely hold what is stored: read in the open transaction, on an engine that keeps
  // other writers out of it, with no change made to the table since by another editor of this
  // database.
  void Edit();
  // Starts a new row in the edit buffer.
  void AddNew();
  // Saves the edit buffer; only the fields written since Edit are changed in the database.
  void Update();
  // Leaves edit mode without saving.
  void CancelUpdate();

 protected:
  RowEditor(std::shared_ptr<Database> database, std::string source);
  ~RowEditor() = default;
  // The current row is held by address: an editor is neither copied nor moved.
  RowEditor(const RowEditor&) = delete;
  RowEditor& operator=(const RowEditor&) = delete;

  bool HasCurrent() const { return current_ != nullptr; }
  // Makes `row` the current row (nullptr: no current row) and leaves edit mode without saving.
  // Edit and Update change the row in place.
  // REQUIRES: `row` stays where it is until the next call (a class that moves it calls again)
  void SetCurrent(Row* row);
  const Row* Current() const { return current_; }
  void SetShape(std::string table, std::vector<Column> columns);
  Database& database() { return *database_; }
  const std::string& table() const { return table_; }
  const std::string& source() const { return source_; }
  // Throws DatabaseError when the rows cannot be changed (a query on more than one table, or on
  // computed columns). `operation` names what was tried, for the message.
  void RequireUpdatable(std::string_view operation) const;
  // Throws DatabaseError naming `operation` when there is no current row.
  void RequireCurrent(std::string_view operation) const;
  // Called when a row started by AddNew was saved; the current row does not change. The row is
  // handed over by value: an override keeps it.
  virtual void OnRowAdded(Row /*row*/) {}  // NOLINT(performance-unnecessary-value-param)
  // Says that the rows were read from the database just now (see Edit).
  void NoteRowsRead();
  // Around a change of this editor's table (Update, Insert, Delete): BeginChange counts it, before
  // it runs, since one that fails midway may have changed rows; EndChange, once it has run, keeps
  // the rows as read where they were so before (BeginChange's answer).
  bool BeginChange();
  void EndChange(bool rows_as_read);

 private:
  enum class Mode { kNone, kEdit, kAdd };
  std::size_t ColumnIndex(std::string_view name) const;
  void SaveEdit();
  void SaveNew();

  std::shared_ptr<Database> database_;
  std::string source_;  // for messages: the query or table
  std::string table_;   // empty when the rows cannot be changed
  std::vector<Column> columns_;
  // For each column, a digest of its name in which the case of ASCII letters does not count: what
  // a name must have to be that column's, checked before the name itself.
  std::vector<std::uint32_t> name_keys_;
  // Whether the current row is surely as the database holds it: read in the transaction still
  // open, on an engine that keeps the rows a transaction read (Connection::RowsStayAsRead), and
  // no other editor has changed the table since.
  bool RowAsRead() const;

  Row* current_ = nullptr;
  // The transaction the rows were read in (0: none), and the changes of their table then.
  std::uint64_t read_in_ = 0;
  std::uint64_t changes_seen_ = 0;
  Mode mode_ = Mode::kNone;
  // The fields written since Edit or AddNew, in column order: buffer_[i] counts where changed_[i]
  // is set; the others are read from the current row (Edit) or are Null (AddNew).
  std::vector<Value> buffer_;
  std::vector<bool> changed_;
};

class Recordset final : public RowEditor {
 public:
  // Runs `sql` on `database` and positions on the first row, or at the end when there is none.
  Recordset(std::shared_ptr<Database> database, std::string sql);

  // True when positioned past the last row. (EOF is a macro of the C library; hence the name.)
  bool Eof() const { return at_end_; }
  void MoveFirst();
  void MoveNext();
  // Deletes the current row; the position stays on it until the next move.
  void Delete();
  // The rows reached so far (and rows added), less those deleted through this recordset; 0 only
  // when the recordset is empty.
  int RecordCount() const;
  // false selects optimistic locking: the row is held only while it is saved. The engines here
  // save every row that way, so the setting is kept for the record only.
  void LockEdits(bool pessimistic) { lock_edits_ = pessimistic; }
  bool LockEdits() const { return lock_edits_; }

 protected:
  void OnRowAdded(Row row) override;

 private:
  // Makes the first row not deleted from `index` on the current one; at the end when none.
  void MoveTo(std::size_t index);

  std::vector<Row> rows_;
  std::vector<bool> deleted_;
  std::size_t position_ = 0;  // meaningful only when not at the end
  // Past the last row. A state of its own, so that a row added at the end does not become
  // current by itself.
  bool at_end_ = true;
  // The count is kept in parts, because added rows follow the original ones in rows_ and a row
  // added in the middle of a walk must not stand for the original rows not yet reached.
  std::size_t original_count_ = 0;    // rows the query returned; the added ones follow them
  std::size_t original_reached_ = 0;  // original rows up to the furthest reached by moving
  std::size_t added_count_ = 0;
  std::size_t deleted_count_ = 0;  // original or added, deleted through this recordset
  bool lock_edits_ = true;
};

}  // namespace zav5::data

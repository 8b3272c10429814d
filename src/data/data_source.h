// A data source of the main window: a named query object bound to a database path and an SQL text.
#pragma once

#include <memory>
#include <string>

#include "data/database.h"
#include "data/recordset.h"

namespace zav5::data {

class DataSource {
 public:
  DataSource(DbEngine& engine, std::string name, std::string caption)
      : engine_(engine), name_(std::move(name)), caption_(std::move(caption)) {}

  // Set before every use.
  std::string DatabaseName;  // Windows path of the database file
  std::string RecordSource;  // SQL text, sent to the engine as it stands
  // Whether the control shows on the window; no effect on the data.
  bool Visible = true;

  // Opens the database (shared, writable) and runs the query, positioned on the first row or at
  // the end. Releases the previous recordset and database first. Throws DatabaseError.
  void Refresh();

  // The current recordset. Throws DatabaseError when the data source was never refreshed.
  data::Recordset& Recordset();

  // Lets go of the recordset, and with it of the database once nothing else holds it; the next
  // use refreshes first.
  void Close() { recordset_.reset(); }

  const std::string& Name() const { return name_; }
  const std::string& Caption() const { return caption_; }

 private:
  DbEngine& engine_;
  std::string name_;
  std::string caption_;
  std::unique_ptr<data::Recordset> recordset_;
};

}  // namespace zav5::data

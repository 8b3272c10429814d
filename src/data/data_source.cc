#include "data/data_source.h"

#include <fmt/format.h>

#include "errors.h"

namespace zav5::data {

void DataSource::Refresh() {
  // The old recordset goes first, so that its hold on a database (perhaps another file) does
  // not outlive the new query.
  recordset_.reset();
  std::shared_ptr<Database> database = engine_.OpenDatabase(DatabaseName);
  recordset_ = std::make_unique<data::Recordset>(std::move(database), RecordSource);
}

data::Recordset& DataSource::Recordset() {
  if (!recordset_) {
    throw DatabaseError(
        fmt::format("il data control {} non ha un recordset: manca Refresh", name_));
  }
  return *recordset_;
}

}  // namespace zav5::data

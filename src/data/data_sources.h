// The data sources a window carries, by name.
#pragma once

#include <map>
#include <memory>
#include <string>
#include <string_view>

#include "data/data_source.h"
#include "data/database.h"

namespace zav5::data {

class DataSources {
 public:
  // REQUIRES: `engine` outlives this object
  explicit DataSources(DbEngine& engine) : engine_(engine) {}

  // Adds a data source; a name already present keeps its data source.
  void Add(std::string_view name, std::string_view caption);

  // The data source named `name` (var, Data1, listi01, ...). Throws std::out_of_range for a name
  // that is not carried: the program's own names are fixed, so that is a fault of the program.
  DataSource& Source(std::string_view name);

  std::size_t size() const { return sources_.size(); }

  // Closes every data source (DataSource::Close).
  void CloseAll();

 private:
  DbEngine& engine_;
  std::map<std::string, std::unique_ptr<DataSource>, std::less<>> sources_;
};

}  // namespace zav5::data

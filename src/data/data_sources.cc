#include "data/data_sources.h"

#include <stdexcept>

namespace zav5::data {

void DataSources::Add(std::string_view name, std::string_view caption) {
  if (sources_.find(name) == sources_.end()) {
    sources_.emplace(std::string(name), std::make_unique<DataSource>(engine_, std::string(name),
                                                                     std::string(caption)));
  }
}

void DataSources::CloseAll() {
  for (auto& [name, source] : sources_) {
    source->Close();
  }
}

DataSource& DataSources::Source(std::string_view name) {
  const auto found = sources_.find(name);
  if (found == sources_.end()) {
    throw std::out_of_range("the window has no data source " + std::string(name));
  }
  return *found->second;
}

}  // namespace zav5::data

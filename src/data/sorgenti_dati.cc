#include "data/sorgenti_dati.h"

#include <stdexcept>

namespace zav5::data {

void SorgentiDati::Aggiungi(std::string_view name, std::string_view caption) {
  if (sorgenti_.find(name) == sorgenti_.end()) {
    sorgenti_.emplace(std::string(name), std::make_unique<DataSource>(engine_, std::string(name),
                                                                      std::string(caption)));
  }
}

void SorgentiDati::CloseAll() {
  for (auto& [name, source] : sorgenti_) {
    source->Close();
  }
}

DataSource& SorgentiDati::Sorgente(std::string_view name) {
  const auto found = sorgenti_.find(name);
  if (found == sorgenti_.end()) {
    throw std::out_of_range("the window has no data source " + std::string(name));
  }
  return *found->second;
}

}  // namespace zav5::data

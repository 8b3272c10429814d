#include "support/working_store.h"

#include <utility>

#include "support/test_engine_options.h"

namespace zav5::test {

namespace {

// The program's data sources that the cycle's scan and the offer and label operations use.
constexpr std::string_view kSourceNames[] = {"var2",  "listipro", "data3",  "Data2", "elettro",
                                             "Data1", "listi01",  "unita2", "offtab"};

// `engine_options`, with the test engine's ODBC setting in its place when the test engine has one.
data::EngineOptions WithTestEngine(data::EngineOptions engine_options) {
  const data::EngineOptions prova = TestEngineOptions();
  if (!prova.odbc_connection.empty() || engine_options.odbc_connection.empty()) {
    engine_options.odbc_connection = prova.odbc_connection;
    engine_options.odbc_profile = prova.odbc_profile;
  }
  return engine_options;
}

}  // namespace

WorkingStore::WorkingStore(std::string_view rows) : WorkingStore(rows, {}) {}

WorkingStore::WorkingStore(std::string_view rows, data::EngineOptions engine_options)
    : TestStore("CZ"),
      work_(env(), WithTestEngine(std::move(engine_options))),
      outbox_(env(), labels::OutboxFolder('C')) {
  for (const char* folder : {"c/sulvo/neg01", "c/sulvo/esl", "z"}) {
    dir().MakeDir(folder);
  }
  CreateStoreDatabase(kStoreFile, rows);
  work_.store_context().PercorsoDati = kPercorsoDati;
  for (std::string_view name : kSourceNames) {
    work_.sources().Add(name, "Data3");
  }
}

void WorkingStore::HandOver(std::int32_t numero, std::int32_t anno, startup::RunLog* log) {
  const std::string& store = work_.store_context().PercorsoDati;
  outbox_.Confirm(store, numero, anno);
  std::vector<labels::LabelSystem> sistemi;
  for (const labels::Delivery& delivery : outbox_.Pending(store)) {
    sistemi.push_back(delivery.system);
  }
  startup::RunLog senza_file(env());
  outbox_.HandOverAll(
      store, [&sistemi]() -> const auto& { return sistemi; }, log != nullptr ? *log : senza_file);
}

}  // namespace zav5::test

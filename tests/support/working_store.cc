#include "support/working_store.h"

#include <utility>

#include "support/motore_di_prova.h"

namespace zav5::test {

namespace {

// The program's data sources that the cycle's scan and the offer and label operations use.
constexpr std::string_view kSorgenti[] = {"var2",  "listipro", "data3",  "Data2", "elettro",
                                          "Data1", "listi01",  "unita2", "offtab"};

// `motore`, with the test engine's ODBC setting in its place when the test engine has one.
data::OpzioniMotore WithTestEngine(data::OpzioniMotore motore) {
  const data::OpzioniMotore prova = MotoreDiProva();
  if (!prova.connessione_odbc.empty() || motore.connessione_odbc.empty()) {
    motore.connessione_odbc = prova.connessione_odbc;
    motore.profilo_odbc = prova.profilo_odbc;
  }
  return motore;
}

}  // namespace

WorkingStore::WorkingStore(std::string_view rows) : WorkingStore(rows, {}) {}

WorkingStore::WorkingStore(std::string_view rows, data::OpzioniMotore motore)
    : TestStore("CZ"),
      work_(env(), WithTestEngine(std::move(motore))),
      outbox_(env(), labels::CartellaConsegne('C')) {
  for (const char* folder : {"c/sulvo/neg01", "c/sulvo/esl", "z"}) {
    dir().MakeDir(folder);
  }
  CreateStoreDatabase(kStoreFile, rows);
  work_.contesto().PercorsoDati = kPercorsoDati;
  for (std::string_view name : kSorgenti) {
    work_.sources().Aggiungi(name, "Data3");
  }
}

void WorkingStore::HandOver(std::int32_t numero, std::int32_t anno, startup::RunLog* log) {
  const std::string& store = work_.contesto().PercorsoDati;
  outbox_.Conferma(store, numero, anno);
  std::vector<labels::SistemaEtichette> sistemi;
  for (const labels::Consegna& consegna : outbox_.InAttesa(store)) {
    sistemi.push_back(consegna.sistema);
  }
  startup::RunLog senza_file(env());
  outbox_.ConsegnaTutte(
      store, [&sistemi]() -> const auto& { return sistemi; }, log != nullptr ? *log : senza_file);
}

}  // namespace zav5::test

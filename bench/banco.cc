#include "banco.h"

#include "cycle/consegna_etichette.h"
#include "errors.h"
#include "negozio_sintetico.h"

namespace zav5::bench {

namespace {

// The window's data sources that the cycle, the deactivation and the label writer use.
constexpr std::string_view kSorgenti[] = {"var2",  "listipro", "data3",  "Data2", "elettro",
                                          "Data1", "listi01",  "unita2", "offtab"};

}  // namespace

void EnvBanco::StartScript(std::string_view path) {
  if (!platform::FileExists(*this, path)) {
    throw FileError("impossibile avviare " + std::string(path) + ": file non trovato");
  }
  script_avviati_.emplace_back(path);
}

Banco::Banco(const std::filesystem::path& cartella, data::OpzioniMotore opzioni)
    : posix_(platform::DriveMap{{'C', cartella / "c"}, {'Z', cartella / "z"}}, 'C'),
      env_(posix_),
      work_(env_, std::move(opzioni)),
      consegne_(env_, labels::CartellaConsegne('C')),
      log_(env_),
      timer_(env_, std::chrono::milliseconds{5000}, true),
      ciclo_{work_, consegne_, log_, timer_, turno_, Oggi()} {
  work_.contesto().PercorsoDati = kPercorsoDati;
  for (std::string_view nome : kSorgenti) {
    work_.sources().Aggiungi(nome, "Data3");
  }
}

void Banco::ApriDatabase() {
  work_.engine().OpenDatabase(work_.contesto().PercorsoDati);
}

std::uint64_t Banco::IstruzioniNegozio() {
  // The database the engine keeps open (asked for again, it opens nothing).
  return work_.engine().OpenDatabase(work_.contesto().PercorsoDati)->connection().StatementsRun();
}

cycle::EsitoCiclo Banco::RunCycle() {
  const cycle::EsitoCiclo esito = cycle::ElaboraOfferteScadute(ciclo_);
  cycle::ConsegnaEtichette(ciclo_);
  return esito;
}

}  // namespace zav5::bench

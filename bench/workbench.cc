#include "workbench.h"

#include "cycle/hand_over_labels.h"
#include "errors.h"
#include "synthetic_store.h"

namespace zav5::bench {

namespace {

// The window's data sources that the cycle, the deactivation and the label writer use.
constexpr std::string_view kSourceNames[] = {"var2",  "listipro", "data3",  "Data2", "elettro",
                                             "Data1", "listi01",  "unita2", "offtab"};

}  // namespace

void BenchEnv::StartScript(std::string_view path) {
  if (!platform::FileExists(*this, path)) {
    throw FileError("impossibile avviare " + std::string(path) + ": file non trovato");
  }
  scripts_started_.emplace_back(path);
}

Workbench::Workbench(const std::filesystem::path& folder, data::EngineOptions options)
    : posix_(platform::DriveMap{{'C', folder / "c"}, {'Z', folder / "z"}}, 'C'),
      env_(posix_),
      work_(env_, std::move(options)),
      outbox_(env_, labels::OutboxFolder('C')),
      log_(env_),
      timer_(env_, std::chrono::milliseconds{5000}, true),
      cycle_context_{work_, outbox_, log_, timer_, offer_turn_, BenchToday()} {
  work_.store_context().PercorsoDati = kPercorsoDati;
  for (std::string_view name : kSourceNames) {
    work_.sources().Add(name, "Data3");
  }
}

void Workbench::OpenStoreDatabase() {
  work_.engine().OpenDatabase(work_.store_context().PercorsoDati);
}

std::uint64_t Workbench::StoreStatements() {
  // The database the engine keeps open (asked for again, it opens nothing).
  return work_.engine()
      .OpenDatabase(work_.store_context().PercorsoDati)
      ->connection()
      .StatementsRun();
}

cycle::CycleOutcome Workbench::RunCycle() {
  const cycle::CycleOutcome esito = cycle::ElaboraOfferteScadute(cycle_context_);
  cycle::HandOverLabels(cycle_context_);
  return esito;
}

}  // namespace zav5::bench

// The program's own deactivation on a store on disk: the processing cycle as the main window runs
// it, on the real file system, with the transfer scripts recorded instead of started.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

#include "cycle/ciclo.h"
#include "cycle/elabora_offerte_scadute.h"
#include "cycle/timer.h"
#include "cycle/turno_offerte.h"
#include "data/database.h"
#include "labels/consegne.h"
#include "platform/env_wrapper.h"
#include "platform/posix/posix_env.h"
#include "startup/run_log.h"
#include "work/work_context.h"

namespace zav5::bench {

// The machine as PosixEnv gives it, except that a transfer script is only recorded: the benchmark
// times the program, not the copy it hands over to.
class EnvBanco : public platform::EnvWrapper {
 public:
  // REQUIRES: `target` outlives this object
  explicit EnvBanco(platform::Env& target) : EnvWrapper(target) {}

  // Throws FileError, as the real start does, when the script is missing.
  void StartScript(std::string_view path) override;

  const std::vector<std::string>& script_avviati() const { return script_avviati_; }

 private:
  std::vector<std::string> script_avviati_;
};

// What one processing cycle works with, as the main window holds it, on the store under `cartella`
// (drive C: is `cartella`/c, drive Z: `cartella`/z), with the day fixed at Oggi(). `opzioni` say
// how the database is reached: directly, or through ODBC.
class Banco {
 public:
  explicit Banco(const std::filesystem::path& cartella, data::OpzioniMotore opzioni = {});
  Banco(const Banco&) = delete;
  Banco& operator=(const Banco&) = delete;

  // Opens the store database, as start-up leaves it open for the cycles.
  void ApriDatabase();

  // Runs one processing cycle: deactivates the expired offer and hands its label files over.
  // Throws Errore when it fails.
  cycle::EsitoCiclo RunCycle();

  // The statements the store database's connection has run since it was opened (see
  // data::Connection::StatementsRun).
  // REQUIRES: ApriDatabase() was called
  std::uint64_t IstruzioniNegozio();

  const EnvBanco& env() const { return env_; }

 private:
  platform::PosixEnv posix_;
  EnvBanco env_;
  work::WorkContext work_;
  labels::Consegne consegne_;
  startup::RunLog log_;
  cycle::Timer timer_;
  cycle::TurnoOfferte turno_;
  cycle::Ciclo ciclo_;
};

}  // namespace zav5::bench

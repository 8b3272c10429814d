// The program's own deactivation on a store on disk: the processing cycle as the main window runs
// it, on the real file system, with the transfer scripts recorded instead of started.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

#include "cycle/cycle_context.h"
#include "cycle/elabora_offerte_scadute.h"
#include "cycle/offer_turn.h"
#include "cycle/timer.h"
#include "data/database.h"
#include "labels/outbox.h"
#include "platform/env_wrapper.h"
#include "platform/posix/posix_env.h"
#include "startup/run_log.h"
#include "work/work_context.h"

namespace zav5::bench {

// The machine as PosixEnv gives it, except that a transfer script is only recorded: the benchmark
// times the program, not the copy it hands over to.
class BenchEnv : public platform::EnvWrapper {
 public:
  // REQUIRES: `target` outlives this object
  explicit BenchEnv(platform::Env& target) : EnvWrapper(target) {}

  // Throws FileError, as the real start does, when the script is missing.
  void StartScript(std::string_view path) override;

  const std::vector<std::string>& scripts_started() const { return scripts_started_; }

 private:
  std::vector<std::string> scripts_started_;
};

// What one processing cycle works with, as the main window holds it, on the store under `folder`
// (drive C: is `folder`/c, drive Z: `folder`/z), with the day fixed at BenchToday(). `options` say
// how the database is reached: directly, or through ODBC.
class Workbench {
 public:
  explicit Workbench(const std::filesystem::path& folder, data::EngineOptions options = {});
  Workbench(const Workbench&) = delete;
  Workbench& operator=(const Workbench&) = delete;

  // Opens the store database, as start-up leaves it open for the cycles.
  void OpenStoreDatabase();

  // Runs one processing cycle: deactivates the expired offer and hands its label files over.
  // Throws Error when it fails.
  cycle::CycleOutcome RunCycle();

  // The statements the store database's connection has run since it was opened (see
  // data::Connection::StatementsRun).
  // REQUIRES: OpenStoreDatabase() was called
  std::uint64_t StoreStatements();

  const BenchEnv& env() const { return env_; }

 private:
  platform::PosixEnv posix_;
  BenchEnv env_;
  work::WorkContext work_;
  labels::Outbox outbox_;
  startup::RunLog log_;
  cycle::Timer timer_;
  cycle::OfferTurn offer_turn_;
  cycle::CycleContext cycle_context_;
};

}  // namespace zav5::bench

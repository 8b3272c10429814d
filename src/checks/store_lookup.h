// Finds the store the way start-up does, without writing its run log and without a message box:
// the company database on the current drive, the store database it names, and the store's
// settings.
#pragma once

#include <string>

#include "data/database.h"
#include "platform/env.h"
#include "startup/contesto_negozio.h"
#include "startup/run_startup.h"

namespace zav5::checks {

struct StoreLookup {
  std::string company_database;  // X:\dorn\sulvo.mdb
  bool company_found = false;
  startup::StartupOutcome outcome = startup::StartupOutcome::kNoCompanyDatabase;
  // Why start-up stopped (its "ERRORE" line), when it did.
  std::string problem;
  // The problem is a database that another program keeps locked: nothing can be told now.
  bool locked = false;
  // The store database is found when context.PercorsoDati is not empty.
  startup::ContestoNegozio context;

  bool StoreFound() const { return !context.PercorsoDati.empty(); }
};

// Runs start-up's own steps on `engine` against `env`, with the run log kept in memory.
StoreLookup LookUpStore(platform::Env& env, data::DbEngine& engine);

}  // namespace zav5::checks

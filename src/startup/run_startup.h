// The start-up sequence: opens the day's run log, finds the company database on the current
// drive, locates and checks the store database, and loads the store settings.
#pragma once

#include <string>
#include <string_view>

#include "data/data_source.h"
#include "platform/env.h"
#include "startup/contesto_negozio.h"
#include "startup/run_log.h"

namespace zav5::startup {

// How start-up ended.
enum class StartupOutcome {
  kNoCompanyDatabase,  // no company database: the operator saw the message box, nothing more ran
  kCheckFailed,        // a check failed; the log says which
  kComplete,           // every step ran; ContatoreCicli is 1
};

// What start-up works with: all of it belongs to the main window.
struct StartupEnvironment {
  platform::Env& env;
  ContestoNegozio& store_context;
  RunLog& log;
  data::DataSource& var;  // the window's data source for every start-up query
  char current_drive;     // the drive the drive list shows, e.g. 'c'
};

// Runs start-up once. It never throws for a store-side failure: each one is reported (the message
// box, or one run-log line that begins "ERRORE : ") and ends start-up there.
StartupOutcome RunStartup(const StartupEnvironment& ambiente);

// The folder of the store databases from the `database` value of the company record: its
// elements up to the one that names dati.mdb (in the three spellings the suite uses), each
// followed by a backslash; the current drive's \sulvo\ when the first element names it.
std::string DataFolderFromPath(std::string_view database, char lettera_unita);

// The text of the error box shown when the company database is missing.
std::string MissingCompanyMessage(std::string_view percorso_azienda);

}  // namespace zav5::startup

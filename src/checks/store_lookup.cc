#include "checks/store_lookup.h"

#include <fmt/core.h>

#include "checks/read_only_env.h"
#include "data/data_source.h"
#include "platform/codepage.h"
#include "platform/fake/mem_env.h"
#include "platform/windows_path.h"
#include "startup/log_format.h"
#include "startup/run_log.h"

namespace zav5::checks {

namespace {

// The words of every error of a database that another program keeps locked beyond the wait.
constexpr std::string_view kLocked = "un altro programma lo tiene bloccato";

}  // namespace

StoreLookup LookUpStore(platform::Env& env, data::DbEngine& engine) {
  StoreLookup lookup;
  lookup.company_database =
      fmt::format("{}:\\dorn\\sulvo.mdb", static_cast<char>(env.CurrentDrive() & ~0x20));

  // Start-up's run log goes to memory; its error line is the problem found.
  platform::MemEnv memory(env.CurrentDrive());
  const std::string log_path = startup::LogPath(env.Now());
  memory.MakeFolder(platform::ParseWindowsPath(log_path, 'c').Parent().ToString());
  startup::RunLog log(memory);
  ReadOnlyEnv quiet(env);
  data::DataSource var(engine, "var", "var");
  lookup.outcome = startup::RunStartup({quiet, lookup.context, log, var, env.CurrentDrive()});
  lookup.company_found = lookup.outcome != startup::StartupOutcome::kNoCompanyDatabase;
  if (!lookup.company_found && !quiet.message_boxes().empty()) {
    lookup.problem = quiet.message_boxes().back();
  }
  if (lookup.outcome == startup::StartupOutcome::kCheckFailed) {
    const std::string text =
        platform::Windows1252ToUtf8(memory.FileBytes(lookup.context.PercorsoLog).value_or(""));
    const std::size_t error = text.rfind("ERRORE");
    if (error != std::string::npos) {
      lookup.problem = text.substr(error, text.find('\r', error) - error);
    }
    // Start-up names the store database before it checks that it is there.
    if (lookup.problem.starts_with("ERRORE : DB NON ESISTE")) {
      lookup.context.PercorsoDati.clear();
    }
  }
  var.Close();
  lookup.locked = lookup.problem.find(kLocked) != std::string::npos;
  return lookup;
}

}  // namespace zav5::checks

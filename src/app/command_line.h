// The command line of zav5.
#pragma once

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <map>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "checks/commands.h"
#include "data/database.h"

namespace zav5::app {

struct Opzioni {
  enum class Comando { kEsegui, kDemo, kEseguiScript, kStato, kAnteprima, kVerificaPrezzi };
  Comando comando = Comando::kEsegui;

  // zav5 [--drive X=DIR]... [--current-drive X] [--once] [--today YYYY-MM-DD]
  //      [--odbc-driver NAME] [--odbc "CONNECTION STRING"]
  std::map<char, std::filesystem::path> drives;  // drive letter (upper case) -> host folder
  std::optional<char> unita_corrente;           // upper case; none: see UnitaCorrente
  bool una_volta = false;
  std::optional<std::chrono::year_month_day> oggi;
  data::OpzioniMotore motore;

  // zav5 demo DIR
  std::filesystem::path cartella_demo;

  // zav5 [--drive X=DIR]... [--current-drive X] run-batch SCRIPT: runs a batch script (a Windows
  // path) on this machine, which has no command interpreter of its own.
  std::string script;

  // zav5 status | preview | audit: the operator's checks, which change nothing.
  checks::OutputOptions uscita;
  std::chrono::minutes attesa_massima{15};                       // status --max-wait
  bool fermo_ammesso = false;                                    // status --allow-stopped
  std::optional<std::pair<std::int32_t, std::int32_t>> offerta;  // preview --offer N/YYYY
  std::optional<std::filesystem::path> cartella_anteprima;       // preview --out DIR
};

// The outcome of reading the command line: options, or the exit code and the text to print
// (help, or what is wrong).
struct Lettura {
  std::optional<Opzioni> opzioni;
  int codice_uscita = 0;
  std::string messaggio;
};

Lettura LeggiRigaDiComando(int argc, const char* const* argv);

// The drive the program runs on: --current-drive, else the process's own (on Windows the current
// directory's, as a shortcut's "Start in" sets it; elsewhere C).
// Throws FileError when the current directory has no drive letter (a network folder).
char UnitaCorrente(const Opzioni& opzioni);

// The command that runs the scripts the program starts: this program, the same drives and current
// drive, "run-batch"; the script's path follows it.
std::vector<std::string> ComandoScript(const std::filesystem::path& programma,
                                       const Opzioni& opzioni);

// The command that runs the demo store created under `demo`.
std::string ComandoPerDemo(const std::filesystem::path& programma,
                           const std::filesystem::path& unita_c,
                           const std::filesystem::path& unita_z);

}  // namespace zav5::app

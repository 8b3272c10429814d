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

struct Options {
  enum class Command { kRun, kDemo, kRunBatch, kStatus, kPreview, kAudit };
  Command command = Command::kRun;

  // zav5 [--drive X=DIR]... [--current-drive X] [--once] [--today YYYY-MM-DD]
  //      [--odbc-driver NAME] [--odbc "CONNECTION STRING"]
  std::map<char, std::filesystem::path> drives;  // drive letter (upper case) -> host folder
  std::optional<char> current_drive;             // upper case; none: see ProgramDrive
  bool once = false;
  std::optional<std::chrono::year_month_day> today;
  data::EngineOptions engine_options;

  // zav5 demo DIR
  std::filesystem::path demo_folder;

  // zav5 [--drive X=DIR]... [--current-drive X] run-batch SCRIPT: runs a batch script (a Windows
  // path) on this machine, which has no command interpreter of its own.
  std::string script;

  // zav5 status | preview | audit: the operator's checks, which change nothing.
  checks::OutputOptions output;
  std::chrono::minutes max_wait{15};                           // status --max-wait
  bool allow_stopped = false;                                  // status --allow-stopped
  std::optional<std::pair<std::int32_t, std::int32_t>> offer;  // preview --offer N/YYYY
  std::optional<std::filesystem::path> preview_folder;         // preview --out DIR
};

// The outcome of reading the command line: options, or the exit code and the text to print
// (help, or what is wrong).
struct CommandLineResult {
  std::optional<Options> options;
  int exit_code = 0;
  std::string message;
};

CommandLineResult ParseCommandLine(int argc, const char* const* argv);

// The drive the program runs on: --current-drive, else the process's own (on Windows the current
// directory's, as a shortcut's "Start in" sets it; elsewhere C).
// Throws FileError when the current directory has no drive letter (a network folder).
char ProgramDrive(const Options& options);

// The command that runs the scripts the program starts: this program, the same drives and current
// drive, "run-batch"; the script's path follows it.
std::vector<std::string> ScriptCommand(const std::filesystem::path& programma,
                                       const Options& options);

// The command that runs the demo store created under `demo`.
std::string DemoCommand(const std::filesystem::path& programma,
                        const std::filesystem::path& drive_c, const std::filesystem::path& drive_z);

}  // namespace zav5::app

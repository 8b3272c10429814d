// A runner of batch scripts of the Windows command interpreter, for machines that have none. The
// program hands its files to the shelf-label system by starting such a script (cd into the suite's
// folder, copy the import files to the label system's drive, delete them); this carries out that
// handful of commands through Env, on the same Windows paths.
#pragma once

#include <filesystem>
#include <map>
#include <ostream>
#include <string>
#include <string_view>

#include "batch/batch_line.h"
#include "platform/env.h"
#include "platform/windows_path.h"

namespace zav5::batch {

// Carries out a batch script of the Windows command interpreter on a machine that has none: the
// handful of commands that the store's transfer scripts use. A line it does not know is reported,
// never guessed at.
//
// Commands: rem, cls, echo (off, on, ".", text), cd and chdir (with /d), "X:", copy (/Y, /B) and
// del or erase (/Q, /F), one to a line or several joined by "&&", each of them possibly after
// "if [not] errorlevel N". Every problem goes to the error stream with the script's name and line
// number.
//
// Each command succeeds or fails, and that one outcome decides both what follows:
// - "&&": as in cmd, the command after it runs only when the one before it succeeded, so that
//   "copy X Z:\ && del X" deletes only what was copied.
// - The error level, 0 when the script starts: cd, "X:", copy and del set it to 0 when they
//   succeed and to 1 when they fail; rem, cls, echo and empty lines leave it, as in cmd.
//   "if errorlevel N command" runs the command when the level is N or more, "if not errorlevel N
//   command" when it is below N; as in cmd, the command runs to the end of the line, "&&"
//   included, so that a condition that does not hold skips the rest of its line. So
//   "copy X Z:" followed by a line "if not errorlevel 1 del X" also deletes only what was copied.
//   Other forms of if (exist, comparisons, /i, else, blocks in parentheses) are not supported.
// A copy that finds no file has failed (cmd sets errorlevel 1): it is reported and the script goes
// on. A del that finds no file is reported too, but has succeeded (cmd's del leaves errorlevel 0).
//
// Where it differs from cmd, on purpose:
// - A line that fails stops the script: a transfer script deletes its files right after copying
//   them, and going on after a failed copy would destroy data that never reached the other side.
//   So after a copy that could not copy (the target unreachable), neither its line nor the script
//   goes on, and an "if not errorlevel 1 del" after it never runs. A command followed by "&&" is
//   the exception: the script handles its failure itself, so it is reported, the rest of its line
//   is skipped and the script goes on with the next line, as cmd does. The last command of such a
//   line is judged as a line of its own.
// - A line that it does not know, in any of its parts, is reported and stops the script before any
//   part of it runs; cmd would run the parts before the one it cannot.
// - "echo" before "&&" prints its text without the blanks in front of the "&&".
//
// The script is read in the store's code page (Windows-1252), or as UTF-8 when it begins with the
// UTF-8 byte-order mark (as Notepad saves it).
class BatchRunner {
 public:
  // `output` receives what echo prints; `errors` one line per problem, naming script and line.
  BatchRunner(platform::Env& env, std::ostream& output, std::ostream& errors);

  BatchRunner(const BatchRunner&) = delete;
  BatchRunner& operator=(const BatchRunner&) = delete;

  // Runs the script at the Windows path `script`, starting in the root folder of env's current
  // drive (env.CurrentDrive()). Returns true when it ran to its end (failures it handled with
  // "&&" included), false when a line stopped it or it could not be read.
  bool Run(std::string_view script);

 private:
  // Reads the script and decodes it from the store's code page, or from UTF-8 after a byte-order
  // mark. Throws FileError.
  std::string ReadScript() const;

  // Carry out one command. Each throws Error (FileError from Env included) when the command fails
  // or asks for something this runner does not do. Execute and Copy return false when the command
  // failed without stopping the script and has reported it (a copy that found no file): the error
  // level becomes 1, what follows it after "&&" does not run, the script goes on.
  // REQUIRES: `line` is not a kIfErrorLevel (Run() weighs those).
  bool Execute(const BatchLine& line);
  void ChangeFolder(const BatchLine& line);
  void ChangeDrive(const BatchLine& line);
  bool Copy(const BatchLine& line);
  void Delete(const BatchLine& line);

  // The current folder of `drive` (a lower-case letter): its root until a cd moves it.
  platform::WindowsPath FolderOf(char drive) const;
  // The path that `text` names in the script, resolved against the current drive and folders.
  // Throws Error for a path that the runner does not take (forward slashes, network paths).
  platform::WindowsPath Resolve(std::string_view text) const;
  // Resolve() for a file or a pattern of files: wildcards only in the last element, and not a
  // folder.
  platform::WindowsPath FilePattern(std::string_view text) const;
  // The host path of `folder`. Throws FileError when it is not an existing folder.
  std::filesystem::path ExistingFolder(const platform::WindowsPath& folder) const;
  // True when `path` names an existing folder; false on a drive that is not mapped.
  bool IsFolder(const platform::WindowsPath& path) const;

  // Writes "<script>, riga N: <line>: <why>" to the error stream.
  void Report(std::string_view why);

  platform::Env& env_;
  std::ostream& output_;
  std::ostream& errors_;

  // State of the run under way.
  std::string script_;
  int line_number_ = 0;
  std::string line_;                               // as error messages quote it
  char current_drive_ = 'c';                       // lower case, like WindowsPath::drive
  std::map<char, platform::WindowsPath> folders_;  // drives that a cd moved away from their root
  int error_level_ = 0;                            // what "if errorlevel" weighs
};

}  // namespace zav5::batch

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

#include "platform/batch/batch_line.h"
#include "platform/env.h"
#include "platform/windows_path.h"

namespace zav5::platform {

// Carries out a batch script of the Windows command interpreter on a machine that has none: the
// handful of commands that the store's transfer scripts use. A line it does not know is reported,
// never guessed at.
//
// Commands: rem, cls, echo (off, on, ".", text), cd and chdir (with /d), "X:", copy (/Y, /B) and
// del or erase (/Q, /F). Every line that fails or cannot be run stops the script: a transfer script
// deletes its files right after copying them, and going on after a failed copy would destroy data
// that never reached the other side. A copy or del that finds no file is reported and the script
// goes on, as cmd does.
//
// The script is read in the store's code page (Windows-1252), or as UTF-8 when it begins with the
// UTF-8 byte-order mark (as Notepad saves it).
class BatchRunner {
 public:
  // `output` receives what echo prints; `errors` one line per problem, naming script and line.
  BatchRunner(Env& env, std::ostream& output, std::ostream& errors);

  BatchRunner(const BatchRunner&) = delete;
  BatchRunner& operator=(const BatchRunner&) = delete;

  // Runs the script at the Windows path `script`, starting in the root folder of env's current
  // drive (env.CurrentDrive()). Returns true when every line ran.
  bool Run(std::string_view script);

 private:
  // Reads the script and decodes it from the store's code page, or from UTF-8 after a byte-order
  // mark. Throws FileError.
  std::string ReadScript() const;

  // Carry out one line. Each throws Errore (FileError from Env included) when the line fails or
  // asks for something this runner does not do.
  void Execute(const BatchLine& line);
  void ChangeFolder(const BatchLine& line);
  void ChangeDrive(const BatchLine& line);
  void Copy(const BatchLine& line);
  void Delete(const BatchLine& line);

  // The current folder of `drive` (a lower-case letter): its root until a cd moves it.
  WindowsPath FolderOf(char drive) const;
  // The path that `text` names in the script, resolved against the current drive and folders.
  // Throws Errore for a path that the runner does not take (forward slashes, network paths).
  WindowsPath Resolve(std::string_view text) const;
  // Resolve() for a file or a pattern of files: wildcards only in the last element, and not a
  // folder.
  WindowsPath FilePattern(std::string_view text) const;
  // The host path of `folder`. Throws FileError when it is not an existing folder.
  std::filesystem::path ExistingFolder(const WindowsPath& folder) const;
  // True when `path` names an existing folder; false on a drive that is not mapped.
  bool IsFolder(const WindowsPath& path) const;

  // Writes "<script>, riga N: <line>: <why>" to the error stream.
  void Report(std::string_view why);

  Env& env_;
  std::ostream& output_;
  std::ostream& errors_;

  // State of the run under way.
  std::string script_;
  int line_number_ = 0;
  std::string line_;                     // as error messages quote it
  char current_drive_ = 'c';             // lower case, like WindowsPath::drive
  std::map<char, WindowsPath> folders_;  // drives that a cd moved away from their root
};

}  // namespace zav5::platform

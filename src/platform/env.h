// The seam between the program and the operating system.
//
// Everything the program asks of the machine goes through Env: looking up and deleting files,
// writing text files, the clock, and the operator's message box. The program speaks Windows paths
// (C:\sulvo\bkp\...) throughout; an Env turns them into files of its own machine. Business code
// receives an Env by reference and never includes an operating-system header.
#pragma once

#include <chrono>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace zav5::platform {

// A moment of the local clock, to the second.
using LocalTime = std::chrono::local_seconds;

// A moment of a clock that only moves forward, for timers: a change of the date and time (by the
// operator, by daylight saving) neither stops nor rushes them.
using SteadyTime = std::chrono::steady_clock::time_point;

// Handle of a text file opened through Env, like a file number of the classic file statements,
// except that a number is never given out twice in a run (see file_numbers.h).
using FileHandle = int;

enum class OpenMode {
  kOutput,  // create the file, or empty it when it exists
  kAppend,  // add at the end; create the file when it does not exist
};

class Env {
 public:
  virtual ~Env() = default;

  // Files. Paths are Windows paths. A pattern may hold * and ? in its last element.

  // The names (last element only) of the ordinary files that match `pattern`, in directory order.
  // Folders, hidden files and system files are never found. An unreachable folder finds nothing.
  virtual std::vector<std::string> FindFiles(std::string_view pattern) = 0;

  // Deletes every ordinary file that matches `pattern`. Throws FileError when a matching file
  // cannot be deleted, which includes a file open through this Env.
  virtual void DeleteFiles(std::string_view pattern) = 0;

  // Opens a text file. Lines written to it are converted to the store's 8-bit code page
  // (Windows-1252; a character it lacks becomes "?") and end with CR LF.
  // Throws FileError when the file cannot be opened: its folder is missing (folders are never
  // created here), it is not an ordinary file, or it is already open through this Env.
  virtual FileHandle OpenTextFile(std::string_view path, OpenMode mode) = 0;

  // Writes `line` and the line end. Throws FileError when the handle is not open or the write
  // fails.
  virtual void WriteLine(FileHandle file, std::string_view line) = 0;

  // True while `file` is open.
  virtual bool IsOpen(FileHandle file) const = 0;

  // Closes one file; closing a file that is not open does nothing.
  virtual void Close(FileHandle file) = 0;

  // Closes every file the program holds open through this Env.
  virtual void CloseAll() = 0;

  // The path at which the machine's own file functions (and the database engine) reach the
  // Windows path `path`. Elements that exist are matched without regard to letter case.
  // Throws FileError when the path names a drive this machine does not map.
  virtual std::string NativePath(std::string_view path) = 0;

  // The drive the process runs on, as the drive list names it: one lower-case letter.
  virtual char CurrentDrive() const = 0;

  // Processes: starts the script at `path` (a batch file of the command interpreter) as a separate
  // process and returns without waiting for it; what the script then does is not seen here. On
  // Windows its window opens maximised and takes the focus. Throws FileError when the script does
  // not exist or cannot be started.
  virtual void StartScript(std::string_view path) = 0;

  // Clock: the local date and time now.
  virtual LocalTime Now() = 0;

  // Clock: now on the steady clock that timers count on.
  virtual SteadyTime SteadyNow() = 0;

  // Operator: a modal message box with an OK button; returns when the operator confirms.
  virtual void MessageBox(std::string_view text, std::string_view caption) = 0;

  // Diagnostics that cannot go to the run log (the log itself is unusable): standard error.
  virtual void Warn(std::string_view text) = 0;
};

// True when an ordinary file exists at exactly `path`.
inline bool FileExists(Env& env, std::string_view path) {
  return !env.FindFiles(path).empty();
}

}  // namespace zav5::platform

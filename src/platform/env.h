// The seam between the program and the operating system.
//
// Everything the program asks of the machine goes through Env: looking up and deleting files,
// writing text files, the clock, and the operator's message box. The program speaks Windows paths
// (C:\sulvo\bkp\...) throughout; an Env turns them into files of its own machine. Business code
// receives an Env by reference and never includes an operating-system header.
#pragma once

#include <chrono>
#include <memory>
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

// A file being written byte for byte, in the shape of LevelDB's WritableFile: bytes are appended
// in order, Sync makes them durable, Close ends the writing. No code page and no line ends are
// added here (see line_writer.h for text).
class WritableFile {
 public:
  // Closes a file that is still open; a failure then goes unreported, so callers that rely on the
  // bytes call Sync and Close themselves.
  virtual ~WritableFile() = default;

  // Adds `bytes` at the end. Throws FileError when the write fails (a full disk, say).
  virtual void Append(std::string_view bytes) = 0;

  // Returns once every byte appended so far is on the disk. Throws FileError.
  virtual void Sync() = 0;

  // Closes the file. Throws FileError when the system reports a failure of the writes; calling it
  // again does nothing.
  virtual void Close() = 0;
};

// A new file under a name that only the program uses: it matches none of the patterns of the
// label systems, their scripts or the clean-up of a label folder (it begins with "~zav5" and ends
// with ".tmp"), and no other process of this program is given the same name.
struct TemporaryFile {
  std::string path;  // Windows path, in the folder that was asked for
  std::unique_ptr<WritableFile> file;
};

enum class RenameOutcome {
  kRenamed,       // the file has its new name
  kTargetExists,  // not renamed: a file of that name is there and was not to be replaced
  kOtherVolume,   // not renamed: the two names are on different disks; the caller copies
};

// The program's hold on a lock file, released when it is destroyed or when the process ends in
// any way (the operating system releases it).
class FileLock {
 public:
  virtual ~FileLock() = default;
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

  // Creates `folder` and the folders above it that are missing. Throws FileError when one cannot
  // be created (a file is in the way, the drive is not there, the disk refuses).
  virtual void CreateFolder(std::string_view folder) = 0;

  // A new, empty file in `folder` (see TemporaryFile), open for writing. It is meant to be
  // renamed once complete. Throws FileError when it cannot be created (the folder is missing,
  // read-only or on a full disk).
  virtual TemporaryFile NewTemporaryFile(std::string_view folder) = 0;

  // Gives the file `from` the name `to`, durably: once it returns, a power cut leaves the file
  // under the new name. A file already at `to` is replaced only when `replace` is true; otherwise
  // nothing changes and kTargetExists is returned. Across disks nothing changes and kOtherVolume
  // is returned. Throws FileError for every other failure (`from` missing, folder read-only...).
  virtual RenameOutcome RenameFile(std::string_view from, std::string_view to, bool replace) = 0;

  // The bytes of the ordinary file at `path`; nothing when there is no such file. Throws FileError
  // when the file is there but cannot be read.
  virtual std::optional<std::string> ReadFile(std::string_view path) = 0;

  // Takes the lock file at `path` (creating it) for this process. Returns nullptr when another
  // process holds it. The lock is never inherited by the scripts the program starts. Throws
  // FileError when the file cannot be created or locked for another reason.
  virtual std::unique_ptr<FileLock> LockFile(std::string_view path) = 0;

  // Whether another process holds the lock file at `path`; false when there is no such file.
  // Takes nothing for longer than the asking and creates nothing, so that whoever only checks
  // never stands in the way of a holder for more than an instant. Throws FileError when the file
  // is there but cannot be asked.
  virtual bool LockHeld(std::string_view path) = 0;

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

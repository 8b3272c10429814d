// The Env of a POSIX machine (Linux, the BSDs, macOS).
//
// Windows paths reach the host's folders through a drive map: with C mapped to /srv/store,
// C:\SULVO\DATI.MDB is /srv/store/sulvo/dati.mdb. Each element of a path is matched against the
// names in its folder without regard to letter case, the way the Windows file system does, because
// the program and the store's settings spell the same file in more than one way.
#pragma once

#include <cstdint>
#include <filesystem>
#include <iostream>
#include <map>
#include <optional>
#include <ostream>
#include <string>
#include <string_view>
#include <vector>

#include "platform/drive_map.h"
#include "platform/env.h"
#include "platform/file_numbers.h"
#include "platform/windows_path.h"

namespace zav5::platform {

// Files are "ordinary" when they are regular files (or symbolic links to one) whose names do not
// begin with ".": a dot-file stands for a hidden file, anything that is not a regular file (a
// device, a FIFO, a socket) for a system file.
//
// Each line written reaches the operating system before WriteLine returns: the run log must be on
// disk while the program runs, whatever happens to the process afterwards.
//
// Not safe for use from more than one thread at a time.
class PosixEnv : public Env {
 public:
  // Drive letters may be given in either case. `errors` receives message boxes and warnings.
  // Throws std::invalid_argument when a drive letter is not an ASCII letter.
  explicit PosixEnv(const DriveMap& drives, char current_drive = 'C',
                    std::ostream& errors = std::cerr);
  ~PosixEnv() override;

  PosixEnv(const PosixEnv&) = delete;
  PosixEnv& operator=(const PosixEnv&) = delete;

  // Symbolic links to regular files are found like the files they point to.
  std::vector<std::string> FindFiles(std::string_view pattern) override;
  // Also throws FileError when the pattern names a drive that is not mapped (a setup fault that
  // would otherwise go unnoticed), and when a matching file is open through this Env (as on
  // Windows, where a file the program holds open cannot be deleted).
  void DeleteFiles(std::string_view pattern) override;
  // Also throws FileError when the file is already open through this Env, as the classic file
  // statements do, and when the path names something other than a regular file.
  FileHandle OpenTextFile(std::string_view path, OpenMode mode) override;
  void WriteLine(FileHandle file, std::string_view line) override;
  bool IsOpen(FileHandle file) const override;
  void Close(FileHandle file) override;
  void CloseAll() override;
  // Where an element has more than one match that differs only in case, the exact spelling wins,
  // else the match that sorts first. An element that does not exist is kept as written, and so is
  // every element after it.
  void CreateFolder(std::string_view folder) override;
  // Named ~zav5-PID-N.tmp, created exclusively.
  TemporaryFile NewTemporaryFile(std::string_view folder) override;
  // Also syncs the folders of both names, so that the new name survives a power cut.
  RenameOutcome RenameFile(std::string_view from, std::string_view to, bool replace) override;
  std::optional<std::string> ReadFile(std::string_view path) override;
  // An flock() on a descriptor of its own that is closed on exec; the lock file then holds the
  // process number, for the message of a second instance.
  std::unique_ptr<FileLock> LockFile(std::string_view path) override;
  bool LockHeld(std::string_view path) override;
  std::string NativePath(std::string_view path) override;
  char CurrentDrive() const override { return current_drive_; }
  // There is no command interpreter here: the script is handed, as the Windows path the program
  // named, to the launcher set with SetScriptLauncher. Throws FileError when none is set.
  void StartScript(std::string_view path) override;
  LocalTime Now() override;
  SteadyTime SteadyNow() override { return std::chrono::steady_clock::now(); }
  // No window here: the message goes to the error stream as one line, "caption: text".
  void MessageBox(std::string_view text, std::string_view caption) override;
  void Warn(std::string_view text) override;

  // The program that runs the scripts StartScript starts: `command` (an executable's path and its
  // first arguments) followed by the script's Windows path, started detached.
  void SetScriptLauncher(std::vector<std::string> command) { launcher_ = std::move(command); }

 private:
  struct OpenFile {
    int descriptor;
    std::string path;  // as the program named it, for messages
    std::uint64_t device;
    std::uint64_t inode;
  };

  WindowsPath Parse(std::string_view path) const;
  // The host path of `path`, or nullopt when its drive is not mapped.
  std::optional<std::filesystem::path> HostPath(const WindowsPath& path) const;
  // The host paths of the ordinary files that match `pattern`, in directory order.
  std::vector<std::filesystem::path> MatchingFiles(const WindowsPath& pattern) const;
  // The number of the open file at `host_path`, if this Env holds it open.
  std::optional<FileHandle> OpenNumberOf(const std::filesystem::path& host_path) const;

  DriveMap drives_;
  char current_drive_;
  std::ostream& errors_;
  FileNumbers numbers_;
  std::map<FileHandle, OpenFile> files_;
  std::vector<std::string> launcher_;
  unsigned temporary_files_ = 0;  // temporary files named so far
};

}  // namespace zav5::platform

// The Env of a Windows machine.
//
// Paths are the machine's own: C:\sulvo\bkp\... is that file on drive C:, and the file system
// itself ignores letter case. A drive map may still let a drive letter stand for a folder, like the
// "subst" command does, for tests and for a store kept elsewhere; scripts started by the program do
// not see it.
#pragma once

#include <cstdint>
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

// Files are "ordinary" when they are neither folders nor devices and have neither the hidden nor
// the system attribute, as for the directory look-up of the classic file statements.
//
// Each line written reaches the operating system before WriteLine returns.
//
// Not safe for use from more than one thread at a time.
class WindowsEnv : public Env {
 public:
  // Drive letters may be given in either case. `errors` receives warnings, and message boxes when
  // they are not shown as windows.
  // Throws std::invalid_argument when a drive letter is not an ASCII letter.
  explicit WindowsEnv(const DriveMap& drives = {}, char current_drive = 'C',
                      std::ostream& errors = std::cerr);
  ~WindowsEnv() override;

  WindowsEnv(const WindowsEnv&) = delete;
  WindowsEnv& operator=(const WindowsEnv&) = delete;

  std::vector<std::string> FindFiles(std::string_view pattern) override;
  // Also throws FileError when a matching file is open through this Env.
  void DeleteFiles(std::string_view pattern) override;
  // Other programs may read the file while it is open, but not delete it.
  FileHandle OpenTextFile(std::string_view path, OpenMode mode) override;
  void WriteLine(FileHandle file, std::string_view line) override;
  bool IsOpen(FileHandle file) const override;
  void Close(FileHandle file) override;
  void CloseAll() override;
  // Creates one element at a time; an element that is there in another letter case is the same.
  void CreateFolder(std::string_view folder) override;
  // Named ~zav5-PID-N.tmp, created only where no file of that name is, with no attributes: a file
  // keeps them when renamed, and a hidden one would not be found under its new name. Other
  // programs may read it while it is written, but neither write nor delete nor rename it.
  TemporaryFile NewTemporaryFile(std::string_view folder) override;
  // Writes through to the disk before it returns. A file still open for writing through this Env,
  // or open in another program that does not share deleting, can be neither renamed nor replaced
  // (FileError).
  RenameOutcome RenameFile(std::string_view from, std::string_view to, bool replace) override;
  std::optional<std::string> ReadFile(std::string_view path) override;
  // The lock is the file held open for writing and shared only for reading, so that no second
  // holder can open it the same way while a second instance can still read in it the number of
  // the process that holds it. Windows closes the handle, and so releases the lock, with the
  // process; the handle is not inheritable.
  std::unique_ptr<FileLock> LockFile(std::string_view path) override;
  bool LockHeld(std::string_view path) override;
  // The path with its drive resolved through the drive map, "\" between elements, and each element
  // that exists spelt as on the disk.
  std::string NativePath(std::string_view path) override;
  char CurrentDrive() const override { return current_drive_; }
  // Runs the script through the command interpreter (%ComSpec%, else cmd.exe), in a console window
  // of its own that opens maximised, and returns without waiting.
  void StartScript(std::string_view path) override;
  LocalTime Now() override;
  SteadyTime SteadyNow() override { return std::chrono::steady_clock::now(); }
  // A modal message box with an OK button, owned by the program's active window; or, when message
  // boxes are off, one line "caption: text" on the error stream.
  void MessageBox(std::string_view text, std::string_view caption) override;
  void Warn(std::string_view text) override;

  // Whether MessageBox opens a window (the default). An unattended run turns it off: a box that
  // nobody confirms would hold the program for ever.
  void SetMessageBoxWindows(bool windows) { message_box_windows_ = windows; }

 private:
  struct OpenFile {
    void* handle;      // HANDLE
    std::string path;  // as the program named it, for messages
    std::uint32_t volume;
    std::uint64_t index;
  };

  WindowsPath Parse(std::string_view path) const;
  // The native path of `path`, drive map applied.
  std::string Resolve(const WindowsPath& path) const;
  // The same with each element that exists spelt as on the disk.
  std::string Spelling(const WindowsPath& path) const;
  // The native paths of the ordinary files that match `pattern`, with their names.
  struct Match {
    std::string native;
    std::string name;
  };
  std::vector<Match> MatchingFiles(const WindowsPath& pattern) const;
  // The number of the open file at `native`, if this Env holds it open.
  std::optional<FileHandle> OpenNumberOf(const std::string& native) const;

  DriveMap drives_;
  char current_drive_;
  std::ostream& errors_;
  bool message_box_windows_ = true;
  FileNumbers numbers_;
  std::map<FileHandle, OpenFile> files_;
  unsigned temporary_files_ = 0;  // temporary files named so far
};

}  // namespace zav5::platform

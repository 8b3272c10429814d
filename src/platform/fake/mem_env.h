// An Env that keeps its files in memory, for tests.
//
// It behaves like the real ones where the program can tell: names are matched without regard to
// case and found with their own spelling, a file can only be created in a folder that exists,
// lines are stored as the real file would hold them (Windows-1252, CR LF), and an open file can
// neither be opened again nor deleted. Every drive exists; a network share (\\server\share)
// exists once a folder has been made on it.
//
// Tests set the clock and read back what the program wrote, the message boxes it showed and the
// warnings it gave.
#pragma once

#include <chrono>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "platform/env.h"
#include "platform/file_numbers.h"
#include "platform/windows_path.h"

namespace zav5::platform {

class MemEnv : public Env {
 public:
  // The clock starts at 2000-01-01 00:00:00 until a test sets it.
  explicit MemEnv(char current_drive = 'C');

  // Test side.

  // Creates the folder `path` and the folders above it. Throws FileError when one of them is a
  // file.
  void MakeFolder(std::string_view path);
  bool FolderExists(std::string_view path) const;

  // Creates or replaces the file `path` with `bytes`, creating its folders. A hidden file is
  // never found by FindFiles.
  void PutFile(std::string_view path, std::string_view bytes, bool hidden = false);

  // The bytes of the file `path`, as the program wrote them; nullopt when there is no such file.
  std::optional<std::string> FileBytes(std::string_view path) const;

  void SetNow(LocalTime now) { now_ = now; }
  // Moves both clocks forward.
  void Advance(std::chrono::milliseconds by) {
    now_ += by;
    steady_ += by;
  }

  // The text of each message box shown, in order, and their captions.
  const std::vector<std::string>& message_boxes() const { return message_boxes_; }
  const std::vector<std::string>& message_box_captions() const { return message_box_captions_; }
  const std::vector<std::string>& warnings() const { return warnings_; }
  // The path of each script started, in order, as the program named it.
  const std::vector<std::string>& started_scripts() const { return started_scripts_; }
  // Syncs of files and renames made so far.
  int syncs() const { return syncs_; }
  // Another process takes the lock file `path` (LockFile then returns nullptr) until released.
  void HoldLock(std::string_view path);
  void ReleaseLock(std::string_view path);

  // Env.

  std::vector<std::string> FindFiles(std::string_view pattern) override;
  void DeleteFiles(std::string_view pattern) override;
  FileHandle OpenTextFile(std::string_view path, OpenMode mode) override;
  void WriteLine(FileHandle file, std::string_view line) override;
  bool IsOpen(FileHandle file) const override;
  void Close(FileHandle file) override;
  void CloseAll() override;
  void CreateFolder(std::string_view folder) override { MakeFolder(folder); }
  TemporaryFile NewTemporaryFile(std::string_view folder) override;
  // Different drives, and different network shares, are different disks.
  RenameOutcome RenameFile(std::string_view from, std::string_view to, bool replace) override;
  std::optional<std::string> ReadFile(std::string_view path) override;
  std::unique_ptr<FileLock> LockFile(std::string_view path) override;
  bool LockHeld(std::string_view path) override;
  // The path normalised (C:\sulvo\bkp\x.txt), each existing element spelt as it was created.
  std::string NativePath(std::string_view path) override;
  char CurrentDrive() const override { return current_drive_; }
  // Records the start; nothing runs.
  void StartScript(std::string_view path) override;
  LocalTime Now() override { return std::chrono::floor<std::chrono::seconds>(now_); }
  // Starts at the clock's epoch and moves only with Advance.
  SteadyTime SteadyNow() override { return steady_; }
  void MessageBox(std::string_view text, std::string_view caption) override;
  void Warn(std::string_view text) override;

 private:
  struct Entry {
    WindowsPath path;  // spelt as created
    bool folder = false;
    bool hidden = false;
    std::string bytes;
  };

  WindowsPath Parse(std::string_view path) const;
  // `path` with each existing element spelt as it was created.
  WindowsPath Resolve(const WindowsPath& path) const;
  bool IsFolder(const WindowsPath& path) const;
  const Entry* FindEntry(const WindowsPath& path) const;
  // The keys of the ordinary files that match `pattern`, in name order.
  std::vector<std::string> MatchingFiles(const WindowsPath& pattern) const;
  std::optional<FileHandle> OpenNumberOf(const std::string& key) const;

  char current_drive_;
  std::chrono::local_time<std::chrono::milliseconds> now_;  // kept to the millisecond for Advance
  SteadyTime steady_;
  std::map<std::string, Entry> entries_;  // by the case-folded normalised path
  FileNumbers numbers_;
  std::map<FileHandle, std::string> files_;  // open file -> key of its entry
  std::vector<std::string> message_boxes_;
  std::vector<std::string> message_box_captions_;
  std::vector<std::string> warnings_;
  std::vector<std::string> started_scripts_;
  unsigned temporary_files_ = 0;
  int syncs_ = 0;
  std::set<std::string> locks_;  // keys of lock files held, by this program or another

  friend class MemWritableFile;
  friend class MemFileLock;
};

}  // namespace zav5::platform

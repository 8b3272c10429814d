// An Env that hands every call to another Env. Derive from it to change one part of the machine
// (the clock, the message box) and keep the rest: a test that needs a given day overrides Now()
// and nothing else.
#pragma once

#include "platform/env.h"

namespace zav5::platform {

class EnvWrapper : public Env {
 public:
  // REQUIRES: `target` outlives this wrapper
  explicit EnvWrapper(Env& target) : target_(target) {}

  Env& target() const { return target_; }

  std::vector<std::string> FindFiles(std::string_view pattern) override {
    return target_.FindFiles(pattern);
  }
  void DeleteFiles(std::string_view pattern) override { target_.DeleteFiles(pattern); }
  FileHandle OpenTextFile(std::string_view path, OpenMode mode) override {
    return target_.OpenTextFile(path, mode);
  }
  void WriteLine(FileHandle file, std::string_view line) override { target_.WriteLine(file, line); }
  bool IsOpen(FileHandle file) const override { return target_.IsOpen(file); }
  void Close(FileHandle file) override { target_.Close(file); }
  void CloseAll() override { target_.CloseAll(); }
  void CreateFolder(std::string_view folder) override { target_.CreateFolder(folder); }
  TemporaryFile NewTemporaryFile(std::string_view folder) override {
    return target_.NewTemporaryFile(folder);
  }
  RenameOutcome RenameFile(std::string_view from, std::string_view to, bool replace) override {
    return target_.RenameFile(from, to, replace);
  }
  std::optional<std::string> ReadFile(std::string_view path) override {
    return target_.ReadFile(path);
  }
  std::unique_ptr<FileLock> LockFile(std::string_view path) override {
    return target_.LockFile(path);
  }
  bool LockHeld(std::string_view path) override { return target_.LockHeld(path); }
  std::string NativePath(std::string_view path) override { return target_.NativePath(path); }
  char CurrentDrive() const override { return target_.CurrentDrive(); }
  void StartScript(std::string_view path) override { target_.StartScript(path); }
  LocalTime Now() override { return target_.Now(); }
  SteadyTime SteadyNow() override { return target_.SteadyNow(); }
  void MessageBox(std::string_view text, std::string_view caption) override {
    target_.MessageBox(text, caption);
  }
  void Warn(std::string_view text) override { target_.Warn(text); }

 private:
  Env& target_;
};

}  // namespace zav5::platform

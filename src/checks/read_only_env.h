// The machine as the checks see it: they read the store's files and databases and change none of
// them. Every call that would create, write, rename or delete a file, take a lock or start a
// script fails instead, so that a mistake in a check shows as an error, never as a change to the
// store. A message box is kept for the check's report instead of being shown.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "platform/env_wrapper.h"

namespace zav5::checks {

class ReadOnlyEnv : public platform::EnvWrapper {
 public:
  using EnvWrapper::EnvWrapper;

  void DeleteFiles(std::string_view pattern) override;
  platform::FileHandle OpenTextFile(std::string_view path, platform::OpenMode mode) override;
  void CreateFolder(std::string_view folder) override;
  platform::TemporaryFile NewTemporaryFile(std::string_view folder) override;
  platform::RenameOutcome RenameFile(std::string_view from, std::string_view to,
                                     bool replace) override;
  std::unique_ptr<platform::FileLock> LockFile(std::string_view path) override;
  void StartScript(std::string_view path) override;
  void MessageBox(std::string_view text, std::string_view caption) override;

  // The texts of the message boxes the checked code would have shown, in order.
  const std::vector<std::string>& message_boxes() const { return message_boxes_; }

 private:
  std::vector<std::string> message_boxes_;
};

}  // namespace zav5::checks

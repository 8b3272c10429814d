#include "platform/whole_file.h"

#include "errors.h"

namespace zav5::platform {

namespace {

// A temporary file left behind is harmless (no pattern matches its name); the failure that made
// it so is the one to report.
void Remove(Env& env, TemporaryFile& temporary) noexcept {
  temporary.file.reset();
  try {
    env.DeleteFiles(temporary.path);
  } catch (const Error&) {
  }
}

}  // namespace

RenameOutcome WriteWholeFile(Env& env, std::string_view folder, std::string_view target,
                             std::string_view bytes, bool replace) {
  TemporaryFile temporary = env.NewTemporaryFile(folder);
  RenameOutcome outcome;
  try {
    temporary.file->Append(bytes);
    temporary.file->Sync();
    temporary.file->Close();
    outcome = env.RenameFile(temporary.path, target, replace);
  } catch (const Error&) {
    Remove(env, temporary);
    throw;
  }
  if (outcome != RenameOutcome::kRenamed) {
    Remove(env, temporary);
  }
  return outcome;
}

}  // namespace zav5::platform

#include "checks/read_only_env.h"

#include <fmt/core.h>

#include "errors.h"

namespace zav5::checks {

namespace {

[[noreturn]] void Refuse(std::string_view what, std::string_view path) {
  throw FileError(
      fmt::format("un controllo non cambia nulla del negozio: {} {} non eseguito", what, path));
}

}  // namespace

void ReadOnlyEnv::DeleteFiles(std::string_view pattern) {
  Refuse("eliminare", pattern);
}

platform::FileHandle ReadOnlyEnv::OpenTextFile(std::string_view path, platform::OpenMode) {
  Refuse("scrivere", path);
}

void ReadOnlyEnv::CreateFolder(std::string_view folder) {
  Refuse("creare la cartella", folder);
}

platform::TemporaryFile ReadOnlyEnv::NewTemporaryFile(std::string_view folder) {
  Refuse("creare un file in", folder);
}

platform::RenameOutcome ReadOnlyEnv::RenameFile(std::string_view from, std::string_view, bool) {
  Refuse("rinominare", from);
}

std::unique_ptr<platform::FileLock> ReadOnlyEnv::LockFile(std::string_view path) {
  Refuse("bloccare", path);
}

void ReadOnlyEnv::StartScript(std::string_view path) {
  Refuse("avviare", path);
}

void ReadOnlyEnv::MessageBox(std::string_view text, std::string_view) {
  message_boxes_.emplace_back(text);
}

}  // namespace zav5::checks

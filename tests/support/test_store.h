// A store on disk for tests: a temporary folder whose subfolders are mapped as drives, the company
// database and store databases made from the project's DDL, and an Env whose clock and operator
// the test controls.
#pragma once

#include <chrono>
#include <filesystem>
#include <functional>
#include <memory>
#include <sstream>
#include <string>
#include <string_view>
#include <vector>

#include "errors.h"
#include "platform/env_wrapper.h"
#include "platform/host_env.h"
#include "support/temp_dir.h"

namespace zav5::test {

// Holds the real Env so that it is built before the wrapper that forwards to it.
struct HostEnvHolder {
  HostEnvHolder(platform::DriveMap drives, char current_drive)
      : host(std::move(drives), current_drive) {}
  platform::HostEnv host;
};

// The real file system under a drive map, with a clock that stands still until moved and an
// operator whose message boxes are recorded instead of shown.
class TestEnv : private HostEnvHolder, public platform::EnvWrapper {
 public:
  TestEnv(platform::DriveMap drives, char current_drive);

  platform::LocalTime Now() override { return std::chrono::floor<std::chrono::seconds>(now_); }
  void SetNow(platform::LocalTime now) { now_ = now; }
  // The steady clock stands still too; Advance moves both clocks.
  platform::SteadyTime SteadyNow() override { return steady_; }
  void Advance(std::chrono::milliseconds by) {
    now_ += by;
    steady_ += by;
  }
  void MessageBox(std::string_view text, std::string_view caption) override {
    message_boxes.push_back(std::string(caption) + ": " + std::string(text));
  }
  void Warn(std::string_view text) override { warnings.emplace_back(text); }
  // Scripts are recorded, not run, unless a test hands them to a real launcher.
  void StartScript(std::string_view path) override {
    Step("script", path);
    if (start_script) {
      start_script(path);
      return;
    }
    if (!platform::FileExists(*this, path)) {
      throw FileError("impossibile avviare " + std::string(path) + ": file non trovato");
    }
    started_scripts.emplace_back(path);
  }
  void WriteLine(platform::FileHandle file, std::string_view line) override {
    platform::EnvWrapper::WriteLine(file, line);
    if (after_write_line) {
      after_write_line(line);
    }
  }

  // The steps of whole-file writing pass through `before_step` (when set) first, each named
  // "append PATH", "sync PATH", "close PATH", "temporary FOLDER", "rename FROM -> TO",
  // "folder PATH", "delete PATTERN" or "script PATH": a test can count them, fail one by throwing,
  // or end the process at one.
  void CreateFolder(std::string_view folder) override;
  platform::TemporaryFile NewTemporaryFile(std::string_view folder) override;
  platform::RenameOutcome RenameFile(std::string_view from, std::string_view to,
                                     bool replace) override;
  void DeleteFiles(std::string_view pattern) override;

  std::vector<std::string> message_boxes;
  std::vector<std::string> warnings;
  std::vector<std::string> started_scripts;
  // When set, starts scripts in place of the recording above.
  std::function<void(std::string_view)> start_script;
  // Called after each line written to any file: lets a test change the store at a given moment.
  std::function<void(std::string_view)> after_write_line;
  std::function<void(std::string_view)> before_step;

  // Calls before_step with "`what` `path`", when set.
  void Step(std::string_view what, std::string_view path);

 private:
  std::chrono::local_time<std::chrono::milliseconds> now_;  // to the millisecond for Advance
  platform::SteadyTime steady_;
};

// 7 December 2026, 11:49:30.
platform::LocalTime ExampleMoment();

class TestStore {
 public:
  // Makes c/sulvo/bkp (the log folder) and maps each drive of `drives` (upper-case letters) onto
  // the folder of its lower-case letter; drive C is the current drive.
  explicit TestStore(std::string_view drives = "C");

  TestEnv& env() { return *env_; }
  const TempDir& dir() const { return dir_; }
  std::filesystem::path DriveC() const { return dir_.path() / "c"; }
  std::filesystem::path DriveZ() const { return dir_.path() / "z"; }

  // Creates c/dorn/sulvo.mdb with its tables and the given rows (SQL INSERTs).
  void CreateCompanyDatabase(std::string_view rows);
  // Creates the store database at `relative` (under c/) with its tables and the given rows.
  void CreateStoreDatabase(std::string_view relative, std::string_view rows);
  // Runs SQL on a database file under c/ through a connection of the test's own.
  void Sql(std::string_view relative, std::string_view sql) const;
  // The rows of a query on a database file under c/, through a connection of the test's own: each
  // row its values as SQLite gives them as text ("NULL" for Null), joined by "|".
  std::vector<std::string> Rows(std::string_view relative, std::string_view sql) const;

  // The names of the files in the folder `relative` (under the test's folder, e.g. "c/sulvo"),
  // sorted; none when the folder does not exist.
  std::vector<std::string> Files(std::string_view relative) const;

  // The run log's lines for the example day, as UTF-8 with CR LF removed; empty when there is no
  // log.
  std::vector<std::string> LogLines() const;
  // The run log's bytes.
  std::string LogBytes() const;

 private:
  TempDir dir_;
  std::unique_ptr<TestEnv> env_;
};

}  // namespace zav5::test

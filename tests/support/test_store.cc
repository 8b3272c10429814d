#include "support/test_store.h"

#include <algorithm>
#include <stdexcept>

#include <sqlite3.h>

#include "platform/codepage.h"
#include "schema_texts.h"
#include "support/temp_dir.h"

namespace zav5::test {

TestEnv::TestEnv(platform::DriveMap drives, char current_drive)
    : HostEnvHolder(std::move(drives), current_drive),
      platform::EnvWrapper(host),
      now_(ExampleMoment()) {}

namespace {

// A file written through TestEnv: each step passes its before_step first.
class StepFile : public platform::WritableFile {
 public:
  StepFile(TestEnv& env, std::string path, std::unique_ptr<platform::WritableFile> file)
      : env_(env), path_(std::move(path)), file_(std::move(file)) {}
  void Append(std::string_view bytes) override {
    env_.Step("append", path_);
    file_->Append(bytes);
  }
  void Sync() override {
    env_.Step("sync", path_);
    file_->Sync();
  }
  void Close() override {
    env_.Step("close", path_);
    file_->Close();
  }

 private:
  TestEnv& env_;
  std::string path_;
  std::unique_ptr<platform::WritableFile> file_;
};

}  // namespace

void TestEnv::Step(std::string_view what, std::string_view path) {
  if (before_step) {
    before_step(std::string(what) + " " + std::string(path));
  }
}

void TestEnv::CreateFolder(std::string_view folder) {
  Step("folder", folder);
  platform::EnvWrapper::CreateFolder(folder);
}

platform::TemporaryFile TestEnv::NewTemporaryFile(std::string_view folder) {
  Step("temporary", folder);
  platform::TemporaryFile temporary = platform::EnvWrapper::NewTemporaryFile(folder);
  temporary.file = std::make_unique<StepFile>(*this, temporary.path, std::move(temporary.file));
  return temporary;
}

platform::RenameOutcome TestEnv::RenameFile(std::string_view from, std::string_view to,
                                            bool replace) {
  Step("rename", std::string(from) + " -> " + std::string(to));
  return platform::EnvWrapper::RenameFile(from, to, replace);
}

void TestEnv::DeleteFiles(std::string_view pattern) {
  Step("delete", pattern);
  platform::EnvWrapper::DeleteFiles(pattern);
}

platform::LocalTime ExampleMoment() {
  using namespace std::chrono;
  return local_days{2026y / December / 7} + 11h + 49min + 30s;
}

TestStore::TestStore(std::string_view drives) {
  dir_.MakeDir("c/sulvo/bkp");
  platform::DriveMap map;
  for (const char drive : drives) {
    map[drive] = dir_.path() / std::string(1, static_cast<char>(drive - 'A' + 'a'));
  }
  env_ = std::make_unique<TestEnv>(std::move(map), 'C');
}

void TestStore::CreateCompanyDatabase(std::string_view rows) {
  CreateSqliteFile(DriveC() / "dorn" / "sulvo.mdb", schema::k_azienda, rows);
}

void TestStore::CreateStoreDatabase(std::string_view relative, std::string_view rows) {
  CreateSqliteFile(DriveC() / relative, schema::k_negozio, rows);
}

namespace {

// A connection of the test's own to a database file, waiting for a lock as a program would.
sqlite3* Open(const std::filesystem::path& path) {
  sqlite3* db = nullptr;
  if (sqlite3_open_v2(Utf8Path(path).c_str(), &db, SQLITE_OPEN_READWRITE, nullptr) != SQLITE_OK) {
    sqlite3_close(db);
    throw std::runtime_error("cannot open " + path.string());
  }
  sqlite3_busy_timeout(db, 5000);
  return db;
}

}  // namespace

void TestStore::Sql(std::string_view relative, std::string_view sql) const {
  const std::filesystem::path path = DriveC() / relative;
  sqlite3* db = Open(path);
  char* message = nullptr;
  const int rc = sqlite3_exec(db, std::string(sql).c_str(), nullptr, nullptr, &message);
  std::string text = message != nullptr ? message : "";
  sqlite3_free(message);
  sqlite3_close(db);
  if (rc != SQLITE_OK) {
    throw std::runtime_error("SQL on " + path.string() + " failed: " + text);
  }
}

std::vector<std::string> TestStore::Rows(std::string_view relative, std::string_view sql) const {
  sqlite3* db = Open(DriveC() / relative);
  sqlite3_stmt* statement = nullptr;
  if (sqlite3_prepare_v2(db, std::string(sql).c_str(), -1, &statement, nullptr) != SQLITE_OK) {
    const std::string text = sqlite3_errmsg(db);
    sqlite3_close(db);
    throw std::runtime_error("SQL failed: " + text);
  }
  std::vector<std::string> rows;
  while (sqlite3_step(statement) == SQLITE_ROW) {
    std::string row;
    for (int i = 0; i < sqlite3_column_count(statement); ++i) {
      if (i > 0) {
        row += '|';
      }
      if (sqlite3_column_type(statement, i) == SQLITE_NULL) {
        row += "NULL";
      } else {
        const auto* text = reinterpret_cast<const char*>(sqlite3_column_text(statement, i));
        row.append(text, static_cast<std::size_t>(sqlite3_column_bytes(statement, i)));
      }
    }
    rows.push_back(std::move(row));
  }
  sqlite3_finalize(statement);
  sqlite3_close(db);
  return rows;
}

std::vector<std::string> TestStore::Files(std::string_view relative) const {
  std::vector<std::string> names;
  if (!std::filesystem::is_directory(dir_.path() / relative)) {
    return names;
  }
  for (const auto& entry : std::filesystem::directory_iterator(dir_.path() / relative)) {
    if (entry.is_regular_file()) {
      names.push_back(entry.path().filename().string());
    }
  }
  std::sort(names.begin(), names.end());
  return names;
}

std::string TestStore::LogBytes() const {
  const auto path = DriveC() / "sulvo" / "bkp" / "logzav3_07122026.txt";
  return std::filesystem::exists(path) ? ReadFile(path) : std::string();
}

std::vector<std::string> TestStore::LogLines() const {
  std::vector<std::string> lines;
  const std::string bytes = platform::Windows1252ToUtf8(LogBytes());
  std::size_t start = 0;
  while (start < bytes.size()) {
    const std::size_t end = bytes.find("\r\n", start);
    if (end == std::string::npos) {
      lines.push_back(bytes.substr(start) + "<no CR LF>");
      break;
    }
    lines.push_back(bytes.substr(start, end - start));
    start = end + 2;
  }
  return lines;
}

}  // namespace zav5::test

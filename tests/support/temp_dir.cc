#include "support/temp_dir.h"

#include <fstream>
#include <random>
#include <sstream>
#include <stdexcept>
#include <string>

#include <sqlite3.h>

#include "platform/utf8.h"

namespace zav5::test {

TempDir::TempDir() {
  // create_directory reports whether it made the folder, so two tests never share one.
  std::random_device seed;
  std::mt19937_64 random(seed());
  const std::filesystem::path base = std::filesystem::temp_directory_path();
  for (int attempt = 0; attempt < 100; ++attempt) {
    std::filesystem::path candidate = base / ("zav5-test-" + std::to_string(random() % 1000000000));
    std::error_code error;
    if (std::filesystem::create_directory(candidate, error)) {
      path_ = std::move(candidate);
      return;
    }
  }
  throw std::runtime_error("cannot create a temporary folder");
}

TempDir::~TempDir() {
  std::error_code ignored;
  std::filesystem::remove_all(path_, ignored);
}

std::filesystem::path TempDir::MakeDir(std::string_view relative) const {
  std::filesystem::path dir = path_ / platform::Utf8ToPath(relative);
  std::filesystem::create_directories(dir);
  return dir;
}

std::filesystem::path TempDir::WriteFile(std::string_view relative, std::string_view bytes) const {
  std::filesystem::path file = path_ / platform::Utf8ToPath(relative);
  std::filesystem::create_directories(file.parent_path());
  std::ofstream out(file, std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  if (!out) {
    throw std::runtime_error("cannot write " + file.string());
  }
  return file;
}

std::string Utf8Path(const std::filesystem::path& path) {
  return platform::PathToUtf8(path);
}

std::string ReadFile(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) {
    throw std::runtime_error("cannot read " + path.string());
  }
  std::ostringstream bytes;
  bytes << in.rdbuf();
  return bytes.str();
}

namespace {

void Run(sqlite3* db, std::string_view sql, const std::filesystem::path& path) {
  char* message = nullptr;
  if (sqlite3_exec(db, std::string(sql).c_str(), nullptr, nullptr, &message) != SQLITE_OK) {
    std::string text = message != nullptr ? message : "unknown error";
    sqlite3_free(message);
    throw std::runtime_error("SQL on " + path.string() + " failed: " + text);
  }
}

}  // namespace

void CreateSqliteFile(const std::filesystem::path& path, std::string_view ddl,
                      std::string_view data) {
  std::filesystem::create_directories(path.parent_path());
  sqlite3* db = nullptr;
  if (sqlite3_open(Utf8Path(path).c_str(), &db) != SQLITE_OK) {
    sqlite3_close(db);
    throw std::runtime_error("cannot create " + path.string());
  }
  try {
    Run(db, ddl, path);
    if (!data.empty()) {
      Run(db, data, path);
    }
  } catch (...) {
    sqlite3_close(db);
    throw;
  }
  sqlite3_close(db);
}

}  // namespace zav5::test

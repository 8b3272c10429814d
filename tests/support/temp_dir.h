// A folder of its own for one test, removed with everything in it when the test ends.
#pragma once

#include <filesystem>
#include <string>
#include <string_view>

namespace zav5::test {

class TempDir {
 public:
  TempDir();
  ~TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;

  const std::filesystem::path& path() const { return path_; }
  // Creates the folder `relative` (UTF-8, and its parents) under this one and returns its path.
  std::filesystem::path MakeDir(std::string_view relative) const;
  // Writes `bytes` to the file `relative` (UTF-8; creating its folders) and returns its path.
  std::filesystem::path WriteFile(std::string_view relative, std::string_view bytes) const;

 private:
  std::filesystem::path path_;
};

// The whole content of a file, byte for byte.
std::string ReadFile(const std::filesystem::path& path);

// `path` in UTF-8, as SQLite takes file names on every system.
std::string Utf8Path(const std::filesystem::path& path);

// Creates a SQLite database file at `path` and runs `ddl` (and then `data`, when given) on it.
void CreateSqliteFile(const std::filesystem::path& path, std::string_view ddl,
                      std::string_view data = {});

}  // namespace zav5::test

// The whole road of an expired offer of the demo store, with the real scripts: the articles are
// restored, and the import files of both label systems reach the folder mapped as drive Z:.

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <map>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>
#include <sqlite3.h>

#include "app/command_line.h"
#include "app/demo_store.h"
#include "platform/env_wrapper.h"
#include "platform/posix/posix_env.h"
#include "support/temp_dir.h"
#include "support/test_engine_options.h"
#include "window/form1.h"

namespace zav5::app {
namespace {

namespace fs = std::filesystem;
using Files = std::map<std::string, std::string>;  // name -> bytes

// The names of the files of `folder` that begin with `prefix`; hidden ones (a copy under way)
// left out.
std::vector<std::string> NamesOf(const fs::path& folder, std::string_view prefix) {
  std::vector<std::string> names;
  for (const auto& entry : fs::directory_iterator(folder)) {
    const std::string name = entry.path().filename().string();
    if (entry.is_regular_file() && !name.starts_with('.') && name.starts_with(prefix)) {
      names.push_back(name);
    }
  }
  return names;
}

// Those files with their bytes.
Files FilesOf(const fs::path& folder, std::string_view prefix) {
  Files files;
  for (const std::string& name : NamesOf(folder, prefix)) {
    files[name] = test::ReadFile(folder / name);
  }
  return files;
}

// The real machine, except that the import files are read at the moment each script starts:
// that is what the script has to hand over.
class HandOverEnv : public platform::EnvWrapper {
 public:
  HandOverEnv(platform::PosixEnv& posix, fs::path c) : EnvWrapper(posix), c_(std::move(c)) {}
  void StartScript(std::string_view path) override {
    // The script of an earlier label system may be moving its own files meanwhile: each script
    // is credited with the files of its folder only.
    const bool copia = path.ends_with("frontalini.bat");
    for (const auto& [name, bytes] :
         copia ? FilesOf(c_ / "sulvo", "Import_") : FilesOf(c_ / "sulvo" / "esl", "ESL")) {
      handed_over[name] = bytes;
    }
    EnvWrapper::StartScript(path);
  }
  Files handed_over;

 private:
  fs::path c_;
};

std::string Scalar(const fs::path& database, const std::string& sql) {
  sqlite3* db = nullptr;
  sqlite3_open_v2(database.c_str(), &db, SQLITE_OPEN_READONLY, nullptr);
  sqlite3_stmt* statement = nullptr;
  std::string value = "<no row>";
  if (sqlite3_prepare_v2(db, sql.c_str(), -1, &statement, nullptr) == SQLITE_OK &&
      sqlite3_step(statement) == SQLITE_ROW) {
    value = reinterpret_cast<const char*>(sqlite3_column_text(statement, 0));
  }
  sqlite3_finalize(statement);
  sqlite3_close(db);
  return value;
}

// The scripts run detached; this waits until they have moved every file, within a generous bound.
bool MovedWithin(const fs::path& c, const fs::path& z, std::size_t count,
                 std::chrono::seconds bound) {
  const auto until = std::chrono::steady_clock::now() + bound;
  while (std::chrono::steady_clock::now() < until) {
    if (NamesOf(z, "").size() >= count && NamesOf(c / "sulvo", "Import_").empty() &&
        NamesOf(c / "sulvo" / "esl", "ESL").empty()) {
      return true;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  return false;
}

TEST(HandOverLabels, AnExpiredDemoOfferIsRestoredAndItsFilesReachDriveZ) {
  test::TempDir dir;
  using namespace std::chrono;
  const year_month_day today{2026y / December / 7};
  const DemoStore demo = CreateDemoStore(dir.path() / "store", today);
  const fs::path dati = demo.drive_c / "sulvo" / "neg01" / "dati.mdb";

  Options options;
  options.drives = {{'C', demo.drive_c}, {'Z', demo.drive_z}};
  platform::PosixEnv posix({{'C', demo.drive_c}, {'Z', demo.drive_z}}, 'C');
  posix.SetScriptLauncher(ScriptCommand(ZAV5_PROGRAM, options));
  HandOverEnv env(posix, demo.drive_c);
  window::Form1 form(env, test::TestEngineOptions());
  form.FixToday(today);
  form.Form_Load();
  ASSERT_EQ(form.LastStartup(), startup::StartupOutcome::kComplete);

  const std::int32_t anno = 2026;
  const auto giorno = [&](const char* field) {
    return std::stoi(Scalar(
        dati, std::string("SELECT CAST(") + field + " AS INTEGER) FROM offte WHERE numero = 101"));
  };
  form.Disattiva(101, anno, giorno("data1"), giorno("data2"));

  EXPECT_EQ(Scalar(dati,
                   "SELECT COUNT(*) FROM listi01 l JOIN offmo o ON o.articoli = l.codart "
                   "WHERE o.bnumer = 101 AND l.przsal = 0 AND l.stapro = 'D'"),
            "12")
      << "every article of the offer restored";
  EXPECT_EQ(Scalar(dati,
                   "SELECT COUNT(*) FROM offmo WHERE bnumer = 101 AND stato = 'D' AND "
                   "bflag2 = 'R'"),
            "12");
  EXPECT_EQ(Scalar(dati, "SELECT COUNT(*) FROM listipro"), "12");

  // The restored articles are now price lines: the two-file system gets one price file; the
  // one-file system its ESL file, handed over by the site's script.
  ASSERT_EQ(env.handed_over.size(), 2u);
  ASSERT_TRUE(MovedWithin(demo.drive_c, demo.drive_z, 2, seconds(60)))
      << "files left on C:, or not on Z:";
  EXPECT_EQ(FilesOf(demo.drive_z, ""), env.handed_over) << "names and bytes kept";
  for (const auto& [name, bytes] : env.handed_over) {
    EXPECT_TRUE(name.starts_with("Import_VPA_") || name.starts_with("ESL")) << name;
    EXPECT_EQ(std::count(bytes.begin(), bytes.end(), '\n'), 12) << name;
  }
}

}  // namespace
}  // namespace zav5::app

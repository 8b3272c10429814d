// SIGTERM while a processing cycle waits for another program's lock: the run without a window ends
// soon, as on a stop between cycles, with the cycle rolled back, though the lock is still held.

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <functional>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>
#include <sqlite3.h>

#include "app/demo_store.h"
#include "platform/posix/posix_stop_signal.h"
#include "support/other_program.h"
#include "support/temp_dir.h"
#include "support/test_engine_options.h"
#include "support/test_store.h"
#include "window/form1.h"
#include "window/headless.h"

namespace zav5::app {
namespace {

using namespace std::chrono;

constexpr year_month_day kToday = 2026y / December / 7;

// The stop of a POSIX run, whose waits between ticks move the test's clock instead of taking
// time: the first cycle comes at once.
class StopWithoutWaits : public platform::StopSignal {
 public:
  explicit StopWithoutWaits(test::TestEnv& env) : env_(env) {}

  bool WaitUntil(platform::SteadyTime deadline) override {
    if (posix_.WaitUntil(steady_clock::now())) {
      return true;
    }
    if (deadline == platform::SteadyTime::max()) {
      return posix_.WaitUntil(deadline);
    }
    env_.Advance(duration_cast<milliseconds>(deadline - env_.SteadyNow()));
    return false;
  }
  bool Requested() override { return posix_.Requested(); }

 private:
  test::TestEnv& env_;
  platform::PosixStopSignal posix_;
};

// The program's run without a window on the demo store, in a child process: the engine made as
// main makes it, with a bound on the locks' waits far beyond the test's patience. Never returns;
// ends with 0 when the run ended, 2 when it threw.
[[noreturn]] void RunProgram(const DemoStore& demo) {
  int codice = 2;
  try {
    test::TestEnv env(platform::DriveMap{{'C', demo.drive_c}, {'Z', demo.drive_z}}, 'C');
    StopWithoutWaits stop(env);
    data::EngineOptions engine_options;
    engine_options.lock_wait = minutes{5};
    window::Form1 form(env, window::EngineOptionsWithStop(std::move(engine_options), stop));
    form.FixToday(kToday);
    std::ostringstream out;
    window::RunHeadless(form, stop, out);
    codice = 0;
  } catch (...) {
  }
  _exit(codice);
}

// Waits until `fatto` holds, looking every 10 ms, for `limite` at most.
bool Wait(const std::function<bool()>& fatto, steady_clock::duration limite) {
  const steady_clock::time_point end_day = steady_clock::now() + limite;
  while (!fatto()) {
    if (steady_clock::now() >= end_day) {
      return false;
    }
    usleep(10000);
  }
  return true;
}

std::vector<std::string> ErrorLinesIn(const std::filesystem::path& log) {
  std::vector<std::string> lines;
  std::ifstream in(log, std::ios::binary);
  for (std::string line; std::getline(in, line);) {
    if (line.rfind("ERRORE", 0) == 0) {
      lines.push_back(line);
    }
  }
  return lines;
}

int ActiveOffers(const std::filesystem::path& file) {
  sqlite3* db = nullptr;
  int attive = -1;
  if (sqlite3_open_v2(file.string().c_str(), &db, SQLITE_OPEN_READONLY, nullptr) == SQLITE_OK) {
    sqlite3_exec(
        db, "SELECT count(*) FROM offte WHERE stato = 'A'",
        [](void* conta, int, char** valori, char**) {
          *static_cast<int*>(conta) = std::stoi(valori[0]);
          return 0;
        },
        &attive, nullptr);
  }
  sqlite3_close(db);
  return attive;
}

TEST(StopTest, ASigtermWhileACycleWaitsForAReaderEndsTheRunSoon) {
  if (test::TestsRunOnOdbc()) {
    GTEST_SKIP() << "a stop is looked for by the busy handler of a SQLite file opened directly";
  }
  test::TempDir dir;
  const DemoStore demo = CreateDemoStore(dir.path() / "demo", kToday);
  const std::filesystem::path dati = demo.drive_c / "sulvo" / "neg01" / "dati.mdb";
  const int attive = ActiveOffers(dati);
  test::OtherProgram lettore(dati, "BEGIN; SELECT count(*) FROM listi01", {},
                             "SELECT count(*) FROM offte");
  ASSERT_TRUE(lettore.Lock());

  const pid_t programma = fork();
  ASSERT_GE(programma, 0);
  if (programma == 0) {
    RunProgram(demo);
  }
  // The cycle's transaction has written into its journal: it is under way, and the reader keeps
  // its commit from writing the file.
  std::filesystem::path giornale = dati;
  giornale += "-journal";
  const bool in_corso = Wait([&] { return std::filesystem::exists(giornale); }, minutes{1});
  EXPECT_TRUE(in_corso) << "no cycle began its transaction";

  ASSERT_EQ(kill(programma, SIGTERM), 0);
  int stato = 0;
  const bool finito =
      Wait([&] { return waitpid(programma, &stato, WNOHANG) == programma; }, seconds{60});
  if (!finito) {
    kill(programma, SIGKILL);
    waitpid(programma, nullptr, 0);
  }
  ASSERT_TRUE(finito) << "the program still ran a minute after SIGTERM";
  EXPECT_TRUE(WIFEXITED(stato) && WEXITSTATUS(stato) == 0) << "status " << stato;
  EXPECT_TRUE(lettore.Alive()) << "the reader let go: the stop was not tried during its lock";

  const std::vector<std::string> errori =
      ErrorLinesIn(demo.drive_c / "sulvo" / "bkp" / "logzav3_07122026.txt");
  ASSERT_EQ(errori.size(), 1u);
  EXPECT_NE(errori[0].find("modifiche annullate"), std::string::npos) << errori[0];
  EXPECT_NE(errori[0].find("chiesta la fermata del programma"), std::string::npos) << errori[0];
  EXPECT_FALSE(std::filesystem::exists(giornale));
  EXPECT_EQ(ActiveOffers(dati), attive);

  lettore.Release();
  EXPECT_TRUE(lettore.Terminate());
}

}  // namespace
}  // namespace zav5::app

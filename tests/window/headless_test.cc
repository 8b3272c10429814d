// The window run without a window: ticks delivered on the platform's clock, cycles every second
// tick, the stop as the exit button. The clock is a fake one that the stop signal moves, so a
// minute of running takes no time.

#include "window/headless.h"

#include <memory>
#include <sstream>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "support/test_engine_options.h"
#include "support/test_store.h"
#include "window/form1.h"

namespace zav5::window {
namespace {

using namespace std::chrono;
using testing::ElementsAre;

constexpr const char* kCompanyRows =
    "INSERT INTO società VALUES (1, 'DEMO SRL', 'C:\\sulvo\\neg01\\dati.mdb');"
    "INSERT INTO inizio VALUES (1, 'AVVIO');";
// Two offers that ended before 7 December 2026 and one that ends that day.
constexpr const char* kStore =
    "INSERT INTO utenti (codutente, nrpos, artico, chiusura, fid_rep, Flag_CF) "
    "VALUES (1, 3, 'SI', 'N', '1', 'S');"
    "INSERT INTO automa VALUES (1, 'CASELLE');"
    "INSERT INTO pv VALUES (7, 'CENTRO', '1');"
    "INSERT INTO offte VALUES (101, 2026, 'A', 46330, 46360, 'A');"
    "INSERT INTO offte VALUES (102, 2026, 'B', 46330, 46361, 'A');"
    "INSERT INTO offte VALUES (103, 2026, 'C', 46330, 46363, 'A');";

// Moves the fake clock to each deadline it is asked to wait for, and asks for the stop once the
// clock would pass `end_day` (seconds after the start).
class StopAfter : public platform::StopSignal {
 public:
  StopAfter(test::TestEnv& env, seconds end_day) : env_(env), end_(env.SteadyNow() + end_day) {}

  bool WaitUntil(platform::SteadyTime deadline) override {
    ++waits;
    if (deadline >= end_) {
      env_.Advance(duration_cast<milliseconds>(end_ - env_.SteadyNow()));
      return true;
    }
    env_.Advance(duration_cast<milliseconds>(deadline - env_.SteadyNow()));
    return false;
  }
  bool Requested() override { return env_.SteadyNow() >= end_; }
  int waits = 0;

 private:
  test::TestEnv& env_;
  platform::SteadyTime end_;
};

// The times of the cycles' start lines in the run log.
std::vector<std::string> CycleTimes(const test::TestStore& store) {
  std::vector<std::string> ore;
  for (const std::string& line : store.LogLines()) {
    if (line.find("- Inizio elaborazione ") != std::string::npos) {
      ore.push_back(line.substr(11, 8));
    }
  }
  return ore;
}

// A complete store run without a window until the stop comes, `end_day` after the start.
class HeadlessStore {
 public:
  HeadlessStore() {
    store.CreateCompanyDatabase(kCompanyRows);
    store.CreateStoreDatabase("sulvo/neg01/dati.mdb", kStore);
  }
  // Returns what the run printed.
  std::string RunUntil(seconds end_day) {
    stop = std::make_unique<StopAfter>(store.env(), end_day);
    std::ostringstream out;
    RunHeadless(form, *stop, out);
    return out.str();
  }

  test::TestStore store;
  Form1 form{store.env(), test::TestEngineOptions()};
  std::unique_ptr<StopAfter> stop;
};

TEST(HeadlessTest, RunsACycleEverySecondTickUntilTheStopAndThenUnloads) {
  HeadlessStore run;
  EXPECT_EQ(run.RunUntil(seconds{37}), "nrposw: 3\n");
  const test::TestStore& store = run.store;
  Form1& form = run.form;
  // Started at 11:49:30: ticks every 5 s, the first cycle on the second; each cycle starts the
  // timer afresh, so the next comes two intervals after it. The clock stands still in a cycle.
  EXPECT_THAT(CycleTimes(store), ElementsAre("11:49:40", "11:49:50", "11:50:00"));
  EXPECT_EQ(form.StoreContext().ContatoreCicli, 2);  // the tick at 11:50:05 counted
  EXPECT_EQ(form.LastCycle(), cycle::CycleOutcome::kNoOffer);
  EXPECT_TRUE(form.Unloaded());
  EXPECT_FALSE(form.Log().IsOpen());
  // One wait per tick and one that ended with the stop.
  EXPECT_EQ(run.stop->waits, 8);
}

TEST(HeadlessTest, KeepsItsRhythmOverHundredsOfTicks) {
  HeadlessStore run;
  run.RunUntil(seconds{1000});

  // 200 ticks: a cycle every 10 s from the tenth second, the last at 990 s.
  const std::vector<std::string> ore = CycleTimes(run.store);
  ASSERT_EQ(ore.size(), 99u);
  EXPECT_EQ(ore.front(), "11:49:40");
  EXPECT_EQ(ore.back(), "12:06:00");
  EXPECT_EQ(run.stop->waits, 200);
}

TEST(HeadlessTest, AfterAnIncompleteStartUpTheFirstCycleComesOnTheThirdTick) {
  test::TestStore store;  // no company database: start-up ends at its message box
  Form1 form(store.env(), test::TestEngineOptions());
  StopAfter stop(store.env(), seconds{26});
  std::ostringstream out;

  RunHeadless(form, stop, out);

  EXPECT_EQ(out.str(), "nrposw: \n");
  EXPECT_THAT(CycleTimes(store), ElementsAre("11:49:45", "11:49:55"));
  // Each cycle found no store database and said so.
  std::vector<std::string> errori;
  for (const std::string& line : store.LogLines()) {
    if (line.rfind("ERRORE", 0) == 0) {
      errori.push_back(line);
    }
  }
  EXPECT_THAT(errori,
              ElementsAre("ERRORE :NOME DB NON ESISTE....", "ERRORE :NOME DB NON ESISTE...."));
  EXPECT_EQ(form.LastCycle(), cycle::CycleOutcome::kNoStoreDatabase);
  EXPECT_TRUE(form.Unloaded());
}

TEST(HeadlessTest, ASingleRunDeactivatesOneOfferAndSaysWhetherItMetAnError) {
  test::TestStore store;
  store.CreateCompanyDatabase(kCompanyRows);
  store.CreateStoreDatabase("sulvo/neg01/dati.mdb", kStore);
  {
    Form1 form(store.env(), test::TestEngineOptions());
    std::ostringstream out;
    EXPECT_EQ(RunOnce(form, out), 0);
    EXPECT_EQ(form.LastCycle(), cycle::CycleOutcome::kOfferDeactivated);
    EXPECT_FALSE(form.Log().IsOpen());
  }
  // A store whose offer table is gone: the cycle fails, and so does the run.
  store.Sql("sulvo/neg01/dati.mdb", "DROP TABLE offte;");
  Form1 form(store.env(), test::TestEngineOptions());
  std::ostringstream out;
  EXPECT_EQ(RunOnce(form, out), 1);
  EXPECT_EQ(form.LastCycle(), cycle::CycleOutcome::kError);
  EXPECT_EQ(store.LogLines().back().rfind("ERRORE : ", 0), 0u) << store.LogLines().back();
}

}  // namespace
}  // namespace zav5::window

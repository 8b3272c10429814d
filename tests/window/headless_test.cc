// The window run without a window: ticks delivered on the platform's clock, cycles every second
// tick, the stop as the exit button. The clock is a fake one that the stop signal moves, so a
// minute of running takes no time.

#include "window/headless.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <memory>
#include <sstream>

#include "support/motore_di_prova.h"
#include "support/test_store.h"
#include "window/form1.h"

namespace zav5::window {
namespace {

using namespace std::chrono;
using testing::ElementsAre;

constexpr const char* kSocieta =
    "INSERT INTO società VALUES (1, 'DEMO SRL', 'C:\\sulvo\\neg01\\dati.mdb');"
    "INSERT INTO inizio VALUES (1, 'AVVIO');";
// Two offers that ended before 7 December 2026 and one that ends that day.
constexpr const char* kNegozio =
    "INSERT INTO utenti (codutente, nrpos, artico, chiusura, fid_rep, Flag_CF) "
    "VALUES (1, 3, 'SI', 'N', '1', 'S');"
    "INSERT INTO automa VALUES (1, 'CASELLE');"
    "INSERT INTO pv VALUES (7, 'CENTRO', '1');"
    "INSERT INTO offte VALUES (101, 2026, 'A', 46330, 46360, 'A');"
    "INSERT INTO offte VALUES (102, 2026, 'B', 46330, 46361, 'A');"
    "INSERT INTO offte VALUES (103, 2026, 'C', 46330, 46363, 'A');";

// Moves the fake clock to each deadline it is asked to wait for, and asks for the stop once the
// clock would pass `fine` (seconds after the start).
class FermaDopo : public platform::StopSignal {
 public:
  FermaDopo(test::TestEnv& env, seconds fine) : env_(env), fine_(env.SteadyNow() + fine) {}

  bool WaitUntil(platform::SteadyTime deadline) override {
    ++attese;
    if (deadline >= fine_) {
      env_.Advance(duration_cast<milliseconds>(fine_ - env_.SteadyNow()));
      return true;
    }
    env_.Advance(duration_cast<milliseconds>(deadline - env_.SteadyNow()));
    return false;
  }
  bool Requested() override { return env_.SteadyNow() >= fine_; }
  int attese = 0;

 private:
  test::TestEnv& env_;
  platform::SteadyTime fine_;
};

// The times of the cycles' start lines in the run log.
std::vector<std::string> OreDeiCicli(const test::TestStore& store) {
  std::vector<std::string> ore;
  for (const std::string& line : store.LogLines()) {
    if (line.find("- Inizio elaborazione ") != std::string::npos) {
      ore.push_back(line.substr(11, 8));
    }
  }
  return ore;
}

// A complete store run without a window until the stop comes, `fine` after the start.
class NegozioSenzaFinestra {
 public:
  NegozioSenzaFinestra() {
    store.CreateCompanyDatabase(kSocieta);
    store.CreateStoreDatabase("sulvo/neg01/dati.mdb", kNegozio);
  }
  // Returns what the run printed.
  std::string EseguiFinoA(seconds fine) {
    stop = std::make_unique<FermaDopo>(store.env(), fine);
    std::ostringstream out;
    EseguiSenzaFinestra(form, *stop, out);
    return out.str();
  }

  test::TestStore store;
  Form1 form{store.env(), test::MotoreDiProva()};
  std::unique_ptr<FermaDopo> stop;
};

TEST(HeadlessTest, RunsACycleEverySecondTickUntilTheStopAndThenUnloads) {
  NegozioSenzaFinestra run;
  EXPECT_EQ(run.EseguiFinoA(seconds{37}), "nrposw: 3\n");
  const test::TestStore& store = run.store;
  Form1& form = run.form;
  // Started at 11:49:30: ticks every 5 s, the first cycle on the second; each cycle starts the
  // timer afresh, so the next comes two intervals after it. The clock stands still in a cycle.
  EXPECT_THAT(OreDeiCicli(store), ElementsAre("11:49:40", "11:49:50", "11:50:00"));
  EXPECT_EQ(form.Contesto().ContatoreCicli, 2);  // the tick at 11:50:05 counted
  EXPECT_EQ(form.UltimoCiclo(), cycle::EsitoCiclo::kNessunaOfferta);
  EXPECT_TRUE(form.Scaricata());
  EXPECT_FALSE(form.Log().IsOpen());
  // One wait per tick and one that ended with the stop.
  EXPECT_EQ(run.stop->attese, 8);
}

TEST(HeadlessTest, KeepsItsRhythmOverHundredsOfTicks) {
  NegozioSenzaFinestra run;
  negozio.EseguiFinoA(seconds{1000});

  // 200 ticks: a cycle every 10 s from the tenth second, the last at 990 s.
  const std::vector<std::string> ore = OreDeiCicli(negozio.store);
  ASSERT_EQ(ore.size(), 99u);
  EXPECT_EQ(ore.front(), "11:49:40");
  EXPECT_EQ(ore.back(), "12:06:00");
  EXPECT_EQ(negozio.stop->attese, 200);
}

TEST(HeadlessTest, AfterAnIncompleteStartUpTheFirstCycleComesOnTheThirdTick) {
  test::TestStore store;  // no company database: start-up ends at its message box
  Form1 form(store.env(), test::MotoreDiProva());
  FermaDopo stop(store.env(), seconds{26});
  std::ostringstream out;

  EseguiSenzaFinestra(form, stop, out);

  EXPECT_EQ(out.str(), "nrposw: \n");
  EXPECT_THAT(OreDeiCicli(store), ElementsAre("11:49:45", "11:49:55"));
  // Each cycle found no store database and said so.
  std::vector<std::string> errori;
  for (const std::string& line : store.LogLines()) {
    if (line.rfind("ERRORE", 0) == 0) {
      errori.push_back(line);
    }
  }
  EXPECT_THAT(errori,
              ElementsAre("ERRORE :NOME DB NON ESISTE....", "ERRORE :NOME DB NON ESISTE...."));
  EXPECT_EQ(form.UltimoCiclo(), cycle::EsitoCiclo::kDatabaseMancante);
  EXPECT_TRUE(form.Scaricata());
}

TEST(HeadlessTest, ASingleRunDeactivatesOneOfferAndSaysWhetherItMetAnError) {
  test::TestStore store;
  store.CreateCompanyDatabase(kSocieta);
  store.CreateStoreDatabase("sulvo/neg01/dati.mdb", kNegozio);
  {
    Form1 form(store.env(), test::MotoreDiProva());
    std::ostringstream out;
    EXPECT_EQ(EseguiUnCiclo(form, out), 0);
    EXPECT_EQ(form.UltimoCiclo(), cycle::EsitoCiclo::kOffertaDisattivata);
    EXPECT_FALSE(form.Log().IsOpen());
  }
  // A store whose offer table is gone: the cycle fails, and so does the run.
  store.Sql("sulvo/neg01/dati.mdb", "DROP TABLE offte;");
  Form1 form(store.env(), test::MotoreDiProva());
  std::ostringstream out;
  EXPECT_EQ(EseguiUnCiclo(form, out), 1);
  EXPECT_EQ(form.UltimoCiclo(), cycle::EsitoCiclo::kErrore);
  EXPECT_EQ(store.LogLines().back().rfind("ERRORE : ", 0), 0u) << store.LogLines().back();
}

}  // namespace
}  // namespace zav5::window

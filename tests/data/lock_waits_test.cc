// The bound of the waits for other programs' locks: each wait's own outside a processing cycle,
// one deadline for all the waits of a cycle, and a stop that ends a cycle's wait.

#include "data/lock_waits.h"

#include <chrono>
#include <memory>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "data/data_fixture.h"
#include "data/sqlite/sqlite_connection.h"
#include "errors.h"
#include "support/error_message.h"

namespace zav5::data {
namespace {

using namespace std::chrono;
using StopReason = LockWaits::StopReason;

TEST(LockWaitsTest, OutsideACycleEachWaitHasItsOwnBoundAndNoStopEndsIt) {
  constexpr milliseconds kAttesa{20};
  LockWaits waits(kAttesa, [] { return true; });
  EXPECT_FALSE(waits.TimeLeft().has_value());
  // The wait pauses as told until it gives up, which is once its bound has passed.
  const steady_clock::time_point inizio = steady_clock::now();
  int volta = 0;
  while (const std::optional<milliseconds> pausa = waits.NextPause(volta++)) {
    EXPECT_GT(*pausa, milliseconds::zero());
    EXPECT_LE(*pausa, milliseconds{50});
    ASSERT_LT(steady_clock::now() - inizio, seconds{30}) << "the wait never gave up";
    std::this_thread::sleep_for(*pausa);
  }
  EXPECT_GE(steady_clock::now() - inizio, kAttesa);
  EXPECT_EQ(waits.NextPause(volta), std::nullopt);
  // A new wait has its bound afresh; the stop counts in a cycle only.
  EXPECT_TRUE(waits.NextPause(0).has_value());
  EXPECT_EQ(waits.Interruption(), StopReason::kNone);
}

TEST(LockWaitsTest, ACycleGivesUpEveryWaitAtOnceOnceItsDeadlineHasPassedOrAStopIsAsked) {
  struct Caso {
    const char* descrizione;
    milliseconds attesa;
    bool stop_requested;
    StopReason motivo;
    std::string spiegazione;
  };
  const std::vector<Caso> casi = {
      {"deadline passed", milliseconds{0}, false, StopReason::kTimedOut,
       "un altro programma lo tiene bloccato oltre il tempo di attesa di 0 secondi concesso a ogni "
       "ciclo"},
      {"stop asked for", minutes{1}, true, StopReason::kStopRequested,
       "un altro programma lo tiene bloccato e l'attesa è stata interrotta: è stata chiesta la "
       "fermata del programma"},
  };
  for (const Caso& caso : casi) {
    SCOPED_TRACE(caso.descrizione);
    bool stop_requested = caso.stop_requested;
    LockWaits waits(caso.attesa, [&stop_requested] { return stop_requested; });
    {
      const CycleWaitBound limite(waits);
      ASSERT_TRUE(waits.TimeLeft().has_value());
      EXPECT_LE(*waits.TimeLeft(), caso.attesa);
      EXPECT_EQ(waits.Interruption(), StopReason::kNone);
      EXPECT_EQ(waits.NextPause(0), std::nullopt);
      EXPECT_EQ(waits.Interruption(), caso.motivo);
      stop_requested = false;
      EXPECT_EQ(waits.NextPause(0), std::nullopt) << "a later wait of the cycle waited";
      EXPECT_EQ(waits.Interruption(), caso.motivo);
      EXPECT_EQ(waits.Explanation("database is locked"), caso.spiegazione);
    }
    EXPECT_EQ(waits.Interruption(), StopReason::kNone);
    EXPECT_FALSE(waits.TimeLeft().has_value());
  }
}

TEST(LockWaitsTest, ABoundInsideAnotherKeepsItsDeadlineAndDoesNotEndIt) {
  constexpr milliseconds kAttesa{50};
  LockWaits waits(kAttesa);
  const CycleWaitBound cycle_context(waits);
  const steady_clock::time_point scadenza = steady_clock::now() + kAttesa;
  while (steady_clock::now() <= scadenza) {
  }
  {
    const CycleWaitBound dentro(waits);
    EXPECT_EQ(waits.NextPause(0), std::nullopt) << "the inner bound started a new deadline";
  }
  EXPECT_EQ(waits.Interruption(), StopReason::kTimedOut) << "the inner bound ended the cycle's";
  EXPECT_TRUE(waits.TimeLeft().has_value());
}

TEST(LockWaitsTest, TheMessageOfAWaitOutsideACycleNamesItsBoundInSeconds) {
  const std::vector<std::pair<milliseconds, std::string>> casi = {
      {milliseconds{5000}, "5 secondi"},
      {milliseconds{1000}, "1 secondo"},
      {milliseconds{300}, "0,3 secondi"},
      {milliseconds{1250}, "1,25 secondi"},
  };
  for (const auto& [attesa, secondi] : casi) {
    EXPECT_EQ(LockWaits(attesa).Explanation("database is locked"),
              "un altro programma lo tiene bloccato oltre il tempo di attesa di " + secondi +
                  " (database is locked)");
  }
}

// --- On a SQLite file that another connection holds ----------------------------------------------

class LockWaitsSqliteTest : public DataFixture {
 protected:
  void SetUp() override {
    if (test::TestsRunOnOdbc()) {
      GTEST_SKIP() << "the busy handler of a SQLite file opened directly";
    }
    path_ = MakeDatabase("dati.mdb", "CREATE TABLE t (n LONG PRIMARY KEY);",
                         "INSERT INTO t VALUES (1);");
    // Another program's write lock.
    other_ = std::make_unique<SqliteConnection>(Native("dati.mdb").string(), milliseconds{100});
    other_->BeginTransaction();
  }

  std::string path_;
  std::unique_ptr<SqliteConnection> other_;
};

TEST_F(LockWaitsSqliteTest, AStopEndsACyclesWaitAndItsWorkUntilItsBoundEnds) {
  int domande = 0;
  EngineOptions options;
  options.lock_wait = minutes{1};
  options.stop_requested = [&domande] { return ++domande >= 3; };
  DbEngine engine(env_, options);
  const std::shared_ptr<Database> database = engine.OpenDatabase(path_);
  {
    const CycleWaitBound limite = engine.BoundWaits();
    const steady_clock::time_point inizio = steady_clock::now();
    const std::string errore = test::DatabaseErrorOf([&] { database->BeginTrans(); });
    EXPECT_LT(steady_clock::now() - inizio, seconds{30}) << "the wait ran to its bound";
    EXPECT_GE(domande, 3) << "the stop was not looked for during the wait";
    EXPECT_NE(errore.find("iniziando una transazione: un altro programma lo tiene bloccato e "
                          "l'attesa è stata interrotta: è stata chiesta la fermata del programma"),
              std::string::npos)
        << errore;
    // The cycle's work stops: a read, which the lock allows, is not even run.
    const std::string lettura =
        test::DatabaseErrorOf([&] { database->connection().Query("SELECT n FROM t"); });
    EXPECT_NE(lettura.find("è stata chiesta la fermata del programma"), std::string::npos)
        << lettura;
  }
  EXPECT_EQ(ScalarOf(*database, "SELECT n FROM t"), Value::Long(1));
  other_->Rollback();
  database->BeginTrans();
  database->Rollback();
}

TEST_F(LockWaitsSqliteTest, OutsideACycleAWaitRunsToItsOwnBoundWhateverTheStop) {
  EngineOptions options;
  options.lock_wait = milliseconds{200};
  options.stop_requested = [] { return true; };
  DbEngine engine(env_, options);
  const std::shared_ptr<Database> database = engine.OpenDatabase(path_);
  const steady_clock::time_point inizio = steady_clock::now();
  const std::string errore = test::DatabaseErrorOf([&] { database->BeginTrans(); });
  EXPECT_GE(steady_clock::now() - inizio, milliseconds{200});
  EXPECT_NE(errore.find("un altro programma lo tiene bloccato oltre il tempo di attesa di 0,2 "
                        "secondi (database is locked)"),
            std::string::npos)
      << errore;
  // Nothing is left to stop the next piece of work.
  EXPECT_EQ(ScalarOf(*database, "SELECT n FROM t"), Value::Long(1));
}

}  // namespace
}  // namespace zav5::data

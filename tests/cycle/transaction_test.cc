// The deactivation of an offer is one transaction: broken at any of its writes, at its commit or
// by another program's lock, it leaves the store database as it found it, says so in the run log
// once, and the next cycle does the whole work.

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include <fmt/core.h>
#include <gtest/gtest.h>

#include "cycle/cycle_test_store.h"
#include "cycle/elabora_offerte_scadute.h"
#include "cycle/faulty_connection.h"
#include "cycle/timer2_timer.h"
#include "data/value_calendar.h"
#include "support/other_program.h"
#include "support/test_engine_options.h"

namespace zav5::cycle {
namespace {

using namespace std::chrono;
using QueryRows = std::vector<std::string>;

// The example moment's day, 7 December 2026.
const std::int32_t kToday = data::DayNumber(2026y / December / 7);

constexpr std::string_view kOfferError =
    "ERRORE : offerta 1/2026 non disattivata, modifiche annullate: ";

// Expired offer 1 touches every kind of row the deactivation writes: articles restored (10, 11,
// 13, 14) and one left alone (12), an article with two EAN rows (11), a row whose EAN codean does
// not have (13, found by its article code), an article without a supplier code, which the label
// writer stores (14), and listipro rows of an earlier deactivation to be cleared. Offer 2 is
// running and must not be touched.
std::string StoreWithAnExpiredOffer() {
  // One transaction: the store is made afresh for every case.
  return "BEGIN;" + Offer(1, kToday - 30, kToday - 1) +
         OfferArticleRows(10, 1, kToday - 30, kToday - 1) +
         OfferArticleRows(11, 1, kToday - 40, kToday) +
         "INSERT INTO codean VALUES ('8000000000911', 11, 5, 0.2, 0.1, 0, 0, 0, 3, 0,"
         " 'SECONDO EAN', 1.3, 1);" +
         OfferArticleRows(12, 1, kToday - 20, kToday - 1) +
         OfferArticleRows(13, 1, kToday - 30, kToday - 1) +
         "DELETE FROM codean WHERE codare = 13;" +
         OfferArticleRows(14, 1, kToday - 30, kToday - 1) +
         "UPDATE listi01 SET codafo = NULL WHERE codart = 14;" + Offer(2, kToday - 5, kToday + 5) +
         OfferArticleRows(20, 2, kToday - 5, kToday + 5) +
         "INSERT INTO listipro (numpro) VALUES (7), (8);" + std::string(kLabelSystemRow) +
         "COMMIT;";
}

// Everything the store database holds, read through the test's own connection: each table's name
// and row count, then its rows, sorted, so that two databases compare by content alone.
QueryRows Contents(const test::WorkingStore& store) {
  QueryRows contenuto;
  for (const std::string& tabella :
       store.QueryRows("SELECT name FROM sqlite_master WHERE type = 'table' ORDER BY name")) {
    QueryRows lines = store.QueryRows("SELECT * FROM \"" + tabella + "\"");
    std::sort(lines.begin(), lines.end());
    contenuto.push_back(fmt::format("{} ({} righe)", tabella, lines.size()));
    for (const std::string& line : lines) {
      contenuto.push_back(tabella + ": " + line);
    }
  }
  return contenuto;
}

// The test engine's options with every connection wrapped to share `guasti`, and a short wait
// for locks: a connection left in a transaction by a failed cycle shows as a quick failure.
data::EngineOptions EngineWithFaults(std::shared_ptr<Faults> guasti) {
  data::EngineOptions engine_options;
  engine_options.lock_wait = milliseconds{500};
  engine_options.wrap_connection = WrapWithFaults(std::move(guasti));
  return engine_options;
}

// One way to break the deactivation.
struct Fault {
  std::string descrizione;
  std::optional<int> at_write;
  bool after_write = false;
  bool at_commit = false;
  bool at_rollback = false;
};

TEST(TransactionTest, ADeactivationBrokenAnywhereLeavesNothingAndTheNextCycleDoesItAll) {
  // An undisturbed cycle on a store of its own: how many writes it makes, and what it leaves.
  auto conteggio = std::make_shared<Faults>();
  CycleTestStore indisturbato(StoreWithAnExpiredOffer(), EngineWithFaults(conteggio));
  const QueryRows iniziale = Contents(indisturbato);
  ASSERT_EQ(RunCycle(indisturbato.cycle_context()), CycleOutcome::kOfferDeactivated);
  const int writes = conteggio->writes;
  const QueryRows finale = Contents(indisturbato);
  SCOPED_TRACE(fmt::format("an undisturbed deactivation makes {} writes", writes));
  // The store does exercise every kind of write the deactivation makes.
  ASSERT_EQ(indisturbato.QueryRows("SELECT codart, stapro, numpro FROM listi01 ORDER BY codart"),
            (QueryRows{"10|D|0", "11|D|0", "12|A|1", "13|D|0", "14|D|0", "20|A|2"}));
  ASSERT_EQ(indisturbato.QueryRows("SELECT eanare, numpro FROM codean WHERE codare = 11"
                                   " ORDER BY eanare"),
            (QueryRows{"8000000000011|0", "8000000000911|0"}));
  ASSERT_EQ(indisturbato.QueryRows("SELECT numpro FROM listipro"), (QueryRows{"1", "1", "1", "1"}));
  ASSERT_EQ(indisturbato.QueryRows("SELECT rtrim(l.codafo), rtrim(o.codafo) FROM listi01 l, offmo o"
                                   " WHERE l.codart = 14 AND o.bnumer = 1 AND o.briga = 14"),
            QueryRows{"AB14|AB14"});
  ASSERT_EQ(indisturbato.OfferStatuses(), (QueryRows{"1/2026:D", "2/2026:A"}));
  ASSERT_TRUE(indisturbato.ErrorLines().empty());

  std::vector<Fault> guasti;
  for (int n = 1; n <= writes; ++n) {
    guasti.push_back({fmt::format("write {} refused", n), n});
    guasti.push_back({fmt::format("write {} made, then reported failed", n), n, true});
  }
  guasti.push_back({"commit refused", std::nullopt, false, true});
  // A rollback that fails too: the connection is dropped, and the engine undoes its work.
  guasti.push_back({"write 1 refused, rollback refused", 1, false, false, true});
  guasti.push_back(
      {fmt::format("write {} refused, rollback refused", writes), writes, false, false, true});
  guasti.push_back({"commit refused, rollback refused", std::nullopt, false, true, true});

  // One case on a fresh store; a failed assertion ends the case, not the test.
  auto prova = [&](const Fault& guasto) {
    SCOPED_TRACE(guasto.descrizione);
    auto stato = std::make_shared<Faults>();
    CycleTestStore store(StoreWithAnExpiredOffer(), EngineWithFaults(stato));
    ASSERT_EQ(Contents(store), iniziale);
    stato->at_write = guasto.at_write;
    stato->after_write = guasto.after_write;
    stato->at_commit = guasto.at_commit;
    stato->at_rollback = guasto.at_rollback;

    EXPECT_EQ(RunCycle(store.cycle_context()), CycleOutcome::kError);
    EXPECT_EQ(Contents(store), iniziale);
    EXPECT_TRUE(store.timer().Enabled());
    const QueryRows errori = store.ErrorLines();
    ASSERT_EQ(errori.size(), 1u);
    EXPECT_EQ(errori[0].rfind(kOfferError, 0), 0u) << errori[0];
    const std::string causa =
        guasto.at_commit ? "guasto simulato confermando la transazione"
                         : fmt::format("guasto simulato alla scrittura {}", *guasto.at_write);
    EXPECT_NE(errori[0].find(causa), std::string::npos) << errori[0];

    stato->Disarm();
    EXPECT_EQ(RunCycle(store.cycle_context()), CycleOutcome::kOfferDeactivated);
    EXPECT_EQ(Contents(store), finale);
    EXPECT_EQ(store.ErrorLines().size(), 1u);
  };
  for (const Fault& guasto : guasti) {
    prova(guasto);
  }
}

// Another program of the suite closes or extends the offer after the scan's query has found it and
// before its transaction begins: the offer is read again inside the transaction and left alone.
TEST(TransactionTest, AnOfferChangedByAnotherProgramMeanwhileIsLeftAlone) {
  for (const std::string_view cambio : {"UPDATE offte SET stato = 'D' WHERE numero = 1",
                                        "UPDATE offte SET data2 = data2 + 30 WHERE numero = 1"}) {
    SCOPED_TRACE(cambio);
    auto guasti = std::make_shared<Faults>();
    CycleTestStore store(StoreWithAnExpiredOffer(), EngineWithFaults(guasti));
    guasti->before_transaction = [&store, cambio] { store.Sql(cambio); };
    store.Sql(cambio);
    const QueryRows dopo_il_cambio = Contents(store);
    store.Sql("UPDATE offte SET stato = 'A', data2 = " + std::to_string(kToday - 1) +
              " WHERE numero = 1");

    EXPECT_EQ(RunCycle(store.cycle_context()), CycleOutcome::kNoOffer);
    EXPECT_EQ(Contents(store), dopo_il_cambio);
    EXPECT_TRUE(store.ErrorLines().empty());
    EXPECT_EQ(guasti->writes, 0);
  }
}

#ifndef _WIN32
// The run log holds one error line: the offer failed because another program held the database
// past the cycle's bound of `secondi` seconds.
void ALockError(const CycleTestStore& store, std::string_view secondi) {
  const QueryRows errori = store.ErrorLines();
  ASSERT_EQ(errori.size(), 1u);
  EXPECT_EQ(errori[0].rfind(kOfferError, 0), 0u) << errori[0];
  EXPECT_NE(errori[0].find(fmt::format("un altro programma lo tiene bloccato oltre il tempo di "
                                       "attesa di {} secondi concesso a ogni ciclo",
                                       secondi)),
            std::string::npos)
      << errori[0];
}

// The lock tests start the other program as a child process with fork.

using test::OtherProgram;

constexpr std::string_view kOtherWrite =
    "BEGIN IMMEDIATE; UPDATE offte SET descrizione = 'IN MODIFICA' WHERE numero = 2";

data::EngineOptions EngineWithWait(milliseconds attesa) {
  data::EngineOptions engine_options;
  engine_options.lock_wait = attesa;
  return engine_options;
}

std::filesystem::path DataFile(const CycleTestStore& store) {
  return store.DriveC() / "sulvo" / "neg01" / "dati.mdb";
}

TEST(TransactionTest, ALockHeldByAnotherProgramFailsTheCycleUntilItIsReleased) {
  if (test::TestsRunOnOdbc()) {
    GTEST_SKIP() << "the busy timeout of a SQLite file opened directly";
  }
  CycleTestStore store(StoreWithAnExpiredOffer(), EngineWithWait(milliseconds{300}));
  const QueryRows prima = Contents(store);
  OtherProgram altro(DataFile(store), std::string(kOtherWrite));
  ASSERT_TRUE(altro.Lock());

  EXPECT_EQ(RunCycle(store.cycle_context()), CycleOutcome::kError);
  EXPECT_TRUE(store.timer().Enabled());
  EXPECT_EQ(Contents(store), prima);
  ALockError(store, "0,3");

  altro.Release();
  ASSERT_TRUE(altro.Terminate());
  EXPECT_EQ(RunCycle(store.cycle_context()), CycleOutcome::kOfferDeactivated);
  EXPECT_EQ(store.OfferStatuses(), (QueryRows{"1/2026:D", "2/2026:A"}));
  EXPECT_EQ(store.QueryRows("SELECT descrizione FROM offte WHERE numero = 2"),
            QueryRows{"OFFERTA 2"});
  EXPECT_EQ(store.ErrorLines().size(), 1u);
}

TEST(TransactionTest, ALockReleasedWithinTheWaitIsWaitedFor) {
  if (test::TestsRunOnOdbc()) {
    GTEST_SKIP() << "the busy timeout of a SQLite file opened directly";
  }
  CycleTestStore store(StoreWithAnExpiredOffer(), EngineWithWait(milliseconds{5000}));
  OtherProgram altro(DataFile(store), std::string(kOtherWrite), milliseconds{200});
  ASSERT_TRUE(altro.Lock());

  altro.Release();  // let go shortly, while the cycle runs
  EXPECT_EQ(RunCycle(store.cycle_context()), CycleOutcome::kOfferDeactivated);
  EXPECT_TRUE(altro.Terminate());
  EXPECT_TRUE(store.timer().Enabled());
  EXPECT_EQ(store.OfferStatuses(), (QueryRows{"1/2026:D", "2/2026:A"}));
  EXPECT_EQ(store.QueryRows("SELECT descrizione FROM offte WHERE numero = 2"),
            QueryRows{"OFFERTA 2"});
  EXPECT_TRUE(store.ErrorLines().empty());
}

// An expired offer 1 of `articoli` articles, each with its EAN row and its offer row, and a
// running offer 2: a deactivation of thousands of row changes.
std::string StoreWithABigOffer(int articoli) {
  std::string sql = "BEGIN;" + Offer(1, kToday - 30, kToday - 1) + Offer(2, kToday - 5, kToday + 5);
  for (int i = 0; i < articoli; ++i) {
    sql += OfferArticleRows(1000 + i, 1, kToday - 30, kToday - 1);
  }
  return sql + "COMMIT;";
}

// Another program reading the store in a transaction that it keeps open: it holds a read lock,
// which lets the cycle begin its transaction and write into its page cache, but not into the file.
constexpr std::string_view kOtherRead = "BEGIN; SELECT count(*) FROM listi01";

// A reader that keeps its read lock longer than the cycle's bound. The deactivation's changes
// overflow a small page cache at once, and SQLite waits for the reader at every page it would
// write out early; all those waits together, and the commit's, end by the cycle's bound. The cycle
// then stops at once, not after its remaining thousands of changes, and its rollback lets the
// lock go that kept the suite's new readers out.
TEST(TransactionTest, AReaderHoldingOnPastTheBoundFailsTheCycleWithinItAndKeepsNothingLocked) {
  if (test::TestsRunOnOdbc()) {
    GTEST_SKIP() << "the cache spills of a SQLite file opened directly";
  }
  constexpr milliseconds kAttesa{2000};
  auto conteggio = std::make_shared<Faults>();
  data::EngineOptions engine_options = EngineWithWait(kAttesa);
  engine_options.wrap_connection =
      [wrap_connection = WrapWithFaults(conteggio)](std::unique_ptr<data::Connection> c) {
        c->Execute("PRAGMA cache_size = 10");
        return wrap_connection(std::move(c));
      };
  CycleTestStore store(StoreWithABigOffer(2000), std::move(engine_options));
  const QueryRows prima = Contents(store);
  OtherProgram lettore(DataFile(store), std::string(kOtherRead), {}, "SELECT count(*) FROM offmo");
  ASSERT_TRUE(lettore.Lock());

  const steady_clock::time_point inizio = steady_clock::now();
  EXPECT_EQ(RunCycle(store.cycle_context()), CycleOutcome::kError);
  const steady_clock::duration durata = steady_clock::now() - inizio;
  EXPECT_GE(durata, kAttesa) << "the reader was not waited for";
  EXPECT_LT(durata, 4 * kAttesa);
  const int scritture_fallite = conteggio->writes;
  ALockError(store, "2");
  // Read through new connections: no lock of the cycle keeps them out.
  EXPECT_EQ(Contents(store), prima);
  EXPECT_TRUE(store.timer().Enabled());

  // The reader reads again in its transaction, then lets go; the next cycle does the whole work.
  lettore.Release();
  ASSERT_TRUE(lettore.Terminate());
  EXPECT_EQ(RunCycle(store.cycle_context()), CycleOutcome::kOfferDeactivated);
  EXPECT_EQ(store.OfferStatuses(), (QueryRows{"1/2026:D", "2/2026:A"}));
  EXPECT_EQ(store.QueryRows("SELECT count(*) FROM listi01 WHERE stapro = 'D'"), QueryRows{"2000"});
  EXPECT_EQ(store.ErrorLines().size(), 1u);
  // The failed cycle stopped where its first wait ended, far from its last change.
  const int scritture_intere = conteggio->writes - scritture_fallite;
  EXPECT_LT(scritture_fallite, scritture_intere / 2)
      << scritture_fallite << " of " << scritture_intere << " writes tried";
}

#endif  // _WIN32

}  // namespace
}  // namespace zav5::cycle

// The expired-offer scan and the tick handler on a real store database: which offer a cycle takes,
// when cycles run, what they log, and what a failing offer does to the others.

#include "cycle/elabora_offerte_scadute.h"

#include <chrono>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "cycle/cycle_test_store.h"
#include "cycle/timer2_timer.h"
#include "data/value_calendar.h"

namespace zav5::cycle {
namespace {

using namespace std::chrono;
using QueryRows = std::vector<std::string>;

// The example moment's day, 7 December 2026.
const std::int32_t kToday = data::DayNumber(2026y / December / 7);

constexpr std::string_view kCycleStartLine = "- Inizio elaborazione ";

bool IsCycleStart(const std::string& line) {
  return line.size() > kCycleStartLine.size() &&
         line.compare(line.size() - kCycleStartLine.size(), kCycleStartLine.size(),
                      kCycleStartLine) == 0;
}

TEST(ElaboraOfferteScaduteTest, QueryIsTheSuitesTextWithTheDayNumber) {
  EXPECT_EQ(ExpiredOffersQuery(45292),
            "select * from offte where  data2 < 45292  and stato = 'A' ");
  EXPECT_EQ(ExpiredOffersQuery(-3), "select * from offte where  data2 < -3  and stato = 'A' ");
}

TEST(ElaboraOfferteScaduteTest, OneExpiredActiveOfferPerCycleUntilNoneIsLeft) {
  CycleTestStore store(Offer(1, kToday - 30, kToday - 1) + Offer(2, kToday - 30, kToday - 10) +
                       Offer(3, kToday - 60, kToday - 40) +
                       Offer(4, kToday - 5, kToday) +             // last day is today
                       Offer(5, kToday - 90, kToday - 80, "D") +  // already off the shelves
                       Offer(6, kToday - 90, kToday - 80, "X") +  // not active
                       // Active: the engine compares texts without regard to case.
                       Offer(7, kToday - 90, kToday - 80, "a"));
  for (int cycle = 1; cycle <= 4; ++cycle) {
    EXPECT_EQ(RunCycle(store.cycle_context()), CycleOutcome::kOfferDeactivated) << cycle;
    EXPECT_EQ(store.QueryRows("SELECT count(*) FROM offte WHERE stato = 'D'"),
              QueryRows{std::to_string(1 + cycle)});
  }
  EXPECT_EQ(RunCycle(store.cycle_context()), CycleOutcome::kNoOffer);
  EXPECT_EQ(store.OfferStatuses(), (QueryRows{"1/2026:D", "2/2026:D", "3/2026:D", "4/2026:A",
                                              "5/2026:D", "6/2026:X", "7/2026:D"}));

  // The offer that ended today is taken from the first cycle of the next day.
  store.cycle_context().today = 2026y / December / 8;
  EXPECT_EQ(RunCycle(store.cycle_context()), CycleOutcome::kOfferDeactivated);
  EXPECT_EQ(store.OfferStatuses()[3], "4/2026:D");

  // Each cycle wrote its start line and nothing else.
  const QueryRows log = store.RunLogLines();
  ASSERT_EQ(log.size(), 6u);
  for (const std::string& line : log) {
    EXPECT_TRUE(IsCycleStart(line)) << line;
  }
}

TEST(ElaboraOfferteScaduteTest, DeactivationRestoresTheOffersArticlesAndWritesTheLabels) {
  CycleTestStore store(Offer(1, kToday - 30, kToday - 1) +
                       OfferArticleRows(10, 1, kToday - 30, kToday - 1) +
                       OfferArticleRows(11, 1, kToday - 30, kToday - 1) +
                       OfferArticleRows(12, 9, kToday - 30, kToday + 9) +  // another offer's
                       std::string(kLabelSystemRow));
  ASSERT_EQ(RunCycle(store.cycle_context()), CycleOutcome::kOfferDeactivated);
  EXPECT_EQ(store.QueryRows("SELECT codart, przsal, stapro, numpro FROM listi01 ORDER BY codart"),
            (QueryRows{"10|0|D|0", "11|0|D|0", "12|1.5|A|9"}));
  EXPECT_EQ(store.QueryRows("SELECT numpro FROM listipro ORDER BY numpro"), (QueryRows{"1", "1"}));
  EXPECT_EQ(store.QueryRows("SELECT DISTINCT stato || bflag2 FROM offmo WHERE bnumer = 1"),
            QueryRows{"DR"});
  // Restored, both articles go on the price file, which is handed over.
  const QueryRows files = store.File("c/sulvo/esl");
  ASSERT_EQ(files.size(), 1u);
  EXPECT_EQ(files[0].rfind("Import_VPA_", 0), 0u);
  EXPECT_EQ(store.env().started_scripts, QueryRows{"C:\\sulvo\\frontalini.bat"});
}

TEST(ElaboraOfferteScaduteTest, TicksCountTowardsEverySecondCycle) {
  CycleTestStore store(Offer(1, kToday - 30, kToday - 1) + Offer(2, kToday - 30, kToday - 1) +
                       Offer(3, kToday - 30, kToday - 1));
  auto ciclo_a_ogni_tick = [&store](int ticks) {
    std::string runs;
    for (int i = 0; i < ticks; ++i) {
      runs += Timer2_Timer(store.cycle_context()) ? 'C' : '.';
    }
    return runs;
  };
  // After a complete start-up the counter is 1: the second tick runs the first cycle.
  EXPECT_EQ(ciclo_a_ogni_tick(6), ".C.C.C");
  EXPECT_EQ(store.store_context().ContatoreCicli, 1);
  EXPECT_EQ(store.QueryRows("SELECT count(*) FROM offte WHERE stato = 'D'"), QueryRows{"3"});
  EXPECT_EQ(store.RunLogLines().size(), 3u);

  // After a start-up that stopped early it is 0: the third tick.
  store.store_context().ContatoreCicli = 0;
  EXPECT_EQ(ciclo_a_ogni_tick(7), "..C.C.C");
}

TEST(ElaboraOfferteScaduteTest, WithoutAStoreDatabaseEveryCycleLogsTheErrorAndTheTimerRunsOn) {
  CycleTestStore store(Offer(1, kToday - 30, kToday - 1));
  store.store_context().PercorsoDati.clear();
  for (int cycle = 0; cycle < 2; ++cycle) {
    EXPECT_EQ(RunCycle(store.cycle_context()), CycleOutcome::kNoStoreDatabase);
    EXPECT_TRUE(store.timer().Enabled());
  }
  const QueryRows log = store.RunLogLines();
  ASSERT_EQ(log.size(), 4u);
  EXPECT_TRUE(IsCycleStart(log[0]));
  EXPECT_EQ(log[1], "ERRORE :NOME DB NON ESISTE....");
  EXPECT_TRUE(IsCycleStart(log[2]));
  EXPECT_EQ(log[3], "ERRORE :NOME DB NON ESISTE....");
  EXPECT_EQ(store.OfferStatuses(), QueryRows{"1/2026:A"});
}

TEST(ElaboraOfferteScaduteTest, ARunAcrossMidnightKeepsItsLogAndTakesTheNewDay) {
  CycleTestStore store(Offer(1, kToday - 30, kToday));
  store.env().SetNow(local_days{2026y / December / 7} + 23h + 59min + 55s);
  EXPECT_EQ(RunCycle(store.cycle_context()), CycleOutcome::kNoOffer);
  EXPECT_EQ(store.sources().Source("var2").RecordSource, ExpiredOffersQuery(kToday));

  store.env().Advance(seconds{10});
  EXPECT_EQ(RunCycle(store.cycle_context()), CycleOutcome::kOfferDeactivated);
  EXPECT_EQ(store.sources().Source("var2").RecordSource, ExpiredOffersQuery(kToday + 1));

  // Both cycles in the file named after the start-up day, each line with its own date.
  const QueryRows log = store.RunLogLines();
  ASSERT_EQ(log.size(), 2u);
  EXPECT_EQ(log[0], "07/12/2026-23:59:55- Inizio elaborazione ");
  EXPECT_EQ(log[1], "08/12/2026-00:00:05- Inizio elaborazione ");
}

TEST(ElaboraOfferteScaduteTest, TheTimerStopsDuringTheScanAndStartsAfreshAfterIt) {
  CycleTestStore store(Offer(1, kToday - 30, kToday - 1) +
                       OfferArticleRows(10, 1, kToday - 30, kToday - 1) +
                       std::string(kLabelSystemRow));
  bool spento_durante = false;
  // The label files are written while the scan works, and handed over after it.
  store.env().before_step = [&](std::string_view) {
    spento_durante = spento_durante || !store.timer().Enabled();
  };
  store.env().Advance(milliseconds{12345});
  RunCycle(store.cycle_context());
  EXPECT_TRUE(spento_durante);
  EXPECT_EQ(store.timer().Due(), store.env().SteadyNow() + milliseconds{5000});
}

// Offer 1 cannot be taken off the shelves (its second row has no EAN); 2 and 3 can.
std::string StoreWithPoisonedOffer() {
  return Offer(1, kToday - 30, kToday - 1) + OfferArticleRows(10, 1, kToday - 30, kToday - 1) +
         "INSERT INTO offmo (bnumer, bannoc, briga, eanrig, articoli, sconto, stato) VALUES"
         " (1, 2026, 99, NULL, 10, 10, 'A');" +
         Offer(2, kToday - 30, kToday - 1) + OfferArticleRows(20, 2, kToday - 30, kToday - 1) +
         Offer(3, kToday - 30, kToday - 1) + OfferArticleRows(30, 3, kToday - 30, kToday - 1) +
         std::string(kLabelSystemRow);
}

TEST(ElaboraOfferteScaduteTest, AFailingOfferIsLoggedUndoneAndDoesNotHoldUpTheOthers) {
  CycleTestStore store(StoreWithPoisonedOffer());
  const QueryRows articoli_prima = store.QueryRows("SELECT * FROM listi01 WHERE codart = 10");
  const QueryRows ean_prima = store.QueryRows("SELECT * FROM codean WHERE codare = 10");

  std::vector<CycleOutcome> esiti;
  for (int cycle = 0; cycle < 5; ++cycle) {
    esiti.push_back(RunCycle(store.cycle_context()));
    EXPECT_TRUE(store.timer().Enabled());
  }
  EXPECT_EQ(esiti, (std::vector<CycleOutcome>{CycleOutcome::kError, CycleOutcome::kOfferDeactivated,
                                              CycleOutcome::kOfferDeactivated, CycleOutcome::kError,
                                              CycleOutcome::kError}));
  EXPECT_EQ(store.OfferStatuses(), (QueryRows{"1/2026:A", "2/2026:D", "3/2026:D"}));

  // Nothing of the failed offer stayed: its first article keeps its promotion, with its EAN row,
  // and its rows are not marked.
  EXPECT_EQ(store.QueryRows("SELECT * FROM listi01 WHERE codart = 10"), articoli_prima);
  EXPECT_EQ(store.QueryRows("SELECT * FROM codean WHERE codare = 10"), ean_prima);
  EXPECT_EQ(store.QueryRows("SELECT DISTINCT stato FROM offmo WHERE bnumer = 1"), QueryRows{"A"});

  // One error line per failure, naming the offer and what failed, after the cycle's start line.
  const QueryRows log = store.RunLogLines();
  QueryRows errori;
  for (std::size_t i = 0; i < log.size(); ++i) {
    if (log[i].rfind("ERRORE", 0) == 0) {
      EXPECT_TRUE(i > 0 && IsCycleStart(log[i - 1])) << log[i];
      errori.push_back(log[i]);
    }
  }
  ASSERT_EQ(errori.size(), 3u);
  EXPECT_EQ(errori[0].rfind("ERRORE : offerta 1/2026 non disattivata, modifiche annullate: ", 0),
            0u)
      << errori[0];
  EXPECT_NE(errori[0].find("eanrig"), std::string::npos) << errori[0];
}

TEST(ElaboraOfferteScaduteTest, TwoFailingOffersTakeTurns) {
  CycleTestStore store(Offer(1, kToday - 30, kToday - 1) + Offer(2, kToday - 30, kToday - 1) +
                       "INSERT INTO offmo (bnumer, bannoc, briga, eanrig, articoli) VALUES"
                       " (1, 2026, 1, NULL, 10), (2, 2026, 1, NULL, 10);" +
                       std::string(kLabelSystemRow));
  QueryRows nominate;
  for (int cycle = 0; cycle < 4; ++cycle) {
    EXPECT_EQ(RunCycle(store.cycle_context()), CycleOutcome::kError);
    const std::string last = store.RunLogLines().back();
    nominate.push_back(last.substr(0, last.find(" non disattivata")));
  }
  EXPECT_EQ(nominate, (QueryRows{"ERRORE : offerta 1/2026", "ERRORE : offerta 2/2026",
                                 "ERRORE : offerta 1/2026", "ERRORE : offerta 2/2026"}));
}

}  // namespace
}  // namespace zav5::cycle

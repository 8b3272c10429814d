// The expired-offer scan and the tick handler on a real store database: which offer a cycle takes,
// when cycles run, what they log, and what a failing offer does to the others.

#include "cycle/elabora_offerte_scadute.h"

#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <vector>

#include "cycle/ciclo_prova.h"
#include "cycle/timer2_timer.h"
#include "data/value.h"

namespace zav5::cycle {
namespace {

using namespace std::chrono;
using Righe = std::vector<std::string>;

// The example moment's day, 7 December 2026.
const std::int32_t kOggi = data::DayNumber(2026y / December / 7);

constexpr std::string_view kInizio = "- Inizio elaborazione ";

bool InizioCiclo(const std::string& line) {
  return line.size() > kInizio.size() &&
         line.compare(line.size() - kInizio.size(), kInizio.size(), kInizio) == 0;
}

TEST(ElaboraOfferteScaduteTest, QueryIsTheSuitesTextWithTheDayNumber) {
  EXPECT_EQ(TestoOfferteScadute(45292),
            "select * from offte where  data2 < 45292  and stato = 'A' ");
  EXPECT_EQ(TestoOfferteScadute(-3), "select * from offte where  data2 < -3  and stato = 'A' ");
}

TEST(ElaboraOfferteScaduteTest, OneExpiredActiveOfferPerCycleUntilNoneIsLeft) {
  CicloProva negozio(Offerta(1, kOggi - 30, kOggi - 1) + Offerta(2, kOggi - 30, kOggi - 10) +
                     Offerta(3, kOggi - 60, kOggi - 40) +
                     Offerta(4, kOggi - 5, kOggi) +             // last day is today
                     Offerta(5, kOggi - 90, kOggi - 80, "D") +  // already off the shelves
                     Offerta(6, kOggi - 90, kOggi - 80, "X") +  // not active
                     // Active: the engine compares texts without regard to case.
                     Offerta(7, kOggi - 90, kOggi - 80, "a"));
  for (int cycle = 1; cycle <= 4; ++cycle) {
    EXPECT_EQ(EseguiCiclo(negozio.ciclo()), EsitoCiclo::kOffertaDisattivata) << cycle;
    EXPECT_EQ(negozio.Righe("SELECT count(*) FROM offte WHERE stato = 'D'"),
              Righe{std::to_string(1 + cycle)});
  }
  EXPECT_EQ(EseguiCiclo(negozio.ciclo()), EsitoCiclo::kNessunaOfferta);
  EXPECT_EQ(negozio.Stati(), (Righe{"1/2026:D", "2/2026:D", "3/2026:D", "4/2026:A", "5/2026:D",
                                    "6/2026:X", "7/2026:D"}));

  // The offer that ended today is taken from the first cycle of the next day.
  negozio.ciclo().oggi = 2026y / December / 8;
  EXPECT_EQ(EseguiCiclo(negozio.ciclo()), EsitoCiclo::kOffertaDisattivata);
  EXPECT_EQ(negozio.Stati()[3], "4/2026:D");

  // Each cycle wrote its start line and nothing else.
  const Righe log = negozio.RigheLog();
  ASSERT_EQ(log.size(), 6u);
  for (const std::string& line : log) {
    EXPECT_TRUE(InizioCiclo(line)) << line;
  }
}

TEST(ElaboraOfferteScaduteTest, DeactivationRestoresTheOffersArticlesAndWritesTheLabels) {
  CicloProva negozio(Offerta(1, kOggi - 30, kOggi - 1) +
                     ArticoloInOfferta(10, 1, kOggi - 30, kOggi - 1) +
                     ArticoloInOfferta(11, 1, kOggi - 30, kOggi - 1) +
                     ArticoloInOfferta(12, 9, kOggi - 30, kOggi + 9) +  // another offer's
                     std::string(kSistemaEtichette));
  ASSERT_EQ(EseguiCiclo(negozio.ciclo()), EsitoCiclo::kOffertaDisattivata);
  EXPECT_EQ(negozio.Righe("SELECT codart, przsal, stapro, numpro FROM listi01 ORDER BY codart"),
            (Righe{"10|0|D|0", "11|0|D|0", "12|1.5|A|9"}));
  EXPECT_EQ(negozio.Righe("SELECT numpro FROM listipro ORDER BY numpro"), (Righe{"1", "1"}));
  EXPECT_EQ(negozio.Righe("SELECT DISTINCT stato || bflag2 FROM offmo WHERE bnumer = 1"),
            Righe{"DR"});
  // Restored, both articles go on the price file, which is handed over.
  const Righe files = negozio.File("c/sulvo/esl");
  ASSERT_EQ(files.size(), 1u);
  EXPECT_EQ(files[0].rfind("Import_VPA_", 0), 0u);
  EXPECT_EQ(negozio.env().started_scripts, Righe{"C:\\sulvo\\frontalini.bat"});
}

TEST(ElaboraOfferteScaduteTest, TicksCountTowardsEverySecondCycle) {
  CicloProva negozio(Offerta(1, kOggi - 30, kOggi - 1) + Offerta(2, kOggi - 30, kOggi - 1) +
                     Offerta(3, kOggi - 30, kOggi - 1));
  auto ciclo_a_ogni_tick = [&negozio](int ticks) {
    std::string runs;
    for (int i = 0; i < ticks; ++i) {
      runs += Timer2_Timer(negozio.ciclo()) ? 'C' : '.';
    }
    return runs;
  };
  // After a complete start-up the counter is 1: the second tick runs the first cycle.
  EXPECT_EQ(ciclo_a_ogni_tick(6), ".C.C.C");
  EXPECT_EQ(negozio.contesto().ContatoreCicli, 1);
  EXPECT_EQ(negozio.Righe("SELECT count(*) FROM offte WHERE stato = 'D'"), Righe{"3"});
  EXPECT_EQ(negozio.RigheLog().size(), 3u);

  // After a start-up that stopped early it is 0: the third tick.
  negozio.contesto().ContatoreCicli = 0;
  EXPECT_EQ(ciclo_a_ogni_tick(7), "..C.C.C");
}

TEST(ElaboraOfferteScaduteTest, WithoutAStoreDatabaseEveryCycleLogsTheErrorAndTheTimerRunsOn) {
  CicloProva negozio(Offerta(1, kOggi - 30, kOggi - 1));
  negozio.contesto().PercorsoDati.clear();
  for (int cycle = 0; cycle < 2; ++cycle) {
    EXPECT_EQ(EseguiCiclo(negozio.ciclo()), EsitoCiclo::kDatabaseMancante);
    EXPECT_TRUE(negozio.timer().Enabled());
  }
  const Righe log = negozio.RigheLog();
  ASSERT_EQ(log.size(), 4u);
  EXPECT_TRUE(InizioCiclo(log[0]));
  EXPECT_EQ(log[1], "ERRORE :NOME DB NON ESISTE....");
  EXPECT_TRUE(InizioCiclo(log[2]));
  EXPECT_EQ(log[3], "ERRORE :NOME DB NON ESISTE....");
  EXPECT_EQ(negozio.Stati(), Righe{"1/2026:A"});
}

TEST(ElaboraOfferteScaduteTest, ARunAcrossMidnightKeepsItsLogAndTakesTheNewDay) {
  CicloProva negozio(Offerta(1, kOggi - 30, kOggi));
  negozio.env().SetNow(local_days{2026y / December / 7} + 23h + 59min + 55s);
  EXPECT_EQ(EseguiCiclo(negozio.ciclo()), EsitoCiclo::kNessunaOfferta);
  EXPECT_EQ(negozio.sorgenti().Sorgente("var2").RecordSource, TestoOfferteScadute(kOggi));

  negozio.env().Advance(seconds{10});
  EXPECT_EQ(EseguiCiclo(negozio.ciclo()), EsitoCiclo::kOffertaDisattivata);
  EXPECT_EQ(negozio.sorgenti().Sorgente("var2").RecordSource, TestoOfferteScadute(kOggi + 1));

  // Both cycles in the file named after the start-up day, each line with its own date.
  const Righe log = negozio.RigheLog();
  ASSERT_EQ(log.size(), 2u);
  EXPECT_EQ(log[0], "07/12/2026-23:59:55- Inizio elaborazione ");
  EXPECT_EQ(log[1], "08/12/2026-00:00:05- Inizio elaborazione ");
}

TEST(ElaboraOfferteScaduteTest, TheTimerStopsDuringTheScanAndStartsAfreshAfterIt) {
  CicloProva negozio(Offerta(1, kOggi - 30, kOggi - 1) +
                     ArticoloInOfferta(10, 1, kOggi - 30, kOggi - 1) +
                     std::string(kSistemaEtichette));
  bool spento_durante = false;
  // The label files are written while the scan works, and handed over after it.
  negozio.env().before_step = [&](std::string_view) {
    spento_durante = spento_durante || !negozio.timer().Enabled();
  };
  negozio.env().Advance(milliseconds{12345});
  EseguiCiclo(negozio.ciclo());
  EXPECT_TRUE(spento_durante);
  EXPECT_EQ(negozio.timer().Due(), negozio.env().SteadyNow() + milliseconds{5000});
}

// Offer 1 cannot be taken off the shelves (its second row has no EAN); 2 and 3 can.
std::string NegozioConOffertaAvvelenata() {
  return Offerta(1, kOggi - 30, kOggi - 1) + ArticoloInOfferta(10, 1, kOggi - 30, kOggi - 1) +
         "INSERT INTO offmo (bnumer, bannoc, briga, eanrig, articoli, sconto, stato) VALUES"
         " (1, 2026, 99, NULL, 10, 10, 'A');" +
         Offerta(2, kOggi - 30, kOggi - 1) + ArticoloInOfferta(20, 2, kOggi - 30, kOggi - 1) +
         Offerta(3, kOggi - 30, kOggi - 1) + ArticoloInOfferta(30, 3, kOggi - 30, kOggi - 1) +
         std::string(kSistemaEtichette);
}

TEST(ElaboraOfferteScaduteTest, AFailingOfferIsLoggedUndoneAndDoesNotHoldUpTheOthers) {
  CicloProva negozio(NegozioConOffertaAvvelenata());
  const Righe articoli_prima = negozio.Righe("SELECT * FROM listi01 WHERE codart = 10");
  const Righe ean_prima = negozio.Righe("SELECT * FROM codean WHERE codare = 10");

  std::vector<EsitoCiclo> esiti;
  for (int cycle = 0; cycle < 5; ++cycle) {
    esiti.push_back(EseguiCiclo(negozio.ciclo()));
    EXPECT_TRUE(negozio.timer().Enabled());
  }
  EXPECT_EQ(esiti, (std::vector<EsitoCiclo>{EsitoCiclo::kErrore, EsitoCiclo::kOffertaDisattivata,
                                            EsitoCiclo::kOffertaDisattivata, EsitoCiclo::kErrore,
                                            EsitoCiclo::kErrore}));
  EXPECT_EQ(negozio.Stati(), (Righe{"1/2026:A", "2/2026:D", "3/2026:D"}));

  // Nothing of the failed offer stayed: its first article keeps its promotion, with its EAN row,
  // and its rows are not marked.
  EXPECT_EQ(negozio.Righe("SELECT * FROM listi01 WHERE codart = 10"), articoli_prima);
  EXPECT_EQ(negozio.Righe("SELECT * FROM codean WHERE codare = 10"), ean_prima);
  EXPECT_EQ(negozio.Righe("SELECT DISTINCT stato FROM offmo WHERE bnumer = 1"), Righe{"A"});

  // One error line per failure, naming the offer and what failed, after the cycle's start line.
  const Righe log = negozio.RigheLog();
  Righe errori;
  for (std::size_t i = 0; i < log.size(); ++i) {
    if (log[i].rfind("ERRORE", 0) == 0) {
      EXPECT_TRUE(i > 0 && InizioCiclo(log[i - 1])) << log[i];
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
  CicloProva negozio(Offerta(1, kOggi - 30, kOggi - 1) + Offerta(2, kOggi - 30, kOggi - 1) +
                     "INSERT INTO offmo (bnumer, bannoc, briga, eanrig, articoli) VALUES"
                     " (1, 2026, 1, NULL, 10), (2, 2026, 1, NULL, 10);" +
                     std::string(kSistemaEtichette));
  Righe nominate;
  for (int cycle = 0; cycle < 4; ++cycle) {
    EXPECT_EQ(EseguiCiclo(negozio.ciclo()), EsitoCiclo::kErrore);
    const std::string last = negozio.RigheLog().back();
    nominate.push_back(last.substr(0, last.find(" non disattivata")));
  }
  EXPECT_EQ(nominate, (Righe{"ERRORE : offerta 1/2026", "ERRORE : offerta 2/2026",
                             "ERRORE : offerta 1/2026", "ERRORE : offerta 2/2026"}));
}

}  // namespace
}  // namespace zav5::cycle

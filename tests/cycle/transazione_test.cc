// The deactivation of an offer is one transaction: broken at any of its writes, at its commit or
// by another program's lock, it leaves the store database as it found it, says so in the run log
// once, and the next cycle does the whole work.

#include <fmt/core.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "cycle/ciclo_prova.h"
#include "cycle/connessione_guasta.h"
#include "cycle/elabora_offerte_scadute.h"
#include "cycle/timer2_timer.h"
#include "data/value.h"
#include "support/altro_programma.h"
#include "support/motore_di_prova.h"

namespace zav5::cycle {
namespace {

using namespace std::chrono;
using Righe = std::vector<std::string>;

// The example moment's day, 7 December 2026.
const std::int32_t kOggi = data::DayNumber(2026y / December / 7);

constexpr std::string_view kErroreOfferta =
    "ERRORE : offerta 1/2026 non disattivata, modifiche annullate: ";

// Expired offer 1 touches every kind of row the deactivation writes: articles restored (10, 11,
// 13, 14) and one left alone (12), an article with two EAN rows (11), a row whose EAN codean does
// not have (13, found by its article code), an article without a supplier code, which the label
// writer stores (14), and listipro rows of an earlier deactivation to be cleared. Offer 2 is
// running and must not be touched.
std::string NegozioConUnOffertaScaduta() {
  // One transaction: the store is made afresh for every case.
  return "BEGIN;" + Offerta(1, kOggi - 30, kOggi - 1) +
         ArticoloInOfferta(10, 1, kOggi - 30, kOggi - 1) +
         ArticoloInOfferta(11, 1, kOggi - 40, kOggi) +
         "INSERT INTO codean VALUES ('8000000000911', 11, 5, 0.2, 0.1, 0, 0, 0, 3, 0,"
         " 'SECONDO EAN', 1.3, 1);" +
         ArticoloInOfferta(12, 1, kOggi - 20, kOggi - 1) +
         ArticoloInOfferta(13, 1, kOggi - 30, kOggi - 1) + "DELETE FROM codean WHERE codare = 13;" +
         ArticoloInOfferta(14, 1, kOggi - 30, kOggi - 1) +
         "UPDATE listi01 SET codafo = NULL WHERE codart = 14;" + Offerta(2, kOggi - 5, kOggi + 5) +
         ArticoloInOfferta(20, 2, kOggi - 5, kOggi + 5) +
         "INSERT INTO listipro (numpro) VALUES (7), (8);" + std::string(kSistemaEtichette) +
         "COMMIT;";
}

// Everything the store database holds, read through the test's own connection: each table's name
// and row count, then its rows, sorted, so that two databases compare by content alone.
Righe Contenuto(const test::WorkingStore& negozio) {
  Righe contenuto;
  for (const std::string& tabella :
       negozio.Righe("SELECT name FROM sqlite_master WHERE type = 'table' ORDER BY name")) {
    Righe righe = negozio.Righe("SELECT * FROM \"" + tabella + "\"");
    std::sort(righe.begin(), righe.end());
    contenuto.push_back(fmt::format("{} ({} righe)", tabella, righe.size()));
    for (const std::string& riga : righe) {
      contenuto.push_back(tabella + ": " + riga);
    }
  }
  return contenuto;
}

// The test engine's options with every connection wrapped to share `guasti`, and a short wait
// for locks: a connection left in a transaction by a failed cycle shows as a quick failure.
data::OpzioniMotore MotoreConGuasti(std::shared_ptr<Guasti> guasti) {
  data::OpzioniMotore motore;
  motore.attesa_blocchi = milliseconds{500};
  motore.avvolgi = AvvolgiConGuasti(std::move(guasti));
  return motore;
}

// One way to break the deactivation.
struct Guasto {
  std::string descrizione;
  std::optional<int> alla_scrittura;
  bool dopo_la_scrittura = false;
  bool al_commit = false;
  bool al_rollback = false;
};

TEST(TransazioneTest, ADeactivationBrokenAnywhereLeavesNothingAndTheNextCycleDoesItAll) {
  // An undisturbed cycle on a store of its own: how many writes it makes, and what it leaves.
  auto conteggio = std::make_shared<Guasti>();
  CicloProva indisturbato(NegozioConUnOffertaScaduta(), MotoreConGuasti(conteggio));
  const Righe iniziale = Contenuto(indisturbato);
  ASSERT_EQ(EseguiCiclo(indisturbato.ciclo()), EsitoCiclo::kOffertaDisattivata);
  const int scritture = conteggio->scritture;
  const Righe finale = Contenuto(indisturbato);
  SCOPED_TRACE(fmt::format("an undisturbed deactivation makes {} writes", scritture));
  // The store does exercise every kind of write the deactivation makes.
  ASSERT_EQ(indisturbato.Righe("SELECT codart, stapro, numpro FROM listi01 ORDER BY codart"),
            (Righe{"10|D|0", "11|D|0", "12|A|1", "13|D|0", "14|D|0", "20|A|2"}));
  ASSERT_EQ(indisturbato.Righe("SELECT eanare, numpro FROM codean WHERE codare = 11"
                               " ORDER BY eanare"),
            (Righe{"8000000000011|0", "8000000000911|0"}));
  ASSERT_EQ(indisturbato.Righe("SELECT numpro FROM listipro"), (Righe{"1", "1", "1", "1"}));
  ASSERT_EQ(indisturbato.Righe("SELECT rtrim(l.codafo), rtrim(o.codafo) FROM listi01 l, offmo o"
                               " WHERE l.codart = 14 AND o.bnumer = 1 AND o.briga = 14"),
            Righe{"AB14|AB14"});
  ASSERT_EQ(indisturbato.Stati(), (Righe{"1/2026:D", "2/2026:A"}));
  ASSERT_TRUE(indisturbato.Errori().empty());

  std::vector<Guasto> guasti;
  for (int n = 1; n <= scritture; ++n) {
    guasti.push_back({fmt::format("write {} refused", n), n});
    guasti.push_back({fmt::format("write {} made, then reported failed", n), n, true});
  }
  guasti.push_back({"commit refused", std::nullopt, false, true});
  // A rollback that fails too: the connection is dropped, and the engine undoes its work.
  guasti.push_back({"write 1 refused, rollback refused", 1, false, false, true});
  guasti.push_back({fmt::format("write {} refused, rollback refused", scritture), scritture, false,
                    false, true});
  guasti.push_back({"commit refused, rollback refused", std::nullopt, false, true, true});

  // One case on a fresh store; a failed assertion ends the case, not the test.
  auto prova = [&](const Guasto& guasto) {
    SCOPED_TRACE(guasto.descrizione);
    auto stato = std::make_shared<Guasti>();
    CicloProva negozio(NegozioConUnOffertaScaduta(), MotoreConGuasti(stato));
    ASSERT_EQ(Contenuto(negozio), iniziale);
    stato->alla_scrittura = guasto.alla_scrittura;
    stato->dopo_la_scrittura = guasto.dopo_la_scrittura;
    stato->al_commit = guasto.al_commit;
    stato->al_rollback = guasto.al_rollback;

    EXPECT_EQ(EseguiCiclo(negozio.ciclo()), EsitoCiclo::kErrore);
    EXPECT_EQ(Contenuto(negozio), iniziale);
    EXPECT_TRUE(negozio.timer().Enabled());
    const Righe errori = negozio.Errori();
    ASSERT_EQ(errori.size(), 1u);
    EXPECT_EQ(errori[0].rfind(kErroreOfferta, 0), 0u) << errori[0];
    const std::string causa =
        guasto.al_commit ? "guasto simulato confermando la transazione"
                         : fmt::format("guasto simulato alla scrittura {}", *guasto.alla_scrittura);
    EXPECT_NE(errori[0].find(causa), std::string::npos) << errori[0];

    stato->Disarma();
    EXPECT_EQ(EseguiCiclo(negozio.ciclo()), EsitoCiclo::kOffertaDisattivata);
    EXPECT_EQ(Contenuto(negozio), finale);
    EXPECT_EQ(negozio.Errori().size(), 1u);
  };
  for (const Guasto& guasto : guasti) {
    prova(guasto);
  }
}

// Another program of the suite closes or extends the offer after the scan's query has found it and
// before its transaction begins: the offer is read again inside the transaction and left alone.
TEST(TransazioneTest, AnOfferChangedByAnotherProgramMeanwhileIsLeftAlone) {
  for (const std::string_view cambio : {"UPDATE offte SET stato = 'D' WHERE numero = 1",
                                        "UPDATE offte SET data2 = data2 + 30 WHERE numero = 1"}) {
    SCOPED_TRACE(cambio);
    auto guasti = std::make_shared<Guasti>();
    CicloProva negozio(NegozioConUnOffertaScaduta(), MotoreConGuasti(guasti));
    guasti->prima_della_transazione = [&negozio, cambio] { negozio.Sql(cambio); };
    negozio.Sql(cambio);
    const Righe dopo_il_cambio = Contenuto(negozio);
    negozio.Sql("UPDATE offte SET stato = 'A', data2 = " + std::to_string(kOggi - 1) +
                " WHERE numero = 1");

    EXPECT_EQ(EseguiCiclo(negozio.ciclo()), EsitoCiclo::kNessunaOfferta);
    EXPECT_EQ(Contenuto(negozio), dopo_il_cambio);
    EXPECT_TRUE(negozio.Errori().empty());
    EXPECT_EQ(guasti->scritture, 0);
  }
}

#ifndef _WIN32
// The run log holds one error line: the offer failed because another program held the database
// past the cycle's bound of `secondi` seconds.
void UnErroreDiBlocco(const CicloProva& negozio, std::string_view secondi) {
  const Righe errori = negozio.Errori();
  ASSERT_EQ(errori.size(), 1u);
  EXPECT_EQ(errori[0].rfind(kErroreOfferta, 0), 0u) << errori[0];
  EXPECT_NE(errori[0].find(fmt::format("un altro programma lo tiene bloccato oltre il tempo di "
                                       "attesa di {} secondi concesso a ogni ciclo",
                                       secondi)),
            std::string::npos)
      << errori[0];
}

// The lock tests start the other program as a child process with fork.

using test::AltroProgramma;

constexpr std::string_view kModificaAltrui =
    "BEGIN IMMEDIATE; UPDATE offte SET descrizione = 'IN MODIFICA' WHERE numero = 2";

data::OpzioniMotore MotoreConAttesa(milliseconds attesa) {
  data::OpzioniMotore motore;
  motore.attesa_blocchi = attesa;
  return motore;
}

std::filesystem::path FileDati(const CicloProva& negozio) {
  return negozio.DriveC() / "sulvo" / "neg01" / "dati.mdb";
}

TEST(TransazioneTest, ALockHeldByAnotherProgramFailsTheCycleUntilItIsReleased) {
  if (test::ProvaSuOdbc()) {
    GTEST_SKIP() << "the busy timeout of a SQLite file opened directly";
  }
  CicloProva negozio(NegozioConUnOffertaScaduta(), MotoreConAttesa(milliseconds{300}));
  const Righe prima = Contenuto(negozio);
  AltroProgramma altro(FileDati(negozio), std::string(kModificaAltrui));
  ASSERT_TRUE(altro.Blocca());

  EXPECT_EQ(EseguiCiclo(negozio.ciclo()), EsitoCiclo::kErrore);
  EXPECT_TRUE(negozio.timer().Enabled());
  EXPECT_EQ(Contenuto(negozio), prima);
  UnErroreDiBlocco(negozio, "0,3");

  altro.Rilascia();
  ASSERT_TRUE(altro.Termina());
  EXPECT_EQ(EseguiCiclo(negozio.ciclo()), EsitoCiclo::kOffertaDisattivata);
  EXPECT_EQ(negozio.Stati(), (Righe{"1/2026:D", "2/2026:A"}));
  EXPECT_EQ(negozio.Righe("SELECT descrizione FROM offte WHERE numero = 2"), Righe{"OFFERTA 2"});
  EXPECT_EQ(negozio.Errori().size(), 1u);
}

TEST(TransazioneTest, ALockReleasedWithinTheWaitIsWaitedFor) {
  if (test::ProvaSuOdbc()) {
    GTEST_SKIP() << "the busy timeout of a SQLite file opened directly";
  }
  CicloProva negozio(NegozioConUnOffertaScaduta(), MotoreConAttesa(milliseconds{5000}));
  AltroProgramma altro(FileDati(negozio), std::string(kModificaAltrui), milliseconds{200});
  ASSERT_TRUE(altro.Blocca());

  altro.Rilascia();  // let go shortly, while the cycle runs
  EXPECT_EQ(EseguiCiclo(negozio.ciclo()), EsitoCiclo::kOffertaDisattivata);
  EXPECT_TRUE(altro.Termina());
  EXPECT_TRUE(negozio.timer().Enabled());
  EXPECT_EQ(negozio.Stati(), (Righe{"1/2026:D", "2/2026:A"}));
  EXPECT_EQ(negozio.Righe("SELECT descrizione FROM offte WHERE numero = 2"), Righe{"OFFERTA 2"});
  EXPECT_TRUE(negozio.Errori().empty());
}

// An expired offer 1 of `articoli` articles, each with its EAN row and its offer row, and a
// running offer 2: a deactivation of thousands of row changes.
std::string NegozioConUnOffertaGrande(int articoli) {
  std::string sql = "BEGIN;" + Offerta(1, kOggi - 30, kOggi - 1) + Offerta(2, kOggi - 5, kOggi + 5);
  for (int i = 0; i < articoli; ++i) {
    sql += ArticoloInOfferta(1000 + i, 1, kOggi - 30, kOggi - 1);
  }
  return sql + "COMMIT;";
}

// Another program reading the store in a transaction that it keeps open: it holds a read lock,
// which lets the cycle begin its transaction and write into its page cache, but not into the file.
constexpr std::string_view kLetturaAltrui = "BEGIN; SELECT count(*) FROM listi01";

// A reader that keeps its read lock longer than the cycle's bound. The deactivation's changes
// overflow a small page cache at once, and SQLite waits for the reader at every page it would
// write out early; all those waits together, and the commit's, end by the cycle's bound. The cycle
// then stops at once, not after its remaining thousands of changes, and its rollback lets the
// lock go that kept the suite's new readers out.
TEST(TransazioneTest, AReaderHoldingOnPastTheBoundFailsTheCycleWithinItAndKeepsNothingLocked) {
  if (test::ProvaSuOdbc()) {
    GTEST_SKIP() << "the cache spills of a SQLite file opened directly";
  }
  constexpr milliseconds kAttesa{2000};
  auto conteggio = std::make_shared<Guasti>();
  data::OpzioniMotore motore = MotoreConAttesa(kAttesa);
  motore.avvolgi = [avvolgi = AvvolgiConGuasti(conteggio)](std::unique_ptr<data::Connection> c) {
    c->Execute("PRAGMA cache_size = 10");
    return avvolgi(std::move(c));
  };
  CicloProva negozio(NegozioConUnOffertaGrande(2000), std::move(motore));
  const Righe prima = Contenuto(negozio);
  AltroProgramma lettore(FileDati(negozio), std::string(kLetturaAltrui), {},
                         "SELECT count(*) FROM offmo");
  ASSERT_TRUE(lettore.Blocca());

  const steady_clock::time_point inizio = steady_clock::now();
  EXPECT_EQ(EseguiCiclo(negozio.ciclo()), EsitoCiclo::kErrore);
  const steady_clock::duration durata = steady_clock::now() - inizio;
  EXPECT_GE(durata, kAttesa) << "the reader was not waited for";
  EXPECT_LT(durata, 4 * kAttesa);
  const int scritture_fallite = conteggio->scritture;
  UnErroreDiBlocco(negozio, "2");
  // Read through new connections: no lock of the cycle keeps them out.
  EXPECT_EQ(Contenuto(negozio), prima);
  EXPECT_TRUE(negozio.timer().Enabled());

  // The reader reads again in its transaction, then lets go; the next cycle does the whole work.
  lettore.Rilascia();
  ASSERT_TRUE(lettore.Termina());
  EXPECT_EQ(EseguiCiclo(negozio.ciclo()), EsitoCiclo::kOffertaDisattivata);
  EXPECT_EQ(negozio.Stati(), (Righe{"1/2026:D", "2/2026:A"}));
  EXPECT_EQ(negozio.Righe("SELECT count(*) FROM listi01 WHERE stapro = 'D'"), Righe{"2000"});
  EXPECT_EQ(negozio.Errori().size(), 1u);
  // The failed cycle stopped where its first wait ended, far from its last change.
  const int scritture_intere = conteggio->scritture - scritture_fallite;
  EXPECT_LT(scritture_fallite, scritture_intere / 2)
      << scritture_fallite << " of " << scritture_intere << " writes tried";
}

#endif  // _WIN32

}  // namespace
}  // namespace zav5::cycle

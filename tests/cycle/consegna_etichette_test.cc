// The label files of a deactivated offer reach every active label system once, whole, and only
// after the offer's transaction has committed: whatever step of the cycle fails, or ends the
// process, and whichever label system cannot take its files.

#include "cycle/consegna_etichette.h"

#include <fmt/core.h>
#include <gtest/gtest.h>

#ifndef _WIN32
#include <sys/wait.h>
#include <unistd.h>
#endif

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <map>
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
#include "errors.h"
#include "labels/consegne.h"
#include "support/temp_dir.h"

namespace zav5::cycle {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono;
using Lista = std::vector<std::string>;

const std::int32_t kOggi = data::DayNumber(2026y / December / 7);

// Two label systems, one per layout: the two-file one in C:\sulvo\, whose copy script moves the
// files to drive Z:, and "ESL" in C:\sulvo\esl\, whose site script does the same.
constexpr std::string_view kDueSistemi =
    "INSERT INTO elettro VALUES (1, 'CORSIE', '1', '0', NULL, 'C:\\sulvo\\');"
    "INSERT INTO elettro VALUES (2, 'FRESCHI', '1', '1', 'ESL', 'C:\\sulvo\\esl\\');";

// Offer `numero`: articles restored (price lines) and one whose promotion is wider than the offer
// and stays (a promotion line). Article codes are `numero` * 10 onwards.
std::string OffertaScaduta(int numero) {
  const int a = numero * 10;
  return Offerta(numero, kOggi - 30, kOggi - 1) +
         ArticoloInOfferta(a, numero, kOggi - 30, kOggi - 1) +
         ArticoloInOfferta(a + 1, numero, kOggi - 30, kOggi - 1) +
         ArticoloInOfferta(a + 2, numero, kOggi - 20, kOggi + 9);
}

std::string DatiNegozio(int offerte = 1) {
  std::string sql = "BEGIN;";
  for (int numero = 1; numero <= offerte; ++numero) {
    sql += OffertaScaduta(numero);
  }
  return sql + std::string(kDueSistemi) + "COMMIT;";
}

void Scrivi(const fs::path& file, std::string_view byte) {
  std::ofstream(file, std::ios::binary) << byte;
}

// The files of `folder` whose names begin with `prefisso`, with their bytes; temporary files are
// listed under their own names.
std::map<std::string, std::string> FileDi(const fs::path& folder, std::string_view prefisso = "") {
  std::map<std::string, std::string> file;
  if (!fs::is_directory(folder)) {
    return file;
  }
  for (const auto& entry : fs::directory_iterator(folder)) {
    const std::string nome = entry.path().filename().string();
    if (entry.is_regular_file() && nome.starts_with(prefisso)) {
      file[nome] = test::ReadFile(entry.path());
    }
  }
  return file;
}

// A store whose label scripts run as the store's do: each moves its layout's files to drive Z:
// (the folder z), while drive Z: is reachable; otherwise the files stay. Scripts run at once,
// within the start.
class NegozioConScript : public CicloProva {
 public:
  explicit NegozioConScript(int offerte = 1, data::OpzioniMotore motore = {})
      : CicloProva(DatiNegozio(offerte), std::move(motore)) {
    Scrivi(DriveC() / "sulvo" / "comandoP.bat", "copy ESL*.txt Z:\\\r\n");
    env().start_script = [this](std::string_view script) {
      ++script_avviati;
      if (!raggiungibile) {
        return;
      }
      const bool copia = script.ends_with("frontalini.bat");
      const fs::path cartella = copia ? DriveC() / "sulvo" : DriveC() / "sulvo" / "esl";
      for (const std::string_view prefisso :
           copia ? std::vector<std::string_view>{"Import_VPA", "Import_PRO"}
                 : std::vector<std::string_view>{"ESL"}) {
        for (const auto& [nome, byte] : FileDi(cartella, prefisso)) {
          fs::rename(cartella / nome, DriveZ() / nome);
        }
      }
    };
  }

  // What reached drive Z:, by kind (the name's first letters), each kind's files' bytes in name
  // order.
  std::map<std::string, Lista> Consegnati() const {
    std::map<std::string, Lista> per_tipo;
    for (const auto& [nome, byte] : FileDi(DriveZ())) {
      per_tipo[nome.substr(0, nome.starts_with("ESL") ? 3 : 10)].push_back(byte);
    }
    return per_tipo;
  }

  // Files left where only finished work may be: import files in the label folders, temporary
  // files anywhere, and the outbox's deliveries.
  Lista Avanzi() const {
    Lista avanzi;
    for (const fs::path& cartella : {DriveC() / "sulvo", DriveC() / "sulvo" / "esl",
                                     DriveC() / "dorn" / "zav5" / "consegne", DriveZ()}) {
      for (const auto& [nome, byte] : FileDi(cartella)) {
        const bool import = nome.starts_with("Import_") || nome.starts_with("ESL");
        const bool in_uscita = cartella.filename() == "consegne" && nome != "ultimo_timbro.txt";
        if (nome.starts_with("~zav5") || in_uscita || (import && cartella != DriveZ())) {
          avanzi.push_back((cartella.filename() / nome).string());
        }
      }
    }
    return avanzi;
  }

  Lista Recuperi() const {
    Lista recuperi;
    for (const std::string& riga : RigheLog()) {
      if (riga.find("- Etichette dell'offerta") != std::string::npos) {
        recuperi.push_back(riga);
      }
    }
    return recuperi;
  }

  // The price list and the offers' states, as the deactivation leaves them.
  Lista Listino() const {
    Lista righe = Righe("SELECT codart || ':' || przsal || ':' || stapro FROM listi01 ORDER BY 1");
    for (const std::string& stato : Stati()) {
      righe.push_back(stato);
    }
    return righe;
  }

  // Runs cycles ten seconds apart until the store and its labels settle (at most `quanti`).
  void Cicli(int quanti) {
    for (int i = 0; i < quanti; ++i) {
      EseguiCiclo(ciclo());
      env().Advance(seconds{10});
    }
  }

  bool raggiungibile = true;
  int script_avviati = 0;
};

// The outcome that every broken run must reach once the cycles run undisturbed again.
struct Atteso {
  Lista negozio;
  std::map<std::string, Lista> consegnati;
};

Atteso Indisturbato() {
  NegozioConScript negozio;
  EXPECT_EQ(EseguiCiclo(negozio.ciclo()), EsitoCiclo::kOffertaDisattivata);
  EXPECT_TRUE(negozio.Errori().empty());
  EXPECT_EQ(negozio.Avanzi(), Lista{});
  return {negozio.Listino(), negozio.Consegnati()};
}

// The steps of one cycle, seen from outside: each file operation of the outbox and the hand-over
// (TestEnv::before_step) and the commit (Guasti::al_passo). One of them can be made to fail or to
// end the process; placing a file in a label folder or starting a script before the commit is
// recorded as a breach.
struct Passi {
  Lista visti;
  std::optional<std::size_t> ferma_al;  // counted from 1
  bool uccidi = false;
  bool confermato = false;
  Lista violazioni;

  void operator()(std::string_view passo) {
    visti.emplace_back(passo);
    if (passo == "commit fatto") {
      confermato = true;
    }
    const std::size_t freccia = passo.find(" -> ");
    const bool in_etichette = passo.starts_with("script") ||
                              (passo.starts_with("rename") && freccia != std::string_view::npos &&
                               passo.substr(freccia + 4).starts_with("C:\\sulvo\\"));
    if (in_etichette && !confermato) {
      violazioni.emplace_back(passo);
    }
    if (ferma_al && visti.size() == *ferma_al) {
#ifndef _WIN32
      if (uccidi) {
        _exit(violazioni.empty() ? kUcciso : kViolato);
      }
#endif
      throw FileError(fmt::format("guasto simulato al passo {} ({})", *ferma_al, passo));
    }
  }

  static constexpr int kUcciso = 77;
  static constexpr int kViolato = 78;
};

data::OpzioniMotore MotoreConPassi(const std::shared_ptr<Guasti>& guasti) {
  data::OpzioniMotore motore;
  motore.attesa_blocchi = milliseconds{500};
  motore.avvolgi = AvvolgiConGuasti(guasti);
  return motore;
}

// Arms `passi` on a store's Env and connections.
void Arma(NegozioConScript& negozio, Guasti& guasti, Passi& passi) {
  negozio.env().before_step = [&passi](std::string_view passo) { passi(passo); };
  guasti.al_passo = [&passi](std::string_view passo) { passi(passo); };
}

void Disarma(NegozioConScript& negozio, Guasti& guasti) {
  negozio.env().before_step = nullptr;
  guasti.al_passo = nullptr;
}

// Every step of an undisturbed cycle, in order.
Lista PassiDiUnCiclo() {
  auto guasti = std::make_shared<Guasti>();
  NegozioConScript negozio(1, MotoreConPassi(guasti));
  Passi passi;
  Arma(negozio, *guasti, passi);
  EXPECT_EQ(EseguiCiclo(negozio.ciclo()), EsitoCiclo::kOffertaDisattivata);
  EXPECT_TRUE(passi.violazioni.empty()) << passi.violazioni.front();
  return passi.visti;
}

// After a broken cycle and three undisturbed ones: the offer is off the shelves as by an
// undisturbed cycle, each label system got its files exactly once and whole, nothing is left
// behind, and a failure of the hand-over was reported once and its catching up too.
void Verifica(const NegozioConScript& negozio, const Atteso& atteso) {
  EXPECT_EQ(negozio.Listino(), atteso.negozio);
  EXPECT_EQ(negozio.Consegnati(), atteso.consegnati);
  EXPECT_EQ(negozio.Avanzi(), Lista{});
  const Lista errori = negozio.Errori();
  EXPECT_LE(errori.size(), 1u) << errori.front();
  for (const std::string& errore : errori) {
    if (errore.find("etichette dell'offerta") != std::string::npos) {
      EXPECT_EQ(negozio.Recuperi().size(), 1u) << errore;
    }
  }
}

TEST(ConsegnaEtichetteTest, AFaultAtAnyStepLosesNothingAndHandsNothingOverBeforeTheCommit) {
  const Atteso atteso = Indisturbato();
  ASSERT_EQ(atteso.consegnati.size(), 3u) << "a price file, a promotion file and an ESL file";
  const Lista passi = PassiDiUnCiclo();
  ASSERT_GT(passi.size(), 20u);
  for (std::size_t n = 1; n <= passi.size(); ++n) {
    SCOPED_TRACE(fmt::format("step {}: {}", n, passi[n - 1]));
    auto guasti = std::make_shared<Guasti>();
    NegozioConScript negozio(1, MotoreConPassi(guasti));
    Passi passo;
    passo.ferma_al = n;
    Arma(negozio, *guasti, passo);
    EseguiCiclo(negozio.ciclo());
    EXPECT_TRUE(passo.violazioni.empty()) << passo.violazioni.front();
    Disarma(negozio, *guasti);
    negozio.env().Advance(seconds{10});
    negozio.Cicli(3);
    Verifica(negozio, atteso);
  }
}

#ifndef _WIN32
TEST(ConsegnaEtichetteTest, AProcessEndedAtAnyStepLosesNothingAndTheNextRunFinishesTheWork) {
  const Atteso atteso = Indisturbato();
  const Lista passi = PassiDiUnCiclo();
  for (std::size_t n = 1; n <= passi.size(); ++n) {
    SCOPED_TRACE(fmt::format("step {}: {}", n, passi[n - 1]));
    auto guasti = std::make_shared<Guasti>();
    NegozioConScript negozio(1, MotoreConPassi(guasti));
    // The first run is a child process that ends at step n as if the power went: nothing after
    // it runs, no destructor, no rollback.
    const pid_t figlio = fork();
    ASSERT_GE(figlio, 0);
    if (figlio == 0) {
      Passi passo;
      passo.ferma_al = n;
      passo.uccidi = true;
      Arma(negozio, *guasti, passo);
      EseguiCiclo(negozio.ciclo());
      _exit(passo.violazioni.empty() ? 0 : Passi::kViolato);
    }
    int stato = 0;
    ASSERT_EQ(waitpid(figlio, &stato, 0), figlio);
    ASSERT_TRUE(WIFEXITED(stato));
    EXPECT_EQ(WEXITSTATUS(stato), Passi::kUcciso)
        << "the child did not reach its step, or breached";
    // The next run: a program that starts afresh on what the first one left.
    negozio.Cicli(3);
    Verifica(negozio, atteso);
  }
}
#endif

TEST(ConsegnaEtichetteTest, ABrokenLabelSystemDoesNotHoldUpTheOfferNorTheOtherSystem) {
  NegozioConScript negozio;
  fs::remove_all(negozio.DriveC() / "sulvo" / "esl");

  EXPECT_EQ(EseguiCiclo(negozio.ciclo()), EsitoCiclo::kOffertaDisattivata);
  EXPECT_EQ(negozio.Stati(), Lista{"1/2026:D"});
  auto consegnati = negozio.Consegnati();
  EXPECT_EQ(consegnati.count("Import_VPA"), 1u) << "the other system was served";
  EXPECT_EQ(consegnati.count("ESL"), 0u);
  Lista errori = negozio.Errori();
  ASSERT_EQ(errori.size(), 1u);
  for (const std::string_view parte :
       {"ERRORE : etichette dell'offerta 1/2026 non consegnate al sistema ESL (cartella "
        "C:\\sulvo\\esl\\)",
        "gli scaffali di quel sistema mostrano il prezzo promozionale mentre le casse fanno "
        "pagare il prezzo normale"}) {
    EXPECT_NE(errori[0].find(parte), std::string::npos) << errori[0];
  }
  EXPECT_EQ(negozio.ciclo().outbox.InAttesa(test::WorkingStore::kPercorsoDati).size(), 1u);

  // Every cycle tries again, without another line for the same fault.
  negozio.Cicli(3);
  EXPECT_EQ(negozio.Errori().size(), 1u);
  EXPECT_EQ(negozio.Consegnati().count("ESL"), 0u);

  // The folder comes back: the next cycle hands the file over and says so.
  fs::create_directory(negozio.DriveC() / "sulvo" / "esl");
  negozio.Cicli(1);
  consegnati = negozio.Consegnati();
  EXPECT_EQ(consegnati["ESL"].size(), 1u);
  EXPECT_EQ(consegnati["Import_VPA"].size(), 1u) << "the other system got its files once";
  const Lista recuperi = negozio.Recuperi();
  ASSERT_EQ(recuperi.size(), 1u);
  EXPECT_NE(recuperi[0].find("- Etichette dell'offerta 1/2026 consegnate al sistema ESL"),
            std::string::npos)
      << recuperi[0];
  EXPECT_EQ(negozio.Avanzi(), Lista{});
}

// Drive Z: is unreachable: the copy script leaves the files where they are. They are never
// cleaned up, no new files join them, and once Z: is back they go out, oldest first.
TEST(ConsegnaEtichetteTest, FilesThatAScriptCouldNotDeliverWaitAndGoOutInOrder) {
  NegozioConScript negozio(2);
  negozio.raggiungibile = false;
  Scrivi(negozio.DriveC() / "sulvo" / "import_altrui.txt", "x");

  EXPECT_EQ(EseguiCiclo(negozio.ciclo()), EsitoCiclo::kOffertaDisattivata);
  const auto primi = FileDi(negozio.DriveC() / "sulvo", "Import_");
  ASSERT_EQ(primi.size(), 2u);
  EXPECT_FALSE(fs::exists(negozio.DriveC() / "sulvo" / "import_altrui.txt"))
      << "the clean-up still takes files the program did not place";

  // Offer 2: its files wait in the outbox behind offer 1's, which stay untouched; the scripts
  // are started again only once offer 1's files have waited a minute.
  negozio.env().Advance(seconds{10});
  EXPECT_EQ(EseguiCiclo(negozio.ciclo()), EsitoCiclo::kOffertaDisattivata);
  EXPECT_EQ(FileDi(negozio.DriveC() / "sulvo", "Import_"), primi);
  EXPECT_EQ(negozio.Errori(), Lista{});
  const int avviati = negozio.script_avviati;
  negozio.Cicli(6);
  // Offer 1's files, and offer 2's waiting behind them, once each for each label system.
  const Lista errori = negozio.Errori();
  ASSERT_EQ(errori.size(), 4u);
  for (int i = 0; i < 4; ++i) {
    EXPECT_NE(errori[i].find(i < 2 ? "offerta 1/2026" : "offerta 2/2026"), std::string::npos)
        << errori[i];
    EXPECT_NE(errori[i].find(i < 2 ? "lo script non li ha consegnati"
                                   : "i file dell'offerta 1/2026 sono ancora nella cartella"),
              std::string::npos)
        << errori[i];
  }
  EXPECT_GT(negozio.script_avviati, avviati);
  EXPECT_LE(negozio.script_avviati, avviati + 2) << "at most once a minute for each system";
  EXPECT_EQ(FileDi(negozio.DriveC() / "sulvo", "Import_"), primi);

  // Z: is back; the script, started again, takes offer 1's files; then offer 2's go.
  negozio.raggiungibile = true;
  negozio.Cicli(8);
  // Offer 1's files under their names, offer 2's after them.
  auto consegnati = FileDi(negozio.DriveZ(), "Import_");
  ASSERT_EQ(consegnati.size(), 4u);
  for (const auto& [primo, byte] : primi) {
    EXPECT_EQ(consegnati[primo], byte) << primo;
    consegnati.erase(primo);
  }
  for (const auto& [secondo, byte] : consegnati) {
    EXPECT_GT(secondo.substr(11), primi.begin()->first.substr(11)) << secondo;
  }
  EXPECT_EQ(FileDi(negozio.DriveZ(), "ESL").size(), 2u);
  EXPECT_EQ(negozio.Recuperi().size(), 4u);
  EXPECT_EQ(negozio.Avanzi(), Lista{});
}

// Two offers deactivated within one second, as two runs back to back would: the names never
// repeat and keep their order, also when the clock goes back an hour (daylight saving ends).
TEST(ConsegnaEtichetteTest, NamesAreNeverUsedTwiceAndKeepTheirOrder) {
  NegozioConScript negozio(3);
  EXPECT_EQ(EseguiCiclo(negozio.ciclo()), EsitoCiclo::kOffertaDisattivata);
  EXPECT_EQ(EseguiCiclo(negozio.ciclo()), EsitoCiclo::kOffertaDisattivata);
  negozio.env().SetNow(negozio.env().Now() - hours{1});
  EXPECT_EQ(EseguiCiclo(negozio.ciclo()), EsitoCiclo::kOffertaDisattivata);

  const auto consegnati = FileDi(negozio.DriveZ(), "Import_VPA_");
  ASSERT_EQ(consegnati.size(), 3u);
  Lista offerte;
  for (const auto& [nome, byte] : consegnati) {
    // The EAN of the file's first line names the offer's first article: 10, 20, 30.
    const std::size_t dopo_il_primo = byte.find(';') + 1;
    offerte.push_back(byte.substr(dopo_il_primo, byte.find(';', dopo_il_primo) - dopo_il_primo));
  }
  EXPECT_EQ(offerte, (Lista{"8000000000010", "8000000000020", "8000000000030"}))
      << "in the order of the offers";
  EXPECT_EQ(FileDi(negozio.DriveZ(), "ESL").size(), 3u);
  EXPECT_EQ(negozio.Avanzi(), Lista{});
}

// A commit that fails (a reader of the suite holds the database, say): nothing reaches a label
// folder, and the next cycle, which commits, hands the files over once.
TEST(ConsegnaEtichetteTest, ACommitThatFailsHandsNothingOver) {
  auto guasti = std::make_shared<Guasti>();
  NegozioConScript negozio(1, MotoreConPassi(guasti));
  guasti->al_commit = true;
  EXPECT_EQ(EseguiCiclo(negozio.ciclo()), EsitoCiclo::kErrore);
  EXPECT_EQ(negozio.Stati(), Lista{"1/2026:A"});
  EXPECT_TRUE(negozio.Consegnati().empty());
  EXPECT_EQ(negozio.script_avviati, 0);
  EXPECT_EQ(negozio.Avanzi(), Lista{}) << "the files made for it are gone";

  guasti->Disarma();
  negozio.Cicli(2);
  EXPECT_EQ(negozio.Stati(), Lista{"1/2026:D"});
  const auto consegnati = negozio.Consegnati();
  EXPECT_EQ(consegnati.at("Import_VPA").size(), 1u);
  EXPECT_EQ(consegnati.at("ESL").size(), 1u);
}

// A commit that succeeds but is reported as failed: the store database decides, on a connection
// of its own, that the offer is deactivated, and its files go out.
TEST(ConsegnaEtichetteTest, ACommitReportedFailedThatCommittedHandsTheFilesOver) {
  auto guasti = std::make_shared<Guasti>();
  NegozioConScript negozio(1, MotoreConPassi(guasti));
  guasti->al_passo = [](std::string_view passo) {
    if (passo == "commit fatto") {
      throw DatabaseError("guasto simulato dopo la conferma");
    }
  };
  EXPECT_EQ(EseguiCiclo(negozio.ciclo()), EsitoCiclo::kErrore);
  guasti->al_passo = nullptr;
  EXPECT_EQ(negozio.Stati(), Lista{"1/2026:D"});
  const Lista errori = negozio.Errori();
  ASSERT_EQ(errori.size(), 1u);
  EXPECT_NE(errori[0].find("risulta disattivata"), std::string::npos) << errori[0];
  EXPECT_EQ(negozio.Consegnati().at("Import_VPA").size(), 1u);
  EXPECT_EQ(negozio.Consegnati().at("ESL").size(), 1u);
  negozio.Cicli(1);
  EXPECT_EQ(negozio.Avanzi(), Lista{});
}

// A label system switched off while its files wait: nothing is sent to it; the files stay in the
// outbox and are reported once, and at every start.
TEST(ConsegnaEtichetteTest, FilesOfASystemSwitchedOffStayAndAreReported) {
  NegozioConScript negozio;
  fs::remove_all(negozio.DriveC() / "sulvo" / "esl");
  EXPECT_EQ(EseguiCiclo(negozio.ciclo()), EsitoCiclo::kOffertaDisattivata);
  negozio.Sql("UPDATE elettro SET attivato = '0' WHERE codice = 2");
  fs::create_directory(negozio.DriveC() / "sulvo" / "esl");
  negozio.Cicli(3);
  EXPECT_EQ(negozio.Consegnati().count("ESL"), 0u);
  const Lista errori = negozio.Errori();
  ASSERT_EQ(errori.size(), 2u);
  EXPECT_NE(errori[1].find("attivo, o la sua cartella"), std::string::npos) << errori[1];

  labels::Consegne& consegne = negozio.ciclo().outbox;
  consegne.SegnalaInAttesa(test::WorkingStore::kPercorsoDati, negozio.log());
  const Lista log = negozio.RigheLog();
  EXPECT_NE(log.back().find("etichette dell'offerta 1/2026 in attesa dal 07/12/2026 11:49:30 per "
                            "il sistema ESL"),
            std::string::npos)
      << log.back();
}

}  // namespace
}  // namespace zav5::cycle

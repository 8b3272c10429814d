// The label files of a deactivated offer reach every active label system once, whole, and only
// after the offer's transaction has committed: whatever step of the cycle fails, or ends the
// process, and whichever label system cannot take its files.

#include "cycle/hand_over_labels.h"

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

#include "cycle/cycle_test_store.h"
#include "cycle/elabora_offerte_scadute.h"
#include "cycle/faulty_connection.h"
#include "cycle/timer2_timer.h"
#include "data/value_calendar.h"
#include "errors.h"
#include "labels/outbox.h"
#include "support/temp_dir.h"

namespace zav5::cycle {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono;
using Lines = std::vector<std::string>;

const std::int32_t kToday = data::DayNumber(2026y / December / 7);

// Two label systems, one per layout: the two-file one in C:\sulvo\, whose copy script moves the
// files to drive Z:, and "ESL" in C:\sulvo\esl\, whose site script does the same.
constexpr std::string_view kTwoSystems =
    "INSERT INTO elettro VALUES (1, 'CORSIE', '1', '0', NULL, 'C:\\sulvo\\');"
    "INSERT INTO elettro VALUES (2, 'FRESCHI', '1', '1', 'ESL', 'C:\\sulvo\\esl\\');";

// Offer `numero`: articles restored (price lines) and one whose promotion is wider than the offer
// and stays (a promotion line). Article codes are `numero` * 10 onwards.
std::string ExpiredOfferRows(int numero) {
  const int a = numero * 10;
  return Offer(numero, kToday - 30, kToday - 1) +
         OfferArticleRows(a, numero, kToday - 30, kToday - 1) +
         OfferArticleRows(a + 1, numero, kToday - 30, kToday - 1) +
         OfferArticleRows(a + 2, numero, kToday - 20, kToday + 9);
}

std::string StoreRows(int offerte = 1) {
  std::string sql = "BEGIN;";
  for (int numero = 1; numero <= offerte; ++numero) {
    sql += ExpiredOfferRows(numero);
  }
  return sql + std::string(kTwoSystems) + "COMMIT;";
}

void Write(const fs::path& file, std::string_view byte) {
  std::ofstream(file, std::ios::binary) << byte;
}

// The files of `folder` whose names begin with `prefix`, with their bytes; temporary files are
// listed under their own names.
std::map<std::string, std::string> FilesIn(const fs::path& folder, std::string_view prefix = "") {
  std::map<std::string, std::string> file;
  if (!fs::is_directory(folder)) {
    return file;
  }
  for (const auto& entry : fs::directory_iterator(folder)) {
    const std::string name = entry.path().filename().string();
    if (entry.is_regular_file() && name.starts_with(prefix)) {
      file[name] = test::ReadFile(entry.path());
    }
  }
  return file;
}

// A store whose label scripts run as the store's do: each moves its layout's files to drive Z:
// (the folder z), while drive Z: is reachable; otherwise the files stay. Scripts run at once,
// within the start.
class StoreWithScripts : public CycleTestStore {
 public:
  explicit StoreWithScripts(int offerte = 1, data::EngineOptions engine_options = {})
      : CycleTestStore(StoreRows(offerte), std::move(engine_options)) {
    Write(DriveC() / "sulvo" / "comandoP.bat", "copy ESL*.txt Z:\\\r\n");
    env().start_script = [this](std::string_view script) {
      ++scripts_started;
      if (!reachable) {
        return;
      }
      const bool copia = script.ends_with("frontalini.bat");
      const fs::path folder = copia ? DriveC() / "sulvo" : DriveC() / "sulvo" / "esl";
      for (const std::string_view prefix :
           copia ? std::vector<std::string_view>{"Import_VPA", "Import_PRO"}
                 : std::vector<std::string_view>{"ESL"}) {
        for (const auto& [name, byte] : FilesIn(folder, prefix)) {
          fs::rename(folder / name, DriveZ() / name);
        }
      }
    };
  }

  // What reached drive Z:, by kind (the name's first letters), each kind's files' bytes in name
  // order.
  std::map<std::string, Lines> HandedOverFiles() const {
    std::map<std::string, Lines> per_tipo;
    for (const auto& [name, byte] : FilesIn(DriveZ())) {
      per_tipo[name.substr(0, name.starts_with("ESL") ? 3 : 10)].push_back(byte);
    }
    return per_tipo;
  }

  // Files left where only finished work may be: import files in the label folders, temporary
  // files anywhere, and the outbox's deliveries.
  Lines Leftovers() const {
    Lines avanzi;
    for (const fs::path& folder : {DriveC() / "sulvo", DriveC() / "sulvo" / "esl",
                                   DriveC() / "dorn" / "zav5" / "consegne", DriveZ()}) {
      for (const auto& [name, byte] : FilesIn(folder)) {
        const bool import = name.starts_with("Import_") || name.starts_with("ESL");
        const bool in_uscita = folder.filename() == "consegne" && name != "ultimo_timbro.txt";
        if (name.starts_with("~zav5") || in_uscita || (import && folder != DriveZ())) {
          avanzi.push_back((folder.filename() / name).string());
        }
      }
    }
    return avanzi;
  }

  Lines Recoveries() const {
    Lines recuperi;
    for (const std::string& line : RunLogLines()) {
      if (line.find("- Etichette dell'offerta") != std::string::npos) {
        recuperi.push_back(line);
      }
    }
    return recuperi;
  }

  // The price list and the offers' states, as the deactivation leaves them.
  Lines PriceList() const {
    Lines lines =
        QueryRows("SELECT codart || ':' || przsal || ':' || stapro FROM listi01 ORDER BY 1");
    for (const std::string& stato : OfferStatuses()) {
      lines.push_back(stato);
    }
    return lines;
  }

  // Runs cycles ten seconds apart until the store and its labels settle (at most `quanti`).
  void RunCycles(int quanti) {
    for (int i = 0; i < quanti; ++i) {
      RunCycle(cycle_context());
      env().Advance(seconds{10});
    }
  }

  bool reachable = true;
  int scripts_started = 0;
};

// The outcome that every broken run must reach once the cycles run undisturbed again.
struct Expected {
  Lines store;
  std::map<std::string, Lines> handed_over;
};

Expected Undisturbed() {
  StoreWithScripts store;
  EXPECT_EQ(RunCycle(store.cycle_context()), CycleOutcome::kOfferDeactivated);
  EXPECT_TRUE(store.ErrorLines().empty());
  EXPECT_EQ(store.Leftovers(), Lines{});
  return {store.PriceList(), store.HandedOverFiles()};
}

// The steps of one cycle, seen from outside: each file operation of the outbox and the hand-over
// (TestEnv::before_step) and the commit (Faults::on_step). One of them can be made to fail or to
// end the process; placing a file in a label folder or starting a script before the commit is
// recorded as a breach.
struct Steps {
  Lines seen;
  std::optional<std::size_t> stop_at;  // counted from 1
  bool kill = false;
  bool committed = false;
  Lines breaches;

  void operator()(std::string_view row_step) {
    seen.emplace_back(row_step);
    if (row_step == "commit fatto") {
      committed = true;
    }
    const std::size_t freccia = row_step.find(" -> ");
    const bool in_etichette =
        row_step.starts_with("script") ||
        (row_step.starts_with("rename") && freccia != std::string_view::npos &&
         row_step.substr(freccia + 4).starts_with("C:\\sulvo\\"));
    if (in_etichette && !committed) {
      breaches.emplace_back(row_step);
    }
    if (stop_at && seen.size() == *stop_at) {
#ifndef _WIN32
      if (kill) {
        _exit(breaches.empty() ? kKilledExit : kBreachExit);
      }
#endif
      throw FileError(fmt::format("guasto simulato al passo {} ({})", *stop_at, row_step));
    }
  }

  static constexpr int kKilledExit = 77;
  static constexpr int kBreachExit = 78;
};

data::EngineOptions EngineWithSteps(const std::shared_ptr<Faults>& guasti) {
  data::EngineOptions engine_options;
  engine_options.lock_wait = milliseconds{500};
  engine_options.wrap_connection = WrapWithFaults(guasti);
  return engine_options;
}

// Arms `passi` on a store's Env and connections.
void Arm(StoreWithScripts& store, Faults& guasti, Steps& passi) {
  store.env().before_step = [&passi](std::string_view row_step) { passi(row_step); };
  guasti.on_step = [&passi](std::string_view row_step) { passi(row_step); };
}

void Disarm(StoreWithScripts& store, Faults& guasti) {
  store.env().before_step = nullptr;
  guasti.on_step = nullptr;
}

// Every step of an undisturbed cycle, in order.
Lines StepsOfACycle() {
  auto guasti = std::make_shared<Faults>();
  StoreWithScripts store(1, EngineWithSteps(guasti));
  Steps passi;
  Arm(store, *guasti, passi);
  EXPECT_EQ(RunCycle(store.cycle_context()), CycleOutcome::kOfferDeactivated);
  EXPECT_TRUE(passi.breaches.empty()) << passi.breaches.front();
  return passi.seen;
}

// After a broken cycle and three undisturbed ones: the offer is off the shelves as by an
// undisturbed cycle, each label system got its files exactly once and whole, nothing is left
// behind, and a failure of the hand-over was reported once and its catching up too.
void Verify(const StoreWithScripts& store, const Expected& atteso) {
  EXPECT_EQ(store.PriceList(), atteso.store);
  EXPECT_EQ(store.HandedOverFiles(), atteso.handed_over);
  EXPECT_EQ(store.Leftovers(), Lines{});
  const Lines errori = store.ErrorLines();
  EXPECT_LE(errori.size(), 1u) << errori.front();
  for (const std::string& errore : errori) {
    if (errore.find("etichette dell'offerta") != std::string::npos) {
      EXPECT_EQ(store.Recoveries().size(), 1u) << errore;
    }
  }
}

TEST(HandOverLabelsTest, AFaultAtAnyStepLosesNothingAndHandsNothingOverBeforeTheCommit) {
  const Expected atteso = Undisturbed();
  ASSERT_EQ(atteso.handed_over.size(), 3u) << "a price file, a promotion file and an ESL file";
  const Lines passi = StepsOfACycle();
  ASSERT_GT(passi.size(), 20u);
  for (std::size_t n = 1; n <= passi.size(); ++n) {
    SCOPED_TRACE(fmt::format("step {}: {}", n, passi[n - 1]));
    auto guasti = std::make_shared<Faults>();
    StoreWithScripts store(1, EngineWithSteps(guasti));
    Steps row_step;
    row_step.stop_at = n;
    Arm(store, *guasti, row_step);
    RunCycle(store.cycle_context());
    EXPECT_TRUE(row_step.breaches.empty()) << row_step.breaches.front();
    Disarm(store, *guasti);
    store.env().Advance(seconds{10});
    store.RunCycles(3);
    Verify(store, atteso);
  }
}

#ifndef _WIN32
TEST(HandOverLabelsTest, AProcessEndedAtAnyStepLosesNothingAndTheNextRunFinishesTheWork) {
  const Expected atteso = Undisturbed();
  const Lines passi = StepsOfACycle();
  for (std::size_t n = 1; n <= passi.size(); ++n) {
    SCOPED_TRACE(fmt::format("step {}: {}", n, passi[n - 1]));
    auto guasti = std::make_shared<Faults>();
    StoreWithScripts store(1, EngineWithSteps(guasti));
    // The first run is a child process that ends at step n as if the power went: nothing after
    // it runs, no destructor, no rollback.
    const pid_t figlio = fork();
    ASSERT_GE(figlio, 0);
    if (figlio == 0) {
      Steps row_step;
      row_step.stop_at = n;
      row_step.kill = true;
      Arm(store, *guasti, row_step);
      RunCycle(store.cycle_context());
      _exit(row_step.breaches.empty() ? 0 : Steps::kBreachExit);
    }
    int stato = 0;
    ASSERT_EQ(waitpid(figlio, &stato, 0), figlio);
    ASSERT_TRUE(WIFEXITED(stato));
    EXPECT_EQ(WEXITSTATUS(stato), Steps::kKilledExit)
        << "the child did not reach its step, or breached";
    // The next run: a program that starts afresh on what the first one left.
    store.RunCycles(3);
    Verify(store, atteso);
  }
}
#endif

TEST(HandOverLabelsTest, ABrokenLabelSystemDoesNotHoldUpTheOfferNorTheOtherSystem) {
  StoreWithScripts store;
  fs::remove_all(store.DriveC() / "sulvo" / "esl");

  EXPECT_EQ(RunCycle(store.cycle_context()), CycleOutcome::kOfferDeactivated);
  EXPECT_EQ(store.OfferStatuses(), Lines{"1/2026:D"});
  auto handed_over = store.HandedOverFiles();
  EXPECT_EQ(handed_over.count("Import_VPA"), 1u) << "the other system was served";
  EXPECT_EQ(handed_over.count("ESL"), 0u);
  Lines errori = store.ErrorLines();
  ASSERT_EQ(errori.size(), 1u);
  for (const std::string_view parte :
       {"ERRORE : etichette dell'offerta 1/2026 non consegnate al sistema ESL (cartella "
        "C:\\sulvo\\esl\\)",
        "gli scaffali di quel sistema mostrano il prezzo promozionale mentre le casse fanno "
        "pagare il prezzo normale"}) {
    EXPECT_NE(errori[0].find(parte), std::string::npos) << errori[0];
  }
  EXPECT_EQ(store.cycle_context().outbox.Pending(test::WorkingStore::kPercorsoDati).size(), 1u);

  // Every cycle tries again, without another line for the same fault.
  store.RunCycles(3);
  EXPECT_EQ(store.ErrorLines().size(), 1u);
  EXPECT_EQ(store.HandedOverFiles().count("ESL"), 0u);

  // The folder comes back: the next cycle hands the file over and says so.
  fs::create_directory(store.DriveC() / "sulvo" / "esl");
  store.RunCycles(1);
  handed_over = store.HandedOverFiles();
  EXPECT_EQ(handed_over["ESL"].size(), 1u);
  EXPECT_EQ(handed_over["Import_VPA"].size(), 1u) << "the other system got its files once";
  const Lines recuperi = store.Recoveries();
  ASSERT_EQ(recuperi.size(), 1u);
  EXPECT_NE(recuperi[0].find("- Etichette dell'offerta 1/2026 consegnate al sistema ESL"),
            std::string::npos)
      << recuperi[0];
  EXPECT_EQ(store.Leftovers(), Lines{});
}

// Drive Z: is unreachable: the copy script leaves the files where they are. They are never
// cleaned up, no new files join them, and once Z: is back they go out, oldest first.
TEST(HandOverLabelsTest, FilesThatAScriptCouldNotDeliverWaitAndGoOutInOrder) {
  StoreWithScripts store(2);
  store.reachable = false;
  Write(store.DriveC() / "sulvo" / "import_altrui.txt", "x");

  EXPECT_EQ(RunCycle(store.cycle_context()), CycleOutcome::kOfferDeactivated);
  const auto primi = FilesIn(store.DriveC() / "sulvo", "Import_");
  ASSERT_EQ(primi.size(), 2u);
  EXPECT_FALSE(fs::exists(store.DriveC() / "sulvo" / "import_altrui.txt"))
      << "the clean-up still takes files the program did not place";

  // Offer 2: its files wait in the outbox behind offer 1's, which stay untouched; the scripts
  // are started again only once offer 1's files have waited a minute.
  store.env().Advance(seconds{10});
  EXPECT_EQ(RunCycle(store.cycle_context()), CycleOutcome::kOfferDeactivated);
  EXPECT_EQ(FilesIn(store.DriveC() / "sulvo", "Import_"), primi);
  EXPECT_EQ(store.ErrorLines(), Lines{});
  const int avviati = store.scripts_started;
  store.RunCycles(6);
  // Offer 1's files, and offer 2's waiting behind them, once each for each label system.
  const Lines errori = store.ErrorLines();
  ASSERT_EQ(errori.size(), 4u);
  for (int i = 0; i < 4; ++i) {
    EXPECT_NE(errori[i].find(i < 2 ? "offerta 1/2026" : "offerta 2/2026"), std::string::npos)
        << errori[i];
    EXPECT_NE(errori[i].find(i < 2 ? "lo script non li ha consegnati"
                                   : "i file dell'offerta 1/2026 sono ancora nella cartella"),
              std::string::npos)
        << errori[i];
  }
  EXPECT_GT(store.scripts_started, avviati);
  EXPECT_LE(store.scripts_started, avviati + 2) << "at most once a minute for each system";
  EXPECT_EQ(FilesIn(store.DriveC() / "sulvo", "Import_"), primi);

  // Z: is back; the script, started again, takes offer 1's files; then offer 2's go.
  store.reachable = true;
  store.RunCycles(8);
  // Offer 1's files under their names, offer 2's after them.
  auto handed_over = FilesIn(store.DriveZ(), "Import_");
  ASSERT_EQ(handed_over.size(), 4u);
  for (const auto& [primo, byte] : primi) {
    EXPECT_EQ(handed_over[primo], byte) << primo;
    handed_over.erase(primo);
  }
  for (const auto& [secondo, byte] : handed_over) {
    EXPECT_GT(secondo.substr(11), primi.begin()->first.substr(11)) << secondo;
  }
  EXPECT_EQ(FilesIn(store.DriveZ(), "ESL").size(), 2u);
  EXPECT_EQ(store.Recoveries().size(), 4u);
  EXPECT_EQ(store.Leftovers(), Lines{});
}

// Two offers deactivated within one second, as two runs back to back would: the names never
// repeat and keep their order, also when the clock goes back an hour (daylight saving ends).
TEST(HandOverLabelsTest, NamesAreNeverUsedTwiceAndKeepTheirOrder) {
  StoreWithScripts store(3);
  EXPECT_EQ(RunCycle(store.cycle_context()), CycleOutcome::kOfferDeactivated);
  EXPECT_EQ(RunCycle(store.cycle_context()), CycleOutcome::kOfferDeactivated);
  store.env().SetNow(store.env().Now() - hours{1});
  EXPECT_EQ(RunCycle(store.cycle_context()), CycleOutcome::kOfferDeactivated);

  const auto handed_over = FilesIn(store.DriveZ(), "Import_VPA_");
  ASSERT_EQ(handed_over.size(), 3u);
  Lines offerte;
  for (const auto& [name, byte] : handed_over) {
    // The EAN of the file's first line names the offer's first article: 10, 20, 30.
    const std::size_t dopo_il_primo = byte.find(';') + 1;
    offerte.push_back(byte.substr(dopo_il_primo, byte.find(';', dopo_il_primo) - dopo_il_primo));
  }
  EXPECT_EQ(offerte, (Lines{"8000000000010", "8000000000020", "8000000000030"}))
      << "in the order of the offers";
  EXPECT_EQ(FilesIn(store.DriveZ(), "ESL").size(), 3u);
  EXPECT_EQ(store.Leftovers(), Lines{});
}

// A commit that fails (a reader of the suite holds the database, say): nothing reaches a label
// folder, and the next cycle, which commits, hands the files over once.
TEST(HandOverLabelsTest, ACommitThatFailsHandsNothingOver) {
  auto guasti = std::make_shared<Faults>();
  StoreWithScripts store(1, EngineWithSteps(guasti));
  guasti->at_commit = true;
  EXPECT_EQ(RunCycle(store.cycle_context()), CycleOutcome::kError);
  EXPECT_EQ(store.OfferStatuses(), Lines{"1/2026:A"});
  EXPECT_TRUE(store.HandedOverFiles().empty());
  EXPECT_EQ(store.scripts_started, 0);
  EXPECT_EQ(store.Leftovers(), Lines{}) << "the files made for it are gone";

  guasti->Disarm();
  store.RunCycles(2);
  EXPECT_EQ(store.OfferStatuses(), Lines{"1/2026:D"});
  const auto handed_over = store.HandedOverFiles();
  EXPECT_EQ(handed_over.at("Import_VPA").size(), 1u);
  EXPECT_EQ(handed_over.at("ESL").size(), 1u);
}

// A commit that succeeds but is reported as failed: the store database decides, on a connection
// of its own, that the offer is deactivated, and its files go out.
TEST(HandOverLabelsTest, ACommitReportedFailedThatCommittedHandsTheFilesOver) {
  auto guasti = std::make_shared<Faults>();
  StoreWithScripts store(1, EngineWithSteps(guasti));
  guasti->on_step = [](std::string_view row_step) {
    if (row_step == "commit fatto") {
      throw DatabaseError("guasto simulato dopo la conferma");
    }
  };
  EXPECT_EQ(RunCycle(store.cycle_context()), CycleOutcome::kError);
  guasti->on_step = nullptr;
  EXPECT_EQ(store.OfferStatuses(), Lines{"1/2026:D"});
  const Lines errori = store.ErrorLines();
  ASSERT_EQ(errori.size(), 1u);
  EXPECT_NE(errori[0].find("risulta disattivata"), std::string::npos) << errori[0];
  EXPECT_EQ(store.HandedOverFiles().at("Import_VPA").size(), 1u);
  EXPECT_EQ(store.HandedOverFiles().at("ESL").size(), 1u);
  store.RunCycles(1);
  EXPECT_EQ(store.Leftovers(), Lines{});
}

// A label system switched off while its files wait: nothing is sent to it; the files stay in the
// outbox and are reported once, and at every start.
TEST(HandOverLabelsTest, FilesOfASystemSwitchedOffStayAndAreReported) {
  StoreWithScripts store;
  fs::remove_all(store.DriveC() / "sulvo" / "esl");
  EXPECT_EQ(RunCycle(store.cycle_context()), CycleOutcome::kOfferDeactivated);
  store.Sql("UPDATE elettro SET attivato = '0' WHERE codice = 2");
  fs::create_directory(store.DriveC() / "sulvo" / "esl");
  store.RunCycles(3);
  EXPECT_EQ(store.HandedOverFiles().count("ESL"), 0u);
  const Lines errori = store.ErrorLines();
  ASSERT_EQ(errori.size(), 2u);
  EXPECT_NE(errori[1].find("attivo, o la sua cartella"), std::string::npos) << errori[1];

  labels::Outbox& outbox = store.cycle_context().outbox;
  outbox.ReportPending(test::WorkingStore::kPercorsoDati, store.log());
  const Lines log = store.RunLogLines();
  EXPECT_NE(log.back().find("etichette dell'offerta 1/2026 in attesa dal 07/12/2026 11:49:30 per "
                            "il sistema ESL"),
            std::string::npos)
      << log.back();
}

}  // namespace
}  // namespace zav5::cycle

// The three checks on a whole store, healthy and in each failing state the program can be in:
// what they print, the code they end with, and that they change nothing of the store.

#include <chrono>
#include <filesystem>
#include <fstream>
#include <map>
#include <string>
#include <vector>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "checks/checked_store.h"
#include "checks/preview.h"
#include "cycle/cycle_test_store.h"
#include "support/temp_dir.h"
#include "support/test_engine_options.h"

#ifndef _WIN32
#include "support/other_program.h"
#endif

namespace zav5::checks {
namespace {

namespace fs = std::filesystem;
using testing::HasSubstr;
using testing::Not;

std::string Stores(int offers = 1) {
  std::string rows(kTwoLabelSystems);
  for (int i = 0; i < offers; ++i) {
    rows += ExpiredOffer(101 + i);
  }
  return rows;
}

// The files of one label folder (relative to the store), by name, with their bytes.
std::map<std::string, std::string> LabelFiles(const std::map<std::string, std::string>& files,
                                              std::string_view prefix) {
  std::map<std::string, std::string> found;
  for (const auto& [path, bytes] : files) {
    if (path.starts_with(prefix) && path.find('/', prefix.size()) == std::string::npos) {
      found[path.substr(prefix.size())] = bytes;
    }
  }
  return found;
}

// The status on the example day, of a store whose zav5 runs from a scheduled task (unless
// `allow_stopped` is false): the tests run no zav5 beside it.
StatusOptions OnExampleDay(bool allow_stopped = true) {
  StatusOptions options;
  options.today = ExampleDay();
  options.allow_stopped = allow_stopped;
  return options;
}

// Runs each check and requires that it changed no file of the store, databases included.
struct Checked {
  CheckedStore::Outcome status;
  CheckedStore::Outcome preview;
  CheckedStore::Outcome audit;
};
Checked RunEveryCheck(CheckedStore& store, StatusOptions status = {}) {
  const std::map<std::string, std::string> before = store.Files();
  Checked checked{store.Status(status), store.Preview({ExampleDay(), {}}), store.Audit()};
  EXPECT_EQ(store.Files(), before) << "a check changed the store";
  return checked;
}

TEST(ChecksTest, HealthyStoreBeforeItsCycle) {
  CheckedStore store(Stores());
  const Checked checked = RunEveryCheck(store, OnExampleDay(/*allow_stopped=*/false));

  EXPECT_EQ(checked.status.code, 1) << checked.status.out;  // expired since midnight, 11:49
  EXPECT_THAT(checked.status.out, HasSubstr("WARNING: zav5 non è in esecuzione sul negozio"));
  EXPECT_THAT(checked.status.out, HasSubstr("WARNING: l'offerta 101/2026 è scaduta il 06/12/2026"));
  EXPECT_THAT(checked.status.out, HasSubstr("database del negozio  C:\\SULVO\\NEG01\\DATI.MDB"));
  EXPECT_THAT(checked.status.out, HasSubstr("zav5 in esecuzione    no"));
  EXPECT_THAT(checked.status.out, HasSubstr("Offerte scadute ancora attive: 1"));
  EXPECT_THAT(checked.status.out, HasSubstr("  101/2026  OFFERTA 101  06/12/2026         4"));

  EXPECT_EQ(checked.preview.code, 0) << checked.preview.out;
  EXPECT_THAT(checked.preview.out, HasSubstr("righe: 4, ripristinate 2, lasciate 2"));
  EXPECT_THAT(checked.preview.out,
              HasSubstr("lasciato: la sua promozione non copre il periodo dell'offerta"));
  EXPECT_THAT(checked.preview.out, HasSubstr("lasciato: non è nel listino"));

  // The offer's articles are still on their promotion: the next cycle restores two of them.
  EXPECT_EQ(checked.audit.code, 1);
  EXPECT_THAT(checked.audit.out, HasSubstr("Totale: 3 da controllare."));
}

TEST(ChecksTest, PreviewGivesTheLinesAndChangesTheCycleThenMakesInBothLayouts) {
  CheckedStore store(Stores());
  const PreviewResult preview = RunPreview(store.env(), store.engine_options(), {ExampleDay(), {}});
  ASSERT_TRUE(preview.error.empty()) << preview.error;
  ASSERT_EQ(preview.offers.size(), 1u);
  const PreviewedOffer& offer = preview.offers[0];
  std::map<std::string, std::string> previewed;  // kind of file -> bytes
  for (const PreviewedFile& file : offer.files) {
    previewed[file.name.substr(0, file.name.find_first_of("0123456789"))] = file.bytes;
  }
  ASSERT_EQ(previewed.size(), 3u) << "price and promotion files, and the one-file layout's";

  ASSERT_EQ(store.Cycle(), cycle::CycleOutcome::kOfferDeactivated);
  const std::map<std::string, std::string> files = store.Files();
  std::map<std::string, std::string> written;
  for (const auto& [name, bytes] : LabelFiles(files, "c/sulvo/")) {
    if (name.starts_with("Import_")) {
      written[name.substr(0, name.find_first_of("0123456789"))] = bytes;
    }
  }
  for (const auto& [name, bytes] : LabelFiles(files, "c/sulvo/esl/")) {
    written[name.substr(0, name.find_first_of("0123456789"))] = bytes;
  }
  EXPECT_EQ(written, previewed);

  // The rows the preview said were restored are; the others are as they were.
  std::vector<std::string> restored;
  for (const PreviewedRow& row : offer.rows) {
    if (row.outcome == PreviewedRow::Outcome::kRestored) {
      restored.push_back(std::to_string(row.article));
    }
  }
  EXPECT_THAT(restored, testing::ElementsAre("1010", "1011"));
  EXPECT_THAT(store.Rows("SELECT codart FROM listi01 WHERE przsal = 0 ORDER BY codart"),
              testing::ElementsAre("1010", "1011"));
  EXPECT_THAT(store.Rows("SELECT stato FROM offte"), testing::ElementsAre("D"));
}

TEST(ChecksTest, PreviewOfEveryExpiredOfferInTheCyclesOrderAndItsFiles) {
  CheckedStore store(Stores(2));
  test::TempDir out;
  const CheckedStore::Outcome preview =
      store.Preview({ExampleDay(), {}}, {Language::kEnglish, 0, false}, out.path());
  EXPECT_EQ(preview.code, 0) << preview.out;
  const std::size_t first = preview.out.find("Offer 101/2026 \"OFFERTA 101\"");
  const std::size_t second = preview.out.find("Offer 102/2026 \"OFFERTA 102\"");
  ASSERT_NE(first, std::string::npos) << preview.out;
  ASSERT_NE(second, std::string::npos) << preview.out;
  EXPECT_LT(first, second);
  EXPECT_THAT(preview.out, HasSubstr("rows: 4, restored 2, left alone 2"));
  std::vector<std::string> names;
  for (const auto& entry : fs::recursive_directory_iterator(out.path())) {
    if (entry.is_regular_file()) {
      names.push_back(fs::relative(entry.path(), out.path()).generic_string());
    }
  }
  std::sort(names.begin(), names.end());
  EXPECT_THAT(names, testing::ElementsAre(
                         "101-2026/ESL20261207114930.txt", "101-2026/Import_PRO_20261207114930.txt",
                         "101-2026/Import_VPA_20261207114930.txt", "102-2026/ESL20261207114930.txt",
                         "102-2026/Import_PRO_20261207114930.txt",
                         "102-2026/Import_VPA_20261207114930.txt"));

  // One offer alone, whatever the day.
  const CheckedStore::Outcome one = store.Preview({std::nullopt, {{102, 2026}}});
  EXPECT_EQ(one.code, 0);
  EXPECT_THAT(one.out, Not(HasSubstr("Offerta 101/2026")));
  EXPECT_THAT(one.out, HasSubstr("Offerta 102/2026"));
  const CheckedStore::Outcome missing = store.Preview({std::nullopt, {{7, 2026}}});
  EXPECT_EQ(missing.code, 2);
  EXPECT_THAT(missing.out, HasSubstr("ERRORE : offerta 7/2026 non trovata in offte"));
}

TEST(ChecksTest, NoCompanyDatabase) {
  CheckedStore store(Stores(), /*company=*/false);
  const Checked checked = RunEveryCheck(store);
  EXPECT_EQ(checked.status.code, 2);
  EXPECT_THAT(checked.status.out,
              HasSubstr("CRITICAL: database aziendale C:\\dorn\\sulvo.mdb non trovato"));
  EXPECT_EQ(checked.preview.code, 2);
  EXPECT_THAT(checked.preview.out, HasSubstr("ERRORE : FILE c:\\dorn\\sulvo.mdb NON ESISTE"));
  EXPECT_EQ(checked.audit.code, 2);
  EXPECT_THAT(checked.audit.out, HasSubstr("ERRORE : FILE c:\\dorn\\sulvo.mdb NON ESISTE"));
  EXPECT_TRUE(store.env().message_boxes.empty()) << "no message box from a check";
}

TEST(ChecksTest, FailingOffer) {
  CheckedStore store(Stores(2) + "UPDATE offmo SET eanrig = NULL WHERE briga = 1011;");
  ASSERT_EQ(store.Cycle(), cycle::CycleOutcome::kError);
  const Checked checked = RunEveryCheck(store, OnExampleDay());
  EXPECT_EQ(checked.status.code, 2) << checked.status.out;
  EXPECT_THAT(checked.status.out,
              HasSubstr("CRITICAL: l'offerta 101/2026 non si disattiva: offerta 101/2026 non "
                        "disattivata, modifiche annullate: offerta 101/2026, riga 3: il campo "
                        "offmo.eanrig è vuoto (Null)"));
  EXPECT_THAT(checked.status.out, HasSubstr("Offerte che non si disattivano: 1"));
  EXPECT_THAT(checked.status.out, HasSubstr("ultimo ciclo          07/12/2026-11:49:30"));
  // The preview meets the same error at the same row, after the rows before it, and goes on with
  // the offer the cycle takes next.
  EXPECT_EQ(checked.preview.code, 2);
  EXPECT_THAT(checked.preview.out, HasSubstr("righe: 2, ripristinate 1, lasciate 1\n"));
  EXPECT_THAT(checked.preview.out,
              HasSubstr("  ERRORE : offerta 101/2026 non disattivata, modifiche annullate: offerta "
                        "101/2026, riga 3: il campo offmo.eanrig è vuoto (Null)\n"));
  const std::size_t next = checked.preview.out.find("Offerta 102/2026");
  ASSERT_NE(next, std::string::npos) << checked.preview.out;
  EXPECT_THAT(checked.preview.out.substr(next),
              HasSubstr("righe: 4, ripristinate 2, lasciate 2\n"));
  EXPECT_THAT(checked.preview.out.substr(next), HasSubstr("file ESL20261207114930.txt, 3 righe"));
  EXPECT_EQ(checked.audit.code, 1);
}

TEST(ChecksTest, BrokenLabelSystem) {
  CheckedStore store(Stores(), true, /*esl_folder=*/false);
  ASSERT_EQ(store.Cycle(), cycle::CycleOutcome::kOfferDeactivated);
  const Checked checked = RunEveryCheck(store, OnExampleDay());
  EXPECT_EQ(checked.status.code, 2) << checked.status.out;
  EXPECT_THAT(checked.status.out,
              HasSubstr("CRITICAL: il sistema di etichette ESL (cartella C:\\sulvo\\esl\\) non "
                        "riceve le etichette dell'offerta 101/2026 dal 07/12/2026 11:49:30: "));
  EXPECT_THAT(checked.status.out, HasSubstr("Consegne di etichette in attesa: 2"));
  EXPECT_THAT(checked.status.out, HasSubstr("da consegnare"));
  EXPECT_EQ(checked.preview.code, 0) << "nothing expired any more";
  EXPECT_THAT(checked.preview.out, HasSubstr("Nessuna offerta scaduta da disattivare."));
  EXPECT_EQ(checked.audit.code, 1) << "the article whose promotion outlives the offer";
  EXPECT_THAT(checked.audit.out, HasSubstr("Totale: 1 da controllare."));
}

TEST(ChecksTest, WaitingHandOverIsLateOnlyAfterTheLongestWait) {
  CheckedStore store(Stores());
  ASSERT_EQ(store.Cycle(), cycle::CycleOutcome::kOfferDeactivated);
  // The scripts were not run: the files wait in the label folders.
  Checked checked = RunEveryCheck(store, OnExampleDay());
  EXPECT_EQ(checked.status.code, 0) << checked.status.out;
  EXPECT_THAT(checked.status.out, HasSubstr("Consegne di etichette in attesa: 2"));
  EXPECT_THAT(checked.status.out, HasSubstr("nella cartella, lo script non li ha presi"));

  store.env().Advance(std::chrono::minutes{16});
  checked = RunEveryCheck(store, OnExampleDay());
  EXPECT_EQ(checked.status.code, 1) << checked.status.out;
  EXPECT_THAT(checked.status.out,
              HasSubstr("WARNING: le etichette dell'offerta 101/2026 per il sistema ESL "
                        "(cartella C:\\sulvo\\esl\\) aspettano dal 07/12/2026 11:49:30"));

  std::ostringstream json;
  StatusCommand(store.env(), store.engine_options(), OnExampleDay(), {Language::kEnglish, 50, true},
                json);
  EXPECT_THAT(json.str(), HasSubstr("{\"code\":1,\"state\":\"WARNING\""));
  EXPECT_THAT(json.str(), HasSubstr("\"waiting_deliveries\":[{\"label_system\":\"a due file "
                                    "Import_VPA/Import_PRO (cartella C:\\\\sulvo\\\\)\","
                                    "\"offer\":\"101/2026\",\"since\":\"2026-12-07T11:49:30\","
                                    "\"in_folder\":true,\"reason\":null}"));
}

// The newest run log by the day in its name, however old: a zav5 writes into the log of the day
// it started. A delivery record that cannot be read keeps its labels from ever going out.
TEST(ChecksTest, NewestRunLogAndUnreadableDeliveryRecords) {
  CheckedStore store(Stores());
  const fs::path bkp = store.C() / "sulvo" / "bkp";
  const auto write = [](const fs::path& path, std::string_view bytes) {
    std::ofstream(path, std::ios::binary) << bytes;
  };
  write(bkp / "logzav3_31122025.txt", "31/12/2025-10:00:00- Inizio elaborazione \r\n");
  write(bkp / "logzav3_01082026.txt",
        "01/08/2026-09:00:00- Inizio elaborazione \r\n"
        "ERRORE : offerta 101/2026 non disattivata, modifiche annullate: motivo\r\n");
  write(bkp / "logzav3_2082026.txt", "02/08/2026-09:00:00- Inizio elaborazione \r\n");
  fs::create_directories(store.C() / "dorn" / "zav5" / "consegne");
  write(store.C() / "dorn" / "zav5" / "consegne" / "00000007.consegna", "non un registro");

  const CheckedStore::Outcome status = store.Status(OnExampleDay());
  EXPECT_EQ(status.code, 2) << status.out;
  EXPECT_THAT(status.out,
              HasSubstr("registro              C:\\sulvo\\bkp\\logzav3_01082026.txt\n"));
  EXPECT_THAT(status.out, HasSubstr("ultimo ciclo          01/08/2026-09:00:00"));
  EXPECT_THAT(status.out, HasSubstr("CRITICAL: l'offerta 101/2026 non si disattiva: offerta "
                                    "101/2026 non disattivata, modifiche annullate: motivo"));
  EXPECT_THAT(status.out,
              HasSubstr("CRITICAL: un registro di consegna delle etichette non si legge, le sue "
                        "etichette non partono: C:\\dorn\\zav5\\consegne\\00000007.consegna: "));
}

// An article whose promotion was entered narrower than its offer stays on it when the offer is
// deactivated: the case the price check is for, beside a promotion that ended without an offer
// and an offer row whose article is missing.
TEST(ChecksTest, AuditListsEachKindSortedWithATotal) {
  const std::int32_t today = ExampleDayNumber();
  CheckedStore store(
      Stores() + cycle::Offer(201, today + 1, today + 10) +
      "INSERT INTO offmo (bnumer, bannoc, briga, eanrig, articoli, sconto, stato, bflag2) "
      "VALUES (201, 2026, 1, '9999999999998', 2999, 10, 'A', NULL);" +
      cycle::OfferArticleRows(3001, 301, today - 10, today - 3) +
      cycle::OfferArticleRows(3000, 301, today - 10, today - 3));
  ASSERT_EQ(store.Cycle(), cycle::CycleOutcome::kOfferDeactivated);
  const std::map<std::string, std::string> before = store.Files();
  const CheckedStore::Outcome audit = store.Audit({Language::kEnglish, 0, false});
  EXPECT_EQ(store.Files(), before);
  EXPECT_EQ(audit.code, 1) << audit.out;
  EXPECT_EQ(audit.out,
            "Price check: a report only, nothing was changed.\n"
            "\n"
            "Articles still on a promotion whose last day has passed: 2\n"
            "  article  description    regular price  promotional price  promotion              "
            "offer     offer state\n"
            "     3000  ARTICOLO 3000           1,99               1,50  27/11/2026-04/12/2026  "
            "301/2026\n"
            "     3001  ARTICOLO 3001           1,99               1,50  27/11/2026-04/12/2026  "
            "301/2026\n"
            "\n"
            "Articles still on a promotion whose offer is already deactivated: 1\n"
            "  article  description    regular price  promotional price  promotion              "
            "offer     offer state\n"
            "     1012  ARTICOLO 1012           1,99               1,50  17/11/2026-16/12/2026  "
            "101/2026  D\n"
            "\n"
            "Rows of active offers whose article is not in the price list: 1\n"
            "  article  EAN            offer\n"
            "     2999  9999999999998  201/2026\n"
            "\n"
            "Total: 4 to check.\n");
}

#ifndef _WIN32
TEST(ChecksTest, LockedDatabase) {
  if (test::TestsRunOnOdbc()) {
    GTEST_SKIP() << "the busy timeout of a SQLite file opened directly";
  }
  CheckedStore store(Stores());
  store.engine_options().lock_wait = std::chrono::milliseconds{200};
  {
    // Another program writes: the checks still read, the preview cannot take the write lock.
    test::OtherProgram writer(store.Store(), "BEGIN IMMEDIATE; UPDATE offte SET stato = stato");
    ASSERT_TRUE(writer.Lock());
    const Checked checked = RunEveryCheck(store, OnExampleDay());
    EXPECT_EQ(checked.status.code, 1) << checked.status.out;
    EXPECT_EQ(checked.preview.code, 2);
    EXPECT_THAT(checked.preview.out, HasSubstr("bloccato"));
    EXPECT_EQ(checked.audit.code, 1);
  }
  {
    // Nobody can read: the status cannot tell.
    test::OtherProgram exclusive(store.Store(), "BEGIN EXCLUSIVE; UPDATE offte SET stato = stato");
    ASSERT_TRUE(exclusive.Lock());
    const Checked checked = RunEveryCheck(store, OnExampleDay());
    EXPECT_EQ(checked.status.code, 3) << checked.status.out;
    EXPECT_THAT(checked.status.out, HasSubstr("UNKNOWN"));
    EXPECT_EQ(checked.preview.code, 2);
    EXPECT_EQ(checked.audit.code, 2);
    EXPECT_THAT(checked.audit.out, HasSubstr("ERRORE : "));
  }
}

TEST(ChecksTest, RunningProgramIsSeenThroughItsLockWithoutTakingIt) {
  CheckedStore store(Stores());
  const std::unique_ptr<platform::FileLock> lock = store.env().LockFile("C:\\dorn\\zav5.lck");
  ASSERT_NE(lock, nullptr);
  EXPECT_THAT(store.Status(OnExampleDay()).out, HasSubstr("zav5 in esecuzione    sì"));
}
#endif

}  // namespace
}  // namespace zav5::checks

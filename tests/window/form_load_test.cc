// Loading the window runs start-up against real database files: each way start-up can end, what the
// log then holds, and the settings it loads.

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "data/database.h"
#include "startup/run_startup.h"
#include "support/test_engine_options.h"
#include "support/test_store.h"
#include "window/form1.h"

namespace zav5::startup {
namespace {

using testing::ElementsAre;
using testing::HasSubstr;
using testing::StartsWith;

constexpr const char* kCompany =
    "INSERT INTO società VALUES (1, 'DEMO SRL', 'C:\\sulvo\\neg01\\dati.mdb');"
    "INSERT INTO inizio VALUES (1, 'AVVIO');";
constexpr const char* kStoreRows =
    "INSERT INTO utenti (codutente, nrpos, artico, chiusura, fid_rep, Flag_CF) "
    "VALUES (1, 6, 'SI', 'N', ' 12.5 reparto', 'S');"
    "INSERT INTO automa VALUES (1, 'CASELLE 3,4');"
    "INSERT INTO pv VALUES (7, 'CENTRO', '1');"
    "INSERT INTO pv VALUES (8, 'MAGAZZINO', '0');";

class StartupTest : public testing::Test {
 protected:
  window::Form1& Load() {
    form_ = std::make_unique<window::Form1>(store_.env(), test::TestEngineOptions());
    form_->Form_Load();
    return *form_;
  }
  ContestoNegozio& StoreContext() { return form_->StoreContext(); }

  test::TestStore store_;
  std::unique_ptr<window::Form1> form_;
};

TEST_F(StartupTest, CompleteStartUpLogsEveryLineAndLoadsTheSettings) {
  store_.CreateCompanyDatabase(kCompany);
  store_.CreateStoreDatabase("sulvo/neg01/dati.mdb", kStoreRows);

  window::Form1& form = Load();

  EXPECT_EQ(form.LastStartup(), StartupOutcome::kComplete);
  EXPECT_THAT(store_.LogLines(),
              ElementsAre("07/12/2026-11:49:30- Avvio programma",
                          "07/12/2026-11:49:30- Apro DB  C:\\sulvo\\neg01\\dati.mdb",
                          "07/12/2026-11:49:30- Apro DB  C:\\sulvo\\neg01\\vendite.mdb",
                          "07/12/2026-11:49:30- Apro DB  c:\\dorn\\sulvo.mdb", "DB OK  ",
                          "CONTROLLO DB SULVO OK", "07/12/2026-11:49:30- Controllo  DB  OK",
                          "CONTROLLO COLLEGAMENTO CASSE",
                          "07/12/2026-11:49:30- Controllo  collegamento casse"));
  const ContestoNegozio& c = StoreContext();
  EXPECT_EQ(c.PercorsoLog, "C:\\sulvo\\bkp\\logzav3_07122026.txt");
  EXPECT_EQ(c.CodiceSocieta, 1);
  EXPECT_EQ(c.LetteraUnita.str(), "c");
  EXPECT_EQ(c.CartellaDati, "C:\\sulvo\\neg01\\");
  EXPECT_EQ(c.PercorsoDati, "C:\\SULVO\\NEG01\\DATI.MDB");
  EXPECT_EQ(c.PercorsoVendite, "C:\\sulvo\\neg01\\vendite.mdb");
  EXPECT_EQ(c.PercorsoFidel, "C:\\sulvo\\neg01\\fidel.mdb");
  EXPECT_EQ(c.NumeroPos, 6);
  EXPECT_EQ(c.FlagArtico.str(), "S");
  EXPECT_EQ(c.FlagChiusura.str(), "N");
  EXPECT_EQ(c.RepartoFid, 12);  // 12.5 rounds to the even neighbour
  EXPECT_TRUE(c.FlagCF);
  EXPECT_EQ(c.EscludoCaselle, "CASELLE 3,4");
  EXPECT_EQ(c.CodicePv, 7);
  EXPECT_EQ(c.ContatoreCicli, 1);
  EXPECT_EQ(form.nrposw(), "6");
  EXPECT_TRUE(store_.env().message_boxes.empty());
  // The log stays open for the processing cycle.
  EXPECT_TRUE(form.Log().IsOpen());
}

TEST_F(StartupTest, LogLinesAreCp1252WithCrLf) {
  store_.CreateCompanyDatabase(kCompany);
  store_.CreateStoreDatabase("sulvo/neg01/dati.mdb", kStoreRows);
  Load();
  const std::string bytes = store_.LogBytes();
  EXPECT_THAT(bytes, StartsWith("07/12/2026-11:49:30- Avvio programma\r\n"));
  EXPECT_EQ(bytes.substr(bytes.size() - 2), "\r\n");
}

TEST_F(StartupTest, MissingCompanyDatabaseShowsOneMessageBoxAndNothingElse) {
  window::Form1& form = Load();

  EXPECT_EQ(form.LastStartup(), StartupOutcome::kNoCompanyDatabase);
  EXPECT_THAT(store_.env().message_boxes,
              ElementsAre("ZAV5: ERRORE : FILE c:\\dorn\\sulvo.mdb NON ESISTE "));
  EXPECT_THAT(store_.LogLines(), ElementsAre("07/12/2026-11:49:30- Avvio programma"));
  EXPECT_EQ(StoreContext().PercorsoDati, "");
  EXPECT_EQ(StoreContext().ContatoreCicli, 0);
  EXPECT_EQ(form.nrposw(), "");  // keeps its design-time text
}

TEST_F(StartupTest, CompanyDatabaseIsLookedUpOnTheCurrentDrive) {
  store_.dir().MakeDir("d/dorn");
  test::TestEnv env_d(platform::DriveMap{{'C', store_.DriveC()}, {'D', store_.dir().path() / "d"}},
                      'D');
  store_.CreateCompanyDatabase(kCompany);  // on C:, not on the current drive D:
  window::Form1 form(env_d, test::TestEngineOptions());
  form.Form_Load();
  EXPECT_THAT(env_d.message_boxes,
              ElementsAre("ZAV5: ERRORE : FILE d:\\dorn\\sulvo.mdb NON ESISTE "));
}

TEST_F(StartupTest, CompanyDatabaseThatIsAFolderIsNotFound) {
  store_.dir().MakeDir("c/dorn/sulvo.mdb");
  Load();
  EXPECT_EQ(store_.env().message_boxes.size(), 1U);
}

TEST_F(StartupTest, NoCompanyRow) {
  store_.CreateCompanyDatabase("INSERT INTO società VALUES (2, 'ALTRA', 'C:\\x\\dati.mdb');");
  window::Form1& form = Load();

  EXPECT_EQ(form.LastStartup(), StartupOutcome::kCheckFailed);
  EXPECT_THAT(store_.LogLines(), ElementsAre("07/12/2026-11:49:30- Avvio programma",
                                             "ERRORE : SOCIETA CON CODICE 1 NON ESISTE "));
  EXPECT_EQ(StoreContext().PercorsoDati, "");
  EXPECT_EQ(StoreContext().ContatoreCicli, 0);
  EXPECT_EQ(form.nrposw(), "0");
}

TEST_F(StartupTest, NoStartRowKeepsTheMixedCaseStorePath) {
  store_.CreateCompanyDatabase(
      "INSERT INTO società VALUES (1, 'DEMO', 'C:\\Sulvo\\Neg01\\dati.mdb');");
  window::Form1& form = Load();

  EXPECT_THAT(store_.LogLines(),
              ElementsAre("07/12/2026-11:49:30- Avvio programma",
                          "07/12/2026-11:49:30- Apro DB  C:\\Sulvo\\Neg01\\dati.mdb",
                          "07/12/2026-11:49:30- Apro DB  C:\\Sulvo\\Neg01\\vendite.mdb",
                          "ERRORE : SOCIETA CON CODICE 1 NON ESISTE "));
  EXPECT_EQ(StoreContext().PercorsoDati, "C:\\Sulvo\\Neg01\\dati.mdb");
  EXPECT_EQ(StoreContext().ContatoreCicli, 0);
  EXPECT_EQ(form.nrposw(), "0");
}

TEST_F(StartupTest, CompanyRowGoneWhenReadAgain) {
  store_.CreateCompanyDatabase(kCompany);
  store_.CreateStoreDatabase("sulvo/neg01/dati.mdb", kStoreRows);
  // Another program deletes the company record just after the company database is logged.
  store_.env().after_write_line = [this](std::string_view line) {
    if (line.ends_with("c:\\dorn\\sulvo.mdb")) {
      store_.Sql("dorn/sulvo.mdb", "DELETE FROM società");
    }
  };
  window::Form1& form = Load();

  const auto lines = store_.LogLines();
  ASSERT_EQ(lines.size(), 5U);
  EXPECT_EQ(lines[4], "ERRORE : SOCIETA CON CODICE 1 NON ESISTE ");
  EXPECT_EQ(StoreContext().PercorsoDati, "C:\\sulvo\\neg01\\dati.mdb");
  EXPECT_EQ(StoreContext().ContatoreCicli, 0);
  EXPECT_EQ(form.nrposw(), "0");
}

TEST_F(StartupTest, MissingStoreDatabase) {
  store_.CreateCompanyDatabase(kCompany);
  window::Form1& form = Load();

  const auto lines = store_.LogLines();
  ASSERT_EQ(lines.size(), 5U);
  EXPECT_EQ(lines[3], "07/12/2026-11:49:30- Apro DB  c:\\dorn\\sulvo.mdb");
  EXPECT_EQ(lines[4], "ERRORE : DB NON ESISTE ");
  EXPECT_EQ(StoreContext().PercorsoDati, "C:\\SULVO\\NEG01\\DATI.MDB");
  EXPECT_EQ(StoreContext().ContatoreCicli, 0);
  EXPECT_EQ(form.nrposw(), "0");
}

TEST_F(StartupTest, StoreDatabaseOnANetworkShareThatIsNotMapped) {
  store_.CreateCompanyDatabase(
      "INSERT INTO società VALUES (1, 'DEMO', '\\\\srv\\sh\\dati.mdb');"
      "INSERT INTO inizio VALUES (1, 'AVVIO');");
  Load();
  const auto lines = store_.LogLines();
  ASSERT_EQ(lines.size(), 5U);
  EXPECT_EQ(lines[1], "07/12/2026-11:49:30- Apro DB  \\\\srv\\sh\\dati.mdb");
  EXPECT_EQ(lines[4], "ERRORE : DB NON ESISTE ");
  EXPECT_EQ(StoreContext().PercorsoDati, "\\\\SRV\\SH\\DATI.MDB");
}

TEST_F(StartupTest, StoreDatabaseTwelveElementsDeep) {
  store_.CreateCompanyDatabase(
      "INSERT INTO società VALUES (1, 'DEMO', 'C:\\a\\b\\c\\d\\e\\f\\g\\h\\i\\j\\k\\dati.mdb');"
      "INSERT INTO inizio VALUES (1, 'AVVIO');");
  store_.CreateStoreDatabase("a/b/c/d/e/f/g/h/i/j/k/dati.mdb", kStoreRows);
  window::Form1& form = Load();
  EXPECT_EQ(form.LastStartup(), StartupOutcome::kComplete);
  // Only eleven elements are looked at: the folder stops before k, the store database is still
  // found under its full path.
  EXPECT_EQ(StoreContext().CartellaDati, "C:\\a\\b\\c\\d\\e\\f\\g\\h\\i\\j\\");
  EXPECT_EQ(store_.LogLines()[2],
            "07/12/2026-11:49:30- Apro DB  C:\\a\\b\\c\\d\\e\\f\\g\\h\\i\\j\\vendite.mdb");
  EXPECT_EQ(StoreContext().PercorsoDati, "C:\\A\\B\\C\\D\\E\\F\\G\\H\\I\\J\\K\\DATI.MDB");
}

TEST_F(StartupTest, StoreDatabaseIsFoundWhateverTheCaseOnDisk) {
  store_.CreateCompanyDatabase(
      "INSERT INTO società VALUES (1, 'DEMO', 'C:\\sulvo\\dati.mdb');"
      "INSERT INTO inizio VALUES (1, 'AVVIO');");
  store_.CreateStoreDatabase("SuLvO/Dati.Mdb", kStoreRows);
  window::Form1& form = Load();
  EXPECT_EQ(form.LastStartup(), StartupOutcome::kComplete);
  EXPECT_EQ(StoreContext().CartellaDati, "C:\\sulvo\\");
  EXPECT_EQ(StoreContext().PercorsoDati, "C:\\SULVO\\DATI.MDB");
}

// Failures that start-up has no check of its own for: one "ERRORE : " line that names what failed,
// and start-up ends as after the other failures.
class StartupErrorTest : public StartupTest {
 protected:
  std::string ErrorLineAfterLoading() {
    window::Form1& form = Load();
    EXPECT_EQ(form.LastStartup(), StartupOutcome::kCheckFailed);
    EXPECT_EQ(StoreContext().ContatoreCicli, 0);
    EXPECT_EQ(form.nrposw(), std::to_string(StoreContext().NumeroPos));
    const auto lines = store_.LogLines();
    EXPECT_FALSE(lines.empty());
    if (lines.empty()) {
      return {};
    }
    EXPECT_THAT(lines.back(), StartsWith("ERRORE : "));
    // Exactly one error line.
    EXPECT_EQ(std::count_if(lines.begin(), lines.end(),
                            [](const std::string& l) { return l.starts_with("ERRORE"); }),
              1);
    return lines.back();
  }
};

// An Access file goes to the Access ODBC driver, which this machine does not have (nor could it
// open a file that holds only a signature).
TEST_F(StartupErrorTest, CompanyDatabaseAccessFileThatTheDriverCannotOpen) {
  if (test::TestsRunOnOdbc()) {
    GTEST_SKIP() << "a site that routes its files through ODBC lets its driver judge them";
  }
  store_.dir().WriteFile("c/dorn/sulvo.mdb",
                         std::string("\0\1\0\0Standard Jet DB\0", 20) + std::string(2000, '\0'));
  const std::string line = ErrorLineAfterLoading();
  EXPECT_THAT(line, HasSubstr("sulvo.mdb"));
  EXPECT_THAT(line, HasSubstr("Access (Jet)"));
  EXPECT_THAT(line, HasSubstr("Microsoft Access Driver (*.mdb)"));
  EXPECT_EQ(store_.LogLines().size(), 2U);
}

TEST_F(StartupErrorTest, MissingTableInTheStoreDatabase) {
  store_.CreateCompanyDatabase(kCompany);
  test::CreateSqliteFile(store_.DriveC() / "sulvo/neg01/dati.mdb",
                         "CREATE TABLE pv (codice LONG, proprio TEXT(1));");
  EXPECT_THAT(ErrorLineAfterLoading(), HasSubstr("utenti"));
}

TEST_F(StartupErrorTest, MissingField) {
  store_.CreateCompanyDatabase(kCompany);
  test::CreateSqliteFile(store_.DriveC() / "sulvo/neg01/dati.mdb",
                         "CREATE TABLE utenti (codutente SHORT, nrpos LONG);"
                         "INSERT INTO utenti VALUES (1, 3);");
  EXPECT_THAT(ErrorLineAfterLoading(), HasSubstr("artico"));
}

TEST_F(StartupErrorTest, NullDatabaseField) {
  store_.CreateCompanyDatabase("INSERT INTO società VALUES (1, 'DEMO', NULL);");
  EXPECT_THAT(ErrorLineAfterLoading(), HasSubstr("società.database"));
  EXPECT_EQ(StoreContext().PercorsoDati, "");
}

TEST_F(StartupErrorTest, NullPointOfSaleCode) {
  store_.CreateCompanyDatabase(kCompany);
  // The point-of-sale table of some stores has no key on codice, so it can be empty.
  test::CreateSqliteFile(store_.DriveC() / "sulvo/neg01/dati.mdb",
                         "CREATE TABLE utenti (codutente SHORT, nrpos LONG, artico TEXT(1), "
                         "chiusura TEXT(1), fid_rep TEXT(10), Flag_CF TEXT(1));"
                         "CREATE TABLE automa (codice SHORT, escludocaselle TEXT(50));"
                         "CREATE TABLE pv (codice LONG, proprio TEXT(1));"
                         "INSERT INTO pv VALUES (NULL, '1');");
  EXPECT_THAT(ErrorLineAfterLoading(), HasSubstr("pv.codice"));
  // The lines up to the point-of-sale check are there.
  EXPECT_THAT(store_.LogLines(), testing::Contains("CONTROLLO DB SULVO OK"));
}

TEST_F(StartupErrorTest, SettingOutOfRange) {
  store_.CreateCompanyDatabase(kCompany);
  store_.CreateStoreDatabase(
      "sulvo/neg01/dati.mdb",
      "INSERT INTO utenti (codutente, nrpos, fid_rep) VALUES (1, 2, '99999');");
  EXPECT_THAT(ErrorLineAfterLoading(), HasSubstr("fid_rep"));
  EXPECT_EQ(StoreContext().NumeroPos, 2);  // read before the failing field
}

TEST_F(StartupTest, NullSettingsLeaveTheirFieldsAsTheyWere) {
  store_.CreateCompanyDatabase(kCompany);
  store_.CreateStoreDatabase("sulvo/neg01/dati.mdb",
                             "INSERT INTO utenti (codutente, nrpos, artico, chiusura, fid_rep, "
                             "Flag_CF) VALUES (1, NULL, '', NULL, NULL, 's');"
                             "INSERT INTO automa VALUES (1, NULL);");
  window::Form1& form = Load();
  EXPECT_EQ(form.LastStartup(), StartupOutcome::kComplete);
  EXPECT_EQ(form.nrposw(), "0");
  EXPECT_EQ(StoreContext().FlagArtico.str(), " ");  // empty text stores one blank
  EXPECT_EQ(StoreContext().FlagChiusura.str(), std::string(1, '\0'));  // never stored into
  EXPECT_FALSE(StoreContext().FlagCF);                                 // only "S" sets it
  EXPECT_EQ(StoreContext().EscludoCaselle, "");
  EXPECT_EQ(StoreContext().CodicePv, 0);  // no own point of sale
}

TEST_F(StartupTest, MissingLogFolderIsReportedOnceAndStartUpGoesOn) {
  std::filesystem::remove_all(store_.DriveC() / "sulvo" / "bkp");
  store_.CreateCompanyDatabase(kCompany);
  store_.CreateStoreDatabase("sulvo/neg01/dati.mdb", kStoreRows);
  window::Form1& form = Load();
  EXPECT_EQ(form.LastStartup(), StartupOutcome::kComplete);
  ASSERT_EQ(store_.env().warnings.size(), 1U);
  EXPECT_THAT(store_.env().warnings[0], HasSubstr("logzav3_07122026.txt"));
  EXPECT_FALSE(std::filesystem::exists(store_.DriveC() / "sulvo" / "bkp"));
}

TEST_F(StartupTest, SecondStartOnTheSameDayAppends) {
  store_.CreateCompanyDatabase(kCompany);
  store_.CreateStoreDatabase("sulvo/neg01/dati.mdb", kStoreRows);
  Load();
  form_->Form_Unload();
  const std::size_t first_run = store_.LogLines().size();
  Load();
  form_->Form_Unload();
  EXPECT_EQ(store_.LogLines().size(), 2 * first_run);
}

// The store folder from the company record's `database` value.
TEST(DataFolderFromPathTest, ElementsUpToTheStoreDatabase) {
  EXPECT_EQ(DataFolderFromPath("C:\\sulvo\\neg01\\dati.mdb", 'c'), "C:\\sulvo\\neg01\\");
  EXPECT_EQ(DataFolderFromPath("C:\\sulvo\\dati.mdb", 'c'), "C:\\sulvo\\");
  EXPECT_EQ(DataFolderFromPath("D:\\x\\DATI.MDB", 'c'), "D:\\x\\");
  EXPECT_EQ(DataFolderFromPath("D:\\x\\Dati.mdb", 'c'), "D:\\x\\");
  // Only three spellings name the store database; any other is taken for a folder.
  EXPECT_EQ(DataFolderFromPath("D:\\x\\dati.MDB", 'c'), "D:\\x\\dati.MDB\\");
  // The comparison trims blanks, the appended element keeps them.
  EXPECT_EQ(DataFolderFromPath(" C: \\ my folder \\ dati.mdb ", 'c'), " C: \\ my folder \\");
}

TEST(DataFolderFromPathTest, StoreDatabaseWithoutFolder) {
  EXPECT_EQ(DataFolderFromPath("dati.mdb", 'c'), "c:\\sulvo\\");
  EXPECT_EQ(DataFolderFromPath("   dati.mdb  ", 'e'), "e:\\sulvo\\");
  EXPECT_EQ(DataFolderFromPath("", 'c'), "c:\\sulvo\\");
}

TEST(DataFolderFromPathTest, UncPathKeepsItsEmptyElements) {
  EXPECT_EQ(DataFolderFromPath("\\\\srv\\sh\\dati.mdb", 'c'), "\\\\srv\\sh\\");
}

TEST(DataFolderFromPathTest, AtMostElevenElementsAreLookedAt) {
  // Twelve elements: the store database is the twelfth and is never reached.
  const std::string twelve = "a\\b\\c\\d\\e\\f\\g\\h\\i\\j\\k\\dati.mdb";
  EXPECT_EQ(DataFolderFromPath(twelve, 'c'), "a\\b\\c\\d\\e\\f\\g\\h\\i\\j\\k\\");
  // Fewer than eleven, none naming it: all of them.
  EXPECT_EQ(DataFolderFromPath("C:\\data\\store.db", 'c'), "C:\\data\\store.db\\");
}

}  // namespace
}  // namespace zav5::startup

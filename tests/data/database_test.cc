#include "data/database.h"

#include <filesystem>
#include <string>

#include <gtest/gtest.h>

#include "data/data_fixture.h"
#include "data/data_source.h"
#include "errors.h"

namespace zav5::data {
namespace {

using namespace std::string_literals;

constexpr std::string_view kTables = R"(
CREATE TABLE offte (numero LONG NOT NULL PRIMARY KEY, stato TEXT(1));
CREATE TABLE offmo (bnumer LONG NOT NULL, briga SHORT NOT NULL);
INSERT INTO offte VALUES (1, 'A');
INSERT INTO offmo VALUES (1, 1);
)";

const std::string kJetHeader = "\0\1\0\0Standard Jet DB\0"s + std::string(100, '\0');
const std::string kAceHeader = "\0\1\0\0Standard ACE DB\0"s + std::string(100, '\0');
const std::string kNoise = "\x13\x8a\xff\x02 not a database at all \x7f\x00\x01"s;

class DatabaseTest : public DataFixture {
 protected:
  // The message of the DatabaseError that opening `name` gives; empty when it opens.
  std::string OpenError(std::string_view name) {
    try {
      engine_.OpenDatabase(WindowsPath(name));
    } catch (const DatabaseError& error) {
      return error.what();
    }
    return {};
  }
};

TEST_F(DatabaseTest, SignatureComesFromTheFirstBytes) {
  MakeDatabase("sqlite.bin", "CREATE TABLE t (x LONG);");
  dir_.WriteFile("jet.mdb", kJetHeader);
  dir_.WriteFile("ace.accdb", kAceHeader);
  dir_.WriteFile("noise.mdb", kNoise);
  dir_.WriteFile("empty.mdb", "");
  EXPECT_EQ(ReadSignature(test::Utf8Path(Native("sqlite.bin"))), FileSignature::kSqlite);
  EXPECT_EQ(ReadSignature(test::Utf8Path(Native("jet.mdb"))), FileSignature::kJet);
  EXPECT_EQ(ReadSignature(test::Utf8Path(Native("ace.accdb"))), FileSignature::kJet);
  EXPECT_EQ(ReadSignature(test::Utf8Path(Native("noise.mdb"))), FileSignature::kUnknown);
  EXPECT_EQ(ReadSignature(test::Utf8Path(Native("empty.mdb"))), FileSignature::kEmpty);
  EXPECT_EQ(ReadSignature(test::Utf8Path(Native("missing.mdb"))), FileSignature::kUnknown);
}

TEST_F(DatabaseTest, FilesThatAreNotSqliteAreRefusedByName) {
  if (test::TestsRunOnOdbc()) {
    GTEST_SKIP() << "a site that routes its files through ODBC lets its driver judge them";
  }
  const struct {
    std::string name;
    std::string bytes;
    std::string says;
  } cases[] = {
      {"jet.mdb", kJetHeader, "Access"},
      {"noise.mdb", kNoise, "non è un database SQLite"},
      {"empty.mdb", "", "vuoto"},
      // A file that starts like SQLite but is not one: the engine refuses it at open time.
      {"broken.mdb", "SQLite format 3\0"s + std::string(200, '\xee'), "not a database"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    dir_.WriteFile(c.name, c.bytes);
    const std::string error = OpenError(c.name);
    EXPECT_NE(error.find(c.says), std::string::npos) << error;
    EXPECT_NE(error.find(WindowsPath(c.name)), std::string::npos) << error;
    EXPECT_EQ(test::ReadFile(Native(c.name)), c.bytes);  // left as it was
  }
}

#ifdef _WIN32
// A Windows program finds only the drivers of its own bitness. Wine, like a 64-bit Windows without
// Microsoft's engine, has no Access driver: the error says which build of the program has one.
TEST_F(DatabaseTest, AJetFileWithoutItsDriverSaysWhichBuildHasOne) {
  dir_.WriteFile("jet.mdb", kJetHeader);
  const std::string error = OpenError("jet.mdb");
  EXPECT_NE(error.find(sizeof(void*) == 8 ? "questo è lo zav5.exe a 64 bit; quello a 32 bit usa il "
                                            "driver che Windows ha"
                                          : "questo è lo zav5.exe a 32 bit; quello a 64 bit"),
            std::string::npos)
      << error;
}
#endif

TEST_F(DatabaseTest, MissingFileIsNotCreated) {
  const std::string error = OpenError("manca.mdb");
  EXPECT_NE(error.find("non esiste"), std::string::npos) << error;
  EXPECT_NE(error.find(WindowsPath("manca.mdb")), std::string::npos) << error;
  EXPECT_FALSE(std::filesystem::exists(Native("manca.mdb")));

  dir_.MakeDir("cartella.mdb");
  EXPECT_FALSE(OpenError("cartella.mdb").empty());
}

TEST_F(DatabaseTest, UnmappedDriveIsADatabaseError) {
  try {
    engine_.OpenDatabase("Q:\\dati.mdb");
    FAIL() << "a drive that is not mapped was opened";
  } catch (const DatabaseError& error) {
    EXPECT_NE(std::string(error.what()).find("Q:\\dati.mdb"), std::string::npos) << error.what();
  }
}

TEST_F(DatabaseTest, OneDatabasePerFile) {
  MakeDatabase("dati.mdb", kTables);
  std::shared_ptr<Database> first = engine_.OpenDatabase("C:\\dati.mdb");
  EXPECT_EQ(engine_.OpenDatabase("c:\\DATI.MDB"), first);  // the same file, spelled otherwise
  EXPECT_EQ(first->Name(), "C:\\dati.mdb");

  MakeDatabase("altro.mdb", kTables);
  EXPECT_NE(engine_.OpenDatabase("C:\\altro.mdb"), first);

  engine_.CloseAll();
  EXPECT_NE(engine_.OpenDatabase("C:\\dati.mdb"), first);
}

TEST_F(DatabaseTest, OneTransactionCoversEverySourceOfTheFile) {
  const std::string path = MakeDatabase("dati.mdb", kTables);
  DataSource offers(engine_, "Data1", "");
  DataSource lines(engine_, "Data2", "");
  offers.DatabaseName = path;
  lines.DatabaseName = path;
  offers.RecordSource = "SELECT * FROM offte WHERE numero = 1";
  lines.RecordSource = "SELECT * FROM offmo";

  std::shared_ptr<Database> database = engine_.OpenDatabase(path);
  database->BeginTrans();
  EXPECT_TRUE(database->connection().InTransaction());
  offers.Refresh();
  offers.Recordset().Edit();
  offers.Recordset().SetField("stato", Value::Text("D"));
  offers.Recordset().Update();
  lines.Refresh();
  lines.Recordset().AddNew();
  lines.Recordset().SetField("bnumer", Value::Long(1));
  lines.Recordset().SetField("briga", Value::Integer(2));
  lines.Recordset().Update();

  // Each source sees the other's work, not yet committed.
  lines.RecordSource = "SELECT * FROM offte WHERE numero = 1";
  lines.Refresh();
  EXPECT_EQ(lines.Recordset().Field("stato").AsText(), "D");
  EXPECT_EQ(ScalarOf(*database, "SELECT count(*) FROM offmo"), Value::Long(2));

  database->Rollback();
  EXPECT_FALSE(database->connection().InTransaction());
  EXPECT_EQ(ScalarOf(*database, "SELECT stato FROM offte"), Value::Text("A"));
  EXPECT_EQ(ScalarOf(*database, "SELECT count(*) FROM offmo"), Value::Long(1));

  database->BeginTrans();
  offers.Refresh();
  offers.Recordset().Edit();
  offers.Recordset().SetField("stato", Value::Text("D"));
  offers.Recordset().Update();
  database->CommitTrans();
  engine_.CloseAll();
  offers.Refresh();  // a new connection: only committed work is there
  EXPECT_EQ(offers.Recordset().Field("stato").AsText(), "D");
}

TEST(ConnectionStringTextTest, NamesTheAccessDriverOrFillsTheSitesTemplate) {
  EngineOptions access;
  EXPECT_EQ(OdbcConnectionString(access, "C:\\sulvo\\neg01\\dati.mdb"),
            "Driver={Microsoft Access Driver (*.mdb)};DBQ=C:\\sulvo\\neg01\\dati.mdb;");
  access.driver_access = "Microsoft Access Driver (*.mdb, *.accdb)";
  EXPECT_EQ(OdbcConnectionString(access, "/srv/dati.mdb"),
            "Driver={Microsoft Access Driver (*.mdb, *.accdb)};DBQ=/srv/dati.mdb;");

  EngineOptions sito;
  sito.odbc_connection = "Driver=SQLite3;Database={path};Timeout=5000;";
  EXPECT_EQ(OdbcConnectionString(sito, "/srv/neg01/dati.mdb"),
            "Driver=SQLite3;Database=/srv/neg01/dati.mdb;Timeout=5000;");
  sito.odbc_connection = "DSN=negozio;Dbq={path};Backup={path}.bak;";
  EXPECT_EQ(OdbcConnectionString(sito, "/a/b"), "DSN=negozio;Dbq=/a/b;Backup=/a/b.bak;");
}

TEST(ConnectionStringTextTest, APathWithConnectionStringSymbolsGoesBetweenBraces) {
  EngineOptions sito;
  sito.odbc_connection = "Driver=SQLite3;Database={path};";
  EXPECT_EQ(OdbcConnectionString(sito, "/srv/a;b/dati.mdb"),
            "Driver=SQLite3;Database={/srv/a;b/dati.mdb};");
  EXPECT_EQ(OdbcConnectionString(sito, "/srv/{x}/dati.mdb"),
            "Driver=SQLite3;Database={/srv/{x}}/dati.mdb};");
}

}  // namespace
}  // namespace zav5::data

// The till semaphores on real till databases: what each flag reads as, which flags get cleared,
// and how the two functions treat a till that cannot be read.

#include "window/semafori.h"

#include <array>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <sqlite3.h>

#include "data/data_source.h"
#include "data/database.h"
#include "errors.h"
#include "schema_texts.h"
#include "support/forwarding_connection.h"
#include "support/temp_dir.h"
#include "support/test_engine_options.h"
#include "support/test_store.h"

namespace zav5::window {
namespace {

using testing::ElementsAre;
using testing::ElementsAreArray;
using testing::HasSubstr;

constexpr const char* kTill3 = "C:\\sulvo\\cassa03\\semafori.mdb";

// Every row saved into Semafori after the till database is made is recorded in `writes`, so
// that a test sees a save even when it leaves the value as it was.
constexpr const char* kWriteLog =
    "CREATE TABLE scritture (azione TEXT, valore);"
    "CREATE TRIGGER registra_modifica AFTER UPDATE ON Semafori "
    "BEGIN INSERT INTO scritture VALUES ('modifica', NEW.Flag1); END;"
    "CREATE TRIGGER registra_aggiunta AFTER INSERT ON Semafori "
    "BEGIN INSERT INTO scritture VALUES ('aggiunta', NEW.Flag1); END;"
    "CREATE TRIGGER registra_cancellazione AFTER DELETE ON Semafori "
    "BEGIN INSERT INTO scritture VALUES ('cancellazione', OLD.Flag1); END;";

// "INSERT INTO Semafori VALUES (f);" for each flag, in order.
std::string QueryRows(const std::vector<std::string>& flags) {
  std::string sql;
  for (const std::string& flag : flags) {
    sql += "INSERT INTO Semafori VALUES (" + flag + ");";
  }
  return sql;
}

class SemaforiTest : public testing::Test {
 protected:
  SemaforiTest() { till_paths_[3] = kTill3; }

  // The file of a till database under drive C:, from its path under C:\.
  std::filesystem::path File(std::string_view path) const {
    std::string relativo(path.substr(3));
    for (char& c : relativo) {
      if (c == '\\') {
        c = '/';
      }
    }
    return store_.DriveC() / relativo;
  }

  // Makes the till database at `path` from the project's DDL with `rows`, and records every
  // later write to Semafori.
  void CreateTill(std::string_view path, const std::string& rows) {
    test::CreateSqliteFile(File(path), schema::k_cassa, rows + kWriteLog);
  }

  // The rows of `sql` on the database at `path`, read through a connection of the test's own:
  // the first column of each row as SQLite gives it as text.
  std::vector<std::string> ReadAll(std::string_view path, const std::string& sql) const {
    sqlite3* db = nullptr;
    const std::string file = File(path).string();
    if (sqlite3_open_v2(test::Utf8Path(file).c_str(), &db, SQLITE_OPEN_READONLY, nullptr) !=
        SQLITE_OK) {
      sqlite3_close(db);
      throw std::runtime_error("cannot open " + file);
    }
    sqlite3_stmt* statement = nullptr;
    if (sqlite3_prepare_v2(db, sql.c_str(), -1, &statement, nullptr) != SQLITE_OK) {
      const std::string message = sqlite3_errmsg(db);
      sqlite3_close(db);
      throw std::runtime_error(sql + ": " + message);
    }
    std::vector<std::string> rows;
    while (sqlite3_step(statement) == SQLITE_ROW) {
      const unsigned char* text = sqlite3_column_text(statement, 0);
      rows.emplace_back(text == nullptr ? "<null>" : reinterpret_cast<const char*>(text));
    }
    sqlite3_finalize(statement);
    sqlite3_close(db);
    return rows;
  }

  // Each flag of a till as "type:value", in table order.
  std::vector<std::string> Flags(std::string_view path = kTill3) const {
    return ReadAll(path,
                   "SELECT typeof(Flag1) || ':' || quote(Flag1) FROM Semafori ORDER BY rowid");
  }
  // The writes to a till's Semafori since it was made, as "action:value".
  std::vector<std::string> Writes(std::string_view path = kTill3) const {
    return ReadAll(path, "SELECT azione || ':' || quote(valore) FROM scritture ORDER BY rowid");
  }

  test::TestStore store_;
  data::DbEngine engine_{store_.env(), test::TestEngineOptions()};
  data::DataSource semafori_{engine_, "Semafori", "Data2"};
  std::array<std::string, 11> till_paths_;
  Tills tills_{store_.env(), till_paths_, semafori_};
};

// The flags of a till's rows: what LeggiSemaforo says, and what AzzeraSemaforo leaves. Only the
// first row counts, and only the first row is ever changed.
struct FlagCase {
  std::vector<std::string> flags;
  std::int16_t read_result;        // LeggiSemaforo's result
  std::vector<std::string> after;  // the table after AzzeraSemaforo
  std::vector<std::string> saved;  // the saves AzzeraSemaforo made
};

// For the test's name in listings: the flags of the rows.
void PrintTo(const FlagCase& caso, std::ostream* out) {
  *out << "flags";
  for (const std::string& flag : caso.flags) {
    *out << ' ' << flag;
  }
}

class FlagTest : public SemaforiTest, public testing::WithParamInterface<FlagCase> {};

TEST_P(FlagTest, ReadThenClear) {
  const FlagCase& caso = GetParam();
  CreateTill(kTill3, QueryRows(caso.flags));
  const std::vector<std::string> prima = Flags();

  EXPECT_EQ(LeggiSemaforo(tills_, 3), caso.read_result);
  EXPECT_EQ(Flags(), prima);
  EXPECT_THAT(Writes(), ElementsAre()) << "reading never saves";

  EXPECT_EQ(AzzeraSemaforo(tills_, 3), 0);
  EXPECT_THAT(Flags(), ElementsAreArray(caso.after));
  EXPECT_THAT(Writes(), ElementsAreArray(caso.saved));
  EXPECT_THAT(store_.env().message_boxes, ElementsAre());
}

INSTANTIATE_TEST_SUITE_P(
    Semafori, FlagTest,
    testing::Values(
        // Free: cleared, and 0 is saved again even though it is 0 already.
        FlagCase{{"0"}, 0, {"integer:0"}, {"modifica:0"}},
        FlagCase{{"2"}, 0, {"integer:0"}, {"modifica:0"}},
        // Busy: the integer 1, and the flag stays as it is.
        FlagCase{{"1"}, 1, {"integer:1"}, {}}, FlagCase{{"3"}, 1, {"integer:3"}, {}},
        FlagCase{{"-1"}, 1, {"integer:-1"}, {}}, FlagCase{{"32767"}, 1, {"integer:32767"}, {}},
        FlagCase{{"-32768"}, 1, {"integer:-32768"}, {}},
        // Several rows.
        FlagCase{{"2", "5", "2"}, 0, {"integer:0", "integer:5", "integer:2"}, {"modifica:0"}},
        FlagCase{{"1", "0"}, 1, {"integer:1", "integer:0"}, {}},
        FlagCase{{"0", "1"}, 0, {"integer:0", "integer:1"}, {"modifica:0"}},
        FlagCase{{"3", "2", "2"}, 1, {"integer:3", "integer:2", "integer:2"}, {}}));

// Forwards to the engine's connection and runs `prima_della_rilettura` once, just before the
// first row is read again (the moment between AzzeraSemaforo's read and its edit).
class ContendedReread : public test::ForwardingConnection {
 public:
  ContendedReread(std::unique_ptr<data::Connection> inner, std::function<void()> prima)
      : ForwardingConnection(std::move(inner)), before_reread_(std::move(prima)) {}

  std::optional<data::Row> Fetch(std::string_view table, const data::RowKey& key) override {
    if (before_reread_) {
      std::exchange(before_reread_, nullptr)();
    }
    return ForwardingConnection::Fetch(table, key);
  }

 private:
  std::function<void()> before_reread_;
};

TEST_F(SemaforiTest, ATillThatTurnsBusyBeforeTheEditKeepsItsFlag) {
  CreateTill(kTill3, QueryRows({"2"}));
  data::EngineOptions engine_options = test::TestEngineOptions();
  engine_options.wrap_connection = [this](std::unique_ptr<data::Connection> connection) {
    return std::make_unique<ContendedReread>(std::move(connection), [this] {
      // The till takes its flag through a connection of its own.
      sqlite3* db = nullptr;
      ASSERT_EQ(sqlite3_open(test::Utf8Path(File(kTill3)).c_str(), &db), SQLITE_OK);
      sqlite3_busy_timeout(db, 5000);
      EXPECT_EQ(sqlite3_exec(db, "UPDATE Semafori SET Flag1 = 1", nullptr, nullptr, nullptr),
                SQLITE_OK);
      sqlite3_close(db);
    });
  };
  data::DbEngine engine(store_.env(), engine_options);
  data::DataSource semafori(engine, "Semafori", "Data2");
  Tills casse{store_.env(), till_paths_, semafori};

  EXPECT_EQ(AzzeraSemaforo(casse, 3), 0);

  EXPECT_THAT(Flags(), ElementsAre("integer:1"));
  EXPECT_THAT(Writes(), ElementsAre("modifica:1"));  // the till's own, and no other
}

TEST_F(SemaforiTest, EmptyTableTellsTheOperatorAndWritesNothing) {
  CreateTill(kTill3, "");

  EXPECT_EQ(LeggiSemaforo(tills_, 3), 0);
  EXPECT_EQ(AzzeraSemaforo(tills_, 3), 0);

  EXPECT_THAT(store_.env().message_boxes, ElementsAre("ZAV5: Semaforo cassa 3 non inizializzato!",
                                                      "ZAV5: Semaforo cassa 3 non inizializzato!"));
  EXPECT_THAT(Flags(), ElementsAre());
  EXPECT_THAT(Writes(), ElementsAre());
}

// Tills 0 and 10 are the first and the last with an entry.
TEST_F(SemaforiTest, TillsZeroAndTenAreReached) {
  constexpr const char* kCassa0 = "C:\\sulvo\\cassa00\\semafori.mdb";
  constexpr const char* kCassa10 = "C:\\sulvo\\cassa10\\semafori.mdb";
  CreateTill(kCassa0, QueryRows({"7"}));
  CreateTill(kCassa10, "");
  till_paths_[0] = kCassa0;
  till_paths_[10] = kCassa10;

  EXPECT_EQ(LeggiSemaforo(tills_, 0), 1);
  EXPECT_EQ(LeggiSemaforo(tills_, 10), 0);
  EXPECT_EQ(AzzeraSemaforo(tills_, 10), 0);
  EXPECT_THAT(store_.env().message_boxes,
              ElementsAre("ZAV5: Semaforo cassa 10 non inizializzato!",
                          "ZAV5: Semaforo cassa 10 non inizializzato!"));
}

TEST_F(SemaforiTest, TillNumberWithoutAnEntry) {
  CreateTill(kTill3, QueryRows({"2"}));
  for (const std::int16_t cassa :
       {std::int16_t{11}, std::int16_t{-1}, std::int16_t{32767}, std::int16_t{-32768}}) {
    SCOPED_TRACE(cassa);
    try {
      LeggiSemaforo(tills_, cassa);
      ADD_FAILURE() << "LeggiSemaforo did not throw";
    } catch (const RangeError& error) {
      EXPECT_THAT(error.what(), HasSubstr("cassa " + std::to_string(cassa) + " "));
    }
    EXPECT_EQ(AzzeraSemaforo(tills_, cassa), 0);
  }
  EXPECT_THAT(store_.env().message_boxes, ElementsAre());
  EXPECT_THAT(Writes(), ElementsAre());
}

// A till whose flag cannot be reached: LeggiSemaforo passes the engine's error on, AzzeraSemaforo
// says nothing and returns 0.
struct UnreachableCase {
  std::string name;
  std::string path;  // entry 3 of the till paths
  std::string ddl;   // the file made at that path; none when empty
};

void PrintTo(const UnreachableCase& caso, std::ostream* out) {
  *out << caso.name;
}

class UnreachableTillTest : public SemaforiTest,
                            public testing::WithParamInterface<UnreachableCase> {};

TEST_P(UnreachableTillTest, ReadFailsClearIsSilent) {
  const UnreachableCase& caso = GetParam();
  till_paths_[3] = caso.path;
  if (!caso.ddl.empty()) {
    test::CreateSqliteFile(File(caso.path), caso.ddl);
  }

  EXPECT_THROW(LeggiSemaforo(tills_, 3), DatabaseError);
  EXPECT_EQ(AzzeraSemaforo(tills_, 3), 0);
  EXPECT_THAT(store_.env().message_boxes, ElementsAre());
}

INSTANTIATE_TEST_SUITE_P(
    Semafori, UnreachableTillTest,
    testing::Values(UnreachableCase{"EmptyEntry", "", ""},
                    UnreachableCase{"MissingFile", "C:\\sulvo\\cassa03\\assente.mdb", ""},
                    UnreachableCase{"NoTable", kTill3, "CREATE TABLE altro (Flag1 SHORT);"},
                    UnreachableCase{"NoField", kTill3,
                                    "CREATE TABLE Semafori (Flag2 SHORT); INSERT INTO Semafori "
                                    "VALUES (2);"}),
    [](const testing::TestParamInfo<UnreachableCase>& info) { return info.param.name; });

// A flag that is not a number: an error for LeggiSemaforo, left alone by AzzeraSemaforo.
TEST_F(SemaforiTest, FlagThatIsNotANumber) {
  till_paths_[4] = "C:\\sulvo\\cassa04\\semafori.mdb";
  CreateTill(till_paths_[3], QueryRows({"NULL"}));
  CreateTill(till_paths_[4], QueryRows({"'abc'"}));
  for (const std::int16_t cassa : {std::int16_t{3}, std::int16_t{4}}) {
    SCOPED_TRACE(cassa);
    const std::string& path = till_paths_[static_cast<std::size_t>(cassa)];
    const std::vector<std::string> prima = Flags(path);

    EXPECT_THROW(LeggiSemaforo(tills_, cassa), ConversionError);
    EXPECT_EQ(AzzeraSemaforo(tills_, cassa), 0);
    EXPECT_EQ(Flags(path), prima);
    EXPECT_THAT(Writes(path), ElementsAre());
  }
  EXPECT_THAT(store_.env().message_boxes, ElementsAre());
}

// Each function binds the data source with its own query text and hides it; the till database
// stays open there for the window.
TEST_F(SemaforiTest, DataSourceIsBoundHiddenWithEachQuery) {
  CreateTill(kTill3, QueryRows({"1"}));

  semafori_.Visible = true;
  LeggiSemaforo(tills_, 3);
  EXPECT_EQ(semafori_.DatabaseName, kTill3);
  EXPECT_EQ(semafori_.RecordSource, "SELECT * FROM Semafori ");
  EXPECT_FALSE(semafori_.Visible);

  semafori_.Visible = true;
  semafori_.RecordSource.clear();
  AzzeraSemaforo(tills_, 3);
  EXPECT_EQ(semafori_.DatabaseName, kTill3);
  EXPECT_EQ(semafori_.RecordSource, "SELECT * FROM Semafori");
  EXPECT_FALSE(semafori_.Visible);
  EXPECT_EQ(semafori_.Recordset().Field("Flag1").ToInteger(), 1);
}

}  // namespace
}  // namespace zav5::window

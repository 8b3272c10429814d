#include "data/sqlite/sqlite_connection.h"

#include <chrono>
#include <cmath>
#include <filesystem>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "data/data_fixture.h"
#include "data/recordset.h"
#include "data/table_cursor.h"
#include "errors.h"

namespace zav5::data {
namespace {

using namespace std::chrono_literals;
using namespace std::string_literals;

// --- The connection on a real file ---------------------------------------------------------------

constexpr std::string_view kKinds = R"(
CREATE TABLE "società" (
  codute     SHORT NOT NULL PRIMARY KEY,
  nrpos      LONG,
  quaco      DOUBLE,
  przpub     CURRENCY,
  data1      DATETIME,
  attivo     YESNO,
  nome       TEXT(30),
  note       MEMO,
  "prezzo ""netto"""  CURRENCY,
  libero
);
CREATE VIEW attive AS SELECT * FROM "società" WHERE attivo <> 0;
)";

class SqliteConnectionTest : public DataFixture {
 protected:
  void SetUp() override {
    path_ = MakeDatabase("dati.mdb", kKinds);
    database_ = engine_.OpenDatabase(path_);
  }

  // Adds a row with codute `id` and `field` = `value`, then reads the field back through a new
  // query.
  Value RoundTrip(std::int16_t id, std::string_view field, const Value& value) {
    {
      Recordset rs(database_, "SELECT * FROM società WHERE codute = 0");
      rs.AddNew();
      rs.SetField("codute", Value::Integer(id));
      rs.SetField(field, value);
      rs.Update();
    }
    Recordset rs(database_, "select * from società where codute = " + std::to_string(id) + " ");
    EXPECT_FALSE(rs.Eof());
    return rs.Eof() ? Value() : rs.Field(field);
  }

  Value Stored(std::string_view sql) { return ScalarOf(*database_, sql); }

  std::string path_;
  std::shared_ptr<Database> database_;
};

TEST_F(SqliteConnectionTest, EveryKindRoundTrips) {
  EXPECT_EQ(RoundTrip(1, "codute", Value::Integer(1)), Value::Integer(1));
  EXPECT_EQ(RoundTrip(2, "nrpos", Value::Long(-2000000000)), Value::Long(-2000000000));
  EXPECT_EQ(RoundTrip(3, "quaco", Value::Double(0.1)), Value::Double(0.1));
  EXPECT_EQ(RoundTrip(4, "przpub", Value::Money(Currency{12345678})),
            Value::Money(Currency{12345678}));  // 1234.5678
  EXPECT_EQ(RoundTrip(5, "przpub", Value::Money(Currency{-1})), Value::Money(Currency{-1}));
  EXPECT_EQ(RoundTrip(6, "przpub", Value::Money(Currency{70000})), Value::Money(Currency{70000}));
  EXPECT_EQ(RoundTrip(7, "data1", Value::Day(Date{0})), Value::Day(Date{0}));
  EXPECT_EQ(RoundTrip(8, "data1", Value::Day(Date{-1.25})), Value::Day(Date{-1.25}));
  EXPECT_EQ(RoundTrip(9, "data1", Value::Day(Date{45292.5})), Value::Day(Date{45292.5}));
  EXPECT_EQ(RoundTrip(10, "attivo", Value::Boolean(true)), Value::Boolean(true));
  EXPECT_EQ(RoundTrip(11, "attivo", Value::Boolean(false)), Value::Boolean(false));
  EXPECT_EQ(RoundTrip(12, "nome", Value::Text(std::string(30, '\0'))),
            Value::Text(std::string(30, '\0')));
  EXPECT_EQ(RoundTrip(13, "nome", Value::Text("l'offerta \"extra\"")),
            Value::Text("l'offerta \"extra\""));
  EXPECT_EQ(RoundTrip(14, "note", Value::Text(std::string(5000, 'n'))),
            Value::Text(std::string(5000, 'n')));
  EXPECT_EQ(RoundTrip(15, "prezzo \"netto\"", Value::Money(Currency{5})),
            Value::Money(Currency{5}));
  EXPECT_EQ(RoundTrip(16, "nome", Value::Null()), Value::Null());
  EXPECT_EQ(RoundTrip(17, "libero", Value::Text("qualsiasi")), Value::Text("qualsiasi"));
}

TEST_F(SqliteConnectionTest, StoredFormsSuitTheProgramsQueries) {
  RoundTrip(1, "data1", Value::Day(Date{45291.75}));
  RoundTrip(2, "attivo", Value::Boolean(true));
  RoundTrip(3, "nome", Value::Text(std::string(30, '\0')));
  EXPECT_EQ(Stored("SELECT typeof(data1) FROM società WHERE codute = 1"), Value::Text("real"));
  EXPECT_EQ(Stored("SELECT count(*) FROM società WHERE data1 < 45292"), Value::Long(1));
  EXPECT_EQ(Stored("SELECT attivo + 0 FROM società WHERE codute = 2"), Value::Long(-1));
  EXPECT_EQ(Stored("SELECT length(CAST(nome AS BLOB)) FROM società WHERE codute = 3"),
            Value::Long(30));
}

TEST_F(SqliteConnectionTest, ValuesOtherProgramsStoredAreReadByTheColumnsKind) {
  database_->connection().Execute(R"(
    INSERT INTO società (codute, nrpos, quaco, przpub, data1, attivo, nome, note, libero)
      VALUES (70, 70000, 3, 12, '2024-01-01', 2, 123, 45, 7);
    INSERT INTO società (codute, nrpos, data1, note, libero)
      VALUES (71, 5000000000, '1899-12-29 06:00:00', 'testo', 2.5);
    INSERT INTO società (codute, nrpos, data1, libero)
      VALUES (72, 'molti', 'domani', x'414243');
    INSERT INTO società (codute, nrpos, data1, libero) VALUES (100000, 2.5, '2024-13-01', NULL);
  )");
  Recordset rs(database_, "SELECT * FROM società ORDER BY codute");
  ASSERT_FALSE(rs.Eof());
  EXPECT_EQ(rs.Field("codute"), Value::Integer(70));
  EXPECT_EQ(rs.Field("nrpos"), Value::Long(70000));
  EXPECT_EQ(rs.Field("quaco"), Value::Double(3));
  EXPECT_EQ(rs.Field("przpub"), Value::Money(Currency{120000}));
  EXPECT_EQ(rs.Field("data1"), Value::Day(Date{45292}));
  EXPECT_EQ(rs.Field("attivo"), Value::Boolean(true));
  EXPECT_EQ(rs.Field("nome"), Value::Text("123"));
  EXPECT_EQ(rs.Field("note"), Value::Text("45"));  // MEMO has numeric affinity: stored as 45
  EXPECT_EQ(rs.Field("libero"), Value::Long(7));
  EXPECT_EQ(rs.Field("quaco").Kind(), ValueKind::kDouble);
  rs.MoveNext();
  EXPECT_EQ(rs.Field("nrpos"), Value::Double(5000000000.0));  // too large for LONG: not wrapped
  EXPECT_EQ(rs.Field("data1"), Value::Day(Date{-1.25}));
  EXPECT_EQ(rs.Field("libero"), Value::Double(2.5));
  EXPECT_EQ(rs.Field("przpub"), Value::Null());
  rs.MoveNext();
  EXPECT_EQ(rs.Field("nrpos"), Value::Text("molti"));
  EXPECT_EQ(rs.Field("data1"), Value::Text("domani"));
  EXPECT_EQ(rs.Field("libero"), Value::Text("ABC"));
  rs.MoveNext();
  EXPECT_EQ(rs.Field("codute"), Value::Long(100000));  // too large for SHORT: not wrapped
  EXPECT_EQ(rs.Field("nrpos"), Value::Double(2.5));
  EXPECT_EQ(rs.Field("data1"), Value::Text("2024-13-01"));
  EXPECT_EQ(rs.Field("libero"), Value::Null());
}

// A currency column that another program filled with a float beyond the range of an amount gives
// the float back as it is; up to the last double within that range it is an amount.
TEST_F(SqliteConnectionTest, AFloatTooLargeForACurrencyColumnIsReadAsADouble) {
  database_->connection().Execute(R"(
    INSERT INTO società (codute, przpub) VALUES (1, 922337203685477.5);
    INSERT INTO società (codute, przpub) VALUES (2, 922337203685477.625);
    INSERT INTO società (codute, przpub) VALUES (3, -922337203685477.5);
    INSERT INTO società (codute, przpub) VALUES (4, -922337203685477.625);
    INSERT INTO società (codute, przpub) VALUES (5, 1e20);
    INSERT INTO società (codute, przpub) VALUES (6, -9e999);
  )");
  const std::vector<Value> expected = {
      Value::Money(Currency{9223372036854775000}),
      Value::Double(922337203685477.625),
      Value::Money(Currency{-9223372036854775000}),
      Value::Double(-922337203685477.625),
      Value::Double(1e20),
      Value::Double(-HUGE_VAL),
  };
  Recordset rs(database_, "SELECT przpub FROM società ORDER BY codute");
  for (const Value& value : expected) {
    ASSERT_FALSE(rs.Eof());
    EXPECT_EQ(rs.Field("przpub"), value) << value.ToText();
    rs.MoveNext();
  }
  EXPECT_TRUE(rs.Eof());
}

TEST_F(SqliteConnectionTest, OnlyPlainOneTableQueriesAreUpdatable) {
  Connection& connection = database_->connection();
  QueryResult plain = connection.Query("select * from SOCIETà where codute = 1 ");
  EXPECT_EQ(plain.table, "società");
  ASSERT_EQ(plain.columns.size(), 10u);  // the rowid added to the query is not a column
  EXPECT_EQ(plain.columns[0].name, "codute");
  EXPECT_EQ(plain.columns[0].kind, ColumnKind::kInteger);
  EXPECT_EQ(plain.columns[6].kind, ColumnKind::kText);
  EXPECT_EQ(plain.columns[6].size, 30u);

  EXPECT_EQ(connection.Query("SELECT * FROM attive").table, "");  // a view
  EXPECT_EQ(connection.Query("SELECT codute, nome FROM società").table, "");
  EXPECT_EQ(connection.Query("SELECT * FROM società a, società b").table, "");
}

TEST_F(SqliteConnectionTest, IndexColumnsByNameOrPrimaryKey) {
  database_->connection().Execute(R"(
    CREATE TABLE offmo (briga SHORT, bannoc SHORT, bnumer LONG, PRIMARY KEY (bnumer, bannoc));
    CREATE INDEX "Per Riga" ON offmo (briga, bnumer);
    CREATE TABLE numerata (id INTEGER PRIMARY KEY, nota TEXT(10));
    CREATE TABLE libera (nota TEXT(10));
  )");
  Connection& connection = database_->connection();
  using Names = std::vector<std::string>;
  EXPECT_EQ(connection.IndexColumns("offmo", "primary"), (Names{"bnumer", "bannoc"}));
  EXPECT_EQ(connection.IndexColumns("OFFMO", "PRIMARYKEY"), (Names{"bnumer", "bannoc"}));
  EXPECT_EQ(connection.IndexColumns("offmo", "per riga"), (Names{"briga", "bnumer"}));
  EXPECT_EQ(connection.IndexColumns("numerata", "PrimaryKey"), (Names{"id"}));
  EXPECT_THROW(connection.IndexColumns("libera", "primary"), DatabaseError);
  EXPECT_THROW(connection.IndexColumns("offmo", "altro"), DatabaseError);
  EXPECT_THROW(connection.IndexColumns("manca", "primary"), DatabaseError);
}

TEST_F(SqliteConnectionTest, EngineErrorsSayWhatWasBeingDone) {
  Connection& connection = database_->connection();
  try {
    connection.Query("SELECT * FROM offerte WHERE x = 1");
    FAIL() << "a missing table was queried";
  } catch (const DatabaseError& error) {
    const std::string text = error.what();
    EXPECT_NE(text.find("SELECT * FROM offerte WHERE x = 1"), std::string::npos) << text;
    EXPECT_NE(text.find("no such table"), std::string::npos) << text;
  }
  EXPECT_THROW(connection.Query("SELEC 1"), DatabaseError);
  EXPECT_THROW(connection.Execute("DROP TABLE manca"), DatabaseError);
  EXPECT_THROW(connection.TableColumns("manca"), DatabaseError);
  EXPECT_THROW(connection.Update("società", RowKey{999, {}}, {{"nome", Value::Text("x")}}),
               DatabaseError);
  EXPECT_THROW(connection.Delete("società", RowKey{999, {}}), DatabaseError);
  EXPECT_FALSE(connection.Fetch("società", RowKey{999, {}}).has_value());
  EXPECT_THROW(connection.Commit(), DatabaseError);  // no transaction open

  // A constraint the engine enforces: the row is refused, the message names the table.
  RoundTrip(1, "nome", Value::Text("primo"));
  try {
    connection.Insert("società", {{"codute", Value::Integer(1)}});
    FAIL() << "a duplicate key was saved";
  } catch (const DatabaseError& error) {
    EXPECT_NE(std::string(error.what()).find("società"), std::string::npos) << error.what();
  }
}

TEST_F(SqliteConnectionTest, MissingFileIsNeitherOpenedNorCreated) {
  const std::string missing = Native("manca.mdb").string();
  EXPECT_THROW(SqliteConnection{missing}, DatabaseError);
  EXPECT_FALSE(std::filesystem::exists(missing));
}

TEST_F(SqliteConnectionTest, ManyDistinctStatementsStayCorrect) {
  RoundTrip(1, "nome", Value::Text("uno"));
  // More distinct texts than the statement cache keeps, each run twice, interleaved.
  for (int round = 0; round < 2; ++round) {
    for (int i = 0; i < 100; ++i) {
      EXPECT_EQ(Stored("SELECT " + std::to_string(i) + " + codute FROM società"),
                Value::Long(i + 1))
          << "round " << round << ", query " << i;
    }
  }
}

// The queries of one shape share a statement, their literals bound as parameters: each still
// finds what its own text names, with the same conversions as the literal in the text.
TEST_F(SqliteConnectionTest, QueriesThatDifferOnlyInTheirLiteralsFindWhatTheirTextsName) {
  RoundTrip(1, "nome", Value::Text("uno"));
  RoundTrip(2, "nome", Value::Text("5"));
  RoundTrip(3, "nome", Value::Text("it's"));
  RoundTrip(4, "nome", Value::Text("UNO"));
  const struct {
    std::string sql;
    std::vector<std::int16_t> found;  // codute of the rows, in order
  } cases[] = {
      {"select * from società where nome = 'uno' ", {1}},
      {"select * from società where nome = 'UNO' ", {4}},
      {"select * from società where nome = 'it''s' ", {3}},
      {"select * from società where nome = 5 ", {2}},      // TEXT column: the number as text
      {"select * from società where codute = '3' ", {3}},  // number column: the text as number
      {"select * from società where codute = 2 ", {2}},
      {"select * from società where codute = 2 or codute = 4 order by 1", {2, 4}},
      {"select * from società where codute = 7 ", {}},
      {"select * from società where codute = -1 or nome = 'uno' ", {1}},
  };
  for (int round = 0; round < 2; ++round) {
    for (const auto& c : cases) {
      SCOPED_TRACE(c.sql);
      const QueryResult result = database_->connection().Query(c.sql);
      EXPECT_EQ(result.table, "società");
      std::vector<std::int16_t> found;
      for (const Row& row : result.rows) {
        found.push_back(row.values[0].AsInteger());
      }
      EXPECT_EQ(found, c.found);
    }
  }
}

// Another program adds a column while the statements of a query and of a row's read are cached:
// both read the table as it is now.
TEST_F(SqliteConnectionTest, AColumnAddedByAnotherProgramIsReadThroughCachedStatements) {
  RoundTrip(1, "nome", Value::Text("uno"));
  Connection& connection = database_->connection();
  const QueryResult before = connection.Query("select * from società where codute = 1 ");
  const RowKey key = before.rows.at(0).key;
  ASSERT_TRUE(connection.Fetch("società", key).has_value());

  SqliteConnection other(Native("dati.mdb").string());
  other.Execute("ALTER TABLE società ADD COLUMN reparto TEXT(10) DEFAULT 'FRESCHI'");

  const QueryResult after = connection.Query("select * from società where codute = 1 ");
  ASSERT_EQ(after.columns.size(), before.columns.size() + 1);
  EXPECT_EQ(after.columns.back().name, "reparto");
  ASSERT_EQ(after.rows.size(), 1u);
  EXPECT_EQ(after.rows[0].values.back(), Value::Text("FRESCHI"));
  const std::optional<Row> fetched = connection.Fetch("società", key);
  ASSERT_TRUE(fetched.has_value());
  EXPECT_EQ(fetched->values.back(), Value::Text("FRESCHI"));
}

TEST_F(SqliteConnectionTest, AQueryThatDoesNotCompileIsReportedAsWritten) {
  const std::string sql = "SELECT * FROM società WHERE codute = 1 AND nome = 'x' AND";
  try {
    database_->connection().Query(sql);
    FAIL() << "an incomplete query ran";
  } catch (const DatabaseError& error) {
    EXPECT_NE(std::string(error.what()).find(sql), std::string::npos) << error.what();
  }
}

// Another program holding the write lock: the save waits for the busy timeout, then fails, and
// succeeds once the lock is gone.
TEST_F(SqliteConnectionTest, SaveFailsWhileAnotherConnectionHoldsTheFile) {
  RoundTrip(1, "nome", Value::Text("uno"));
  auto patient = std::make_shared<Database>(
      path_, std::make_unique<SqliteConnection>(Native("dati.mdb").string(), 100ms));
  SqliteConnection other(Native("dati.mdb").string(), 100ms);
  other.BeginTransaction();

  Recordset rs(patient, "SELECT * FROM società WHERE codute = 1");
  rs.Edit();  // reading is still allowed
  rs.SetField("nome", Value::Text("due"));
  try {
    rs.Update();
    FAIL() << "saved while another connection held the write lock";
  } catch (const DatabaseError& error) {
    EXPECT_NE(std::string(error.what()).find("locked"), std::string::npos) << error.what();
  }
  EXPECT_THROW(patient->BeginTrans(), DatabaseError);

  other.Rollback();
  rs.Update();  // the edit buffer was kept
  EXPECT_EQ(Stored("SELECT nome FROM società WHERE codute = 1"), Value::Text("due"));
}

}  // namespace
}  // namespace zav5::data

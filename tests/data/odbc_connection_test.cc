// The ODBC backend against a real driver: Debian's SQLite ODBC driver ("SQLite3" in
// /etc/odbcinst.ini) on SQLite files made from the store's own schema. A plain SQLite connection
// on the same file plays the store suite's other programs, and checks what was stored.
#include "data/odbc/odbc_connection.h"

#include <algorithm>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "data/database.h"
#include "data/odbc/installed_drivers.h"
#include "data/odbc/odbc_text.h"
#include "data/odbc/odbc_values.h"
#include "data/recordset.h"
#include "data/sqlite/sqlite_connection.h"
#include "data/table_cursor.h"
#include "errors.h"
#include "schema_texts.h"
#include "support/error_message.h"
#include "support/temp_dir.h"

namespace zav5::data {
namespace {

using namespace std::string_literals;

std::string ConnectionString(const std::filesystem::path& file) {
  return "Driver=SQLite3;Database=" + file.string() + ";Timeout=5000;NoCreat=1;";
}

// The one value of the first row of `sql`.
Value Scalar(Connection& connection, std::string_view sql) {
  QueryResult result = connection.Query(sql);
  if (result.rows.empty() || result.rows[0].values.empty()) {
    ADD_FAILURE() << "no value from " << sql;
    return Value::Null();
  }
  return result.rows[0].values[0];
}

constexpr std::string_view kStoreRows = R"(
INSERT INTO offte VALUES (7, 2026, 'Pasta', 46023, 46030, 'A');
INSERT INTO offmo VALUES (7, 2026, 1, '8001234567890', 100, 0.5, 'F1', 'A', 'N');
INSERT INTO offmo VALUES (7, 2026, 2, '8001234567891', 200, 1.2345, 'F2', 'A', 'N');
INSERT INTO listi01 (codart, desart, przpub, przsal, data2) VALUES (100, 'Spaghetti', 1.5, 1.2, 46363);
INSERT INTO codean (eanare, codare) VALUES ('8001234567890', 100);
INSERT INTO listipro VALUES (10);
INSERT INTO listipro VALUES (10);
INSERT INTO listipro VALUES (20);
CREATE TABLE soglie (soglia CURRENCY NOT NULL PRIMARY KEY, nota TEXT(10));
INSERT INTO soglie VALUES (0.12345, 'bassa');
CREATE TABLE prezzi (codart LONG, prezzo CURRENCY, nota TEXT(10), giorno DATETIME, quota DOUBLE,
                     attivo YESNO);
INSERT INTO prezzi VALUES (100, 2.5, NULL, 46363.1234567890123, 1.0 / 3, 1);
CREATE TABLE numerata (id INTEGER PRIMARY KEY, nota TEXT(10));
CREATE TABLE righe (briga SHORT, bannoc SHORT NOT NULL, bnumer LONG NOT NULL,
                    PRIMARY KEY (bnumer, bannoc));
INSERT INTO righe VALUES (1, 2026, 7);
CREATE TABLE tipi (id SHORT PRIMARY KEY, nrpos LONG, quaco DOUBLE, przpub CURRENCY,
                   data1 DATETIME, attivo YESNO, nome TEXT(30), note MEMO, libero);
)";

class OdbcConnectionTest : public testing::Test {
 protected:
  void SetUp() override {
    test::CreateSqliteFile(file_, schema::k_negozio, kStoreRows);
    odbc_ = OpenOdbcConnection(ConnectionString(file_));
    other_ = std::make_unique<SqliteConnection>(file_.string());
  }

  // What the file holds, read by the other program.
  Value Stored(std::string_view sql) { return Scalar(*other_, sql); }

  RowKey KeyOfOffmo(std::int32_t briga) {
    return RowKey{0, {Value::Long(7), Value::Integer(2026), Value::Long(briga)}};
  }

  test::TempDir dir_;
  std::filesystem::path file_ = dir_.path() / "dati.mdb";
  std::unique_ptr<Connection> odbc_;
  std::unique_ptr<SqliteConnection> other_;
};

// --- Tables and queries --------------------------------------------------------------------------

TEST_F(OdbcConnectionTest, StoreTablesHaveTheColumnsTheSqliteBackendSees) {
  for (std::string_view table : {"utenti", "automa", "pv", "listi01", "codean", "offte", "offmo",
                                 "listipro", "unitam", "offtab", "elettro"}) {
    SCOPED_TRACE(table);
    const std::vector<Column> expected = other_->TableColumns(table);
    const std::vector<Column> columns = odbc_->TableColumns(table);
    ASSERT_EQ(columns.size(), expected.size());
    for (std::size_t i = 0; i < columns.size(); ++i) {
      EXPECT_EQ(columns[i].name, expected[i].name);
      EXPECT_EQ(columns[i].kind, expected[i].kind) << columns[i].name;
      EXPECT_EQ(columns[i].size, expected[i].size) << columns[i].name;
    }
  }
  const std::vector<Column> prices = odbc_->TableColumns("LISTI01");
  EXPECT_EQ(prices[2].kind, ColumnKind::kCurrency);
  EXPECT_EQ(prices[5].kind, ColumnKind::kDate);
  EXPECT_EQ(prices[1].size, 50u);
  EXPECT_THROW(odbc_->TableColumns("manca"), DatabaseError);
}

TEST_F(OdbcConnectionTest, OneTableQueryIsUpdatableAJoinIsNot) {
  const QueryResult lines = odbc_->Query("SELECT * FROM offmo WHERE bnumer = 7 ORDER BY briga");
  EXPECT_EQ(lines.table, "offmo");
  ASSERT_EQ(lines.columns.size(), 9u);
  EXPECT_EQ(lines.columns[1].kind, ColumnKind::kInteger);
  EXPECT_EQ(lines.columns[3].kind, ColumnKind::kText);
  EXPECT_EQ(lines.columns[3].size, 20u);
  ASSERT_EQ(lines.rows.size(), 2u);
  EXPECT_EQ(lines.rows[1].key.values, KeyOfOffmo(2).values);
  EXPECT_EQ(lines.rows[1].values[3], Value::Text("8001234567891"));
  EXPECT_EQ(lines.rows[1].values[5], Value::Money(Currency{12345}));

  const QueryResult join = odbc_->Query(
      "SELECT t.descrizione, m.briga FROM offte t, offmo m WHERE t.numero = m.bnumer "
      "ORDER BY m.briga");
  EXPECT_EQ(join.table, "");
  ASSERT_EQ(join.rows.size(), 2u);
  EXPECT_EQ(join.rows[0].values[0], Value::Text("Pasta"));
  EXPECT_EQ(join.rows[0].values[1], Value::Long(1));
  EXPECT_TRUE(join.rows[0].key.values.empty());

  EXPECT_EQ(Scalar(*odbc_, "SELECT count(*) FROM offmo"), Value::Long(2));
  EXPECT_EQ(odbc_->Query("SELECT codart, desart FROM listi01").table, "");
}

TEST_F(OdbcConnectionTest, IndexColumnsByNameOrPrimaryKey) {
  using Names = std::vector<std::string>;
  EXPECT_EQ(odbc_->IndexColumns("offmo", "primary"), (Names{"bnumer", "bannoc", "briga"}));
  EXPECT_EQ(odbc_->IndexColumns("OFFTE", "PrimaryKey"), (Names{"numero", "anno"}));
  EXPECT_EQ(odbc_->IndexColumns("codean", "CODEAN_codare"), (Names{"codare"}));
  // A key whose columns stand in the table in another order than in the key.
  EXPECT_EQ(odbc_->IndexColumns("righe", "primary"), (Names{"bnumer", "bannoc"}));
  EXPECT_EQ(odbc_->Query("SELECT * FROM righe").rows[0].key.values,
            (std::vector<Value>{Value::Long(7), Value::Integer(2026)}));
  EXPECT_THROW(odbc_->IndexColumns("listipro", "primary"), DatabaseError);
  EXPECT_THROW(odbc_->IndexColumns("offmo", "altro"), DatabaseError);
  EXPECT_THROW(odbc_->IndexColumns("manca", "primary"), DatabaseError);
}

TEST_F(OdbcConnectionTest, SeekAndFetchFindRowsByTheirKey) {
  std::optional<Row> line =
      odbc_->Seek("offmo", {"bnumer", "bannoc", "briga"}, KeyOfOffmo(2).values);
  ASSERT_TRUE(line.has_value());
  EXPECT_EQ(line->key.values, KeyOfOffmo(2).values);
  EXPECT_EQ(line->values[4], Value::Long(200));
  EXPECT_FALSE(odbc_->Seek("offmo", {"bnumer", "bannoc", "briga"}, KeyOfOffmo(3).values));
  std::optional<Row> by_ean = odbc_->Seek("codean", {"eanare"}, {Value::Text("8001234567890")});
  ASSERT_TRUE(by_ean.has_value());
  EXPECT_EQ(by_ean->values[1], Value::Long(100));
  EXPECT_THROW(odbc_->Seek("offmo", {"bnumer"}, {}), DatabaseError);

  std::optional<Row> again = odbc_->Fetch("offmo", line->key);
  ASSERT_TRUE(again.has_value());
  EXPECT_EQ(again->values, line->values);
  other_->Execute("DELETE FROM offmo WHERE briga = 2");
  EXPECT_FALSE(odbc_->Fetch("offmo", line->key).has_value());
  // A key that is of neither form is refused, not matched against part of the row.
  EXPECT_THROW(odbc_->Fetch("offmo", RowKey{0, {Value::Long(7)}}), DatabaseError);
}

// --- Changing rows -------------------------------------------------------------------------------

TEST_F(OdbcConnectionTest, UpdateWritesOnlyTheChangedFields) {
  const QueryResult read = odbc_->Query("SELECT * FROM listi01 WHERE codart = 100");
  ASSERT_EQ(read.rows.size(), 1u);
  // Another program changes another field after the row was read.
  const std::unique_ptr<Connection> another = OpenOdbcConnection(ConnectionString(file_));
  another->Update("listi01", read.rows[0].key, {{"desart", Value::Text("Penne")}});

  const RowKey key =
      odbc_->Update("listi01", read.rows[0].key,
                    {{"przpub", Value::Money(Currency{19900})}, {"stapro", Value::Text("S")}});
  EXPECT_EQ(key.values, read.rows[0].key.values);
  EXPECT_EQ(Stored("SELECT desart FROM listi01"), Value::Text("Penne"));
  EXPECT_EQ(Stored("SELECT przpub FROM listi01"), Value::Money(Currency{19900}));
  EXPECT_EQ(Stored("SELECT stapro FROM listi01"), Value::Text("S"));
  EXPECT_EQ(Stored("SELECT przsal FROM listi01"), Value::Money(Currency{12000}));
}

TEST_F(OdbcConnectionTest, UpdateOfAKeyColumnGivesTheNewKey) {
  const RowKey moved = odbc_->Update("offmo", KeyOfOffmo(1), {{"briga", Value::Long(9)}});
  EXPECT_EQ(moved.values, KeyOfOffmo(9).values);
  EXPECT_FALSE(odbc_->Fetch("offmo", KeyOfOffmo(1)).has_value());
  std::optional<Row> row = odbc_->Fetch("offmo", moved);
  ASSERT_TRUE(row.has_value());
  EXPECT_EQ(row->key.values, moved.values);
  EXPECT_EQ(row->values[4], Value::Long(100));
}

TEST_F(OdbcConnectionTest, InsertGivesAKeyThatFindsTheRowAndDeleteRemovesIt) {
  const RowKey offer = odbc_->Insert("offte", {{"numero", Value::Long(8)},
                                               {"anno", Value::Integer(2026)},
                                               {"descrizione", Value::Text("Olio")}});
  EXPECT_EQ(offer.values, (std::vector<Value>{Value::Long(8), Value::Integer(2026)}));
  std::optional<Row> row = odbc_->Fetch("offte", offer);
  ASSERT_TRUE(row.has_value());
  EXPECT_EQ(row->values[2], Value::Text("Olio"));

  // A key the engine gives (INTEGER PRIMARY KEY), and a table without a key.
  const RowKey numbered = odbc_->Insert("numerata", {{"nota", Value::Text("prima")}});
  EXPECT_EQ(numbered.values, std::vector<Value>{Value::Long(1)});
  const RowKey listed = odbc_->Insert("listipro", {{"numpro", Value::Long(30)}});
  EXPECT_EQ(listed.values, std::vector<Value>{Value::Long(30)});
  EXPECT_TRUE(odbc_->Fetch("listipro", listed).has_value());

  odbc_->Delete("offte", offer);
  EXPECT_EQ(Stored("SELECT count(*) FROM offte WHERE numero = 8"), Value::Long(0));
  for (const std::string& message :
       {test::DatabaseErrorOf([&] { odbc_->Delete("offte", offer); }), test::DatabaseErrorOf([&] {
          odbc_->Update("offte", offer, {{"stato", Value::Text("D")}});
        })}) {
    EXPECT_NE(message.find("non c'è più o è stata cambiata da un altro programma"),
              std::string::npos)
        << message;
    EXPECT_NE(message.find("numero = 8"), std::string::npos) << message;
  }
}

TEST_F(OdbcConnectionTest, RowsWithoutAKeyAreFoundByEveryValue) {
  QueryResult numbers = odbc_->Query("SELECT * FROM listipro");
  ASSERT_EQ(numbers.rows.size(), 3u);
  EXPECT_EQ(numbers.rows[2].key.values, std::vector<Value>{Value::Long(20)});
  const RowKey changed =
      odbc_->Update("listipro", numbers.rows[2].key, {{"numpro", Value::Long(21)}});
  EXPECT_EQ(changed.values, std::vector<Value>{Value::Long(21)});
  EXPECT_EQ(Stored("SELECT group_concat(numpro, ',') FROM listipro"), Value::Text("10,10,21"));

  // Two equal rows: one of them goes, then the other.
  odbc_->Delete("listipro", numbers.rows[0].key);
  EXPECT_EQ(Stored("SELECT count(*) FROM listipro WHERE numpro = 10"), Value::Long(1));
  odbc_->Update("listipro", numbers.rows[1].key, {{"numpro", Value::Long(11)}});
  EXPECT_EQ(Stored("SELECT group_concat(numpro, ',') FROM (SELECT numpro FROM listipro ORDER BY "
                   "numpro)"),
            Value::Text("11,21"));

  // Among the values a Null, a flag another program stored as 1, and a date and a double with
  // more digits than the driver reads back.
  const QueryResult prices = odbc_->Query("SELECT * FROM prezzi");
  ASSERT_EQ(prices.rows.size(), 1u);
  EXPECT_EQ(prices.rows[0].values[2], Value::Null());
  EXPECT_EQ(prices.rows[0].values[5], Value::Boolean(true));
  const RowKey saved =
      odbc_->Update("prezzi", prices.rows[0].key, {{"nota", Value::Text("saldo")}});
  EXPECT_EQ(Stored("SELECT nota FROM prezzi"), Value::Text("saldo"));
  EXPECT_EQ(Stored("SELECT quota = 1.0 / 3 FROM prezzi"), Value::Long(1));
  odbc_->Delete("prezzi", saved);
  EXPECT_EQ(Stored("SELECT count(*) FROM prezzi"), Value::Long(0));
}

// The driver reads numbers back with 15 significant digits. Changing one of two equal rows must
// leave what is stored in the other, and in the unchanged fields, exactly as it was.
TEST_F(OdbcConnectionTest, ChangingOneOfEqualRowsKeepsEveryStoredDigit) {
  other_->Execute(
      "CREATE TABLE misure (a DOUBLE, b TEXT(5));"
      "INSERT INTO misure VALUES (0.1 + 0.2, 'x'), (0.1 + 0.2, 'x');");
  const QueryResult rows = odbc_->Query("SELECT * FROM misure");
  ASSERT_EQ(rows.rows.size(), 2u);
  odbc_->Update("misure", rows.rows[0].key, {{"b", Value::Text("y")}});
  EXPECT_EQ(Stored("SELECT group_concat(b, ',') FROM (SELECT b FROM misure ORDER BY b)"),
            Value::Text("x,y"));
  EXPECT_EQ(Stored("SELECT count(*) FROM misure WHERE a = 0.1 + 0.2"), Value::Long(2));
  odbc_->Delete("misure", rows.rows[1].key);
  EXPECT_EQ(Stored("SELECT count(*) FROM misure WHERE a = 0.1 + 0.2 AND b = 'y'"), Value::Long(1));
}

// Two keys closer than the driver's 15 digits look the same through it: a change is refused
// rather than made to both rows.
TEST_F(OdbcConnectionTest, AKeyThatNamesTwoStoredRowsChangesNeither) {
  other_->Execute(
      "CREATE TABLE soglie2 (d DOUBLE NOT NULL PRIMARY KEY, prezzo CURRENCY);"
      "INSERT INTO soglie2 VALUES (0.3, 1), (0.1 + 0.2, 2);");
  const QueryResult rows = odbc_->Query("SELECT * FROM soglie2");
  ASSERT_EQ(rows.rows.size(), 2u);
  for (const std::string& message : {
           test::DatabaseErrorOf([&] {
             odbc_->Update("soglie2", rows.rows[0].key, {{"prezzo", Value::Integer(9)}});
           }),
           test::DatabaseErrorOf([&] { odbc_->Delete("soglie2", rows.rows[0].key); }),
       }) {
    EXPECT_NE(message.find("2 righe hanno questa chiave"), std::string::npos) << message;
  }
  EXPECT_EQ(Stored("SELECT group_concat(prezzo, ',') FROM (SELECT prezzo FROM soglie2 ORDER BY "
                   "prezzo)"),
            Value::Text("1,2"));
  EXPECT_FALSE(odbc_->InTransaction());
}

TEST_F(OdbcConnectionTest, RowChangedByAnotherProgramIsAConflictNotOverwritten) {
  const QueryResult numbers = odbc_->Query("SELECT * FROM listipro WHERE numpro = 20");
  ASSERT_EQ(numbers.rows.size(), 1u);
  other_->Execute("UPDATE listipro SET numpro = 22 WHERE numpro = 20");
  for (const std::string& message : {
           test::DatabaseErrorOf([&] {
             odbc_->Update("listipro", numbers.rows[0].key, {{"numpro", Value::Long(21)}});
           }),
           test::DatabaseErrorOf([&] { odbc_->Delete("listipro", numbers.rows[0].key); }),
       }) {
    EXPECT_NE(message.find("cambiata da un altro programma"), std::string::npos) << message;
    EXPECT_NE(message.find("numpro = 20"), std::string::npos) << message;
  }
  EXPECT_EQ(Stored("SELECT group_concat(numpro, ',') FROM listipro"), Value::Text("10,10,22"));
  EXPECT_FALSE(odbc_->InTransaction());  // the change's own transaction has ended
}

// The store's programs work through recordsets: emptying a list that holds repeats, row by row.
TEST_F(OdbcConnectionTest, RecordsetsWorkThroughTheConnection) {
  auto database =
      std::make_shared<Database>("C:\\dati.mdb", OpenOdbcConnection(ConnectionString(file_)));
  Recordset list(database, "SELECT * FROM listipro");
  while (!list.Eof()) {
    list.Delete();
    list.MoveNext();
  }
  EXPECT_EQ(Stored("SELECT count(*) FROM listipro"), Value::Long(0));
  list.AddNew();
  list.SetField("numpro", Value::Long(40));
  list.Update();
  EXPECT_EQ(Stored("SELECT numpro FROM listipro"), Value::Long(40));

  TableCursor article(database, "listi01");
  article.Index("PrimaryKey");
  article.Seek("=", Value::Long(100));
  ASSERT_FALSE(article.NoMatch());
  article.Edit();
  article.SetField("stapro", Value::Text("N"));
  article.Update();
  EXPECT_EQ(Stored("SELECT stapro FROM listi01"), Value::Text("N"));
}

// --- Values --------------------------------------------------------------------------------------

TEST_F(OdbcConnectionTest, EveryKindRoundTrips) {
  const struct {
    std::string_view field;
    Value value;
  } cases[] = {
      {"id", Value::Integer(-32768)},
      {"nrpos", Value::Long(-2000000000)},
      {"quaco", Value::Double(0.1)},
      {"quaco", Value::Double(-2.5e-7)},
      {"przpub", Value::Money(Currency{12345678})},
      {"data1", Value::Day(Date{45292.5})},
      {"attivo", Value::Boolean(true)},
      {"attivo", Value::Boolean(false)},
      {"nome", Value::Text("società è")},
      {"nome", Value::Text("")},
      {"nome", Value::Null()},
      {"note", Value::Text(std::string(5000, 'n'))},
      {"libero", Value::Long(7)},
      {"libero", Value::Text("qualsiasi")},
  };
  std::int16_t id = 0;
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(c.field) + " " + Describe(c.value));
    ++id;
    std::vector<FieldChange> fields{{"id", Value::Integer(id)}};
    if (c.field == "id") {
      fields = {{"id", c.value}};
    } else {
      fields.push_back({std::string(c.field), c.value});
    }
    const std::optional<Row> row = odbc_->Fetch("tipi", odbc_->Insert("tipi", fields));
    ASSERT_TRUE(row.has_value());
    const std::vector<Column> columns = odbc_->TableColumns("tipi");
    for (std::size_t i = 0; i < columns.size(); ++i) {
      if (columns[i].name == c.field) {
        EXPECT_EQ(row->values[i], c.value);
      }
    }
  }
  EXPECT_EQ(Stored("SELECT attivo + 0 FROM tipi WHERE attivo <> 0"), Value::Long(-1));
  // The driver stores a double exactly but reads it back through 15 significant digits.
  odbc_->Insert("tipi", {{"id", Value::Integer(100)}, {"quaco", Value::Double(1.0 / 3)}});
  EXPECT_EQ(Stored("SELECT quaco = 1.0 / 3 FROM tipi WHERE id = 100"), Value::Long(1));
  const Value third = Scalar(*odbc_, "SELECT quaco FROM tipi WHERE id = 100");
  EXPECT_NEAR(third.AsDouble(), 1.0 / 3, 1e-15);
}

TEST_F(OdbcConnectionTest, CurrencyKeepsItsFourDecimals) {
  const RowKey article{0, {Value::Long(100)}};
  for (std::int64_t amount : {12345LL, 1234567891234LL, -1LL, 70000LL, 0LL}) {
    SCOPED_TRACE(amount);
    odbc_->Update("listi01", article, {{"przpub", Value::Money(Currency{amount})}});
    EXPECT_EQ(odbc_->Fetch("listi01", article)->values[2], Value::Money(Currency{amount}));
    EXPECT_EQ(Stored("SELECT przpub FROM listi01"), Value::Money(Currency{amount}));
  }
  // Five decimals written by another program: read rounded, and still found as stored.
  const QueryResult thresholds = odbc_->Query("SELECT * FROM soglie");
  ASSERT_EQ(thresholds.rows.size(), 1u);
  EXPECT_EQ(thresholds.rows[0].values[0], Value::Money(Currency{1234}));
  odbc_->Update("soglie", thresholds.rows[0].key, {{"nota", Value::Text("minima")}});
  EXPECT_EQ(Stored("SELECT nota FROM soglie WHERE soglia = 0.12345"), Value::Text("minima"));
}

// A float that another program wrote into a currency column, beyond the range of an amount, is
// read back as it is.
TEST_F(OdbcConnectionTest, AFloatTooLargeForACurrencyColumnIsReadAsADouble) {
  other_->Execute(
      "INSERT INTO prezzi (codart, prezzo) VALUES (101, 1e20);"
      "INSERT INTO prezzi (codart, prezzo) VALUES (102, -1e20);");
  const QueryResult prices =
      odbc_->Query("SELECT codart, prezzo FROM prezzi WHERE codart > 100 ORDER BY codart");
  ASSERT_EQ(prices.rows.size(), 2u);
  EXPECT_EQ(prices.rows[0].values[1], Value::Double(1e20));
  EXPECT_EQ(prices.rows[1].values[1], Value::Double(-1e20));
  EXPECT_EQ(Scalar(*odbc_, "SELECT prezzo FROM prezzi WHERE codart = 100"),
            Value::Money(Currency{25000}));
}

TEST_F(OdbcConnectionTest, DatesAreDayNumbersInASqliteFile) {
  const RowKey article{0, {Value::Long(100)}};
  for (double day : {46363.5, 45292.75, -1.25, 0.0}) {
    SCOPED_TRACE(day);
    odbc_->Update("listi01", article, {{"data1", Value::Day(Date{day})}});
    EXPECT_EQ(odbc_->Fetch("listi01", article)->values[5], Value::Day(Date{day}));
    EXPECT_EQ(Stored("SELECT data1 FROM listi01"), Value::Day(Date{day}));
  }
  EXPECT_EQ(Stored("SELECT typeof(data2) FROM listi01"), Value::Text("integer"));
  odbc_->Update("listi01", article, {{"data2", Value::Day(Date{46363.5})}});
  EXPECT_EQ(Stored("SELECT typeof(data2) FROM listi01"), Value::Text("real"));
  // The program's own SQL compares the stored numbers.
  EXPECT_EQ(Scalar(*odbc_, "SELECT count(*) FROM listi01 WHERE data2 < 46364"), Value::Long(1));
}

// Another program may have written a date as ISO text: it is read as the date, and the row is
// still found again by what is stored.
TEST_F(OdbcConnectionTest, AnIsoTextDateInASqliteFileIsReadAsTheDate) {
  other_->Execute("UPDATE listi01 SET data1 = '2026-12-07 12:00:00' WHERE codart = 100");
  const RowKey article{0, {Value::Long(100)}};
  EXPECT_EQ(odbc_->Fetch("listi01", article)->values[5], Value::Day(Date{46363.5}));
  const QueryResult rows = odbc_->Query("SELECT * FROM listi01 WHERE codart = 100");
  ASSERT_EQ(rows.rows.size(), 1u);
  EXPECT_EQ(rows.rows[0].values[5], Value::Day(Date{46363.5}));
}

TEST_F(OdbcConnectionTest, TextsAreParametersWhateverTheyHold) {
  const RowKey offer{0, {Value::Long(7), Value::Integer(2026)}};
  const std::string quoted = "l'offerta \"extra\"; DROP TABLE offte";
  odbc_->Update("offte", offer, {{"descrizione", Value::Text(quoted)}});
  EXPECT_EQ(odbc_->Fetch("offte", offer)->values[2], Value::Text(quoted));
  EXPECT_EQ(Stored("SELECT descrizione FROM offte"), Value::Text(quoted));
  EXPECT_TRUE(odbc_->Seek("offte", {"descrizione"}, {Value::Text(quoted)}).has_value());

  const std::string long_text = std::string(3000, 'x') + "è";
  odbc_->Update("automa", odbc_->Insert("automa", {{"codice", Value::Integer(1)}}),
                {{"escludocaselle", Value::Text(long_text)}});
  EXPECT_EQ(Scalar(*odbc_, "SELECT escludocaselle FROM automa"), Value::Text(long_text));
}

// The program writes a description of thirty NUL characters. The SQLite driver stores all of them
// but reads a text only up to its first NUL: it comes back empty.
TEST_F(OdbcConnectionTest, NulCharactersAreStoredButReadBackCutByTheSqliteDriver) {
  const RowKey offer{0, {Value::Long(7), Value::Integer(2026)}};
  odbc_->Update("offte", offer, {{"descrizione", Value::Text(std::string(30, '\0'))}});
  EXPECT_EQ(Stored("SELECT length(CAST(descrizione AS BLOB)) FROM offte"), Value::Long(30));
  EXPECT_EQ(odbc_->Fetch("offte", offer)->values[2], Value::Text(""));

  odbc_->Update("offte", offer, {{"descrizione", Value::Text("ab\0cd"s)}});
  EXPECT_EQ(Stored("SELECT hex(descrizione) FROM offte"), Value::Text("6162006364"));
  EXPECT_EQ(odbc_->Fetch("offte", offer)->values[2], Value::Text("ab"));
}

TEST_F(OdbcConnectionTest, CompanyDatabaseQueryNamesItsTableInUtf8) {
  const std::filesystem::path company = dir_.path() / "sulvo.mdb";
  test::CreateSqliteFile(company, schema::k_azienda,
                         "INSERT INTO società VALUES (1, 'Market Srl', 'C:\\sulvo\\neg01');");
  const std::unique_ptr<Connection> connection = OpenOdbcConnection(ConnectionString(company));
  const QueryResult result = connection->Query("select * from società where codute = 1 ");
  EXPECT_EQ(result.table, "società");
  ASSERT_EQ(result.rows.size(), 1u);
  EXPECT_EQ(result.rows[0].values[2], Value::Text("C:\\sulvo\\neg01"));
  connection->Update("società", result.rows[0].key, {{"ragsoc", Value::Text("Città Srl")}});
  EXPECT_EQ(Scalar(*connection, "SELECT ragsoc FROM SOCIETà"), Value::Text("Città Srl"));
}

// --- Transactions, errors, statements ------------------------------------------------------------

TEST_F(OdbcConnectionTest, TransactionIsSeenByOthersOnlyOnceCommitted) {
  const RowKey article{0, {Value::Long(100)}};
  odbc_->BeginTransaction();
  EXPECT_TRUE(odbc_->InTransaction());
  EXPECT_THROW(odbc_->BeginTransaction(), DatabaseError);
  odbc_->Update("listi01", article, {{"desart", Value::Text("Fusilli")}});
  EXPECT_EQ(Stored("SELECT desart FROM listi01"), Value::Text("Spaghetti"));
  odbc_->Commit();
  EXPECT_FALSE(odbc_->InTransaction());
  EXPECT_EQ(Stored("SELECT desart FROM listi01"), Value::Text("Fusilli"));

  odbc_->BeginTransaction();
  odbc_->Insert("listipro", {{"numpro", Value::Long(99)}});
  odbc_->Delete("offmo", KeyOfOffmo(1));
  EXPECT_EQ(Scalar(*odbc_, "SELECT count(*) FROM listipro WHERE numpro = 99"), Value::Long(1));
  odbc_->Rollback();
  EXPECT_EQ(Stored("SELECT count(*) FROM listipro WHERE numpro = 99"), Value::Long(0));
  EXPECT_EQ(Stored("SELECT count(*) FROM offmo"), Value::Long(2));
  // Autocommit is back: a change is seen at once.
  odbc_->Update("listi01", article, {{"desart", Value::Text("Penne")}});
  EXPECT_EQ(Stored("SELECT desart FROM listi01"), Value::Text("Penne"));
  EXPECT_THROW(odbc_->Commit(), DatabaseError);
  EXPECT_THROW(odbc_->Rollback(), DatabaseError);
}

// Another program holding the write lock: the change waits for the driver's lock timeout, fails,
// and succeeds once the lock is gone.
TEST_F(OdbcConnectionTest, ChangeFailsWhileAnotherProgramHoldsTheFile) {
  const std::unique_ptr<Connection> patient =
      OpenOdbcConnection("Driver=SQLite3;Database=" + file_.string() + ";Timeout=100;NoCreat=1;");
  const RowKey article{0, {Value::Long(100)}};
  other_->BeginTransaction();
  const std::string message = test::DatabaseErrorOf([&] {
    patient->Update("listi01", article, {{"stapro", Value::Text("S")}});
  });
  EXPECT_NE(message.find("locked"), std::string::npos) << message;
  EXPECT_NE(message.find("aggiornando la riga di listi01 con codart = 100"), std::string::npos)
      << message;
  EXPECT_FALSE(patient->InTransaction());
  other_->Rollback();
  patient->Update("listi01", article, {{"stapro", Value::Text("S")}});
  EXPECT_EQ(Stored("SELECT stapro FROM listi01"), Value::Text("S"));
}

TEST_F(OdbcConnectionTest, ErrorsCarryTheDriversStateAndWhatWasBeingDone) {
  const std::string query =
      test::DatabaseErrorOf([&] { odbc_->Query("SELECT * FROM offerte WHERE x = 1"); });
  EXPECT_NE(query.find("SELECT * FROM offerte WHERE x = 1"), std::string::npos) << query;
  EXPECT_NE(query.find("[HY000]"), std::string::npos) << query;
  EXPECT_NE(query.find("no such table"), std::string::npos) << query;
  EXPECT_NE(query.find(file_.string()), std::string::npos) << query;

  const std::string duplicate = test::DatabaseErrorOf([&] {
    odbc_->Insert("offte", {{"numero", Value::Long(7)}, {"anno", Value::Integer(2026)}});
  });
  EXPECT_NE(duplicate.find("aggiungendo una riga a offte"), std::string::npos) << duplicate;
  EXPECT_NE(duplicate.find("UNIQUE"), std::string::npos) << duplicate;

  const std::string connect =
      test::DatabaseErrorOf([] { OpenOdbcConnection("DSN=nessuno;PWD=segreta;"); });
  EXPECT_NE(connect.find("[IM002]"), std::string::npos) << connect;
  EXPECT_NE(connect.find("nessuno"), std::string::npos) << connect;
  EXPECT_EQ(connect.find("segreta"), std::string::npos) << connect;

  // MDB Tools leaves the state of its diagnostics empty: its words still reach the message, which
  // no NUL cuts short.
  const std::string empty_state = test::DatabaseErrorOf(
      [] { OpenOdbcConnection("Driver=MDBTools;Dbq=/nessuna/cartella/dati.mdb;"); });
  EXPECT_NE(empty_state.find("[] "), std::string::npos) << empty_state;
  EXPECT_NE(empty_state.find("DBQ"), std::string::npos) << empty_state;
  EXPECT_EQ(empty_state.find('\0'), std::string::npos);

  EXPECT_THROW(odbc_->Execute("DROP TABLE manca"), DatabaseError);
  EXPECT_THROW(OpenOdbcConnection(ConnectionString(dir_.path() / "manca.mdb")), DatabaseError);
  EXPECT_FALSE(std::filesystem::exists(dir_.path() / "manca.mdb"));
}

TEST_F(OdbcConnectionTest, ExecuteRunsEachStatementOfTheText) {
  odbc_->Execute(
      "INSERT INTO listipro VALUES (1); INSERT INTO listipro VALUES (2) ; -- due;\n"
      "INSERT INTO offte (numero, anno, descrizione) VALUES (9, 2026, 'a;b');;");
  EXPECT_EQ(Stored("SELECT count(*) FROM listipro"), Value::Long(5));
  EXPECT_EQ(Stored("SELECT descrizione FROM offte WHERE numero = 9"), Value::Text("a;b"));
  const std::string message = test::DatabaseErrorOf(
      [&] { odbc_->Execute("INSERT INTO listipro VALUES (3); DELETE FROM manca"); });
  EXPECT_NE(message.find("DELETE FROM manca"), std::string::npos) << message;
  EXPECT_EQ(Stored("SELECT count(*) FROM listipro"), Value::Long(6));
}

TEST_F(OdbcConnectionTest, ManyDistinctStatementsStayCorrect) {
  // More distinct texts than the statement cache keeps, each run twice, interleaved.
  for (int round = 0; round < 2; ++round) {
    for (int i = 0; i < 40; ++i) {
      EXPECT_EQ(Scalar(*odbc_, "SELECT " + std::to_string(i) + " + codart FROM listi01"),
                Value::Long(i + 100))
          << "round " << round << ", query " << i;
    }
  }
  // A schema change: the shapes read before are not trusted after it.
  odbc_->Execute("ALTER TABLE listipro ADD COLUMN nota TEXT(5)");
  EXPECT_EQ(odbc_->TableColumns("listipro").size(), 2u);
  EXPECT_EQ(odbc_->Query("SELECT * FROM listipro").rows[0].key.values.size(), 2u);
}

// --- Conversions of the driver's forms -----------------------------------------------------------

TEST(OdbcColumns, KindFromTheDriversTypeNameOrSqlType) {
  const struct {
    std::string_view type_name;
    int sql_type;
    unsigned size;
    int digits;
    ColumnKind kind;
    unsigned text_size;
    bool declared_only;
  } cases[] = {
      // The Access driver's names.
      {"SMALLINT", SQL_SMALLINT, 5, 0, ColumnKind::kInteger, 0, false},
      {"BYTE", SQL_TINYINT, 3, 0, ColumnKind::kInteger, 0, false},
      {"INTEGER", SQL_INTEGER, 10, 0, ColumnKind::kLong, 0, false},
      {"COUNTER", SQL_INTEGER, 10, 0, ColumnKind::kLong, 0, false},
      {"DOUBLE", SQL_DOUBLE, 53, 0, ColumnKind::kDouble, 0, false},
      {"REAL", SQL_REAL, 24, 0, ColumnKind::kDouble, 0, false},
      {"CURRENCY", SQL_NUMERIC, 19, 4, ColumnKind::kCurrency, 0, false},
      {"DATETIME", SQL_TYPE_TIMESTAMP, 19, 0, ColumnKind::kDate, 0, false},
      {"BIT", SQL_BIT, 1, 0, ColumnKind::kBoolean, 0, false},
      {"VARCHAR", SQL_WVARCHAR, 50, 0, ColumnKind::kText, 50, false},
      {"LONGCHAR", SQL_WLONGVARCHAR, 1073741823, 0, ColumnKind::kMemo, 0, false},
      // Names ColumnFromDeclaration does not know: the SQL type decides.
      {"int2", SQL_SMALLINT, 5, 0, ColumnKind::kInteger, 0, false},
      {"int4", SQL_INTEGER, 10, 0, ColumnKind::kLong, 0, false},
      {"", SQL_DECIMAL, 19, 4, ColumnKind::kCurrency, 0, false},
      {"NUMERIC", SQL_NUMERIC, 10, 2, ColumnKind::kDouble, 0, false},
      {"decimal", SQL_DECIMAL, 19, 4, ColumnKind::kCurrency, 0, false},
      {"", SQL_TYPE_DATE, 10, 0, ColumnKind::kDate, 0, false},
      {"bpchar", SQL_CHAR, 8, 0, ColumnKind::kText, 8, false},
      {"", SQL_LONGVARCHAR, 8190, 0, ColumnKind::kMemo, 0, false},
      {"GUID", SQL_GUID, 36, 0, ColumnKind::kOther, 0, false},
      // The SQLite driver: the declaration alone.
      {"TEXT(30)", SQL_LONGVARCHAR, 30, 0, ColumnKind::kText, 30, true},
      {"TEXT", SQL_LONGVARCHAR, 30, 0, ColumnKind::kText, 30, true},
      {"TEXT", SQL_LONGVARCHAR, 65536, 0, ColumnKind::kText, 255, true},
      {"SHORT", SQL_VARCHAR, 255, 0, ColumnKind::kInteger, 0, true},
      {"CURRENCY", SQL_VARCHAR, 255, 0, ColumnKind::kCurrency, 0, true},
      {"", SQL_VARCHAR, 255, 0, ColumnKind::kOther, 0, true},
      {"NUMERIC(10,4)", SQL_DOUBLE, 10, 4, ColumnKind::kDouble, 0, true},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(c.type_name) + " " + std::to_string(c.sql_type));
    const Column column =
        odbc::ColumnFromOdbc("c", c.type_name, c.sql_type, c.size, c.digits, c.declared_only);
    EXPECT_EQ(column.name, "c");
    EXPECT_EQ(column.kind, c.kind);
    if (c.kind == ColumnKind::kText) {
      EXPECT_EQ(column.size, c.text_size);
    }
  }
}

TEST(OdbcCurrency, TextIsReadExactlyAndRoundedHalfToEven) {
  const struct {
    std::string_view text;
    std::optional<std::int64_t> units;
  } cases[] = {
      {"1.2345", 12345},
      {"123456789.1234", 1234567891234},
      {"-0.0001", -1},
      {"7", 70000},
      {" 2.5 ", 25000},
      {"+3.", 30000},
      {".5", 5000},
      {"1.23455", 12346},  // a half, to the even neighbour
      {"1.23445", 12344},  // a half, to the even neighbour
      {"1.234450001", 12345},
      {"-1.23456", -12346},
      {"922337203685477.5807", INT64_MAX},
      {"922337203685477.5808", std::nullopt},
      {"9223372036854775807", std::nullopt},
      {"1e5", std::nullopt},
      {"1,5", std::nullopt},
      {"abc", std::nullopt},
      {"", std::nullopt},
      {".", std::nullopt},
      {"-", std::nullopt},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.text);
    const std::optional<Currency> amount = odbc::CurrencyFromText(c.text);
    ASSERT_EQ(amount.has_value(), c.units.has_value());
    if (amount) {
      EXPECT_EQ(amount->ten_thousandths, *c.units);
    }
  }
  EXPECT_EQ(odbc::CurrencyText(Currency{12345}), "1.2345");
  EXPECT_EQ(odbc::CurrencyText(Currency{-1}), "-0.0001");
  EXPECT_EQ(odbc::CurrencyText(Currency{1234567891234}), "123456789.1234");
  EXPECT_EQ(odbc::CurrencyText(Currency{0}), "0.0000");
  EXPECT_EQ(odbc::CurrencyText(Currency{INT64_MIN}), "-922337203685477.5808");
}

TEST(OdbcTimestamps, DayNumbersAndCalendarMoments) {
  const struct {
    double day;
    odbc::Timestamp moment;
  } cases[] = {
      {0, {1899, 12, 30, 0, 0, 0}},       {1, {1899, 12, 31, 0, 0, 0}},
      {2, {1900, 1, 1, 0, 0, 0}},         {45292, {2024, 1, 1, 0, 0, 0}},
      {45292.75, {2024, 1, 1, 18, 0, 0}}, {-1.25, {1899, 12, 29, 6, 0, 0}},
      {-2.5, {1899, 12, 28, 12, 0, 0}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.day);
    EXPECT_EQ(odbc::TimestampFromDay(Date{c.day}), c.moment);
    EXPECT_EQ(odbc::DayFromTimestamp(c.moment), Date{c.day});
  }
  // Rounded to the second, across midnight when it comes to that.
  EXPECT_EQ(odbc::TimestampFromDay(Date{45292 + 1.0 / 86400 + 1e-9}),
            (odbc::Timestamp{2024, 1, 1, 0, 0, 1}));
  EXPECT_EQ(odbc::TimestampFromDay(Date{45292.9999999}), (odbc::Timestamp{2024, 1, 2, 0, 0, 0}));
}

TEST(OdbcNames, DataSourceNameForMessages) {
  EXPECT_EQ(odbc::DataSourceName(
                "Driver={Microsoft Access Driver (*.mdb)};Dbq=C:\\sulvo\\neg01\\dati.mdb;"),
            "C:\\sulvo\\neg01\\dati.mdb");
  EXPECT_EQ(odbc::DataSourceName("Driver=SQLite3;database={/tmp/a;b}}c.db};Timeout=5000;"),
            "/tmp/a;b}c.db");
  EXPECT_EQ(odbc::DataSourceName("DSN=negozio;UID=cassa;PWD=segreta"), "negozio");
  EXPECT_EQ(odbc::DataSourceName("Driver=X;PWD=segreta"), "ODBC");
}

// The driver list is the driver manager's: Debian's SQLite driver is on it, in any case of its
// letters, and a name that no driver has is not.
TEST(OdbcDrivers, TheDriverManagerSaysWhichDriversItHas) {
  const auto drivers = odbc::InstalledDrivers();
  ASSERT_TRUE(drivers);
  EXPECT_NE(std::find(drivers->begin(), drivers->end(), "SQLite3"), drivers->end());
  EXPECT_EQ(odbc::DriverInstalled("SQLite3"), true);
  EXPECT_EQ(odbc::DriverInstalled("sqlite3"), true);
  EXPECT_EQ(odbc::DriverInstalled("SQLite3 "), false);
  EXPECT_EQ(odbc::DriverInstalled("Microsoft Access Driver (*.mdb)"), false);
}

TEST(OdbcText, Utf16BothWays) {
  const std::string text = "società €𝄞";
  const std::u16string wide = odbc::Utf8ToUtf16(text);
  EXPECT_EQ(wide, u"società €𝄞");
  EXPECT_EQ(odbc::Utf16ToUtf8(wide), text);
  EXPECT_EQ(odbc::Utf8ToUtf16("a\xff"), u"a\uFFFD");
  EXPECT_EQ(odbc::Utf16ToUtf8(u"a\xD800z"), "a\uFFFDz");
  EXPECT_EQ(odbc::Utf8ToUtf16("x\0y"s), u"x\0y"s);
}

}  // namespace
}  // namespace zav5::data

// How a row read earlier is found again for Edit, Update and Delete while other programs change
// the same file: by its primary key when the table has one, by its rowid when it has none.
#include <memory>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "data/data_fixture.h"
#include "data/recordset.h"
#include "data/sqlite/sqlite_connection.h"
#include "data/table_cursor.h"
#include "errors.h"

namespace zav5::data {
namespace {

constexpr std::string_view kStore = R"(
CREATE TABLE offte (
  numero       LONG NOT NULL,
  anno         SHORT NOT NULL,
  descrizione  TEXT(40) COLLATE NOCASE,
  stato        TEXT(1) COLLATE NOCASE,
  PRIMARY KEY (numero, anno)
);
CREATE TABLE offmo (
  bnumer       LONG NOT NULL,
  bannoc       SHORT NOT NULL,
  briga        SHORT NOT NULL,
  codart       LONG,
  stato        TEXT(1) COLLATE NOCASE,
  PRIMARY KEY (bnumer, bannoc, briga)
);
CREATE TABLE listipro (numpro LONG);
CREATE TABLE Semafori (Flag1 SHORT);
CREATE TABLE prezzi (codart LONG, prezzo CURRENCY);
CREATE TABLE soglie (soglia CURRENCY NOT NULL PRIMARY KEY, nota TEXT(10));
CREATE TABLE chiusure (giorno DATETIME NOT NULL PRIMARY KEY, nota TEXT(10));
CREATE TABLE numerata (id INTEGER PRIMARY KEY, nota TEXT(10));
CREATE TABLE offtab (codice SHORT PRIMARY KEY, nota TEXT(10));
)";

// Offer 2 is saved last, so that it holds the highest rowid: the one SQLite gives again to the
// next row added once it is deleted.
constexpr std::string_view kStoreRows = R"(
INSERT INTO offte VALUES (1, 2026, 'Pasta', 'A');
INSERT INTO offte VALUES (3, 2026, 'Olio', 'A');
INSERT INTO offte VALUES (2, 2026, 'Caffè', 'A');
INSERT INTO offmo VALUES (7, 2026, 1, 100, 'A');
INSERT INTO offmo VALUES (7, 2026, 2, 200, 'A');
INSERT INTO offmo VALUES (7, 2026, 3, 300, 'A');
INSERT INTO listipro VALUES (10);
INSERT INTO listipro VALUES (10);
INSERT INTO listipro VALUES (20);
INSERT INTO Semafori VALUES (0);
INSERT INTO prezzi VALUES (100, 1.23456);
INSERT INTO soglie VALUES (0.12345, 'bassa');
INSERT INTO chiusure VALUES ('2026-01-06', 'Epifania');
INSERT INTO offtab VALUES (NULL, 'prima');
INSERT INTO offtab VALUES (NULL, 'seconda');
)";

class RowIdentityTest : public DataFixture {
 protected:
  void SetUp() override {
    database_ = engine_.OpenDatabase(MakeDatabase("dati.mdb", kStore, kStoreRows));
    other_ = std::make_unique<SqliteConnection>(Native("dati.mdb").string());
  }

  Value Stored(std::string_view sql) { return ScalarOf(*database_, sql); }

  // Another program deletes the row of `table` that `where` names and adds one with `values`,
  // which takes the deleted row's rowid.
  void ReplaceTakingItsRowid(const std::string& table, const std::string& where,
                             const std::string& values) {
    const Value before = Stored("SELECT rowid FROM " + table + " WHERE " + where);
    other_->Execute("DELETE FROM " + table + " WHERE " + where + "; INSERT INTO " + table +
                    " VALUES (" + values + ");");
    const Value after = Stored("SELECT max(rowid) FROM " + table);
    ASSERT_FALSE(before.IsNull());
    ASSERT_EQ(after, before) << "the new row did not take the deleted row's rowid";
  }

  std::shared_ptr<Database> database_;
  std::unique_ptr<SqliteConnection> other_;  // another program of the store suite
};

// Runs `attempt` and expects it to fail because the row it works on has gone.
template <typename Attempt>
void ExpectGone(Attempt attempt) {
  try {
    attempt();
    ADD_FAILURE() << "a row that has gone was found again";
  } catch (const DatabaseError& error) {
    EXPECT_NE(std::string(error.what()).find("non esiste più"), std::string::npos) << error.what();
  }
}

TEST_F(RowIdentityTest, EditOfAGoneRowDoesNotReachTheRowThatTookItsRowid) {
  Recordset rs(database_, "SELECT * FROM offte WHERE numero = 2");
  ASSERT_FALSE(rs.Eof());
  ReplaceTakingItsRowid("offte", "numero = 2", "99, 2026, 'Zucchero', 'A'");

  ExpectGone([&] {
    rs.Edit();
    rs.SetField("stato", Value::Text("D"));
    rs.Update();
  });
  EXPECT_EQ(Stored("SELECT stato FROM offte WHERE numero = 99"), Value::Text("A"));
  EXPECT_EQ(Stored("SELECT descrizione FROM offte WHERE numero = 99"), Value::Text("Zucchero"));
}

TEST_F(RowIdentityTest, UpdateOfARowGoneSinceEditDoesNotReachTheRowThatTookItsRowid) {
  Recordset rs(database_, "SELECT * FROM offte WHERE numero = 2");
  rs.Edit();
  rs.SetField("stato", Value::Text("D"));
  ReplaceTakingItsRowid("offte", "numero = 2", "99, 2026, 'Zucchero', 'A'");

  ExpectGone([&] { rs.Update(); });
  EXPECT_EQ(Stored("SELECT stato FROM offte WHERE numero = 99"), Value::Text("A"));
}

TEST_F(RowIdentityTest, DeleteOfAGoneRowDoesNotReachTheRowThatTookItsRowid) {
  Recordset rs(database_, "SELECT * FROM offte WHERE numero = 2");
  ReplaceTakingItsRowid("offte", "numero = 2", "99, 2026, 'Zucchero', 'A'");

  ExpectGone([&] { rs.Delete(); });
  EXPECT_EQ(Stored("SELECT count(*) FROM offte WHERE numero = 99"), Value::Long(1));
  EXPECT_EQ(Stored("SELECT count(*) FROM offte"), Value::Long(3));
}

TEST_F(RowIdentityTest, SoughtRowThatHasGoneIsNotFoundAgainInAnother) {
  TableCursor offers(database_, "offte");
  offers.Index("PrimaryKey");
  offers.Seek("=", Value::Long(2));
  ASSERT_FALSE(offers.NoMatch());
  ReplaceTakingItsRowid("offte", "numero = 2", "99, 2026, 'Zucchero', 'A'");

  ExpectGone([&] {
    offers.Edit();
    offers.SetField("stato", Value::Text("D"));
    offers.Update();
  });
  EXPECT_EQ(Stored("SELECT stato FROM offte WHERE numero = 99"), Value::Text("A"));
}

TEST_F(RowIdentityTest, SoughtRowIsSavedByItsKey) {
  TableCursor offers(database_, "OFFTE");
  offers.Index("primary");
  offers.Seek("=", Value::Long(3));
  ASSERT_FALSE(offers.NoMatch());
  offers.Edit();
  offers.SetField("stato", Value::Text("D"));
  offers.Update();
  EXPECT_EQ(Stored("SELECT group_concat(stato, '') FROM (SELECT stato FROM offte ORDER BY numero)"),
            Value::Text("AAD"));
}

TEST_F(RowIdentityTest, AddedRowIsFoundAgainByItsKey) {
  Recordset rs(database_, "SELECT * FROM offte ORDER BY numero");
  rs.AddNew();
  rs.SetField("numero", Value::Long(4));
  rs.SetField("anno", Value::Integer(2026));
  rs.SetField("stato", Value::Text("A"));
  rs.Update();
  rs.MoveNext();
  rs.MoveNext();
  rs.MoveNext();
  ASSERT_FALSE(rs.Eof());
  ASSERT_EQ(rs.Field("numero").ToLong(), 4);

  // Saved last, the added offer holds the highest rowid; another program replaces it.
  ReplaceTakingItsRowid("offte", "numero = 4", "98, 2026, 'Sale', 'A'");
  ExpectGone([&] { rs.Edit(); });
  ExpectGone([&] { rs.Delete(); });
  EXPECT_EQ(Stored("SELECT count(*) FROM offte WHERE numero = 98 AND stato = 'A'"), Value::Long(1));
}

TEST_F(RowIdentityTest, CompositeKeyFindsTheOneLineItNames) {
  Recordset rs(database_, "SELECT * FROM offmo WHERE bnumer = 7 ORDER BY briga");
  rs.MoveNext();
  ASSERT_EQ(rs.Field("briga").ToInteger(), 2);
  rs.Edit();
  rs.SetField("stato", Value::Text("D"));
  rs.Update();
  EXPECT_EQ(Stored("SELECT group_concat(stato, '') FROM (SELECT stato FROM offmo ORDER BY briga)"),
            Value::Text("ADA"));

  rs.MoveNext();
  ASSERT_EQ(rs.Field("briga").ToInteger(), 3);
  // Another line of the same offer takes the rowid of line 3.
  ReplaceTakingItsRowid("offmo", "bnumer = 7 AND briga = 3", "7, 2026, 4, 400, 'A'");
  ExpectGone([&] {
    rs.Edit();
    rs.SetField("stato", Value::Text("D"));
    rs.Update();
  });
  ExpectGone([&] { rs.Delete(); });
  EXPECT_EQ(Stored("SELECT stato FROM offmo WHERE briga = 4"), Value::Text("A"));

  rs.MoveFirst();
  rs.Delete();
  EXPECT_EQ(Stored("SELECT group_concat(briga, ',') FROM (SELECT briga FROM offmo ORDER BY briga)"),
            Value::Text("2,4"));
}

TEST_F(RowIdentityTest, ChangingAKeyColumnMovesTheRowsKeyWithIt) {
  Recordset rs(database_, "SELECT * FROM offte ORDER BY numero");
  rs.MoveNext();
  ASSERT_EQ(rs.Field("numero").ToLong(), 2);
  rs.Edit();
  rs.SetField("numero", Value::Long(20));
  rs.Update();
  EXPECT_EQ(Stored("SELECT count(*) FROM offte WHERE numero = 2"), Value::Long(0));

  // The same row again, now by its new key: first where the recordset stands, then after a walk.
  rs.Edit();
  EXPECT_EQ(rs.Field("numero").ToLong(), 20);
  rs.SetField("stato", Value::Text("D"));
  rs.Update();
  EXPECT_EQ(Stored("SELECT stato FROM offte WHERE numero = 20"), Value::Text("D"));

  rs.MoveFirst();
  rs.MoveNext();
  rs.Edit();
  rs.SetField("descrizione", Value::Text("Caffè in grani"));
  rs.Update();
  EXPECT_EQ(Stored("SELECT descrizione FROM offte WHERE numero = 20"),
            Value::Text("Caffè in grani"));
  rs.Delete();
  EXPECT_EQ(Stored("SELECT count(*) FROM offte WHERE numero = 20"), Value::Long(0));
  EXPECT_EQ(Stored("SELECT count(*) FROM offte"), Value::Long(2));
}

TEST_F(RowIdentityTest, ChangingOneColumnOfACompositeKeyMovesTheRowsKeyWithIt) {
  TableCursor lines(database_, "offmo");
  lines.Index("primary");
  lines.Seek("=", Value::Long(7));
  ASSERT_FALSE(lines.NoMatch());
  ASSERT_EQ(lines.Field("briga").ToInteger(), 1);
  lines.Edit();
  lines.SetField("briga", Value::Integer(9));
  lines.Update();
  lines.Edit();
  lines.SetField("codart", Value::Long(900));
  lines.Update();
  EXPECT_EQ(Stored("SELECT codart FROM offmo WHERE briga = 9"), Value::Long(900));
  EXPECT_EQ(Stored("SELECT count(*) FROM offmo WHERE briga = 1"), Value::Long(0));
}

TEST_F(RowIdentityTest, RowsOfATableWithoutAKeyCanBeChangedAndDeleted) {
  // Two equal rows: only the one the recordset stands on is changed.
  Recordset numbers(database_, "SELECT * FROM listipro");
  numbers.MoveNext();
  ASSERT_EQ(numbers.Field("numpro").ToLong(), 10);
  numbers.Edit();
  numbers.SetField("numpro", Value::Long(11));
  numbers.Update();
  EXPECT_EQ(
      Stored("SELECT group_concat(numpro, ',') FROM (SELECT numpro FROM listipro ORDER BY rowid)"),
      Value::Text("10,11,20"));
  numbers.MoveFirst();
  numbers.Delete();
  numbers.MoveNext();
  numbers.Edit();  // the row changed above, found again
  EXPECT_EQ(numbers.Field("numpro").ToLong(), 11);
  numbers.CancelUpdate();
  numbers.Delete();
  EXPECT_EQ(Stored("SELECT group_concat(numpro, ',') FROM listipro"), Value::Text("20"));

  Recordset flags(database_, "SELECT * FROM Semafori");
  flags.Edit();
  flags.SetField("Flag1", Value::Integer(-1));
  flags.Update();
  EXPECT_EQ(Stored("SELECT Flag1 FROM Semafori"), Value::Integer(-1));
  flags.Delete();
  EXPECT_EQ(Stored("SELECT count(*) FROM Semafori"), Value::Long(0));
}

// A row without a key is found by its rowid alone: neither a value that does not read back as
// stored (a price with five decimals) nor a change another program saved meanwhile is a conflict.
TEST_F(RowIdentityTest, RowWithoutAKeyIsFoundByItsRowidAlone) {
  Recordset rs(database_, "SELECT * FROM prezzi");
  ASSERT_EQ(Stored("SELECT typeof(prezzo) FROM prezzi"), Value::Text("real"));
  rs.Edit();
  other_->Execute("UPDATE prezzi SET prezzo = 2.5");
  rs.SetField("codart", Value::Long(101));
  rs.Update();
  EXPECT_EQ(Stored("SELECT codart FROM prezzi"), Value::Long(101));
  EXPECT_EQ(Stored("SELECT count(*) FROM prezzi WHERE prezzo = 2.5"), Value::Long(1));
  rs.Delete();
  EXPECT_EQ(Stored("SELECT count(*) FROM prezzi"), Value::Long(0));
}

// Keys another program stored in forms the column's type reads differently: a price with five
// decimals (read as a currency of four), a day written as text (read as a date).
TEST_F(RowIdentityTest, KeyIsMatchedAsStoredNotAsRead) {
  Recordset thresholds(database_, "SELECT * FROM soglie");
  ASSERT_EQ(thresholds.Field("soglia").Kind(), ValueKind::kCurrency);
  thresholds.Edit();
  thresholds.SetField("nota", Value::Text("minima"));
  thresholds.Update();
  EXPECT_EQ(Stored("SELECT nota FROM soglie WHERE soglia = 0.12345"), Value::Text("minima"));
  thresholds.Delete();
  EXPECT_EQ(Stored("SELECT count(*) FROM soglie"), Value::Long(0));

  Recordset closures(database_, "SELECT * FROM chiusure");
  ASSERT_EQ(closures.Field("giorno").Kind(), ValueKind::kDate);
  closures.Edit();
  closures.SetField("nota", Value::Text("festa"));
  closures.Update();
  EXPECT_EQ(Stored("SELECT nota FROM chiusure WHERE giorno = '2026-01-06'"), Value::Text("festa"));
  closures.Delete();
  EXPECT_EQ(Stored("SELECT count(*) FROM chiusure"), Value::Long(0));
}

// A key with a Null part does not name one row (two rows may hold it), so such a row is found by
// its rowid.
TEST_F(RowIdentityTest, KeyWithANullPartFindsOnlyItsOwnRow) {
  Recordset rs(database_, "SELECT * FROM offtab ORDER BY rowid");
  rs.MoveNext();
  ASSERT_EQ(rs.Field("nota").AsText(), "seconda");
  rs.Edit();
  rs.SetField("nota", Value::Text("cambiata"));
  rs.Update();
  EXPECT_EQ(Stored("SELECT group_concat(nota, ',') FROM (SELECT nota FROM offtab ORDER BY rowid)"),
            Value::Text("prima,cambiata"));
  rs.Delete();
  EXPECT_EQ(Stored("SELECT group_concat(nota, ',') FROM offtab"), Value::Text("prima"));
}

TEST_F(RowIdentityTest, RowidKeyGivenByTheEngineIsFoundAgain) {
  Recordset rs(database_, "SELECT * FROM numerata");
  ASSERT_TRUE(rs.Eof());
  rs.AddNew();
  rs.SetField("nota", Value::Text("prima"));
  rs.Update();
  rs.MoveFirst();
  EXPECT_EQ(rs.Field("id").ToLong(), 1);
  rs.Edit();
  rs.SetField("id", Value::Long(5));
  rs.Update();
  rs.Edit();
  rs.SetField("nota", Value::Text("quinta"));
  rs.Update();
  EXPECT_EQ(Stored("SELECT nota FROM numerata WHERE id = 5"), Value::Text("quinta"));
  EXPECT_EQ(Stored("SELECT count(*) FROM numerata"), Value::Long(1));
}

TEST_F(RowIdentityTest, ConnectionFindsRowsByTheKeysItGave) {
  Connection& connection = database_->connection();
  std::optional<Row> offer = connection.Seek("offte", {"numero"}, {Value::Long(3)});
  ASSERT_TRUE(offer.has_value());
  EXPECT_EQ(offer->key.values, (std::vector<Value>{Value::Long(3), Value::Long(2026)}));

  const RowKey moved = connection.Update("offte", offer->key, {{"anno", Value::Integer(2027)}});
  EXPECT_EQ(moved.values, (std::vector<Value>{Value::Long(3), Value::Long(2027)}));
  EXPECT_FALSE(connection.Fetch("offte", offer->key).has_value());
  std::optional<Row> again = connection.Fetch("offte", moved);
  ASSERT_TRUE(again.has_value());
  EXPECT_EQ(again->values[1], Value::Integer(2027));

  const RowKey added =
      connection.Insert("offte", {{"numero", Value::Long(5)}, {"anno", Value::Integer(2026)}});
  EXPECT_EQ(added.values, (std::vector<Value>{Value::Long(5), Value::Long(2026)}));
  connection.Delete("offte", added);
  EXPECT_THROW(connection.Delete("offte", added), DatabaseError);
  EXPECT_THROW(connection.Update("offte", added, {{"stato", Value::Text("D")}}), DatabaseError);

  // A key that does not fit the table's is refused, not matched against part of it.
  EXPECT_THROW(connection.Fetch("offte", RowKey{0, {Value::Long(3)}}), DatabaseError);
  EXPECT_THROW(connection.Delete("listipro", RowKey{1, {Value::Long(10)}}), DatabaseError);
}

}  // namespace
}  // namespace zav5::data

#include "data/recordset.h"

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "data/data_fixture.h"
#include "data/data_source.h"
#include "errors.h"
#include "support/forwarding_connection.h"
#include "support/test_engine_options.h"

namespace zav5::data {
namespace {

constexpr std::string_view kOffers = R"(
CREATE TABLE offte (
  numero       LONG NOT NULL,
  anno         SHORT NOT NULL,
  descrizione  TEXT(30),
  data2        DATETIME,
  stato        TEXT(1),
  PRIMARY KEY (numero, anno)
);
CREATE TABLE offmo (
  bnumer       LONG NOT NULL,
  bannoc       SHORT NOT NULL,
  briga        SHORT NOT NULL,
  codart       LONG
);
)";

constexpr std::string_view kThreeOffers = R"(
INSERT INTO offte VALUES (1, 2026, 'Pasta', 45290, 'A');
INSERT INTO offte VALUES (2, 2026, 'Caffè', 45300, 'A');
INSERT INTO offte VALUES (3, 2026, 'Olio', 45280, 'D');
INSERT INTO offmo VALUES (1, 2026, 1, 100);
INSERT INTO offmo VALUES (1, 2026, 2, 200);
)";

class RecordsetTest : public DataFixture {
 protected:
  void SetUp() override { path_ = MakeDatabase("dati.mdb", kOffers, kThreeOffers); }

  std::unique_ptr<DataSource> Source(std::string sql) {
    auto source = std::make_unique<DataSource>(engine_, "Data1", "");
    source->DatabaseName = path_;
    source->RecordSource = std::move(sql);
    source->Refresh();
    return source;
  }

  // The values of `field` of every row of `sql`, read through a data source of their own.
  std::vector<std::string> Texts(std::string sql, std::string_view field) {
    auto source = Source(std::move(sql));
    std::vector<std::string> texts;
    for (auto& rs = source->Recordset(); !rs.Eof(); rs.MoveNext()) {
      texts.push_back(rs.Field(field).IsNull() ? "<null>" : rs.Field(field).ToText());
    }
    return texts;
  }

  std::string path_;
};

TEST_F(RecordsetTest, EmptyResultIsAtTheEndAtOnce) {
  auto source = Source("select * from offte where  data2 < 45000  and stato = 'A' ");
  Recordset& rs = source->Recordset();
  EXPECT_TRUE(rs.Eof());
  EXPECT_EQ(rs.RecordCount(), 0);
  EXPECT_THROW(rs.MoveFirst(), DatabaseError);
  EXPECT_THROW(rs.MoveNext(), DatabaseError);
  EXPECT_THROW(rs.Field("numero"), DatabaseError);
  EXPECT_THROW(rs.Edit(), DatabaseError);
  EXPECT_THROW(rs.Delete(), DatabaseError);
}

TEST_F(RecordsetTest, WalkingCountsTheRowsReached) {
  auto source = Source("SELECT * FROM offte ORDER BY numero");
  Recordset& rs = source->Recordset();
  ASSERT_FALSE(rs.Eof());
  EXPECT_EQ(rs.RecordCount(), 1);
  EXPECT_EQ(rs.Field("numero").ToLong(), 1);
  rs.MoveNext();
  EXPECT_EQ(rs.RecordCount(), 2);
  EXPECT_EQ(rs.Field("DESCRIZIONE").ToText(), "Caffè");  // names in any case
  rs.MoveNext();
  EXPECT_EQ(rs.RecordCount(), 3);
  rs.MoveNext();
  EXPECT_TRUE(rs.Eof());
  EXPECT_EQ(rs.RecordCount(), 3);
  EXPECT_THROW(rs.MoveNext(), DatabaseError);
  EXPECT_THROW(rs.Field("numero"), DatabaseError);

  rs.MoveFirst();
  EXPECT_FALSE(rs.Eof());
  EXPECT_EQ(rs.Field("numero").ToLong(), 1);
  EXPECT_EQ(rs.RecordCount(), 3);
}

TEST_F(RecordsetTest, UnknownFieldNamesFieldAndQuery) {
  auto source = Source("SELECT * FROM offte");
  try {
    source->Recordset().Field("prezzo");
    FAIL() << "no error for a missing field";
  } catch (const DatabaseError& error) {
    EXPECT_NE(std::string(error.what()).find("prezzo"), std::string::npos) << error.what();
    EXPECT_NE(std::string(error.what()).find("SELECT * FROM offte"), std::string::npos)
        << error.what();
  }
}

TEST_F(RecordsetTest, EditProtocolIsEnforced) {
  auto source = Source("SELECT * FROM offte ORDER BY numero");
  Recordset& rs = source->Recordset();
  EXPECT_THROW(rs.SetField("stato", Value::Text("D")), DatabaseError);
  EXPECT_THROW(rs.Update(), DatabaseError);

  rs.Edit();
  rs.SetField("stato", Value::Text("D"));
  EXPECT_EQ(rs.Field("stato").AsText(), "D");  // the edit buffer is what is read while editing
  rs.CancelUpdate();
  EXPECT_EQ(rs.Field("stato").AsText(), "A");
  EXPECT_THROW(rs.Update(), DatabaseError);
  EXPECT_EQ(Texts("SELECT * FROM offte WHERE numero = 1", "stato"), std::vector<std::string>{"A"});

  // Moving away drops an edit that was not saved.
  rs.Edit();
  rs.SetField("stato", Value::Text("X"));
  rs.MoveNext();
  EXPECT_THROW(rs.Update(), DatabaseError);
  EXPECT_EQ(Texts("SELECT * FROM offte WHERE numero = 1", "stato"), std::vector<std::string>{"A"});
}

TEST_F(RecordsetTest, UpdateSavesTheFieldAndTheRowShowsIt) {
  auto source = Source("select * from offte where  data2 < 45292  and stato = 'A' ");
  Recordset& rs = source->Recordset();
  ASSERT_FALSE(rs.Eof());
  rs.MoveFirst();
  while (!rs.Eof()) {
    rs.Edit();
    rs.SetField("stato", Value::Text("D"));
    rs.Update();
    EXPECT_EQ(rs.Field("stato").AsText(), "D");
    rs.MoveNext();
  }
  rs.MoveFirst();
  EXPECT_EQ(rs.Field("stato").AsText(), "D");  // the recordset keeps the saved values
  EXPECT_EQ(Texts("SELECT * FROM offte ORDER BY numero", "stato"),
            (std::vector<std::string>{"D", "A", "D"}));
}

TEST_F(RecordsetTest, EditKeepsWhatAnotherSourceSaved) {
  auto a = Source("SELECT * FROM offte WHERE numero = 2");
  auto b = Source("SELECT * FROM offte WHERE numero = 2");
  ASSERT_EQ(a->Recordset().Field("stato").AsText(), "A");

  b->Recordset().Edit();
  b->Recordset().SetField("stato", Value::Text("D"));
  b->Recordset().Update();

  // A read the row before B saved; its own edit starts from the row as it is now.
  a->Recordset().Edit();
  EXPECT_EQ(a->Recordset().Field("stato").AsText(), "D");
  a->Recordset().SetField("descrizione", Value::Text("Caffè in grani"));
  a->Recordset().Update();

  EXPECT_EQ(Texts("SELECT * FROM offte WHERE numero = 2", "stato"), std::vector<std::string>{"D"});
  EXPECT_EQ(Texts("SELECT * FROM offte WHERE numero = 2", "descrizione"),
            std::vector<std::string>{"Caffè in grani"});
}

TEST_F(RecordsetTest, UpdateWritesOnlyTheFieldsWritten) {
  auto a = Source("SELECT * FROM offte WHERE numero = 1");
  auto b = Source("SELECT * FROM offte WHERE numero = 1");
  a->Recordset().Edit();  // A's buffer holds stato 'A' from here on

  b->Recordset().Edit();
  b->Recordset().SetField("stato", Value::Text("D"));
  b->Recordset().Update();

  a->Recordset().SetField("data2", Value::Day(Date{45400}));
  a->Recordset().Update();

  EXPECT_EQ(Texts("SELECT * FROM offte WHERE numero = 1", "stato"), std::vector<std::string>{"D"});
  auto check = Source("SELECT * FROM offte WHERE numero = 1");
  EXPECT_EQ(check->Recordset().Field("data2"), Value::Day(Date{45400}));
}

TEST_F(RecordsetTest, EditOfARowAnotherSourceDeletedFails) {
  auto a = Source("SELECT * FROM offte WHERE numero = 3");
  auto b = Source("SELECT * FROM offte WHERE numero = 3");
  b->Recordset().Delete();
  EXPECT_THROW(a->Recordset().Edit(), DatabaseError);
  EXPECT_THROW(a->Recordset().Delete(), DatabaseError);
}

// The edit buffer: a field reads what Update would save, and a failed Update leaves it as it was.
TEST_F(RecordsetTest, TheEditBufferShowsWhatUpdateWouldSaveAndOutlivesAFailedUpdate) {
  auto a = Source("SELECT * FROM offte WHERE numero = 2");
  Recordset& rs = a->Recordset();
  rs.AddNew();
  EXPECT_TRUE(rs.Field("descrizione").IsNull());  // not written: the table's default is not known
  rs.SetField("descrizione", Value::Text("Tè"));
  EXPECT_EQ(rs.Field("descrizione").AsText(), "Tè");
  rs.CancelUpdate();
  EXPECT_EQ(rs.Field("descrizione").AsText(), "Caffè");  // the current row again

  rs.Edit();
  EXPECT_EQ(rs.Field("stato").AsText(), "A");  // not written: the row as read by Edit
  rs.SetField("stato", Value::Text("D"));
  EXPECT_EQ(rs.Field("stato").AsText(), "D");
  Source("SELECT * FROM offte WHERE numero = 2")->Recordset().Delete();
  EXPECT_THROW(rs.Update(), DatabaseError);
  EXPECT_EQ(rs.Field("stato").AsText(), "D");  // still being edited, with what was written
  EXPECT_EQ(rs.Field("descrizione").AsText(), "Caffè");
  rs.CancelUpdate();
  EXPECT_EQ(rs.Field("stato").AsText(), "A");
}

// However many rows are added while one is current, it stays current, and changes reach it.
TEST_F(RecordsetTest, RowsAddedWhileOneIsCurrentLeaveItCurrent) {
  auto source = Source("SELECT * FROM offmo WHERE bnumer = 1 ORDER BY briga");
  Recordset& rs = source->Recordset();
  for (int briga = 3; briga <= 40; ++briga) {
    rs.AddNew();
    rs.SetField("bnumer", Value::Long(1));
    rs.SetField("bannoc", Value::Integer(2026));
    rs.SetField("briga", Value::Integer(static_cast<std::int16_t>(briga)));
    rs.Update();
    ASSERT_EQ(rs.Field("briga").ToInteger(), 1) << "after row " << briga;
  }
  rs.Edit();
  rs.SetField("codart", Value::Long(101));
  rs.Update();
  EXPECT_EQ(rs.Field("codart").ToLong(), 101);
  EXPECT_EQ(Texts("SELECT * FROM offmo WHERE bnumer = 1 AND briga <= 2 ORDER BY briga", "codart"),
            (std::vector<std::string>{"101", "200"}));
  rs.MoveNext();
  EXPECT_EQ(rs.Field("briga").ToInteger(), 2);
  EXPECT_EQ(rs.RecordCount(), 40);
}

TEST_F(RecordsetTest, AddedRowDoesNotMoveThePosition) {
  auto source = Source("SELECT * FROM offmo WHERE bnumer = 1 ORDER BY briga");
  Recordset& rs = source->Recordset();
  rs.MoveNext();
  rs.MoveNext();
  ASSERT_TRUE(rs.Eof());
  ASSERT_EQ(rs.RecordCount(), 2);

  rs.AddNew();
  rs.SetField("bnumer", Value::Long(1));
  rs.SetField("bannoc", Value::Integer(2026));
  rs.SetField("briga", Value::Long(3));  // coerced to the SHORT column
  rs.Update();
  EXPECT_TRUE(rs.Eof());  // still at the end: the new row is not current
  EXPECT_EQ(rs.RecordCount(), 3);
  EXPECT_THROW(rs.Field("briga"), DatabaseError);

  // Added in the middle of a walk: the current row stays current; the walk reaches the new row.
  rs.MoveFirst();
  rs.AddNew();
  rs.SetField("bnumer", Value::Long(1));
  rs.SetField("bannoc", Value::Integer(2026));
  rs.SetField("briga", Value::Integer(4));
  rs.Update();
  EXPECT_EQ(rs.Field("briga").ToInteger(), 1);
  std::vector<int> walked;
  for (; !rs.Eof(); rs.MoveNext()) {
    walked.push_back(rs.Field("briga").ToInteger());
  }
  EXPECT_EQ(walked, (std::vector<int>{1, 2, 3, 4}));
  EXPECT_EQ(rs.RecordCount(), 4);

  // The fields not written took the table's default (none here: Null).
  EXPECT_EQ(Texts("SELECT * FROM offmo WHERE briga >= 3 ORDER BY briga", "codart"),
            (std::vector<std::string>{"<null>", "<null>"}));
}

// The count is the original rows reached so far plus the rows added, whatever the position.
TEST_F(RecordsetTest, RowAddedMidWalkDoesNotHideTheRowsReachedAfterIt) {
  auto source = Source("SELECT * FROM offte ORDER BY numero");
  Recordset& rs = source->Recordset();
  ASSERT_EQ(rs.RecordCount(), 1);
  rs.AddNew();
  rs.SetField("numero", Value::Long(4));
  rs.SetField("anno", Value::Integer(2026));
  rs.Update();
  EXPECT_EQ(rs.RecordCount(), 2);  // row 1 reached, one added
  rs.MoveNext();
  EXPECT_EQ(rs.RecordCount(), 3);
  rs.MoveNext();
  EXPECT_EQ(rs.RecordCount(), 4);
  rs.MoveNext();
  ASSERT_FALSE(rs.Eof());
  EXPECT_EQ(rs.Field("numero").ToLong(), 4);  // the added row, reached by the walk
  EXPECT_EQ(rs.RecordCount(), 4);
  rs.MoveNext();
  EXPECT_TRUE(rs.Eof());
  EXPECT_EQ(rs.RecordCount(), 4);
  rs.MoveFirst();
  EXPECT_EQ(rs.RecordCount(), 4);
}

TEST_F(RecordsetTest, RowsDeletedWhileWalkingLeaveTheCount) {
  auto source = Source("SELECT * FROM offte ORDER BY numero");
  Recordset& rs = source->Recordset();
  rs.AddNew();
  rs.SetField("numero", Value::Long(4));
  rs.SetField("anno", Value::Integer(2026));
  rs.Update();
  ASSERT_EQ(rs.RecordCount(), 2);
  rs.MoveNext();
  EXPECT_EQ(rs.RecordCount(), 3);
  rs.Delete();  // offer 2
  EXPECT_EQ(rs.RecordCount(), 2);
  rs.MoveNext();
  EXPECT_EQ(rs.Field("numero").ToLong(), 3);
  EXPECT_EQ(rs.RecordCount(), 3);
  rs.MoveNext();
  EXPECT_EQ(rs.Field("numero").ToLong(), 4);
  rs.Delete();  // the added offer
  EXPECT_EQ(rs.RecordCount(), 2);
  rs.MoveNext();
  EXPECT_TRUE(rs.Eof());
  EXPECT_EQ(rs.RecordCount(), 2);

  std::vector<int> walked;
  for (rs.MoveFirst(); !rs.Eof(); rs.MoveNext()) {
    walked.push_back(rs.Field("numero").ToLong());
  }
  EXPECT_EQ(walked, (std::vector<int>{1, 3}));
  EXPECT_EQ(rs.RecordCount(), 2);
  EXPECT_EQ(Texts("SELECT * FROM offte ORDER BY numero", "numero"),
            (std::vector<std::string>{"1", "3"}));
}

TEST_F(RecordsetTest, DeleteWhileWalkingEmptiesTheTable) {
  auto source = Source("SELECT * FROM offte");
  Recordset& rs = source->Recordset();
  rs.MoveFirst();
  while (!rs.Eof()) {
    rs.Delete();
    EXPECT_THROW(rs.Field("numero"), DatabaseError);  // the position stays on the deleted row
    EXPECT_THROW(rs.Delete(), DatabaseError);
    EXPECT_THROW(rs.Edit(), DatabaseError);
    rs.MoveNext();
  }
  EXPECT_EQ(rs.RecordCount(), 0);
  EXPECT_THROW(rs.MoveFirst(), DatabaseError);
  EXPECT_TRUE(Texts("SELECT * FROM offte", "numero").empty());
}

TEST_F(RecordsetTest, DeletedRowIsSkippedByTheWalk) {
  auto source = Source("SELECT * FROM offte ORDER BY numero");
  Recordset& rs = source->Recordset();
  rs.MoveNext();
  rs.Delete();
  rs.MoveFirst();
  std::vector<int> walked;
  for (; !rs.Eof(); rs.MoveNext()) {
    walked.push_back(rs.Field("numero").ToLong());
  }
  EXPECT_EQ(walked, (std::vector<int>{1, 3}));
  EXPECT_EQ(rs.RecordCount(), 2);
}

TEST_F(RecordsetTest, TooLongTextIsRefusedAndNothingIsSaved) {
  auto source = Source("SELECT * FROM offte WHERE numero = 1");
  Recordset& rs = source->Recordset();
  rs.Edit();
  rs.SetField("stato", Value::Text("D"));
  EXPECT_THROW(rs.SetField("descrizione", Value::Text(std::string(31, 'x'))), ConversionError);
  EXPECT_EQ(rs.Field("descrizione").AsText(), "Pasta");
  rs.CancelUpdate();
  EXPECT_EQ(Texts("SELECT * FROM offte WHERE numero = 1", "descrizione"),
            std::vector<std::string>{"Pasta"});
  EXPECT_EQ(Texts("SELECT * FROM offte WHERE numero = 1", "stato"), std::vector<std::string>{"A"});
}

TEST_F(RecordsetTest, QueryOnMoreThanOneTableIsReadOnly) {
  auto source =
      Source("SELECT * FROM offte, offmo WHERE offte.numero = offmo.bnumer ORDER BY offmo.briga");
  Recordset& rs = source->Recordset();
  ASSERT_FALSE(rs.Eof());
  EXPECT_EQ(rs.Field("codart").ToLong(), 100);
  for (auto attempt : {+[](Recordset& r) { r.Edit(); }, +[](Recordset& r) { r.AddNew(); },
                       +[](Recordset& r) { r.Delete(); }}) {
    try {
      attempt(rs);
      ADD_FAILURE() << "a joined query was changed";
    } catch (const DatabaseError& error) {
      EXPECT_NE(std::string(error.what()).find("non aggiornabile"), std::string::npos)
          << error.what();
    }
  }
}

TEST_F(RecordsetTest, LockEditsIsKept) {
  auto source = Source("SELECT * FROM offte");
  Recordset& rs = source->Recordset();
  rs.LockEdits(false);
  EXPECT_FALSE(rs.LockEdits());
  rs.LockEdits(true);
  EXPECT_TRUE(rs.LockEdits());
}

TEST_F(RecordsetTest, DataSourceNeedsRefreshAndRunsTheNewQueryOnEachRefresh) {
  DataSource source(engine_, "Data1", "");
  EXPECT_THROW(source.Recordset(), DatabaseError);
  source.DatabaseName = path_;
  source.RecordSource = "SELECT * FROM offte WHERE numero = 1";
  source.Refresh();
  EXPECT_EQ(source.Recordset().Field("descrizione").AsText(), "Pasta");
  source.RecordSource = "SELECT * FROM offmo  WHERE bnumer= 1 and bannoc = 2026 ";
  source.Refresh();
  EXPECT_EQ(source.Recordset().Field("codart").ToLong(), 100);

  source.DatabaseName = WindowsPath("manca.mdb");
  EXPECT_THROW(source.Refresh(), DatabaseError);
  EXPECT_THROW(source.Recordset(), DatabaseError);  // the old recordset went first
}

// Counts the rows read again by Edit, and plays, when asked, an engine whose transactions keep
// no read locks.
class RereadCounter : public test::ForwardingConnection {
 public:
  RereadCounter(std::unique_ptr<Connection> inner, int& riletture, bool tiene_le_righe)
      : ForwardingConnection(std::move(inner)), rereads_(riletture), keeps_rows_(tiene_le_righe) {}

  std::optional<Row> Fetch(std::string_view table, const RowKey& key) override {
    ++rereads_;
    return inner().Fetch(table, key);
  }
  bool RowsStayAsRead() const override {
    return keeps_rows_ && ForwardingConnection::RowsStayAsRead();
  }

 private:
  int& rereads_;
  bool keeps_rows_;
};

// Edit reads a row again unless nothing can have changed it since it was read: a lost update
// otherwise, when another recordset of the program changed it in between.
TEST_F(RecordsetTest, EditReadsTheRowAgainUnlessTheOpenTransactionKeepsItAsRead) {
  struct Caso {
    const char* name;
    bool letto_nella_transazione;
    bool cambiato_da_un_altro_recordset;
    bool motore_che_tiene_le_righe;
    int riletture;
  };
  const Caso casi[] = {
      {"read and edited in one transaction", true, false, true, 0},
      {"read before the transaction began", false, false, true, 3},
      {"changed by another recordset after the read", true, true, true, 3},
      {"an engine that keeps no read locks", true, false, false, 3},
  };
  int numero = 0;
  for (const Caso& caso : casi) {
    SCOPED_TRACE(caso.name);
    const std::string path =
        MakeDatabase("caso" + std::to_string(++numero) + ".mdb", kOffers, kThreeOffers);
    int riletture = 0;
    EngineOptions options = test::TestEngineOptions();
    options.wrap_connection =
        [&](std::unique_ptr<Connection> inner) -> std::unique_ptr<Connection> {
      return std::make_unique<RereadCounter>(std::move(inner), riletture,
                                             caso.motore_che_tiene_le_righe);
    };
    DbEngine engine(env_, options);
    const std::shared_ptr<Database> db = engine.OpenDatabase(path);
    std::optional<Recordset> lines;
    if (!caso.letto_nella_transazione) {
      lines.emplace(db, "SELECT * FROM offte ORDER BY numero");
    }
    db->BeginTrans();
    if (caso.letto_nella_transazione) {
      lines.emplace(db, "SELECT * FROM offte ORDER BY numero");
    }
    if (caso.cambiato_da_un_altro_recordset) {
      Recordset altro(db, "SELECT * FROM offte WHERE numero = 2");
      altro.Edit();
      altro.SetField("descrizione", Value::Text("Tè"));
      altro.Update();
      riletture = 0;
    }
    for (; !lines->Eof(); lines->MoveNext()) {
      lines->Edit();
      lines->SetField("descrizione", Value::Text(lines->Field("descrizione").ToText() + "+"));
      lines->Update();
    }
    db->CommitTrans();
    EXPECT_EQ(riletture, caso.riletture);
    std::vector<std::string> salvati;
    for (Recordset letti(db, "SELECT * FROM offte ORDER BY numero"); !letti.Eof();
         letti.MoveNext()) {
      salvati.push_back(letti.Field("descrizione").ToText());
    }
    EXPECT_EQ(salvati,
              (std::vector<std::string>{
                  "Pasta+", caso.cambiato_da_un_altro_recordset ? "Tè+" : "Caffè+", "Olio+"}));
  }
}

}  // namespace
}  // namespace zav5::data

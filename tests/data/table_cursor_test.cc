#include "data/table_cursor.h"

#include <gtest/gtest.h>

#include "data/data_fixture.h"
#include "errors.h"

namespace zav5::data {
namespace {

constexpr std::string_view kCodes = R"(
CREATE TABLE codean (
  eanare   TEXT(13) NOT NULL PRIMARY KEY,
  codare   LONG,
  soglia   CURRENCY
);
CREATE INDEX codean_codare ON codean (codare);
CREATE TABLE listi01 (
  codart   LONG NOT NULL PRIMARY KEY,
  desart   TEXT(50)
);
CREATE TABLE offmo (
  briga    SHORT,
  bannoc   SHORT NOT NULL,
  bnumer   LONG NOT NULL,
  PRIMARY KEY (bnumer, bannoc)
);
CREATE TABLE storico (riga LONG, nota MEMO);
)";

constexpr std::string_view kCodeRows = R"(
INSERT INTO codean VALUES ('8001234567890', 100, 1.5);
INSERT INTO codean VALUES ('8009876543210', 200, 2.25);
INSERT INTO codean VALUES ('8000000000017', 100, NULL);
INSERT INTO listi01 VALUES (100, 'Pasta di semola');
INSERT INTO listi01 VALUES (200, 'Caffè macinato');
INSERT INTO offmo VALUES (1, 2026, 7);
)";

class TableCursorTest : public DataFixture {
 protected:
  void SetUp() override {
    database_ = engine_.OpenDatabase(MakeDatabase("dati.mdb", kCodes, kCodeRows));
  }
  std::shared_ptr<Database> database_;
};

TEST_F(TableCursorTest, SeekOnTheSingleColumnPrimaryKey) {
  TableCursor codes(database_, "codean");
  codes.Index("PrimaryKey");
  codes.Seek("=", Value::Text("8009876543210"));
  ASSERT_FALSE(codes.NoMatch());
  EXPECT_EQ(codes.Field("codare").ToLong(), 200);
  EXPECT_EQ(codes.Field("soglia").AsCurrency(), Currency{22500});

  codes.Seek("=", Value::Text("8000000000000"));
  EXPECT_TRUE(codes.NoMatch());
  EXPECT_THROW(codes.Field("codare"), DatabaseError);

  TableCursor prices(database_, "LISTI01");
  prices.Index("primary");
  prices.Seek("=", Value::Integer(200));  // an integer key finds the LONG column's row
  ASSERT_FALSE(prices.NoMatch());
  EXPECT_EQ(prices.Field("desart").AsText(), "Caffè macinato");
}

TEST_F(TableCursorTest, SeekOnANamedIndex) {
  TableCursor codes(database_, "codean");
  codes.Index("CODEAN_CODARE");
  codes.Seek("=", Value::Long(100));
  ASSERT_FALSE(codes.NoMatch());
  EXPECT_EQ(codes.Field("codare").ToLong(), 100);
  codes.Seek("=", Value::Long(300));
  EXPECT_TRUE(codes.NoMatch());
}

// The index set last is the one sought on; one that cannot be set leaves the one before it.
TEST_F(TableCursorTest, EachSeekUsesTheIndexSetLast) {
  TableCursor codes(database_, "codean");
  for (int round = 0; round < 2; ++round) {
    codes.Index("primary");
    codes.Index("primary");
    codes.Seek("=", Value::Text("8009876543210"));
    ASSERT_FALSE(codes.NoMatch());
    EXPECT_EQ(codes.Field("codare").ToLong(), 200);

    codes.Index("codean_codare");
    codes.Seek("=", Value::Long(100));
    ASSERT_FALSE(codes.NoMatch());
    EXPECT_EQ(codes.Field("codare").ToLong(), 100);
    codes.Seek("=", Value::Long(300));
    EXPECT_TRUE(codes.NoMatch());

    EXPECT_THROW(codes.Index("nessuno"), DatabaseError);
    codes.Seek("=", Value::Long(200));
    ASSERT_FALSE(codes.NoMatch());
    EXPECT_EQ(codes.Field("codare").ToLong(), 200);
  }
}

TEST_F(TableCursorTest, OneKeyValueMatchesTheFirstColumnOfACompositeKey) {
  TableCursor lines(database_, "offmo");
  lines.Index("primary");  // (bnumer, bannoc), in the key's order, not the table's
  lines.Seek("=", Value::Long(7));
  ASSERT_FALSE(lines.NoMatch());
  EXPECT_EQ(lines.Field("bannoc").ToInteger(), 2026);
}

TEST_F(TableCursorTest, FoundRowCanBeChanged) {
  TableCursor prices(database_, "listi01");
  prices.Index("primary");
  prices.Seek("=", Value::Long(100));
  ASSERT_FALSE(prices.NoMatch());
  prices.Edit();
  prices.SetField("desart", Value::Text("Pasta all'uovo"));
  prices.Update();
  EXPECT_EQ(prices.Field("desart").AsText(), "Pasta all'uovo");
  EXPECT_EQ(ScalarOf(*database_, "SELECT desart FROM listi01 WHERE codart = 100"),
            Value::Text("Pasta all'uovo"));
}

TEST_F(TableCursorTest, RefusesWhatItCannotDo) {
  EXPECT_THROW(TableCursor(database_, "manca"), DatabaseError);

  TableCursor codes(database_, "codean");
  EXPECT_THROW(codes.Seek("=", Value::Text("8001234567890")), DatabaseError);  // no index yet
  EXPECT_THROW(codes.Index("nessuno"), DatabaseError);
  codes.Index("primary");
  EXPECT_THROW(codes.Seek(">=", Value::Text("8001234567890")), DatabaseError);
  EXPECT_THROW(codes.Edit(), DatabaseError);  // nothing found yet

  TableCursor history(database_, "storico");
  EXPECT_THROW(history.Index("primary"), DatabaseError);  // a table without a primary key
}

}  // namespace
}  // namespace zav5::data

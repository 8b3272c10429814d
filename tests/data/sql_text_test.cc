// Text values in SQL texts: a value with a quote is a value, never a syntax error or SQL.

#include "data/sql_text.h"

#include <gtest/gtest.h>

#include "data/data_source.h"
#include "data/value.h"
#include "data_fixture.h"

namespace zav5::data {
namespace {

TEST(SqlTextTest, QuotesAreDoubled) {
  EXPECT_EQ(DoubleQuotes(""), "");
  EXPECT_EQ(DoubleQuotes("ACQUA"), "ACQUA");
  EXPECT_EQ(DoubleQuotes("L'ACQUA"), "L''ACQUA");
  EXPECT_EQ(DoubleQuotes("''"), "''''");
  EXPECT_EQ(SqlLiteral("CAFFE'"), "'CAFFE'''");
}

class SqlLiteralQueryTest : public DataFixture {};

TEST_F(SqlLiteralQueryTest, AValueWithQuotesFindsItsRowAndInjectsNothing) {
  const std::string path =
      MakeDatabase("q.mdb", "CREATE TABLE unitam (coduni TEXT(20), fatxmul DOUBLE);",
                   "INSERT INTO unitam VALUES ('PZ''', 2);"
                   "INSERT INTO unitam VALUES ('KG', 1);");
  DataSource source(engine_, "unita2", "Data3");
  source.DatabaseName = path;

  source.RecordSource = "SELECT * FROM unitam WHERE  coduni = " + SqlLiteral("PZ'") + " ";
  source.Refresh();
  ASSERT_FALSE(source.Recordset().Eof());
  EXPECT_EQ(source.Recordset().Field("fatxmul").ToDouble(), 2.0);

  // A value written to break out of the literal matches nothing and changes nothing.
  source.RecordSource = "SELECT * FROM unitam WHERE coduni = " + SqlLiteral("x' OR '1'='1") + " ";
  source.Refresh();
  EXPECT_TRUE(source.Recordset().Eof());
  source.RecordSource = "SELECT * FROM unitam";
  source.Refresh();
  EXPECT_EQ(source.Recordset().Field("coduni").ToText(), "PZ'");
}

}  // namespace
}  // namespace zav5::data

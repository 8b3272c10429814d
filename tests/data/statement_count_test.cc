// The statements a connection counts (Connection::StatementsRun), on both backends: what the
// benchmark divides by the offer's rows.
#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <ostream>
#include <string>
#include <string_view>

#include <gtest/gtest.h>

#include "data/backend.h"
#include "data/odbc/odbc_connection.h"
#include "data/sqlite/sqlite_connection.h"
#include "errors.h"
#include "schema_texts.h"
#include "support/temp_dir.h"

namespace zav5::data {
namespace {

constexpr std::string_view kRows = R"(
INSERT INTO offmo VALUES (7, 2026, 1, '8001234567890', 100, 0.5, 'F1', 'A', 'N');
INSERT INTO offmo VALUES (7, 2026, 2, '8001234567891', 200, 1.2345, 'F2', 'A', 'N');
INSERT INTO codean (eanare, codare) VALUES ('8001234567890', 100);
INSERT INTO listipro VALUES (10);
)";

struct Backend {
  const char* name;
  std::function<std::unique_ptr<Connection>(const std::filesystem::path&)> open;
  // The statements of BeginTransaction and Commit together: SQLite runs BEGIN and COMMIT, ODBC
  // switches autocommit and ends the transaction by calls that are not statements.
  std::uint64_t transaction;
};

void PrintTo(const Backend& backend, std::ostream* out) {
  *out << backend.name;
}

class StatementCountTest : public testing::TestWithParam<Backend> {
 protected:
  void SetUp() override {
    test::CreateSqliteFile(file_, schema::k_negozio, kRows);
    connection_ = GetParam().open(file_);
  }

  // The statements `work` runs.
  std::uint64_t Counted(const std::function<void()>& work) {
    const std::uint64_t before = connection_->StatementsRun();
    work();
    return connection_->StatementsRun() - before;
  }

  test::TempDir dir_;
  std::filesystem::path file_ = dir_.path() / "dati.mdb";
  std::unique_ptr<Connection> connection_;
};

TEST_P(StatementCountTest, EachRunCountsOnceWhateverItsRowsAndTheReadsOfATableCountToo) {
  Connection& c = *connection_;
  std::size_t rows = 0;
  const auto query = [&] { rows = c.Query("SELECT * FROM offmo WHERE bnumer = 7").rows.size(); };
  std::optional<Row> found;
  const auto seek = [&](const char* ean) {
    return [&c, &found, ean] { found = c.Seek("codean", {"eanare"}, {Value::Text(ean)}); };
  };
  // The first query of a table reads its columns and key first.
  EXPECT_GT(Counted(query), 1u);
  EXPECT_GE(Counted(seek("8001234567890")), 1u);

  // Then each run is one statement, the second run of a prepared text included.
  EXPECT_EQ(Counted(query), 1u);
  EXPECT_EQ(Counted(query), 1u);
  EXPECT_EQ(rows, 2u);
  EXPECT_EQ(Counted(seek("8001234567890")), 1u);
  EXPECT_TRUE(found);
  EXPECT_EQ(Counted(seek("manca")), 1u);
  EXPECT_FALSE(found);
  const RowKey line{0, {Value::Long(7), Value::Integer(2026), Value::Long(2)}};
  EXPECT_EQ(Counted([&] { c.Update("offmo", line, {{"stato", Value::Text("D")}}); }), 1u);
  EXPECT_EQ(Counted([&] {
              c.BeginTransaction();
              c.Commit();
            }),
            GetParam().transaction);
  EXPECT_EQ(Counted([&] { c.Execute("UPDATE listipro SET numpro = 11"); }), 1u);
  // A statement the engine refuses was run all the same.
  EXPECT_EQ(Counted([&] {
              try {
                c.Execute("UPDATE manca SET x = 1");
                ADD_FAILURE() << "an update of a missing table was accepted";
              } catch (const DatabaseError&) {
              }
            }),
            1u);
}

// The ODBC backend's instance is named Odbc so that the builds without Debian's SQLite ODBC
// driver leave it out with the backend's other tests.
INSTANTIATE_TEST_SUITE_P(Sqlite, StatementCountTest,
                         testing::Values(Backend{
                             "SQLite",
                             [](const std::filesystem::path& file) -> std::unique_ptr<Connection> {
                               return std::make_unique<SqliteConnection>(file.string());
                             },
                             2}));
INSTANTIATE_TEST_SUITE_P(
    Odbc, StatementCountTest,
    testing::Values(Backend{"ODBC",
                            [](const std::filesystem::path& file) -> std::unique_ptr<Connection> {
                              return OpenOdbcConnection("Driver=SQLite3;Database=" + file.string() +
                                                        ";Timeout=5000;NoCreat=1;");
                            },
                            0}));

}  // namespace
}  // namespace zav5::data

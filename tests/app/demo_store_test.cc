// The demo store: start-up completes on it, and it holds what the program's work needs.

#include "app/demo_store.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "data/data_source.h"
#include "data/database.h"
#include "data/value.h"
#include "data/value_calendar.h"
#include "errors.h"
#include "support/test_engine_options.h"
#include "support/test_store.h"
#include "window/form1.h"

namespace zav5::app {
namespace {

using namespace std::chrono;

constexpr year_month_day kToday = 2026y / December / 7;

class DemoStoreTest : public testing::Test {
 protected:
  DemoStoreTest()
      : demo_(CreateDemoStore(dir_.path() / "demo", kToday)),
        env_(platform::DriveMap{{'C', demo_.drive_c}, {'Z', demo_.drive_z}}, 'C') {}

  // Runs `sql` on the store database and returns the recordset's first row's `field`.
  data::Value First(const std::string& sql, std::string_view field) {
    source_.DatabaseName = "C:\\sulvo\\neg01\\dati.mdb";
    source_.RecordSource = sql;
    source_.Refresh();
    EXPECT_FALSE(source_.Recordset().Eof()) << sql;
    return source_.Recordset().Eof() ? data::Value() : source_.Recordset().Field(field);
  }
  int Count(const std::string& sql) {
    source_.DatabaseName = "C:\\sulvo\\neg01\\dati.mdb";
    source_.RecordSource = sql;
    source_.Refresh();
    int rows = 0;
    for (auto& rs = source_.Recordset(); !rs.Eof(); rs.MoveNext()) {
      ++rows;
    }
    return rows;
  }

  test::TempDir dir_;
  DemoStore demo_;
  test::TestEnv env_;
  data::DbEngine engine_{env_, test::TestEngineOptions()};
  data::DataSource source_{engine_, "test", "Data3"};
};

TEST_F(DemoStoreTest, StartUpCompletesOnIt) {
  window::Form1 form(env_, test::TestEngineOptions());
  form.Form_Load();
  EXPECT_EQ(form.LastStartup(), startup::StartupOutcome::kComplete);
  EXPECT_EQ(form.nrposw(), "4");
  EXPECT_TRUE(std::filesystem::exists(demo_.drive_c / "sulvo" / "bkp" / "logzav3_07122026.txt"));
  EXPECT_TRUE(std::filesystem::is_directory(demo_.drive_z));
}

TEST_F(DemoStoreTest, TwoOffersHaveExpiredAndOneRuns) {
  const int today = data::DayNumber(kToday);
  EXPECT_EQ(
      Count("select * from offte where  data2 < " + std::to_string(today) + "  and stato = 'A' "),
      2);
  EXPECT_EQ(Count("SELECT * FROM offte WHERE data2 >= " + std::to_string(today)), 1);
  // Every offer row names an article whose promotion covers its offer's period.
  EXPECT_EQ(Count("SELECT * FROM offmo"), Count("SELECT * FROM listi01 WHERE numpro > 0"));
  EXPECT_GT(Count("SELECT * FROM offmo WHERE sconto > 0"), 0);
}

TEST_F(DemoStoreTest, HoldsAFewHundredArticlesWithValidEanCodes) {
  EXPECT_GE(demo_.articoli, 200);
  EXPECT_EQ(Count("SELECT * FROM listi01"), demo_.articoli);
  EXPECT_GT(Count("SELECT * FROM codean"), demo_.articoli);
  source_.RecordSource = "SELECT * FROM codean";
  source_.Refresh();
  for (auto& rs = source_.Recordset(); !rs.Eof(); rs.MoveNext()) {
    const std::string ean = rs.Field("eanare").ToText();
    ASSERT_EQ(ean.size(), 13U);
    int sum = 0;
    for (std::size_t i = 0; i < 12; ++i) {
      sum += (ean[i] - '0') * (i % 2 == 0 ? 1 : 3);
    }
    EXPECT_EQ((10 - sum % 10) % 10, ean[12] - '0') << ean;
  }
  // Some articles lack a supplier code, and some have a description with a quote.
  EXPECT_GT(Count("SELECT * FROM listi01 WHERE codafo IS NULL"), 0);
  EXPECT_GT(Count("SELECT * FROM listi01 WHERE desart LIKE '%''%'"), 0);
}

TEST_F(DemoStoreTest, TwoActiveLabelSystemsOnePerLayout) {
  EXPECT_EQ(Count("SELECT * FROM elettro WHERE attivato = '1'"), 2);
  EXPECT_EQ(
      First("SELECT * FROM elettro WHERE attivato = '1' AND ftp = '0'", "percorsoint").ToText(),
      "C:\\sulvo\\");
  EXPECT_EQ(First("SELECT * FROM elettro WHERE attivato = '1' AND ftp = '1'", "vexular").ToText(),
            "ESL");
}

TEST_F(DemoStoreTest, TextsCompareWithoutRegardToCaseAsInAccess) {
  EXPECT_EQ(Count("SELECT * FROM offte WHERE stato = 'a'"), 3);
  EXPECT_EQ(Count("SELECT * FROM unitam WHERE coduni = 'kg'"), 1);
}

TEST_F(DemoStoreTest, NeverOverwritesAnExistingStore) {
  EXPECT_THROW(CreateDemoStore(dir_.path() / "demo", kToday), Error);
  // The first store is intact.
  EXPECT_EQ(Count("SELECT * FROM listi01"), demo_.articoli);
}

}  // namespace
}  // namespace zav5::app

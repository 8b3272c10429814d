#include "checks/checked_store.h"

#include <sstream>
#include <stdexcept>

#include <fmt/core.h>
#include <sqlite3.h>

#include "cycle/cycle_test_store.h"
#include "data/value_calendar.h"
#include "schema_texts.h"
#include "support/test_engine_options.h"
#include "window/form1.h"

namespace zav5::checks {

namespace fs = std::filesystem;

std::chrono::year_month_day ExampleDay() {
  return std::chrono::year_month_day{std::chrono::floor<std::chrono::days>(test::ExampleMoment())};
}

std::int32_t ExampleDayNumber() {
  return data::DayNumber(ExampleDay());
}

std::string ExpiredOffer(int number) {
  const std::int32_t today = ExampleDayNumber();
  const int a = number * 10;
  return cycle::Offer(number, today - 30, today - 1) +
         cycle::OfferArticleRows(a, number, today - 30, today - 1) +
         cycle::OfferArticleRows(a + 1, number, today - 30, today - 1) +
         cycle::OfferArticleRows(a + 2, number, today - 20, today + 9) +
         fmt::format(
             "INSERT INTO offmo (bnumer, bannoc, briga, eanrig, articoli, sconto, stato, bflag2) "
             "VALUES ({0}, 2026, 99, '9999999999999', {1}, 10, 'A', NULL);",
             number, a + 9);
}

CheckedStore::CheckedStore(std::string_view store_rows, bool company, bool esl_folder)
    : env_(platform::DriveMap{{'C', dir_.path() / "c"}, {'Z', dir_.path() / "z"}}, 'C'),
      engine_options_(test::TestEngineOptions()) {
  for (const char* folder : {"c/sulvo/bkp", "c/sulvo/neg01", "c/dorn", "z"}) {
    dir_.MakeDir(folder);
  }
  if (esl_folder) {
    dir_.MakeDir("c/sulvo/esl");
  }
  env_.SetNow(test::ExampleMoment());
  if (company) {
    test::CreateSqliteFile(C() / "dorn" / "sulvo.mdb", schema::k_azienda,
                           "INSERT INTO società VALUES (1, 'DEMO SRL', "
                           "'C:\\sulvo\\neg01\\dati.mdb');"
                           "INSERT INTO inizio VALUES (1, 'AVVIO');");
  }
  test::CreateSqliteFile(
      Store(), schema::k_negozio,
      "INSERT INTO utenti (codutente, nrpos) VALUES (1, 4);" + std::string(store_rows));
  dir_.WriteFile("c/sulvo/comandoP.bat", "copy ESL*.txt Z:\\\r\n");
}

cycle::CycleOutcome CheckedStore::Cycle() {
  window::Form1 form(env_, engine_options_);
  form.FixToday(ExampleDay());
  form.Form_Load();
  const cycle::CycleOutcome esito = form.RunCycle();
  form.Form_Unload();
  return esito;
}

std::map<std::string, std::string> CheckedStore::Files() const {
  std::map<std::string, std::string> files;
  for (const auto& entry : fs::recursive_directory_iterator(dir_.path())) {
    if (entry.is_regular_file()) {
      files[fs::relative(entry.path(), dir_.path()).generic_string()] =
          test::ReadFile(entry.path());
    }
  }
  return files;
}

std::vector<std::string> CheckedStore::Rows(std::string_view sql) const {
  sqlite3* db = nullptr;
  if (sqlite3_open_v2(test::Utf8Path(Store()).c_str(), &db, SQLITE_OPEN_READONLY, nullptr) !=
      SQLITE_OK) {
    sqlite3_close(db);
    throw std::runtime_error("cannot open the store database");
  }
  std::vector<std::string> rows;
  sqlite3_stmt* statement = nullptr;
  if (sqlite3_prepare_v2(db, std::string(sql).c_str(), -1, &statement, nullptr) != SQLITE_OK) {
    const std::string error = sqlite3_errmsg(db);
    sqlite3_close(db);
    throw std::runtime_error("cannot run " + std::string(sql) + ": " + error);
  }
  while (sqlite3_step(statement) == SQLITE_ROW) {
    std::string row;
    for (int i = 0; i < sqlite3_column_count(statement); ++i) {
      const unsigned char* text = sqlite3_column_text(statement, i);
      row += (i ? "|" : "") + std::string(text ? reinterpret_cast<const char*>(text) : "NULL");
    }
    rows.push_back(row);
  }
  sqlite3_finalize(statement);
  sqlite3_close(db);
  return rows;
}

CheckedStore::Outcome CheckedStore::Status(StatusOptions options, OutputOptions output) {
  std::ostringstream out;
  const int code = StatusCommand(env_, engine_options_, options, output, out);
  return {code, out.str()};
}

CheckedStore::Outcome CheckedStore::Preview(PreviewOptions options, OutputOptions output,
                                            const std::optional<fs::path>& folder) {
  std::ostringstream out;
  const int code = PreviewCommand(env_, engine_options_, options, folder, output, out);
  return {code, out.str()};
}

CheckedStore::Outcome CheckedStore::Audit(OutputOptions output) {
  std::ostringstream out;
  const int code = AuditCommand(env_, engine_options_, {ExampleDay()}, output, out);
  return {code, out.str()};
}

}  // namespace zav5::checks

// How the work of one offer's deactivation grows with the offer, through ODBC on a store whose
// offmo and codean have no key, only the indexes that the lookups use. Counted in the SQLite
// engine's own steps, which follow the rows it visits: a time would say nothing on a busy machine.
#include <string>

#include <fmt/core.h>
#include <gtest/gtest.h>
#include <sqlite3.h>

#include "offers/disattiva.h"
#include "support/test_engine_options.h"
#include "support/working_store.h"

namespace zav5::offers {
namespace {

using test::WorkingStore;

long long g_steps = 0;  // steps of the statements ended since the process began

int CountSteps(unsigned kind, void* /*store_context*/, void* istruzione, void* /*durata*/) {
  if (kind == SQLITE_TRACE_PROFILE) {
    g_steps +=
        sqlite3_stmt_status(static_cast<sqlite3_stmt*>(istruzione), SQLITE_STMTSTATUS_VM_STEP, 1);
  }
  return 0;
}

// Makes each SQLite connection opened from now on count its steps: the ODBC driver's too, which
// links the same SQLite library.
int TraceConnection(sqlite3* db, const char** /*errore*/, const sqlite3_api_routines* /*api*/) {
  sqlite3_trace_v2(db, SQLITE_TRACE_PROFILE, CountSteps, nullptr);
  return SQLITE_OK;
}

constexpr int kArticles = 2000;

// offmo and codean declared as the project's schema does, without their keys.
constexpr std::string_view kTablesWithoutKeys = R"(
DROP TABLE offmo;
CREATE TABLE offmo (bnumer LONG NOT NULL, bannoc SHORT NOT NULL, briga LONG NOT NULL,
                    eanrig TEXT(20) COLLATE NOCASE, articoli LONG, sconto CURRENCY,
                    codafo TEXT(16) COLLATE NOCASE, stato TEXT(1) COLLATE NOCASE,
                    bflag2 TEXT(1) COLLATE NOCASE);
CREATE INDEX offmo_offerta ON offmo (bnumer, bannoc);
DROP TABLE codean;
CREATE TABLE codean (eanare TEXT(13) COLLATE NOCASE NOT NULL, codare LONG, soglia CURRENCY,
                     sconto CURRENCY, scoval CURRENCY, omaggio SHORT, puntif LONG, mix SHORT,
                     codpro SHORT, nrcard LONG, descom TEXT(30) COLLATE NOCASE, przpro CURRENCY,
                     numpro LONG);
CREATE INDEX codean_eanare ON codean (eanare);
CREATE INDEX codean_codare ON codean (codare);
)";

// The steps of deactivating offer 7/2026 of `lines` rows, each of which restores its own article
// and has it written in the label files of one label system, on a store of kArticles articles.
long long StepsPerOffer(int lines) {
  data::EngineOptions engine_options;
  engine_options.odbc_connection = "Driver=SQLite3;Database={path};Timeout=5000;NoCreat=1;";
  WorkingStore store({}, engine_options);
  store.Sql(kTablesWithoutKeys);
  store.Sql(fmt::format(R"(
WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < {0})
INSERT INTO listi01 (codart, desart, przpub, przsal, data1, data2, stapro, numpro, codpro, codafo,
                     umart, umquaco, quaco, ivart)
  SELECT i, 'ARTICOLO ' || i, 1.99, 1.5, 90, 120, 'A', 55, 3, 'F0123' || i, 'LT', 'LT', 0.5, '04'
  FROM n;
INSERT INTO codean SELECT printf('8%012d', codart), codart, 10, 0.5, 0.3, 1, 20, 2, 3, 4, 'X',
                          1.25, 55 FROM listi01;
INSERT INTO offmo SELECT 7, 2026, codart, printf('8%012d', codart), codart, 10, NULL, 'A', NULL
                  FROM listi01 WHERE codart <= {1};
INSERT INTO unitam VALUES ('LT', 'LITRO', 1);
INSERT INTO offtab (codice, descrizione, codelettro) VALUES (3, 'SOTTOCOSTO', 'S');
INSERT INTO elettro VALUES (2, 'ESL', '1', '0', NULL, 'C:\sulvo\esl\');
)",
                        kArticles, lines));
  const long long prima = g_steps;
  Disattiva(store.work(), store.outbox(), 7, 2026, 100, 110);
  const long long passi = g_steps - prima;
  EXPECT_EQ(store.QueryRows("SELECT COUNT(*) FROM offmo WHERE stato = 'D'"),
            std::vector<std::string>{std::to_string(lines)});
  EXPECT_EQ(store.QueryRows("SELECT COUNT(*) FROM listipro"),
            std::vector<std::string>{std::to_string(lines)});
  return passi;
}

TEST(DisattivaGrowthTest, TenTimesTheRowsCostAboutTenTimesOnAStoreWithoutKeys) {
  if (test::TestsRunOnOdbc()) {
    GTEST_SKIP() << "this test chooses its own ODBC driver and what it may use";
  }
  sqlite3_auto_extension(reinterpret_cast<void (*)()>(TraceConnection));
  const long long cento = StepsPerOffer(100);
  const long long mille = StepsPerOffer(1000);
  sqlite3_cancel_auto_extension(reinterpret_cast<void (*)()>(TraceConnection));
  ASSERT_GT(cento, 0) << "no step counted: the ODBC driver does not use this SQLite library";
  // A row found again by its values alone, in an offer whose rows share one index entry, costs a
  // pass over the offer: about seventy times the steps here (measured).
  const double rapporto = static_cast<double>(mille) / static_cast<double>(cento);
  EXPECT_GT(rapporto, 6.0) << cento << " steps for 100 rows, " << mille << " for 1000";
  EXPECT_LT(rapporto, 13.0) << cento << " steps for 100 rows, " << mille << " for 1000";
}

}  // namespace
}  // namespace zav5::offers

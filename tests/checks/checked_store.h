// A whole store for the checks: the company database on C:, the store database it names, the
// folders of two label systems (one per layout) and the drop folder Z:, with the run log of the
// example day. The real program's window runs its cycles on it; the checks then look at it.
#pragma once

#include <chrono>
#include <filesystem>
#include <map>
#include <string>
#include <string_view>
#include <vector>

#include "checks/commands.h"
#include "cycle/elabora_offerte_scadute.h"
#include "data/database.h"
#include "support/temp_dir.h"
#include "support/test_store.h"

namespace zav5::checks {

// 7 December 2026, the day of ExampleMoment.
std::chrono::year_month_day ExampleDay();
std::int32_t ExampleDayNumber();

// Two label systems, one per layout: the two-file one in C:\sulvo\, "ESL" in C:\sulvo\esl\.
inline constexpr std::string_view kTwoLabelSystems =
    "INSERT INTO elettro VALUES (1, 'CORSIE', '1', '0', NULL, 'C:\\sulvo\\');"
    "INSERT INTO elettro VALUES (2, 'FRESCHI', '1', '1', 'ESL', 'C:\\sulvo\\esl\\');";

// Offer `number`, expired yesterday: two articles restored, one whose promotion is narrower than
// the offer (left alone, a promotion line) and one row whose article the price list lacks.
std::string ExpiredOffer(int number);

class CheckedStore {
 public:
  // With `company` false there is no company database; with `esl_folder` false the folder of the
  // one-file layout's label system is missing.
  explicit CheckedStore(std::string_view store_rows, bool company = true, bool esl_folder = true);

  test::TestEnv& env() { return env_; }
  std::filesystem::path C() const { return dir_.path() / "c"; }
  std::filesystem::path Store() const { return C() / "sulvo" / "neg01" / "dati.mdb"; }
  data::EngineOptions& engine_options() { return engine_options_; }

  // Loads the real window, runs one processing cycle on the example day and unloads it.
  cycle::CycleOutcome Cycle();

  // Every file under the store's folders, by relative path, with its bytes.
  std::map<std::string, std::string> Files() const;
  // The rows of a query on the store database, each "a|b|c".
  std::vector<std::string> Rows(std::string_view sql) const;

  struct Outcome {
    int code = -1;
    std::string out;
  };
  Outcome Status(StatusOptions options = {}, OutputOptions output = {});
  Outcome Preview(PreviewOptions options = {}, OutputOptions output = {},
                  const std::optional<std::filesystem::path>& folder = {});
  Outcome Audit(OutputOptions output = {});

 private:
  test::TempDir dir_;
  test::TestEnv env_;
  data::EngineOptions engine_options_;
};

}  // namespace zav5::checks

// What the next cycles, or a given offer, would do to the store: each row's article restored or
// left alone, and the import lines of every active label system. The real deactivation runs in a
// transaction that is always rolled back, and its label files are made in memory: nothing of the
// store changes.
#pragma once

#include <chrono>
#include <cstdint>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "data/database.h"
#include "platform/env.h"

namespace zav5::checks {

struct PreviewOptions {
  // The day the scan takes for today; the clock's when not given.
  std::optional<std::chrono::year_month_day> today;
  // This offer (number, year) alone, expired or not; otherwise every expired active offer, in
  // the order the cycles take them.
  std::optional<std::pair<std::int32_t, std::int32_t>> offer;
};

struct PreviewedRow {
  enum class Outcome {
    kRestored,        // its promotion covers the offer's period: back to its regular price
    kNotCovered,      // its promotion does not cover the offer's period: left alone
    kNotInPriceList,  // no row in listi01: left alone
  };
  int row = 0;
  std::string ean;
  std::int32_t article = 0;
  Outcome outcome = Outcome::kNotInPriceList;
  // From the price list before the change; empty when the article is not in it.
  std::string description;
  std::string regular_price;      // przpub
  std::string promotional_price;  // przsal
  std::string promotion;          // the promotion's days, "dd/mm/yyyy-dd/mm/yyyy"
};

struct PreviewedFile {
  std::string label_system;  // as the run log names it
  std::string name;          // the name the file would take in the label folder, now
  std::string bytes;         // exactly as it would be written (Windows-1252, CR LF)
};

struct PreviewedOffer {
  std::string offer;  // "101/2026"
  std::int32_t number = 0;
  std::int32_t year = 0;
  std::string description;
  std::int32_t first_day = 0;  // OLE day numbers
  std::int32_t last_day = 0;
  std::string state;
  std::vector<PreviewedRow> rows;  // up to the failure, when it failed
  std::vector<PreviewedFile> files;
  // Why its deactivation would fail, as the cycle's "ERRORE" line says it; empty when it would
  // not. The cycles pass it over: the offers after it are shown as they would go without it.
  std::string error;
};

struct PreviewResult {
  bool store_found = false;
  std::int32_t today = 0;  // the day the scan took for today
  // Why there is no preview, or why it stopped.
  std::string error;
  std::vector<PreviewedOffer> offers;
};

// Runs the preview on the store of env's current drive.
PreviewResult RunPreview(platform::Env& env, const data::EngineOptions& engine_options,
                         const PreviewOptions& options);

}  // namespace zav5::checks

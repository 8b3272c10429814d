// The price-integrity check: the articles a till may still sell at an expired promotional price,
// and the offer rows whose article the price list lacks. It only reports.
#pragma once

#include <chrono>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "data/database.h"
#include "platform/env.h"

namespace zav5::checks {

struct AuditOptions {
  // The day taken for today; the clock's when not given.
  std::optional<std::chrono::year_month_day> today;
};

struct AuditFinding {
  enum class Kind {
    kPromotionEnded,    // listi01: przsal not 0 and the promotion's last day (data2) has passed
    kOfferDeactivated,  // listi01: przsal not 0 and the promotion's offer is already "D"
    kNotInPriceList,    // a row of an active offer names an article that listi01 lacks
  };
  Kind kind = Kind::kPromotionEnded;
  std::int32_t article = 0;
  std::string ean;  // the offer row's, for kNotInPriceList
  std::string description;
  std::string regular_price;      // przpub
  std::string promotional_price;  // przsal
  std::string promotion;          // the promotion's days, "dd/mm/yyyy-dd/mm/yyyy"
  std::string offer;              // "101/2026"; empty when the article names none
  std::string offer_state;        // the offer's stato in offte; empty when offte lacks it
};

struct AuditResult {
  bool store_found = false;
  std::string error;  // why the check could not be made, or where it stopped
  // By kind, then article, then offer.
  std::vector<AuditFinding> findings;
};

// Checks the store of env's current drive; changes nothing.
AuditResult RunAudit(platform::Env& env, const data::EngineOptions& engine_options,
                     const AuditOptions& options);

}  // namespace zav5::checks

// The expired-offer scan: finds the promotional offers whose last day has passed and that are
// still active, and takes one of them off the shelves.
#pragma once

#include <cstdint>
#include <string>

#include "cycle/ciclo.h"

namespace zav5::cycle {

// How a cycle ended.
enum class EsitoCiclo {
  kNessunaOfferta,      // no expired active offer
  kOffertaDisattivata,  // one offer deactivated and marked "D"
  kDatabaseMancante,    // start-up found no store database; nothing was touched
  kErrore,              // something failed; logged, and the database left as it was
};

// The scan's query for the day number `oggi`.
std::string TestoOfferteScadute(std::int32_t oggi);

// Today's day number for the scan: `oggi` when fixed, the date of `env`'s clock otherwise.
std::int32_t GiornoScansione(platform::Env& env,
                             const std::optional<std::chrono::year_month_day>& oggi);

// Takes one expired active offer off the shelves: restores its articles, hands the label files
// over and marks it "D". The database work is one transaction: when anything fails, none of it
// stays, and the error (which names the offer) is thrown on after the rollback. The timer is
// stopped while the scan works and started afresh when it ends, either way.
EsitoCiclo ElaboraOfferteScadute(Ciclo& ciclo);

}  // namespace zav5::cycle

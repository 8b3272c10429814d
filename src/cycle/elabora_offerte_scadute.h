// The expired-offer scan: finds the promotional offers whose last day has passed and that are
// still active, and takes one of them off the shelves.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "cycle/cycle_context.h"

namespace zav5::cycle {

// How a cycle ended.
enum class CycleOutcome {
  kNoOffer,           // no expired active offer
  kOfferDeactivated,  // one offer deactivated and marked "D"
  kNoStoreDatabase,   // start-up found no store database; nothing was touched
  kError,             // something failed; logged, and the database left as it was
};

// The scan's query for the day number `today`.
std::string ExpiredOffersQuery(std::int32_t today);

// Today's day number for the scan: `today` when fixed, the date of `env`'s clock otherwise.
std::int32_t ScanDayNumber(platform::Env& env,
                           const std::optional<std::chrono::year_month_day>& today);

// Takes one expired active offer off the shelves: restores its articles, makes the label files in
// the outbox and marks it "D". The database work is one transaction: when anything fails, none of
// it stays, the label files made for it are dropped, and the error (which names the offer) is
// thrown on after the rollback. The files go to the label systems afterwards (HandOverLabels).
// The timer is stopped while the scan works and started afresh when it ends, either way.
CycleOutcome ElaboraOfferteScadute(CycleContext& cycle_context);

// Whether offer `numero`/`anno` of the store database is deactivated ("D" in any letter case),
// read on a connection of its own, so that what another connection left unfinished cannot answer
// for the database; nothing when the database cannot be read.
std::optional<bool> OfferDeactivated(CycleContext& cycle_context, std::int32_t numero,
                                     std::int32_t anno);

}  // namespace zav5::cycle

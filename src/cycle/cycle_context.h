// What the processing cycle works with. All of it belongs to the main window and lives as long as
// it does.
#pragma once

#include <chrono>
#include <optional>

#include "cycle/offer_turn.h"
#include "cycle/timer.h"
#include "labels/outbox.h"
#include "startup/run_log.h"
#include "work/work_context.h"

namespace zav5::cycle {

struct CycleContext {
  // The machine, the databases, the window's data sources, the run's shared state (the cycle counts
  // its ticks in it) and the label settings.
  work::WorkContext& work;
  // Where the label files are made and from where they are handed over after the commit.
  labels::Outbox& outbox;
  startup::RunLog& log;
  Timer& Timer2;
  OfferTurn& offer_turn;
  // The day the scan takes for today, when fixed (tests, previews); otherwise the clock's.
  std::optional<std::chrono::year_month_day> today;
};

}  // namespace zav5::cycle

// What the processing cycle works with. All of it belongs to the main window and lives as long as
// it does.
#pragma once

#include <chrono>
#include <optional>

#include "cycle/timer.h"
#include "cycle/turno_offerte.h"
#include "labels/finestra.h"
#include "startup/contesto_negozio.h"
#include "startup/run_log.h"

namespace zav5::cycle {

struct Ciclo {
  // The files, databases and data sources of the window, and the label settings.
  labels::Finestra& finestra;
  // The run's shared state, the one `finestra` reads; the cycle counts its ticks in it.
  startup::ContestoNegozio& contesto;
  startup::RunLog& log;
  Timer& Timer2;
  TurnoOfferte& turno;
  // The day the scan takes for today, when fixed (tests, previews); otherwise the clock's.
  std::optional<std::chrono::year_month_day> oggi;
};

}  // namespace zav5::cycle

// The timer's tick handler and the processing cycle it runs.
#pragma once

#include <optional>

#include "cycle/cycle_context.h"
#include "cycle/elabora_offerte_scadute.h"

namespace zav5::cycle {

// Handler of each tick of Timer2. Every second tick runs a processing cycle (counted in
// ContatoreCicli, which a complete start-up leaves at 1, an incomplete one at 0). Returns how the
// cycle ended; nothing for a tick that only counted.
std::optional<CycleOutcome> Timer2_Timer(CycleContext& cycle_context);

// One processing cycle: reopens the run log, writes the cycle's start line and runs the scan.
// An error ends the cycle, not the program: it goes to the run log as one line beginning
// "ERRORE : ", every file left open is closed, and the timer runs on. Never throws Error or any
// other std::exception.
CycleOutcome RunCycle(CycleContext& cycle_context);

}  // namespace zav5::cycle

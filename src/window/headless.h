// The front end without a window (the Linux default): the window's events come from the clock
// and from the stop signals, and what the window would show goes to standard output.
#pragma once

#include <ostream>

#include "data/database.h"
#include "platform/stop_signal.h"
#include "window/form1.h"

namespace zav5::window {

// The database options of a run without a window: `engine_options`, with a processing cycle's waits
// for other programs' locks giving up as soon as `stop` is asked for (the cycle then fails and
// rolls back, and the run ends as on a stop between cycles). REQUIRES: `stop` outlives every engine
// made with the options.
data::EngineOptions EngineOptionsWithStop(data::EngineOptions engine_options,
                                          platform::StopSignal& stop);

// Runs the window until a stop is asked for: loads it (start-up), prints the number of tills
// shown in `nrposw` once, delivers every tick of Timer2 on time, and on a stop clicks the exit
// button, which unloads it. A stop waits for a cycle under way to end, which ends soon when its
// engine was made with EngineOptionsWithStop.
void RunHeadless(Form1& form, platform::StopSignal& stop, std::ostream& out);

// Loads the window, prints `nrposw`, runs one processing cycle at once and unloads. Returns 0
// when the cycle met no error and handed over every label file owed, 1 otherwise (a missing store
// database included, and label files left waiting in the outbox).
int RunOnce(Form1& form, std::ostream& out);

}  // namespace zav5::window

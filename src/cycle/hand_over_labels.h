// The second half of a processing cycle: the label files owed go to the label systems.
#pragma once

#include "cycle/cycle_context.h"

namespace zav5::cycle {

// Hands over, after the scan and its transaction, the label files of the offer just deactivated
// and those that earlier cycles could not hand over, oldest first; first it settles files left
// prepared by a crash or by a commit whose outcome was not known, asking the store database. A
// label system that cannot take its files is reported in the run log (once) and served at a later
// cycle; nothing here fails the cycle. The timer is stopped meanwhile, as during the scan.
// Does nothing without a store database.
void HandOverLabels(CycleContext& cycle_context);

}  // namespace zav5::cycle

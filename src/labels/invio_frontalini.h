// Label dispatch: the import files of an offer for every active shelf-label system.
#pragma once

#include <cstdint>
#include <vector>

#include "labels/label_system.h"
#include "labels/outbox.h"
#include "startup/run_log.h"
#include "work/work_context.h"

namespace zav5::labels {

// Serves, in the order the store database gives them, the label systems of table elettro whose
// `attivato` is "1": for each, its `ftp` and `vexular` settings go into `work.FtpElettro` and
// `work.VexularElettro` and its import files are written for the offer `Numpro`/`AnnoPro`.
//
// The settings start at "0" and empty once per call, not once per system: a system whose setting
// is Null is served with the value left by the system before it.
// Throws at the first failure; the systems after it are not served.
void InvioFrontaliniElettronici(work::WorkContext& work, Outbox& outbox, std::int32_t Numpro,
                                std::int32_t AnnoPro);

// The label systems that InvioFrontaliniElettronici would serve now, with the settings it would
// give each (the same carrying over of Null settings); a system without a folder is left out.
// Leaves FtpElettro and VexularElettro alone. Throws DatabaseError.
std::vector<LabelSystem> ActiveLabelSystems(work::WorkContext& work);

// Hands over the confirmed label files of the store database (Outbox::HandOverAll) to the
// label systems active now, which are read from table elettro only when a delivery needs them,
// and once. Never throws.
void HandOverToActiveSystems(work::WorkContext& work, Outbox& outbox, startup::RunLog& log);

}  // namespace zav5::labels

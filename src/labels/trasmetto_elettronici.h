// The import files of one label system for one offer.
#pragma once

#include <cstdint>
#include <string>

#include "labels/outbox.h"
#include "work/work_context.h"

namespace zav5::labels {

// Makes the import files of the label system whose folder is `PercorsoElettro` for the offer
// `Numpro`/`AnnoPro`, in the layout that `work.FtpElettro` chooses, in `outbox`, as a
// delivery prepared inside the caller's transaction; they reach the
// label folder, after its clean-up, only once the delivery is confirmed and handed over.
//
// When the offer has rows, each row whose article is in the price list gives one line: a price
// line when the article is not on promotion, a promotion line otherwise. A row without an article
// code of its own is the article of its EAN. An article without a supplier code gets "AB" and its
// code, stored back into listi01 and offmo. Every open file of the program is closed before and
// after the lines are written, the run log included.
//
// A row whose article is not in the price list gives no line. Throws (DatabaseError,
// ConversionError, FileError) at the first failure; nothing of the delivery is left then.
void Trasmetto_Elettronici(work::WorkContext& work, Outbox& outbox,
                           const std::string& PercorsoElettro, std::int32_t Numpro,
                           std::int32_t AnnoPro);

}  // namespace zav5::labels

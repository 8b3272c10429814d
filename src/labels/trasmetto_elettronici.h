// The import files of one label system for one offer.
#pragma once

#include <cstdint>
#include <string>

#include "labels/finestra.h"

namespace zav5::labels {

// Writes the import files of the label system whose folder is `PercorsoElettro` for the offer
// `Numpro`/`AnnoPro`, in the layout that `finestra.FtpElettro` chooses, and hands them over.
//
// First every file of the folder whose name begins with "import" is deleted (the files of earlier
// calls). Then, when the offer has rows, each row whose article is in the price list gives one
// line: a price line when the article is not on promotion, a promotion line otherwise. An article
// without a supplier code gets "AB" and its code, stored back into listi01 and offmo. Every open
// file of the program is closed before and after the lines are written, the run log included.
//
// A row whose article is not in the price list gives no line. Throws (DatabaseError,
// ConversionError, FileError) at the first failure; files already written stay.
void Trasmetto_Elettronici(Finestra& finestra, const std::string& PercorsoElettro,
                           std::int32_t Numpro, std::int32_t AnnoPro);

}  // namespace zav5::labels

// Offer deactivation: takes an expired promotional offer off the store's articles.
#pragma once

#include <cstdint>
#include <string_view>

#include "labels/finestra.h"

namespace zav5::offers {

// What is written into a promotion description when the promotion is taken off: 30 characters of
// code 0, the content of a fixed-length text that nothing was ever stored into.
inline constexpr char kCaratteriNulli[30] = {};
inline constexpr std::string_view kDescrizioneVuota(kCaratteriNulli, 30);

// Takes the offer `Numpro`/`AnnoPro`, which ran from day `DataX` to day `DataY` (OLE day
// numbers), off the store's articles, then writes the import files of every active label system.
//
// For each row of the offer (offmo), the article is the one whose EAN (codean.eanare) is the
// row's eanrig fitted to 13 characters, else the row's own article code. An article whose
// promotion in listi01 covers the offer's whole period is restored: its promotion fields and
// those of every EAN row of it are cleared, and its previous promotion number is recorded in
// listipro (which is emptied first, so that it lists the articles of this offer only). Every row
// of the offer is marked stato "D", bflag2 "R", whatever happened to its article.
//
// Throws (DatabaseError, ConversionError, FileError) at the first failure, before the import files
// when the failure is in the articles. Nothing is undone here: the caller runs the call in a
// transaction.
void Disattiva(labels::Finestra& finestra, std::int32_t Numpro, std::int32_t AnnoPro,
               std::int32_t DataX, std::int32_t DataY);

}  // namespace zav5::offers

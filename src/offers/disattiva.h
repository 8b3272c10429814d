// Offer deactivation: takes an expired promotional offer off the store's articles.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

#include "data/recordset.h"
#include "labels/outbox.h"
#include "work/work_context.h"

namespace zav5::offers {

// What is written into a promotion description when the promotion is taken off: 30 characters of
// code 0, the content of a fixed-length text that nothing was ever stored into.
inline constexpr char kNulChars[30] = {};
inline constexpr std::string_view kDescrizioneVuota(kNulChars, 30);

// What Disattiva does with one row of the offer, told before the row's article is touched: for
// whoever watches the work (a preview), never needed by it.
struct RowOutcome {
  int row = 0;               // the row's place in the offer, from 1
  std::string ean;           // the row's eanrig fitted to 13 characters
  std::int32_t article = 0;  // the article the row names
  bool in_price_list = false;
  // The article's promotion covers the offer's whole period: it is restored.
  bool restored = false;
  // The article's row of listi01 as it stands before the restore; empty when not in the price
  // list.
  const data::RowEditor* price_list_row = nullptr;
};
using RowWatcher = std::function<void(const RowOutcome&)>;

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
// `watcher`, when given, is told of each row.
void Disattiva(work::WorkContext& work, labels::Outbox& outbox, std::int32_t Numpro,
               std::int32_t AnnoPro, std::int32_t DataX, std::int32_t DataY,
               const RowWatcher& watcher = {});

}  // namespace zav5::offers

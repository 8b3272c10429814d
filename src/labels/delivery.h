// One delivery: the import files of one offer for one label system, from the moment they are made
// inside the offer's transaction until the label system has them. Its record is a small text file
// in the outbox (see outbox.h); this is the record and its text, nothing more.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "labels/label_system.h"
#include "platform/env.h"

namespace zav5::labels {

// The kinds of import file.
enum class ImportKind {
  kPrices,      // two-file layout: price lines, Import_VPA_...
  kPromotions,  // two-file layout: promotion lines, Import_PRO_...
  kSingle,      // one-file layout: every line, <prefix>...
};

// The suffix of a kind's data file in the outbox: "VPA", "PRO", "UNI".
std::string_view ImportSuffix(ImportKind kind);

// The name the file of `kind` takes in `system`'s folder when it is placed at moment `t`.
std::string ImportFileName(const LabelSystem& system, ImportKind kind, platform::LocalTime t);

enum class DeliveryState {
  kPrepared,   // made inside a transaction whose outcome is not known yet
  kConfirmed,  // the transaction committed: the files are owed to the label system
};

struct DeliveryFile {
  ImportKind kind = ImportKind::kSingle;
  // Set when the file is placed: its Windows path in the label folder, chosen (and recorded)
  // before it is placed.
  std::string name;
  bool placed = false;  // it is in the label folder under `name`
};

struct Delivery {
  std::uint64_t sequence = 0;  // order of preparation, from 1; also the name of its files
  std::string store;           // the store database the offer belongs to
  std::int32_t offer = 0;
  std::int32_t anno = 0;
  LabelSystem system;
  // The offer had rows: the layout's script is started once the files are placed (also when no
  // row gave a line). Without rows the hand-over only cleans the folder.
  bool script = false;
  platform::LocalTime prepared_at{};
  DeliveryState state = DeliveryState::kPrepared;
  std::vector<DeliveryFile> file;  // in the order they were opened
  bool script_started = false;     // the script was started (after every file was placed)
  // The label folder was cleaned of old import files in this run. Not recorded: a clean-up can
  // always be made again, and a delivery that owes a script is cleaned before it is started.
  bool folder_cleaned = false;

  // The offer as the operator knows it, "101/2026".
  std::string Offer() const;
  // Every file placed and the script started or, when none is owed, the folder cleaned: handed
  // over.
  bool HandedOver() const;
};

// The record as text: one "name=value" per line, UTF-8; values escape "%", CR and LF as %25, %0D
// and %0A.
std::string DeliveryText(const Delivery& delivery);

// The record read back. Throws Error naming what is wrong when `testo` is not a record.
Delivery ParseDelivery(std::string_view testo);

}  // namespace zav5::labels

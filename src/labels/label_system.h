// A shelf-label system as the hand-over of its files knows it: where the files go and how they
// are laid out. Two rows of table elettro with the same folder, layout and prefix are one system.
#pragma once

#include <string>
#include <string_view>

#include "labels/file_layout.h"

namespace zav5::labels {

struct LabelSystem {
  std::string folder;  // percorsoint, as stored: the import files' names are formed on it
  FileLayout layout = FileLayout::kTwoFiles;
  std::string prefix;  // vexular without its outer blanks: the one-file layout's name prefix

  // The same system: the same layout, prefix and folder, letter case aside. The folder is compared
  // as written: with or without its last backslash, the one-file layout's files land in
  // different folders.
  bool SameAs(const LabelSystem& altro) const;
};

// The system as the operator knows it, for the run log: its prefix or layout, and its folder
// ("ESL (cartella C:\sulvo\esl\)", "a due file Import_VPA/Import_PRO (cartella C:\sulvo\)").
std::string SystemName(const LabelSystem& system);

}  // namespace zav5::labels

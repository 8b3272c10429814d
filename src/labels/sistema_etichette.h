// A shelf-label system as the hand-over of its files knows it: where the files go and how they
// are laid out. Two rows of table elettro with the same folder, layout and prefix are one system.
#pragma once

#include <string>
#include <string_view>

#include "labels/tracciato.h"

namespace zav5::labels {

struct SistemaEtichette {
  std::string cartella;  // percorsoint, as stored: the import files' names are formed on it
  Tracciato tracciato = Tracciato::kDueFile;
  std::string prefisso;  // vexular without its outer blanks: the one-file layout's name prefix

  // The same system: the same layout, prefix and folder, letter case aside. The folder is compared
  // as written: with or without its last backslash, the one-file layout's files land in
  // different folders.
  bool Stesso(const SistemaEtichette& altro) const;
};

// The system as the operator knows it, for the run log: its prefix or layout, and its folder
// ("ESL (cartella C:\sulvo\esl\)", "a due file Import_VPA/Import_PRO (cartella C:\sulvo\)").
std::string NomeSistema(const SistemaEtichette& sistema);

}  // namespace zav5::labels

// Handing the import files over to the label system: the copy script and the start of the script
// that belongs to the layout.
#pragma once

#include <array>
#include <string_view>

#include "labels/tracciato.h"
#include "platform/env.h"

namespace zav5::labels {

// The copy script of the two-file layout. It works in \sulvo of the drive that is current when it
// starts: it copies the price and promotion files to the root of drive Z:, the label system's drop
// folder, and deletes them.
inline constexpr std::string_view kScriptCopia = "C:\\sulvo\\frontalini.bat";
inline constexpr std::array<std::string_view, 7> kRigheScriptCopia = {
    "cd.. ",
    "cd\\sulvo",
    "copy Import_VPA*.txt Z:\\*.*",
    "del Import_VPA*.txt ",
    "copy Import_PRO*.txt Z:\\*.*",
    "del Import_PRO*.txt ",
    "cls",
};

// The site's own hand-over script of the one-file layout; the program never writes it.
inline constexpr std::string_view kScriptSito = "c:\\sulvo\\comandoP.bat";

// Writes the copy script when it is missing (an existing one is left as it stands), closes every
// file the program holds open, and starts the script of `tracciato` without waiting for it: the
// copy script for two files, the site's script for one file (nothing when the site has none).
// Throws FileError when the script cannot be written or started.
void Trasferisci(platform::Env& env, Tracciato tracciato);

}  // namespace zav5::labels

// Handing the import files over to the label system: the copy script and the start of the script
// that belongs to the layout.
#pragma once

#include <array>
#include <string_view>

#include "labels/file_layout.h"
#include "platform/env.h"

namespace zav5::labels {

// The copy script of the two-file layout. It works in \sulvo of the drive that is current when it
// starts: it copies the price and promotion files to the root of drive Z:, the label system's drop
// folder, and deletes each kind only when its copy succeeded, so that files a copy could not
// deliver (drive Z: unreachable) stay for the next attempt. The delete asks the error level on a
// line of its own rather than following the copy after "&&": Wine's command interpreter was seen
// running the command after "&&" when the copy had failed, while both it and the runner of the
// Linux build honour "if not errorlevel 1".
inline constexpr std::string_view kCopyScript = "C:\\sulvo\\frontalini.bat";
inline constexpr std::array<std::string_view, 7> kCopyScriptLines = {
    "cd.. ",
    "cd\\sulvo",
    "copy Import_VPA*.txt Z:\\*.*",
    "if not errorlevel 1 del Import_VPA*.txt ",
    "copy Import_PRO*.txt Z:\\*.*",
    "if not errorlevel 1 del Import_PRO*.txt ",
    "cls",
};

// The copy script that earlier versions wrote. The command interpreter runs its "del" also after
// a failed "copy", deleting files that never reached drive Z:; a script with exactly these lines
// is replaced by the one above. A script that a site changed is left as it is.
inline constexpr std::array<std::string_view, 7> kOldCopyScriptLines = {
    "cd.. ",
    "cd\\sulvo",
    "copy Import_VPA*.txt Z:\\*.*",
    "del Import_VPA*.txt ",
    "copy Import_PRO*.txt Z:\\*.*",
    "del Import_PRO*.txt ",
    "cls",
};

// The site's own hand-over script of the one-file layout; the program never writes it.
inline constexpr std::string_view kSiteScript = "c:\\sulvo\\comandoP.bat";

// Writes the copy script when it is missing or is the earlier text (whole under a temporary name,
// flushed, then renamed), and starts the script of `layout` without waiting for it: the copy
// script for two files, the site's script for one file. Returns whether a script was started
// (the site may have none). Throws FileError when the script cannot be written or started.
// The temporary file is made in `cartella_lavoro` when given (the program's own folder, whose
// leftovers after a crash it removes itself), else, or when that is on another disk, beside the
// script.
bool StartHandOverScript(platform::Env& env, FileLayout layout,
                         std::string_view cartella_lavoro = {});

}  // namespace zav5::labels

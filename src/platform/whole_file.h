// Files that appear under their names only when complete.
#pragma once

#include <string_view>

#include "platform/env.h"

namespace zav5::platform {

// Writes `bytes` as the file `target`, whole: under a temporary name in `folder`, synced and
// closed, then renamed to `target`, replacing a file there only when `replace`. Whoever reads
// `target` finds either no file, the file that was there, or every byte. The temporary file goes
// when a step fails or the rename does not happen (kTargetExists, kOtherVolume). Throws FileError.
RenameOutcome WriteWholeFile(Env& env, std::string_view folder, std::string_view target,
                             std::string_view bytes, bool replace);

}  // namespace zav5::platform

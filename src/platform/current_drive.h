// The drive a program started on Windows calls its own: the one its current directory is on, which
// a shortcut's "Start in" or a command prompt's "D:" sets.
#pragma once

#include <string_view>

namespace zav5::platform {

// The drive letter, upper case, of `directory` as Windows gives a current directory: "D:\negozio",
// "d:\", or the same after the long-path prefix "\\?\".
// Throws FileError, naming the directory, when it has no drive letter: a network folder
// ("\\server\share\...", "\\?\UNC\server\share\...") or anything else.
char DriveOfDirectory(std::string_view directory);

// The current drive of this process. On Windows it is DriveOfDirectory(the current directory),
// and throws as that does; a POSIX process has no drive of its own and gets C.
char ProcessCurrentDrive();

}  // namespace zav5::platform

// Where this program's executable is.
#pragma once

#include <filesystem>

namespace zav5::app {

// The program's own path, for the commands it prints and starts: argv[0] is only the name typed
// when the program was found through PATH. `argv0` is the fallback when the system cannot say.
std::filesystem::path ThisProgram(const char* argv0);

}  // namespace zav5::app

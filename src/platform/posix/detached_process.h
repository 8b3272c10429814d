// Starting a program that lives on by itself.
#pragma once

#include <string>
#include <vector>

namespace zav5::platform {

// Starts `argv[0]` (a path to an executable file) with the arguments `argv` as a process of its
// own session that nobody waits for, and returns once it runs the new program. It inherits the
// standard streams, the working folder and the environment, but no other open file of this process
// and no blocked signals. It is never left a zombie: the process that starts it is reaped here,
// and the program itself is adopted by init.
// Throws FileError, with the system's reason, when the program cannot be started.
// REQUIRES: !argv.empty(); no other thread of this process is starting processes at the same time.
void StartDetachedProcess(const std::vector<std::string>& argv);

}  // namespace zav5::platform

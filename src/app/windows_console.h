// The console of whoever started the program, for the commands that print (Windows only). The
// Windows build is a window program: started from a command prompt it has no console of its own,
// and what it writes to standard output goes nowhere unless redirected.
#pragma once

#ifdef _WIN32

namespace zav5::app {

// Writes standard output and standard error to the console of the parent process (in UTF-8,
// whose code page is given back at exit), each unless it is redirected already. Without a parent
// console nothing changes.
void AttachParentConsole();

}  // namespace zav5::app

#endif

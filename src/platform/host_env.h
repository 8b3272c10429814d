// The Env of the machine the program is built for. Both implementations take the same arguments:
// a drive map, the current drive and the stream for messages without a window.
#pragma once

#ifdef _WIN32
#include "platform/windows/windows_env.h"
#else
#include "platform/posix/posix_env.h"
#endif

namespace zav5::platform {

#ifdef _WIN32
using HostEnv = WindowsEnv;
#else
using HostEnv = PosixEnv;
#endif

}  // namespace zav5::platform

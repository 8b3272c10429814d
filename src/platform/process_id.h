// The number the operating system gives the running process.
#pragma once

#include <cstdint>

namespace zav5::platform {

// The id of this process: no other process running at the same time has it, though the system
// may give it again once this one has ended.
std::uint32_t ProcessId();

}  // namespace zav5::platform

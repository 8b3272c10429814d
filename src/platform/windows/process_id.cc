#include "platform/process_id.h"

#include <windows.h>

namespace zav5::platform {

std::uint32_t ProcessId() {
  return static_cast<std::uint32_t>(::GetCurrentProcessId());
}

}  // namespace zav5::platform

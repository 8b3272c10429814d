#include "platform/process_id.h"

#include <unistd.h>

namespace zav5::platform {

std::uint32_t ProcessId() {
  return static_cast<std::uint32_t>(::getpid());
}

}  // namespace zav5::platform

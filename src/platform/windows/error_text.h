// Texts of the system's error codes, for messages.
#pragma once

#include <cstdint>
#include <string>

namespace zav5::platform {

// The system's own text for the error `code` (GetLastError), in the language of the machine,
// without the final full stop and line end; the number when the system has no text for it.
std::string WindowsErrorText(std::uint32_t code);

}  // namespace zav5::platform

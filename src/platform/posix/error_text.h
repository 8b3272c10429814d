// The system's reasons for a failed call, in the operator's language.
#pragma once

#include <string>
#include <system_error>

namespace zav5::platform {

// The reason the system gives for `error` (an errno value). The C library's own texts follow the
// locale, which on a server is seldom Italian; the reasons a file operation meets in practice are
// written out here, any other keeps the system's words.
std::string ErrorText(int error);
std::string ErrorText(const std::error_code& error);

}  // namespace zav5::platform

// JSON texts for the checks' output to machines.
#pragma once

#include <string>
#include <string_view>

namespace zav5::checks {

// `text` (UTF-8) as a JSON string, quotes included; its bytes that are not well-formed UTF-8 are
// read as Windows-1252.
std::string JsonString(std::string_view text);

}  // namespace zav5::checks

// Messages and warnings for the error stream.
#pragma once

#include <string>
#include <string_view>

namespace zav5::platform {

// `text` with each line break (CR LF, CR or LF) turned into one blank. Messages are read line by
// line, by a person or a log collector; a break inside one would split it.
std::string OneLine(std::string_view text);

}  // namespace zav5::platform

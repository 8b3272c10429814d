// The names of the import files and of the clean-up pattern of a label system's folder. Names are
// formed by plain concatenation onto the folder, which is expected to end with a backslash.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "platform/env.h"

namespace zav5::labels {

// The date and time of `t` as yyyymmddhhmmss ("20261207143005"), hours 00 to 23.
std::string FileStamp(platform::LocalTime t);

// The moment that FileStamp wrote; nothing when `timbro` is not 14 digits of a valid date and
// time.
std::optional<platform::LocalTime> ParseFileStamp(std::string_view timbro);

// folder + "\Import_VPA_" + timbro + ".txt": the file of the price lines. A folder that already
// ends in a backslash gives a doubled one, which Windows reads as one.
std::string PriceFileName(std::string_view folder, platform::LocalTime t);

// folder + "\Import_PRO_" + timbro + ".txt": the file of the promotion lines.
std::string PromotionFileName(std::string_view folder, platform::LocalTime t);

// folder + prefix (without its outer blanks) + timbro + ".txt", with no separator added:
// the one file that receives every line.
std::string SingleFileName(std::string_view folder, std::string_view prefix, platform::LocalTime t);

// folder + "import*.*": every earlier import file in the folder, whatever its letter case.
std::string CleanUpPattern(std::string_view folder);

}  // namespace zav5::labels

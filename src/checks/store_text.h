// Days and moments as the checks show them: in the store's forms for the operator, in ISO 8601
// for machines.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "platform/env.h"

namespace zav5::checks {

// "dd/mm/yyyy" of an OLE day number.
std::string FormatDay(std::int32_t day);
// "yyyy-mm-dd" of an OLE day number.
std::string IsoDay(std::int32_t day);
// "dd/mm/yyyy hh:mm:ss".
std::string FormatMoment(platform::LocalTime moment);
// "yyyy-mm-ddThh:mm:ss".
std::string IsoMoment(platform::LocalTime moment);
// The moment of a run log's dated line, "dd/mm/yyyy-hh:mm:ss"; nothing when it is not one.
std::optional<platform::LocalTime> ParseMoment(std::string_view stamp);

}  // namespace zav5::checks

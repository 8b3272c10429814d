// Values as database engines store them, read back the way the program reads every value.
#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

#include "data/value.h"

namespace zav5::data {

// A whole number stored in a number column, as the column's type: a 16-bit integer when
// `may_be_short` (a SHORT column) and it fits, else a 32-bit integer when it fits, else a Double
// so that nothing is lost.
Value WholeNumber(std::int64_t v, bool may_be_short);

// A date written by another program as ISO text (yyyy-mm-dd, optionally with hh:mm[:ss] and
// fractions of a second, which are not kept), as an OLE day number; nothing for any other text.
// Before day 0 the time of day still counts forward from midnight.
std::optional<double> IsoDateToDayNumber(std::string_view text);

}  // namespace zav5::data

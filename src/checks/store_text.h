// Days and moments as the checks show them: in the store's forms for the operator, in ISO 8601
// for machines.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "data/recordset.h"
#include "data/value.h"
#include "platform/env.h"

namespace zav5::checks {

// A field's value as the operator reads it; empty for Null.
std::string Shown(const data::Value& value);
// A price with at least two decimals ("6,90"); empty for Null.
std::string FormatPrice(const data::Value& value);
// The days of an article's promotion in listi01, "dd/mm/yyyy-dd/mm/yyyy"; an end that is Null or
// not a day is left empty.
std::string FormatPromotion(const data::RowEditor& article);

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

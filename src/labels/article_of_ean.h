// The article that an EAN code stands for, as the store's EAN table gives it.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "work/work_context.h"

namespace zav5::labels {

// The article code (codean.codare) of the first EAN row whose eanare is `ean`, all 13 characters
// of it; nothing when the EAN table does not have it. Points the window's data source Data2 at the
// query. Throws DatabaseError, and ConversionError for a codare that is not a number.
std::optional<std::int32_t> ArticleOfEan(work::WorkContext& work, const std::string& ean);

}  // namespace zav5::labels

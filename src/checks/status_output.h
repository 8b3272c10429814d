// The status of a store for the operator (aligned text) and for machines (JSON).
#pragma once

#include <cstddef>
#include <ostream>

#include "checks/language.h"
#include "checks/status.h"

namespace zav5::checks {

// Lists show at most `limit` rows (0: all).
void WriteStatus(const StoreStatus& status, const Judgement& judgement, Language language,
                 std::size_t limit, std::ostream& out);

// One JSON object: the verdict, its findings and every datum of the status, whole.
void WriteStatusJson(const StoreStatus& status, const Judgement& judgement, std::ostream& out);

}  // namespace zav5::checks

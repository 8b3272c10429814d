// The price-integrity check for the operator: one table per kind of finding, with a total.
#pragma once

#include <cstddef>
#include <ostream>

#include "checks/audit.h"
#include "checks/language.h"

namespace zav5::checks {

// Lists show at most `limit` rows (0: all).
void WriteAudit(const AuditResult& audit, Language language, std::size_t limit, std::ostream& out);

}  // namespace zav5::checks

// How much of what an ODBC driver reports the backend takes.
#pragma once

namespace zav5::data {

enum class DriverProfile {
  // Everything the driver reports and the probe at connect confirms.
  kAsProbed,
  // Besides, without what Microsoft's Access driver lacks: SQLPrimaryKeys and a row-id
  // pseudo-column. For running on another driver the way the backend runs on Access; it can hide
  // features, not imitate Access's own (its keyset cursors, its SQL).
  kAccess,
};

}  // namespace zav5::data

// The floor of the benchmark: what the database engine itself needs for one deactivation.
#pragma once

#include <filesystem>

namespace zav5::bench {

// Makes the change of one processing cycle on the store under `folder` (see CreateStore) with
// the fewest set-based SQL statements, in one transaction on one connection: the expired offer's
// restored articles and EAN rows, listipro, the offer's rows, the supplier codes, the offer's "D".
// Writes the same import files as the program, each with one write; starts no script. The lines
// are made by the program's own formatting functions from one query that joins everything they
// need. Returns the number of offer rows. Throws Error on failure.
int Floor(const std::filesystem::path& folder);

}  // namespace zav5::bench

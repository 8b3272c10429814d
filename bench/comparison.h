// Whether two stores ended the same: what keeps the floor honest.
#pragma once

#include <filesystem>
#include <string>
#include <vector>

namespace zav5::bench {

// The differences between the stores under `a` and `b` (see CreateStore), described for a person;
// empty when they are the same. Every table of the store databases is compared as a multiset of
// rows, each value with its storage class and its bytes (0 and 0.0 differ, and so do "a" and "A").
// Every other file under the two folders is compared byte for byte, matched by its path with the
// date and time of its name left out.
std::vector<std::string> Differences(const std::filesystem::path& a,
                                     const std::filesystem::path& b);

}  // namespace zav5::bench

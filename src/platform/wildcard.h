// File-name patterns as the Windows file functions take them: "*" stands for any run of
// characters (none included), "?" for exactly one character, letter case does not count.
#pragma once

#include <string_view>

namespace zav5::platform {

// True when `pattern` holds a "*" or a "?".
bool HasWildcard(std::string_view pattern);

// True when the file name `name` matches `pattern`. Characters, not bytes, are counted, so "?"
// matches "è" as it matches "e". As on Windows, a final ".*" may also match nothing at all:
// "import*.*" matches "importX" as well as "Import_VPA_20261207.txt", and "*.*" matches every name.
bool MatchesWildcard(std::string_view pattern, std::string_view name);

}  // namespace zav5::platform

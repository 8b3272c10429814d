// The layout of a label system's import files, as its `ftp` setting chooses it.
#pragma once

#include <string_view>

namespace zav5::labels {

enum class FileLayout {
  kTwoFiles,  // price lines in Import_VPA_..., promotion lines in Import_PRO_...
  kOneFile    // every line in one file named by the system's prefix
};

// The `ftp` setting read as a number: 1 selects the one-file layout. Every other value, a text
// that is not a number among them, selects the two-file layout, the one the suite has always had.
FileLayout LayoutFromFtp(std::string_view ftp);

}  // namespace zav5::labels

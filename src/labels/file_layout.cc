#include "labels/file_layout.h"

#include <optional>

#include "data/value.h"

namespace zav5::labels {

FileLayout LayoutFromFtp(std::string_view ftp) {
  // A text that is not a number reads as 0.
  const std::optional<double> numero = data::TextToDouble(ftp);
  return numero && *numero == 1 ? FileLayout::kOneFile : FileLayout::kTwoFiles;
}

}  // namespace zav5::labels

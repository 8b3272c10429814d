#include "labels/file_layout.h"

#include <string>

#include "data/value.h"
#include "errors.h"

namespace zav5::labels {

FileLayout LayoutFromFtp(std::string_view ftp) {
  try {
    if (data::Value::Text(std::string(ftp)).ToDouble() == 1) {
      return FileLayout::kOneFile;
    }
  } catch (const ConversionError&) {
    // Not a number: read as 0.
  }
  return FileLayout::kTwoFiles;
}

}  // namespace zav5::labels

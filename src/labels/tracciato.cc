#include "labels/tracciato.h"

#include <string>

#include "data/value.h"
#include "errors.h"

namespace zav5::labels {

Tracciato TracciatoDa(std::string_view ftp) {
  try {
    if (data::Value::Text(std::string(ftp)).ToDouble() == 1) {
      return Tracciato::kFileUnico;
    }
  } catch (const ConversionError&) {
    // Not a number: read as 0.
  }
  return Tracciato::kDueFile;
}

}  // namespace zav5::labels

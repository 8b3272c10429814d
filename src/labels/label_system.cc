#include "labels/label_system.h"

#include <fmt/core.h>

#include "platform/case_fold.h"

namespace zav5::labels {

bool LabelSystem::SameAs(const LabelSystem& altro) const {
  return layout == altro.layout && platform::EqualsIgnoringCase(prefix, altro.prefix) &&
         platform::EqualsIgnoringCase(folder, altro.folder);
}

std::string SystemName(const LabelSystem& system) {
  if (system.layout == FileLayout::kOneFile) {
    return fmt::format("{} (cartella {})", system.prefix, system.folder);
  }
  return fmt::format("a due file Import_VPA/Import_PRO (cartella {})", system.folder);
}

}  // namespace zav5::labels

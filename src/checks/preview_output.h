// A preview for the operator: each offer, its rows and the import lines of each label system.
#pragma once

#include <cstddef>
#include <filesystem>
#include <ostream>

#include "checks/language.h"
#include "checks/preview.h"

namespace zav5::checks {

// Lists show at most `limit` rows and lines (0: all). The import lines are shown as text.
void WritePreview(const PreviewResult& preview, Language language, std::size_t limit,
                  std::ostream& out);

// Writes the import files of the preview under `folder`, one folder per offer ("101-2026"), each
// file with the name and the bytes it would have; a name that two label systems would both use
// gets the later system's number in front ("2-Import_VPA_....txt"). Returns the files written.
// Throws FileError when one cannot be written.
std::vector<std::filesystem::path> WritePreviewFiles(const PreviewResult& preview,
                                                     const std::filesystem::path& folder);

}  // namespace zav5::checks

// The three checks as commands: what they print and the exit code they end with.
#pragma once

#include <cstddef>
#include <filesystem>
#include <optional>
#include <ostream>

#include "checks/audit.h"
#include "checks/language.h"
#include "checks/preview.h"
#include "checks/status.h"
#include "data/database.h"
#include "platform/env.h"

namespace zav5::checks {

struct OutputOptions {
  Language language = Language::kItalian;
  std::size_t limit = 50;  // rows shown per list; 0: all
  bool json = false;       // status only
};

// Prints the status; returns its verdict's code: 0 all well, 1 something waits longer than
// `max_wait`, 2 an error, 3 unknown.
int StatusCommand(platform::Env& env, const data::EngineOptions& engine_options,
                  const StatusOptions& options, const OutputOptions& output, std::ostream& out);

// Prints the preview and, with `folder`, writes its import files there. Returns 0, or 2 when the
// store was not found or the deactivation would fail (the error is printed).
int PreviewCommand(platform::Env& env, const data::EngineOptions& engine_options,
                   const PreviewOptions& options,
                   const std::optional<std::filesystem::path>& folder, const OutputOptions& output,
                   std::ostream& out);

// Prints the price check. Returns 0 when nothing was found, 1 when something was, 2 when the
// check could not be made.
int AuditCommand(platform::Env& env, const data::EngineOptions& engine_options,
                 const AuditOptions& options, const OutputOptions& output, std::ostream& out);

}  // namespace zav5::checks

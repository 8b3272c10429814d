#include "checks/commands.h"

#include <algorithm>

#include <fmt/core.h>

#include "checks/audit_output.h"
#include "checks/preview_output.h"
#include "checks/status_output.h"
#include "errors.h"

namespace zav5::checks {

int StatusCommand(platform::Env& env, const data::EngineOptions& engine_options,
                  const StatusOptions& options, const OutputOptions& output, std::ostream& out) {
  const StoreStatus status = CollectStatus(env, engine_options, options);
  const Judgement judgement = Judge(status, options, output.language);
  if (output.json) {
    WriteStatusJson(status, judgement, out);
  } else {
    WriteStatus(status, judgement, output.language, output.limit, out);
  }
  return static_cast<int>(judgement.code);
}

int PreviewCommand(platform::Env& env, const data::EngineOptions& engine_options,
                   const PreviewOptions& options,
                   const std::optional<std::filesystem::path>& folder, const OutputOptions& output,
                   std::ostream& out) {
  const PreviewResult preview = RunPreview(env, engine_options, options);
  WritePreview(preview, output.language, output.limit, out);
  if (folder) {
    try {
      const std::vector<std::filesystem::path> files = WritePreviewFiles(preview, *folder);
      out << '\n'
          << fmt::format(fmt::runtime(Say(output.language,
                                          {"File scritti in {}: {}", "Files written to {}: {}"})),
                         folder->string(), files.size())
          << '\n';
      for (const std::filesystem::path& file : files) {
        out << "  " << file.string() << '\n';
      }
    } catch (const Error& error) {
      out << "ERRORE : " << error.what() << '\n';
      return 2;
    }
  }
  const bool failed = std::any_of(preview.offers.begin(), preview.offers.end(),
                                  [](const PreviewedOffer& offer) { return !offer.error.empty(); });
  return preview.store_found && preview.error.empty() && !failed ? 0 : 2;
}

int AuditCommand(platform::Env& env, const data::EngineOptions& engine_options,
                 const AuditOptions& options, const OutputOptions& output, std::ostream& out) {
  const AuditResult audit = RunAudit(env, engine_options, options);
  WriteAudit(audit, output.language, output.limit, out);
  if (!audit.store_found || !audit.error.empty()) {
    return 2;
  }
  return audit.findings.empty() ? 0 : 1;
}

}  // namespace zav5::checks

#include "labels/hand_over_script.h"

#include <string>

#include "platform/whole_file.h"
#include "platform/windows_path.h"

namespace zav5::labels {

namespace {

template <std::size_t N>
std::string TextValue(const std::array<std::string_view, N>& lines) {
  std::string testo;
  for (const std::string_view line : lines) {
    testo += line;
    testo += "\r\n";
  }
  return testo;
}

// Writes the copy script whole under a temporary name in `folder`, then renames it into place;
// false when `folder` is on another disk than the script. Without replacing, a script that
// appeared meanwhile (written by hand, say) wins.
bool WriteCopyScriptFrom(platform::Env& env, std::string_view folder, bool sostituisci) {
  return platform::WriteWholeFile(env, folder, kCopyScript, TextValue(kCopyScriptLines),
                                  sostituisci) != platform::RenameOutcome::kOtherVolume;
}

void WriteCopyScript(platform::Env& env, bool sostituisci, std::string_view cartella_lavoro) {
  const std::string cartella_script =
      platform::ParseWindowsPath(kCopyScript, env.CurrentDrive()).Parent().ToString();
  if (!cartella_lavoro.empty() && WriteCopyScriptFrom(env, cartella_lavoro, sostituisci)) {
    return;
  }
  WriteCopyScriptFrom(env, cartella_script, sostituisci);
}

}  // namespace

bool StartHandOverScript(platform::Env& env, FileLayout layout, std::string_view cartella_lavoro) {
  const std::optional<std::string> script = env.ReadFile(kCopyScript);
  if (!script) {
    WriteCopyScript(env, false, cartella_lavoro);
  } else if (*script == TextValue(kOldCopyScriptLines)) {
    WriteCopyScript(env, true, cartella_lavoro);
  }
  if (layout == FileLayout::kOneFile) {
    if (!platform::FileExists(env, kSiteScript)) {
      return false;
    }
    env.StartScript(kSiteScript);
    return true;
  }
  env.StartScript(kCopyScript);
  return true;
}

}  // namespace zav5::labels

#include "labels/trasferimento.h"

#include <string>

#include "platform/whole_file.h"
#include "platform/windows_path.h"

namespace zav5::labels {

namespace {

template <std::size_t N>
std::string Testo(const std::array<std::string_view, N>& righe) {
  std::string testo;
  for (const std::string_view riga : righe) {
    testo += riga;
    testo += "\r\n";
  }
  return testo;
}

// Writes the copy script whole under a temporary name in `cartella`, then renames it into place;
// false when `cartella` is on another disk than the script. Without replacing, a script that
// appeared meanwhile (written by hand, say) wins.
bool ScriviScriptCopiaDa(platform::Env& env, std::string_view cartella, bool sostituisci) {
  return platform::WriteWholeFile(env, cartella, kScriptCopia, Testo(kRigheScriptCopia),
                                  sostituisci) != platform::RenameOutcome::kOtherVolume;
}

void ScriviScriptCopia(platform::Env& env, bool sostituisci, std::string_view cartella_lavoro) {
  const std::string cartella_script =
      platform::ParseWindowsPath(kScriptCopia, env.CurrentDrive()).Parent().ToString();
  if (!cartella_lavoro.empty() && ScriviScriptCopiaDa(env, cartella_lavoro, sostituisci)) {
    return;
  }
  ScriviScriptCopiaDa(env, cartella_script, sostituisci);
}

}  // namespace

bool Trasferisci(platform::Env& env, Tracciato tracciato, std::string_view cartella_lavoro) {
  const std::optional<std::string> script = env.ReadFile(kScriptCopia);
  if (!script) {
    ScriviScriptCopia(env, false, cartella_lavoro);
  } else if (*script == Testo(kRigheScriptCopiaPrecedente)) {
    ScriviScriptCopia(env, true, cartella_lavoro);
  }
  if (tracciato == Tracciato::kFileUnico) {
    if (!platform::FileExists(env, kScriptSito)) {
      return false;
    }
    env.StartScript(kScriptSito);
    return true;
  }
  env.StartScript(kScriptCopia);
  return true;
}

}  // namespace zav5::labels

#include "labels/trasferimento.h"

#include <string>

#include "errors.h"
#include "platform/line_writer.h"
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

void ScriviScriptCopia(platform::Env& env, bool sostituisci) {
  const std::string cartella =
      platform::ParseWindowsPath(kScriptCopia, env.CurrentDrive()).Parent().ToString();
  platform::TemporaryFile temporaneo = env.NewTemporaryFile(cartella);
  try {
    platform::LineWriter righe(*temporaneo.file);
    for (const std::string_view riga : kRigheScriptCopia) {
      righe.Write(riga);
    }
    righe.Flush();
    temporaneo.file->Sync();
    temporaneo.file->Close();
    // Without replacing, a script that appeared meanwhile (written by hand, say) wins.
    if (env.RenameFile(temporaneo.path, kScriptCopia, sostituisci) ==
        platform::RenameOutcome::kRenamed) {
      return;
    }
  } catch (const Errore&) {
    temporaneo.file.reset();
    env.DeleteFiles(temporaneo.path);
    throw;
  }
  env.DeleteFiles(temporaneo.path);
}

}  // namespace

bool Trasferisci(platform::Env& env, Tracciato tracciato) {
  const std::optional<std::string> script = env.ReadFile(kScriptCopia);
  if (!script) {
    ScriviScriptCopia(env, false);
  } else if (*script == Testo(kRigheScriptCopiaPrecedente)) {
    ScriviScriptCopia(env, true);
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

#include "labels/trasferimento.h"

namespace zav5::labels {

void Trasferisci(platform::Env& env, Tracciato tracciato) {
  if (!platform::FileExists(env, kScriptCopia)) {
    const platform::FileHandle script = env.OpenTextFile(kScriptCopia, platform::OpenMode::kOutput);
    for (std::string_view riga : kRigheScriptCopia) {
      env.WriteLine(script, riga);
    }
  }
  env.CloseAll();
  if (tracciato == Tracciato::kFileUnico) {
    if (platform::FileExists(env, kScriptSito)) {
      env.StartScript(kScriptSito);
    }
    return;
  }
  env.StartScript(kScriptCopia);
}

}  // namespace zav5::labels

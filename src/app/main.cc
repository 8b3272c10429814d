// zav5: the store's unattended job that takes expired promotional offers off the shelves.

#include <chrono>
#include <iostream>

#include "app/command_line.h"
#include "app/demo_store.h"
#include "errors.h"
#include "platform/batch/batch_runner.h"
#include "platform/posix/posix_env.h"
#include "platform/posix/posix_stop_signal.h"
#include "window/form1.h"
#include "window/headless.h"

namespace {

using zav5::app::Opzioni;

std::chrono::year_month_day Today(zav5::platform::Env& env) {
  return std::chrono::year_month_day{std::chrono::floor<std::chrono::days>(env.Now())};
}

// The program's own path, for the command the demo prints: argv[0] is only the name typed when the
// program was found through PATH.
std::filesystem::path ThisProgram(const char* argv0) {
  std::error_code error;
  const std::filesystem::path self = std::filesystem::read_symlink("/proc/self/exe", error);
  return error ? std::filesystem::absolute(argv0).lexically_normal() : self;
}

int CreaDemo(const Opzioni& opzioni, const char* argv0) {
  zav5::platform::PosixEnv env({}, 'C');
  const zav5::app::NegozioDemo demo = zav5::app::CreaNegozioDemo(opzioni.cartella_demo, Today(env));
  std::cout << "Negozio dimostrativo creato in "
            << std::filesystem::absolute(opzioni.cartella_demo).lexically_normal().string() << ": "
            << demo.articoli << " articoli, " << demo.offerte_scadute
            << " offerte scadute e una in corso.\nPer avviarlo:\n  "
            << zav5::app::ComandoPerDemo(ThisProgram(argv0), demo.unita_c, demo.unita_z) << "\n";
  return 0;
}

zav5::platform::DriveMap Unita(const Opzioni& opzioni) {
  zav5::platform::DriveMap unita;
  for (const auto& [lettera, cartella] : opzioni.unita) {
    unita[lettera] = std::filesystem::absolute(cartella);
  }
  return unita;
}

// The stand-in for the command interpreter: runs one script the program started.
int EseguiScript(const Opzioni& opzioni) {
  zav5::platform::PosixEnv env(Unita(opzioni), opzioni.unita_corrente);
  zav5::platform::BatchRunner runner(env, std::cout, std::cerr);
  return runner.Run(opzioni.script) ? 0 : 1;
}

int Esegui(const Opzioni& opzioni, const char* argv0) {
  // Before anything else: Ctrl+C and SIGTERM are the exit button from here on.
  zav5::platform::PosixStopSignal stop;

  zav5::platform::PosixEnv env(Unita(opzioni), opzioni.unita_corrente);
  env.SetScriptLauncher(zav5::app::ComandoScript(ThisProgram(argv0), opzioni));
  zav5::window::Form1 form(env, opzioni.motore);
  if (opzioni.oggi) {
    form.FissaOggi(*opzioni.oggi);
  }
  if (opzioni.una_volta) {
    return zav5::window::EseguiUnCiclo(form, std::cout);
  }
  zav5::window::EseguiSenzaFinestra(form, stop, std::cout);
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  const zav5::app::Lettura lettura = zav5::app::LeggiRigaDiComando(argc, argv);
  if (!lettura.opzioni) {
    (lettura.codice_uscita == 0 ? std::cout : std::cerr) << lettura.messaggio;
    return lettura.codice_uscita;
  }
  try {
    if (lettura.opzioni->comando == Opzioni::Comando::kDemo) {
      return CreaDemo(*lettura.opzioni, argv[0]);
    }
    if (lettura.opzioni->comando == Opzioni::Comando::kEseguiScript) {
      return EseguiScript(*lettura.opzioni);
    }
    return Esegui(*lettura.opzioni, argv[0]);
  } catch (const zav5::Errore& error) {
    std::cerr << "ZAV5: " << error.what() << "\n";
    return 1;
  }
}

// zav5: the store's unattended job that takes expired promotional offers off the shelves.

#include <chrono>
#include <exception>
#include <iostream>
#include <memory>
#include <string>
#include <vector>

#include "app/command_line.h"
#include "app/demo_store.h"
#include "app/istanza_unica.h"
#include "app/program_path.h"
#include "checks/commands.h"
#include "errors.h"
#include "platform/batch/batch_runner.h"
#include "platform/host_env.h"
#include "window/form1.h"
#include "window/headless.h"

#ifdef _WIN32
#include "app/windows_arguments.h"
#include "app/windows_console.h"
#include "window/win32/finestra_win32.h"
#else
#include "platform/posix/posix_stop_signal.h"
#endif

namespace {

using zav5::app::Opzioni;
using zav5::platform::HostEnv;

std::chrono::year_month_day Today(zav5::platform::Env& env) {
  return std::chrono::year_month_day{std::chrono::floor<std::chrono::days>(env.Now())};
}

int CreaDemo(const Opzioni& opzioni, const char* argv0) {
  HostEnv env({}, 'C');
  const zav5::app::NegozioDemo demo = zav5::app::CreaNegozioDemo(opzioni.cartella_demo, Today(env));
  std::cout << "Negozio dimostrativo creato in "
            << std::filesystem::absolute(opzioni.cartella_demo).lexically_normal().string() << ": "
            << demo.articoli << " articoli, " << demo.offerte_scadute
            << " offerte scadute e una in corso.\nPer avviarlo:\n  "
            << zav5::app::ComandoPerDemo(zav5::app::ThisProgram(argv0), demo.unita_c, demo.unita_z)
            << "\n";
  return 0;
}

zav5::platform::DriveMap Unita(const Opzioni& opzioni) {
  zav5::platform::DriveMap unita;
  for (const auto& [lettera, cartella] : opzioni.drives) {
    unita[lettera] = std::filesystem::absolute(cartella);
  }
  return unita;
}

// The stand-in for the command interpreter: runs one script the program started.
int EseguiScript(const Opzioni& opzioni) {
  HostEnv env(Unita(opzioni), zav5::app::UnitaCorrente(opzioni));
  zav5::platform::BatchRunner runner(env, std::cout, std::cerr);
  return runner.Run(opzioni.script) ? 0 : 1;
}

// zav5 status | preview | audit. They read the store and change nothing; a store that cannot be
// found from here is their answer, not a failure of theirs.
int Controlla(const Opzioni& opzioni) {
#ifdef _WIN32
  zav5::app::UsaConsoleDelChiamante();
#endif
  const bool stato = opzioni.comando == Opzioni::Comando::kStato;
  char unita_corrente = 'C';
  try {
    unita_corrente = zav5::app::UnitaCorrente(opzioni);
  } catch (const zav5::FileError& error) {
    std::cout << "ERRORE : " << error.what() << "\n";
    return stato ? 3 : 2;
  }
  HostEnv env(Unita(opzioni), unita_corrente);
#ifdef _WIN32
  env.SetMessageBoxWindows(false);
#endif
  try {
    switch (opzioni.comando) {
      case Opzioni::Comando::kStato: {
        zav5::checks::StatusOptions stato_opzioni;
        stato_opzioni.today = opzioni.oggi;
        stato_opzioni.max_wait = opzioni.attesa_massima;
        stato_opzioni.allow_stopped = opzioni.fermo_ammesso;
        for (const auto& [lettera, cartella] : Unita(opzioni)) {
          const std::u8string utf8 = cartella.u8string();
          stato_opzioni.drives[lettera] = std::string(utf8.begin(), utf8.end());
        }
        return zav5::checks::StatusCommand(env, opzioni.motore, stato_opzioni, opzioni.uscita,
                                           std::cout);
      }
      case Opzioni::Comando::kAnteprima:
        return zav5::checks::PreviewCommand(env, opzioni.motore, {opzioni.oggi, opzioni.offerta},
                                            opzioni.cartella_anteprima, opzioni.uscita, std::cout);
      default:
        return zav5::checks::AuditCommand(env, opzioni.motore, {opzioni.oggi}, opzioni.uscita,
                                          std::cout);
    }
  } catch (const std::exception& error) {
    // Whatever went wrong, the check did not give its answer.
    std::cout << "ERRORE : " << error.what() << "\n";
    return stato ? 3 : 2;
  }
}

int Esegui(const Opzioni& opzioni, [[maybe_unused]] const char* argv0) {
#ifndef _WIN32
  // Before anything else: Ctrl+C and SIGTERM are the exit button from here on.
  zav5::platform::PosixStopSignal stop;
#endif

  // The store is found from the current drive. Without one (a network folder) nothing is guessed:
  // the message says so, on an Env that only shows it.
  char unita_corrente = 'C';
  std::string senza_unita;
  try {
    unita_corrente = zav5::app::UnitaCorrente(opzioni);
  } catch (const zav5::FileError& error) {
    senza_unita = error.what();
  }
  HostEnv env(Unita(opzioni), unita_corrente);
#ifdef _WIN32
  // An unattended run shows no message box that nobody would confirm.
  env.SetMessageBoxWindows(!opzioni.una_volta);
#endif
  if (!senza_unita.empty()) {
    env.MessageBox("ERRORE : " + senza_unita, "ZAV5");
    return 1;
  }
#ifndef _WIN32
  env.SetScriptLauncher(zav5::app::ComandoScript(zav5::app::ThisProgram(argv0), opzioni));
#endif
  // Before anything of the store is touched, the run log included.
  std::unique_ptr<zav5::platform::FileLock> blocco;
  try {
    blocco = zav5::app::BloccaNegozio(env);
  } catch (const zav5::app::GiaInEsecuzione& error) {
    env.MessageBox(error.what(), "ZAV5");
    return zav5::app::kCodiceGiaInEsecuzione;
  } catch (const zav5::FileError& error) {
    env.MessageBox(std::string("ERRORE : ") + error.what(), "ZAV5");
    return 1;
  }
#ifdef _WIN32
  // The cycle runs on the window's thread, between its messages: while it waits for a lock the
  // window cannot be closed, and no stop is looked for; the wait keeps its bound.
  zav5::window::Form1 form(env, opzioni.motore);
#else
  // A stop (Ctrl+C, SIGTERM) also ends a cycle's wait for another program's lock.
  zav5::window::Form1 form(env, zav5::window::MotoreConFermata(opzioni.motore, stop));
#endif
  if (opzioni.oggi) {
    form.FissaOggi(*opzioni.oggi);
  }
  if (opzioni.una_volta) {
    return zav5::window::EseguiUnCiclo(form, std::cout);
  }
#ifdef _WIN32
  return zav5::window::EseguiConFinestra(form);
#else
  zav5::window::EseguiSenzaFinestra(form, stop, std::cout);
  return 0;
#endif
}

int Main(int argc, const char* const* argv) {
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
    if (lettura.opzioni->comando == Opzioni::Comando::kStato ||
        lettura.opzioni->comando == Opzioni::Comando::kAnteprima ||
        lettura.opzioni->comando == Opzioni::Comando::kVerificaPrezzi) {
      return Controlla(*lettura.opzioni);
    }
    return Esegui(*lettura.opzioni, argv[0]);
  } catch (const zav5::Errore& error) {
    std::cerr << "ZAV5: " << error.what() << "\n";
    return 1;
  }
}

}  // namespace

int main([[maybe_unused]] int argc, [[maybe_unused]] char** argv) {
#ifdef _WIN32
  // The arguments as Windows passes them, in UTF-8: the 8-bit ones lose what the code page lacks.
  const zav5::app::ArgomentiWindows argomenti;
  return Main(argomenti.argc(), argomenti.argv());
#else
  return Main(argc, argv);
#endif
}

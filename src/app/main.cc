// zav5: the store's unattended job that takes expired promotional offers off the shelves.

#include <chrono>
#include <exception>
#include <iostream>
#include <memory>
#include <string>
#include <vector>

#include "app/command_line.h"
#include "app/demo_store.h"
#include "app/program_path.h"
#include "app/single_instance.h"
#include "batch/batch_runner.h"
#include "checks/commands.h"
#include "errors.h"
#include "platform/host_env.h"
#include "window/form1.h"
#include "window/headless.h"

#ifdef _WIN32
#include "app/windows_arguments.h"
#include "app/windows_console.h"
#include "window/win32/win32_window.h"
#else
#include "platform/posix/posix_stop_signal.h"
#endif

namespace {

using zav5::app::Options;
using zav5::platform::HostEnv;

std::chrono::year_month_day Today(zav5::platform::Env& env) {
  return std::chrono::year_month_day{std::chrono::floor<std::chrono::days>(env.Now())};
}

int CreateDemo(const Options& options, const char* argv0) {
  HostEnv env({}, 'C');
  const zav5::app::DemoStore demo = zav5::app::CreateDemoStore(options.demo_folder, Today(env));
  std::cout << "Negozio dimostrativo creato in "
            << std::filesystem::absolute(options.demo_folder).lexically_normal().string() << ": "
            << demo.articoli << " articoli, " << demo.expired_offers
            << " offerte scadute e una in corso.\nPer avviarlo:\n  "
            << zav5::app::DemoCommand(zav5::app::ThisProgram(argv0), demo.drive_c, demo.drive_z)
            << "\n";
  return 0;
}

zav5::platform::DriveMap DriveMapOf(const Options& options) {
  zav5::platform::DriveMap drive;
  for (const auto& [lettera, folder] : options.drives) {
    drive[lettera] = std::filesystem::absolute(folder);
  }
  return drive;
}

// The stand-in for the command interpreter: runs one script the program started.
int RunBatchScript(const Options& options) {
  HostEnv env(DriveMapOf(options), zav5::app::ProgramDrive(options));
  zav5::batch::BatchRunner runner(env, std::cout, std::cerr);
  return runner.Run(options.script) ? 0 : 1;
}

// zav5 status | preview | audit. They read the store and change nothing; a store that cannot be
// found from here is their answer, not a failure of theirs.
int RunCheck(const Options& options) {
#ifdef _WIN32
  zav5::app::AttachParentConsole();
#endif
  const bool stato = options.command == Options::Command::kStatus;
  char current_drive = 'C';
  try {
    current_drive = zav5::app::ProgramDrive(options);
  } catch (const zav5::FileError& error) {
    std::cout << "ERRORE : " << error.what() << "\n";
    return stato ? 3 : 2;
  }
  HostEnv env(DriveMapOf(options), current_drive);
#ifdef _WIN32
  env.SetMessageBoxWindows(false);
#endif
  try {
    switch (options.command) {
      case Options::Command::kStatus: {
        zav5::checks::StatusOptions stato_opzioni;
        stato_opzioni.today = options.today;
        stato_opzioni.max_wait = options.max_wait;
        stato_opzioni.allow_stopped = options.allow_stopped;
        for (const auto& [lettera, folder] : DriveMapOf(options)) {
          const std::u8string utf8 = folder.u8string();
          stato_opzioni.drives[lettera] = std::string(utf8.begin(), utf8.end());
        }
        return zav5::checks::StatusCommand(env, options.engine_options, stato_opzioni,
                                           options.output, std::cout);
      }
      case Options::Command::kPreview:
        return zav5::checks::PreviewCommand(env, options.engine_options,
                                            {options.today, options.offer}, options.preview_folder,
                                            options.output, std::cout);
      default:
        return zav5::checks::AuditCommand(env, options.engine_options, {options.today},
                                          options.output, std::cout);
    }
  } catch (const std::exception& error) {
    // Whatever went wrong, the check did not give its answer.
    std::cout << "ERRORE : " << error.what() << "\n";
    return stato ? 3 : 2;
  }
}

int Run(const Options& options, [[maybe_unused]] const char* argv0) {
#ifndef _WIN32
  // Before anything else: Ctrl+C and SIGTERM are the exit button from here on.
  zav5::platform::PosixStopSignal stop;
#endif

  // The store is found from the current drive. Without one (a network folder) nothing is guessed:
  // the message says so, on an Env that only shows it.
  char current_drive = 'C';
  std::string senza_unita;
  try {
    current_drive = zav5::app::ProgramDrive(options);
  } catch (const zav5::FileError& error) {
    senza_unita = error.what();
  }
  HostEnv env(DriveMapOf(options), current_drive);
#ifdef _WIN32
  // An unattended run shows no message box that nobody would confirm.
  env.SetMessageBoxWindows(!options.once);
#endif
  if (!senza_unita.empty()) {
    env.MessageBox("ERRORE : " + senza_unita, "ZAV5");
    return 1;
  }
#ifndef _WIN32
  env.SetScriptLauncher(zav5::app::ScriptCommand(zav5::app::ThisProgram(argv0), options));
#endif
  // Before anything of the store is touched, the run log included.
  std::unique_ptr<zav5::platform::FileLock> blocco;
  try {
    blocco = zav5::app::LockStore(env);
  } catch (const zav5::app::AlreadyRunning& error) {
    env.MessageBox(error.what(), "ZAV5");
    return zav5::app::kAlreadyRunningExitCode;
  } catch (const zav5::FileError& error) {
    env.MessageBox(std::string("ERRORE : ") + error.what(), "ZAV5");
    return 1;
  }
#ifdef _WIN32
  // The cycle runs on the window's thread, between its messages: while it waits for a lock the
  // window cannot be closed, and no stop is looked for; the wait keeps its bound.
  zav5::window::Form1 form(env, options.engine_options);
#else
  // A stop (Ctrl+C, SIGTERM) also ends a cycle's wait for another program's lock.
  zav5::window::Form1 form(env, zav5::window::EngineOptionsWithStop(options.engine_options, stop));
#endif
  if (options.today) {
    form.FixToday(*options.today);
  }
  if (options.once) {
    return zav5::window::RunOnce(form, std::cout);
  }
#ifdef _WIN32
  return zav5::window::RunWindowed(form);
#else
  zav5::window::RunHeadless(form, stop, std::cout);
  return 0;
#endif
}

int Main(int argc, const char* const* argv) {
  const zav5::app::CommandLineResult lettura = zav5::app::ParseCommandLine(argc, argv);
  if (!lettura.options) {
    (lettura.exit_code == 0 ? std::cout : std::cerr) << lettura.message;
    return lettura.exit_code;
  }
  try {
    if (lettura.options->command == Options::Command::kDemo) {
      return CreateDemo(*lettura.options, argv[0]);
    }
    if (lettura.options->command == Options::Command::kRunBatch) {
      return RunBatchScript(*lettura.options);
    }
    if (lettura.options->command == Options::Command::kStatus ||
        lettura.options->command == Options::Command::kPreview ||
        lettura.options->command == Options::Command::kAudit) {
      return RunCheck(*lettura.options);
    }
    return Run(*lettura.options, argv[0]);
  } catch (const zav5::Error& error) {
    std::cerr << "ZAV5: " << error.what() << "\n";
    return 1;
  }
}

}  // namespace

int main([[maybe_unused]] int argc, [[maybe_unused]] char** argv) {
#ifdef _WIN32
  // The arguments as Windows passes them, in UTF-8: the 8-bit ones lose what the code page lacks.
  const zav5::app::WindowsArguments argomenti;
  return Main(argomenti.argc(), argomenti.argv());
#else
  return Main(argc, argv);
#endif
}

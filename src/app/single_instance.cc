#include "app/single_instance.h"

#include <cctype>
#include <chrono>
#include <thread>

#include <fmt/core.h>

namespace zav5::app {

namespace {

constexpr int kLockAttempts = 20;
constexpr std::chrono::milliseconds kLockPause{50};

char UpperDrive(char drive) {
  return static_cast<char>(std::toupper(static_cast<unsigned char>(drive)));
}

}  // namespace

std::unique_ptr<platform::FileLock> LockStore(platform::Env& env) {
  const char drive = env.CurrentDrive();
  const std::string azienda = fmt::format("{}:\\dorn\\sulvo.mdb", UpperDrive(drive));
  if (!platform::FileExists(env, azienda)) {
    return nullptr;
  }
  const std::string path = startup::StoreLockPath(drive);
  // A check of the store (zav5 status) holds the lock for an instant when it asks whether a zav5
  // runs: a lock refused is asked again for a second before this copy gives up.
  for (int tentativo = 0; tentativo < kLockAttempts; ++tentativo) {
    if (std::unique_ptr<platform::FileLock> blocco = env.LockFile(path)) {
      return blocco;
    }
    std::this_thread::sleep_for(kLockPause);
  }
  // The holder wrote its process number into the file; it may be gone by now, or unreadable.
  std::string processo;
  try {
    if (const std::optional<std::string> testo = env.ReadFile(path)) {
      for (const char c : *testo) {
        if (std::isdigit(static_cast<unsigned char>(c)) == 0) {
          break;
        }
        processo += c;
      }
    }
  } catch (const Error&) {
  }
  throw AlreadyRunning(fmt::format(
      "ERRORE : zav5 è già in esecuzione sul negozio di {}{}: questa copia non parte, per non "
      "disattivare due volte le stesse offerte",
      azienda, processo.empty() ? "" : fmt::format(" (processo {})", processo)));
}

}  // namespace zav5::app

#include "app/istanza_unica.h"

#include <fmt/core.h>

#include <cctype>
#include <chrono>
#include <thread>

namespace zav5::app {

namespace {

constexpr int kTentativiBlocco = 20;
constexpr std::chrono::milliseconds kPausaBlocco{50};

char Maiuscola(char unita) {
  return static_cast<char>(std::toupper(static_cast<unsigned char>(unita)));
}

}  // namespace

std::unique_ptr<platform::FileLock> BloccaNegozio(platform::Env& env) {
  const char unita = env.CurrentDrive();
  const std::string azienda = fmt::format("{}:\\dorn\\sulvo.mdb", Maiuscola(unita));
  if (!platform::FileExists(env, azienda)) {
    return nullptr;
  }
  const std::string percorso = startup::PercorsoBloccoNegozio(unita);
  // A check of the store (zav5 status) holds the lock for an instant when it asks whether a zav5
  // runs: a lock refused is asked again for a second before this copy gives up.
  for (int tentativo = 0; tentativo < kTentativiBlocco; ++tentativo) {
    if (std::unique_ptr<platform::FileLock> blocco = env.LockFile(percorso)) {
      return blocco;
    }
    std::this_thread::sleep_for(kPausaBlocco);
  }
  // The holder wrote its process number into the file; it may be gone by now, or unreadable.
  std::string processo;
  try {
    if (const std::optional<std::string> testo = env.ReadFile(percorso)) {
      for (const char c : *testo) {
        if (std::isdigit(static_cast<unsigned char>(c)) == 0) {
          break;
        }
        processo += c;
      }
    }
  } catch (const Errore&) {
  }
  throw GiaInEsecuzione(fmt::format(
      "ERRORE : zav5 è già in esecuzione sul negozio di {}{}: questa copia non parte, per non "
      "disattivare due volte le stesse offerte",
      azienda, processo.empty() ? "" : fmt::format(" (processo {})", processo)));
}

}  // namespace zav5::app

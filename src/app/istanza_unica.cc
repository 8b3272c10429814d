#include "app/istanza_unica.h"

#include <fmt/core.h>

#include <cctype>

namespace zav5::app {

namespace {

char Maiuscola(char unita) {
  return static_cast<char>(std::toupper(static_cast<unsigned char>(unita)));
}

}  // namespace

std::string PercorsoBloccoNegozio(char unita) {
  return fmt::format("{}:\\dorn\\zav5.lck", Maiuscola(unita));
}

std::unique_ptr<platform::FileLock> BloccaNegozio(platform::Env& env) {
  const char unita = env.CurrentDrive();
  const std::string azienda = fmt::format("{}:\\dorn\\sulvo.mdb", Maiuscola(unita));
  if (!platform::FileExists(env, azienda)) {
    return nullptr;
  }
  const std::string percorso = PercorsoBloccoNegozio(unita);
  std::unique_ptr<platform::FileLock> blocco = env.LockFile(percorso);
  if (blocco) {
    return blocco;
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

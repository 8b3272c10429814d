#include "data/attesa_blocchi.h"

#include <fmt/format.h>

#include <algorithm>
#include <array>
#include <utility>

namespace zav5::data {

namespace {

using std::chrono::milliseconds;
using std::chrono::steady_clock;

// The pauses between the attempts of a wait: short at first, for a lock that is let go at once,
// then 50 ms each, so that a stop is seen within a twentieth of a second.
constexpr std::array<milliseconds, 6> kPause = {milliseconds{1},  milliseconds{2},
                                                milliseconds{5},  milliseconds{10},
                                                milliseconds{20}, milliseconds{50}};

// "5 secondi", "1 secondo", "0,3 secondi".
std::string Secondi(milliseconds durata) {
  const long long ms = durata.count();
  if (ms == 1000) {
    return "1 secondo";
  }
  if (ms % 1000 == 0) {
    return fmt::format("{} secondi", ms / 1000);
  }
  std::string decimali = fmt::format("{:03}", ms % 1000);
  decimali.erase(decimali.find_last_not_of('0') + 1);
  return fmt::format("{},{} secondi", ms / 1000, decimali);
}

}  // namespace

AttesaBlocchi::AttesaBlocchi(milliseconds attesa, std::function<bool()> fermata)
    : attesa_(attesa), fermata_(std::move(fermata)) {}

void AttesaBlocchi::IniziaCiclo() {
  if (cicli_++ == 0) {
    scadenza_ = steady_clock::now() + attesa_;
    interruzione_ = Motivo::kNessuno;
  }
}

void AttesaBlocchi::FineCiclo() {
  if (cicli_ > 0 && --cicli_ == 0) {
    scadenza_.reset();
    interruzione_ = Motivo::kNessuno;
  }
}

std::optional<milliseconds> AttesaBlocchi::ProssimaPausa(int volta) {
  const steady_clock::time_point adesso = steady_clock::now();
  if (!scadenza_) {
    if (volta == 0) {
      inizio_attesa_ = adesso;
    }
    const steady_clock::time_point fine = inizio_attesa_ + attesa_;
    if (adesso >= fine) {
      return std::nullopt;
    }
    return std::min(kPause[std::min<std::size_t>(volta, kPause.size() - 1)],
                    std::chrono::ceil<milliseconds>(fine - adesso));
  }
  // In a cycle: once its work is to stop, every wait gives up at once.
  if (interruzione_ != Motivo::kNessuno) {
    return std::nullopt;
  }
  if (fermata_ && fermata_()) {
    interruzione_ = Motivo::kFermata;
    return std::nullopt;
  }
  if (adesso >= *scadenza_) {
    interruzione_ = Motivo::kTempoScaduto;
    return std::nullopt;
  }
  return std::min(kPause[std::min<std::size_t>(volta, kPause.size() - 1)],
                  std::chrono::ceil<milliseconds>(*scadenza_ - adesso));
}

std::optional<steady_clock::duration> AttesaBlocchi::TempoRimasto() const {
  if (!scadenza_) {
    return std::nullopt;
  }
  return *scadenza_ - steady_clock::now();
}

std::string AttesaBlocchi::Spiegazione(const std::string& dettaglio) const {
  switch (interruzione_) {
    case Motivo::kFermata:
      return "un altro programma lo tiene bloccato e l'attesa è stata interrotta: è stata chiesta "
             "la fermata del programma";
    case Motivo::kTempoScaduto:
      return fmt::format(
          "un altro programma lo tiene bloccato oltre il tempo di attesa di {} concesso a ogni "
          "ciclo",
          Secondi(attesa_));
    case Motivo::kNessuno:
      break;
  }
  std::string testo = fmt::format(
      "un altro programma lo tiene bloccato oltre il tempo di attesa di {}", Secondi(attesa_));
  if (!dettaglio.empty()) {
    testo += " (" + dettaglio + ")";
  }
  return testo;
}

}  // namespace zav5::data

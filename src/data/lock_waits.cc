#include "data/lock_waits.h"

#include <algorithm>
#include <array>
#include <utility>

#include <fmt/format.h>

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
std::string SecondsText(milliseconds durata) {
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

LockWaits::LockWaits(milliseconds attesa, std::function<bool()> stop_requested)
    : bound_(attesa), stop_requested_(std::move(stop_requested)) {}

void LockWaits::BeginCycle() {
  if (cycle_depth_++ == 0) {
    deadline_ = steady_clock::now() + bound_;
    interruption_ = StopReason::kNone;
  }
}

void LockWaits::EndCycle() {
  if (cycle_depth_ > 0 && --cycle_depth_ == 0) {
    deadline_.reset();
    interruption_ = StopReason::kNone;
  }
}

std::optional<milliseconds> LockWaits::NextPause(int volta) {
  const steady_clock::time_point adesso = steady_clock::now();
  if (!deadline_) {
    if (volta == 0) {
      wait_start_ = adesso;
    }
    const steady_clock::time_point end_day = wait_start_ + bound_;
    if (adesso >= end_day) {
      return std::nullopt;
    }
    return std::min(kPause[std::min<std::size_t>(volta, kPause.size() - 1)],
                    std::chrono::ceil<milliseconds>(end_day - adesso));
  }
  // In a cycle: once its work is to stop, every wait gives up at once.
  if (interruption_ != StopReason::kNone) {
    return std::nullopt;
  }
  if (stop_requested_ && stop_requested_()) {
    interruption_ = StopReason::kStopRequested;
    return std::nullopt;
  }
  if (adesso >= *deadline_) {
    interruption_ = StopReason::kTimedOut;
    return std::nullopt;
  }
  return std::min(kPause[std::min<std::size_t>(volta, kPause.size() - 1)],
                  std::chrono::ceil<milliseconds>(*deadline_ - adesso));
}

std::optional<steady_clock::duration> LockWaits::TimeLeft() const {
  if (!deadline_) {
    return std::nullopt;
  }
  return *deadline_ - steady_clock::now();
}

std::string LockWaits::Explanation(const std::string& dettaglio) const {
  switch (interruption_) {
    case StopReason::kStopRequested:
      return "un altro programma lo tiene bloccato e l'attesa è stata interrotta: è stata chiesta "
             "la fermata del programma";
    case StopReason::kTimedOut:
      return fmt::format(
          "un altro programma lo tiene bloccato oltre il tempo di attesa di {} concesso a ogni "
          "ciclo",
          SecondsText(bound_));
    case StopReason::kNone:
      break;
  }
  std::string testo = fmt::format(
      "un altro programma lo tiene bloccato oltre il tempo di attesa di {}", SecondsText(bound_));
  if (!dettaglio.empty()) {
    testo += " (" + dettaglio + ")";
  }
  return testo;
}

}  // namespace zav5::data

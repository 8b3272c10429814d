// How long the program waits for the locks that the store suite's other programs hold on the
// shared databases.
#pragma once

#include <chrono>
#include <functional>
#include <optional>
#include <string>

namespace zav5::data {

// The waits of every connection of one engine, which share one object of this class.
//
// Outside a processing cycle each wait has its own bound: `attesa` from its first refusal. A
// cycle bounds all of its waits together (LimiteAttese): they end by one deadline, `attesa` after
// the cycle's start, and past it a wait gives up at once. In a cycle the wait also gives up as
// soon as `fermata` says that the program is asked to stop. A wait given up in a cycle, for
// either reason, interrupts the cycle's database work at its next step (Interruzione): SQLite
// may go on after a refused wait (a page that could not be written out early stays in memory)
// while holding a lock that keeps the suite's new readers out, and only the rollback of the
// cycle's transaction lets it go.
//
// The clock is the real steady clock, whatever the program's Env says: other programs hold their
// locks in real time. Used by one thread at a time.
class AttesaBlocchi {
 public:
  // Why the work of the cycle under way is to stop.
  enum class Motivo {
    kNessuno,       // it is not (or no cycle is under way)
    kTempoScaduto,  // a wait was given up past the cycle's deadline
    kFermata,       // a wait was given up because a stop was asked for
  };

  // `fermata`, when set, says whether a stop of the program has been asked for; it must return
  // at once. REQUIRES: `attesa` is not negative.
  explicit AttesaBlocchi(std::chrono::milliseconds attesa, std::function<bool()> fermata = {});

  // The bound of one wait, and of all the waits of a cycle.
  std::chrono::milliseconds Attesa() const { return attesa_; }

  // Starts the bound of a cycle: its deadline is `Attesa()` from now, and no interruption is
  // under way. A bound started while another is under way keeps the other's deadline.
  void IniziaCiclo();
  // Ends the bound started last: after the outermost one, the waits have their own bounds again
  // and the interruption is forgotten.
  void FineCiclo();

  // For a backend whose attempt at a lock was refused: how long to pause before it tries again,
  // or nothing when it is to give up now. `volta` counts the attempts of this wait, from 0 at
  // its first refusal. The pauses are short (50 ms at most), so that a stop is seen soon.
  std::optional<std::chrono::milliseconds> ProssimaPausa(int volta);

  // Whether the cycle's work is to stop (see above): kNessuno outside a cycle.
  Motivo Interruzione() const { return interruzione_; }

  // The time left to the cycle's deadline, negative once it has passed; nothing outside a cycle.
  std::optional<std::chrono::steady_clock::duration> TempoRimasto() const;

  // What to tell the operator about a wait given up, after "errore del database X facendo Y: ".
  // `dettaglio`, when not empty, is the engine's own word, added between parentheses to the
  // message of a wait outside a cycle.
  std::string Spiegazione(const std::string& dettaglio = {}) const;

 private:
  std::chrono::milliseconds attesa_;
  std::function<bool()> fermata_;
  std::optional<std::chrono::steady_clock::time_point> scadenza_;  // of the cycle
  std::chrono::steady_clock::time_point inizio_attesa_;            // of the wait outside one
  Motivo interruzione_ = Motivo::kNessuno;
  int cicli_ = 0;  // bounds under way, one inside the other
};

// The bound of one processing cycle's waits, from its construction to its destruction (see
// AttesaBlocchi). Made by DbEngine::LimitaAttese.
class [[nodiscard]] LimiteAttese {
 public:
  explicit LimiteAttese(AttesaBlocchi& attese) : attese_(&attese) { attese_->IniziaCiclo(); }
  ~LimiteAttese() {
    if (attese_ != nullptr) {
      attese_->FineCiclo();
    }
  }
  LimiteAttese(LimiteAttese&& other) noexcept : attese_(other.attese_) { other.attese_ = nullptr; }
  LimiteAttese(const LimiteAttese&) = delete;
  LimiteAttese& operator=(const LimiteAttese&) = delete;
  LimiteAttese& operator=(LimiteAttese&&) = delete;

 private:
  AttesaBlocchi* attese_;
};

}  // namespace zav5::data

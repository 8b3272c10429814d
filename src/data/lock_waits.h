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
// cycle bounds all of its waits together (CycleWaitBound): they end by one deadline, `attesa` after
// the cycle's start, and past it a wait gives up at once. In a cycle the wait also gives up as
// soon as `stop_requested` says that the program is asked to stop. A wait given up in a cycle, for
// either reason, interrupts the cycle's database work at its next step (Interruption): SQLite
// may go on after a refused wait (a page that could not be written out early stays in memory)
// while holding a lock that keeps the suite's new readers out, and only the rollback of the
// cycle's transaction lets it go.
//
// The clock is the real steady clock, whatever the program's Env says: other programs hold their
// locks in real time. Used by one thread at a time.
class LockWaits {
 public:
  // Why the work of the cycle under way is to stop.
  enum class StopReason {
    kNone,           // it is not (or no cycle is under way)
    kTimedOut,       // a wait was given up past the cycle's deadline
    kStopRequested,  // a wait was given up because a stop was asked for
  };

  // `stop_requested`, when set, says whether a stop of the program has been asked for; it must
  // return at once. REQUIRES: `attesa` is not negative.
  explicit LockWaits(std::chrono::milliseconds attesa, std::function<bool()> stop_requested = {});

  // The bound of one wait, and of all the waits of a cycle.
  std::chrono::milliseconds WaitBound() const { return bound_; }

  // Starts the bound of a cycle: its deadline is `WaitBound()` from now, and no interruption is
  // under way. A bound started while another is under way keeps the other's deadline.
  void BeginCycle();
  // Ends the bound started last: after the outermost one, the waits have their own bounds again
  // and the interruption is forgotten.
  void EndCycle();

  // For a backend whose attempt at a lock was refused: how long to pause before it tries again,
  // or nothing when it is to give up now. `volta` counts the attempts of this wait, from 0 at
  // its first refusal. The pauses are short (50 ms at most), so that a stop is seen soon.
  std::optional<std::chrono::milliseconds> NextPause(int volta);

  // Whether the cycle's work is to stop (see above): kNone outside a cycle.
  StopReason Interruption() const { return interruption_; }

  // The time left to the cycle's deadline, negative once it has passed; nothing outside a cycle.
  std::optional<std::chrono::steady_clock::duration> TimeLeft() const;

  // What to tell the operator about a wait given up, after "errore del database X facendo Y: ".
  // `dettaglio`, when not empty, is the engine's own word, added between parentheses to the
  // message of a wait outside a cycle.
  std::string Explanation(const std::string& dettaglio = {}) const;

 private:
  std::chrono::milliseconds bound_;
  std::function<bool()> stop_requested_;
  std::optional<std::chrono::steady_clock::time_point> deadline_;  // of the cycle
  std::chrono::steady_clock::time_point wait_start_;               // of the wait outside one
  StopReason interruption_ = StopReason::kNone;
  int cycle_depth_ = 0;  // bounds under way, one inside the other
};

// The bound of one processing cycle's waits, from its construction to its destruction (see
// LockWaits). Made by DbEngine::BoundWaits.
class [[nodiscard]] CycleWaitBound {
 public:
  explicit CycleWaitBound(LockWaits& waits) : waits_(&waits) { waits_->BeginCycle(); }
  ~CycleWaitBound() {
    if (waits_ != nullptr) {
      waits_->EndCycle();
    }
  }
  CycleWaitBound(CycleWaitBound&& other) noexcept : waits_(other.waits_) { other.waits_ = nullptr; }
  CycleWaitBound(const CycleWaitBound&) = delete;
  CycleWaitBound& operator=(const CycleWaitBound&) = delete;
  CycleWaitBound& operator=(CycleWaitBound&&) = delete;

 private:
  LockWaits* waits_;
};

}  // namespace zav5::data

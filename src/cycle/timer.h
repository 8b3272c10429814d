// The window's timer, as a model: an interval on the steady clock of the platform and whether it
// runs. The front end asks it when the next tick is due and reports each tick it delivers.
#pragma once

#include <chrono>
#include <optional>

#include "platform/env.h"

namespace zav5::cycle {

class Timer {
 public:
  // A timer created enabled starts counting its first interval at once.
  // REQUIRES: `interval` is positive
  Timer(platform::Env& env, std::chrono::milliseconds interval, bool enabled);

  std::chrono::milliseconds Interval() const { return interval_; }
  bool Enabled() const { return due_.has_value(); }

  // Enabling starts a fresh interval from now, also when the timer was running; disabling stops
  // it and drops a tick that was due.
  void SetEnabled(bool enabled);

  // When the next tick is due; nothing while the timer is disabled.
  std::optional<platform::SteadyTime> Due() const { return due_; }

  // True when a tick is due now. The front end then calls Delivered() before running the tick's
  // handler, so that a handler that restarts the timer has the last word.
  bool IsDue() const;
  void Delivered();

 private:
  platform::Env& env_;
  std::chrono::milliseconds interval_;
  std::optional<platform::SteadyTime> due_;
};

// Stops a timer while some work runs and starts a fresh interval when the work ends, whichever way
// it ends, so that the ticks go on after an error and the next one comes a whole interval later.
class TimerPause {
 public:
  explicit TimerPause(Timer& timer) : timer_(timer) { timer_.SetEnabled(false); }
  ~TimerPause() { timer_.SetEnabled(true); }
  TimerPause(const TimerPause&) = delete;
  TimerPause& operator=(const TimerPause&) = delete;

 private:
  Timer& timer_;
};

}  // namespace zav5::cycle

#include "cycle/timer.h"

namespace zav5::cycle {

Timer::Timer(platform::Env& env, std::chrono::milliseconds interval, bool enabled)
    : env_(env), interval_(interval) {
  SetEnabled(enabled);
}

void Timer::SetEnabled(bool enabled) {
  if (enabled) {
    due_ = env_.SteadyNow() + interval_;
  } else {
    due_.reset();
  }
}

bool Timer::IsDue() const {
  return due_ && env_.SteadyNow() >= *due_;
}

void Timer::Delivered() {
  if (!due_) {
    return;
  }
  // Ticks keep their rhythm; ticks missed while a long handler ran are not made up one by one,
  // the way a window system folds them into one.
  *due_ += interval_;
  const platform::SteadyTime now = env_.SteadyNow();
  if (*due_ <= now) {
    *due_ = now + interval_;
  }
}

}  // namespace zav5::cycle

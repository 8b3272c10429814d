#include "platform/posix/posix_stop_signal.h"

#include <pthread.h>

#include <cerrno>
#include <chrono>

namespace zav5::platform {

PosixStopSignal::PosixStopSignal() {
  sigemptyset(&signals_);
  sigaddset(&signals_, SIGINT);
  sigaddset(&signals_, SIGTERM);
  pthread_sigmask(SIG_BLOCK, &signals_, &previous_);
}

PosixStopSignal::~PosixStopSignal() {
  pthread_sigmask(SIG_SETMASK, &previous_, nullptr);
}

bool PosixStopSignal::WaitUntil(SteadyTime deadline) {
  using namespace std::chrono;
  for (;;) {
    int taken = -1;
    if (deadline == SteadyTime::max()) {
      if (sigwait(&signals_, &taken) == 0) {
        return true;
      }
      continue;
    }
    const nanoseconds left = deadline - steady_clock::now();
    // A zero timeout still takes a stop that is already pending.
    const nanoseconds wait = left > nanoseconds::zero() ? left : nanoseconds::zero();
    const seconds whole = duration_cast<seconds>(wait);
    const timespec timeout{static_cast<time_t>(whole.count()),
                           static_cast<long>((wait - whole).count())};
    if (sigtimedwait(&signals_, nullptr, &timeout) >= 0) {
      return true;
    }
    // EINTR: another signal (a finished child, say) woke the wait; EAGAIN: the time is up. The
    // steady clock decides, so that neither ends the wait early.
    if (errno == EAGAIN && steady_clock::now() >= deadline) {
      return false;
    }
    if (errno != EAGAIN && errno != EINTR) {
      return false;
    }
  }
}

bool PosixStopSignal::Requested() {
  // Blocked, the signal stays pending until WaitUntil takes it.
  sigset_t pending;
  sigemptyset(&pending);
  if (sigpending(&pending) != 0) {
    return false;
  }
  return sigismember(&pending, SIGINT) == 1 || sigismember(&pending, SIGTERM) == 1;
}

}  // namespace zav5::platform

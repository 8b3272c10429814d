// The stop of a POSIX run: SIGINT (Ctrl+C) and SIGTERM, taken synchronously so that the program
// ends on its own thread, between two ticks, and never in the middle of a cycle. A cycle that
// waits for a lock looks for a stop (Requested) and gives up, so that it ends soon.
#pragma once

#include <signal.h>

#include "platform/stop_signal.h"

namespace zav5::platform {

class PosixStopSignal : public StopSignal {
 public:
  // Blocks SIGINT and SIGTERM from here on: they wait to be taken by WaitUntil instead of ending
  // the program. REQUIRES: no other thread has started yet (a thread started later inherits the
  // blocked signals; one started earlier could take them).
  PosixStopSignal();
  ~PosixStopSignal() override;
  PosixStopSignal(const PosixStopSignal&) = delete;
  PosixStopSignal& operator=(const PosixStopSignal&) = delete;

  bool WaitUntil(SteadyTime deadline) override;
  // A pending SIGINT or SIGTERM (sigpending); safe to call from any thread.
  bool Requested() override;

 private:
  sigset_t signals_;
  sigset_t previous_;
};

}  // namespace zav5::platform

// What ends a run that has no window to close: the operator's Ctrl+C or the system's request to
// stop. The run waits on it between timer ticks.
#pragma once

#include "platform/env.h"

namespace zav5::platform {

class StopSignal {
 public:
  virtual ~StopSignal() = default;

  // Waits until `deadline` on the steady clock, or until a stop is asked for, whichever comes
  // first. Returns true when a stop was asked for; a stop asked for before the call counts.
  // SteadyTime::max() waits for the stop alone.
  virtual bool WaitUntil(SteadyTime deadline) = 0;

  // Whether a stop has been asked for and not yet taken by WaitUntil. Returns at once and leaves
  // the stop to the next WaitUntil, so that work under way can give up early and the run still
  // ends.
  virtual bool Requested() = 0;
};

}  // namespace zav5::platform

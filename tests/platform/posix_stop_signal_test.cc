// The stop of a POSIX run: Ctrl+C and SIGTERM wait to be taken between ticks instead of ending
// the program.

#include "platform/posix/posix_stop_signal.h"

#include <signal.h>
#include <sys/time.h>

#include <chrono>

#include <gtest/gtest.h>

namespace zav5::platform {
namespace {

using namespace std::chrono;

TEST(PosixStopSignalTest, AStopAskedForBeforeTheWaitIsTakenAndTheDeadlineEndsAWaitWithoutOne) {
  PosixStopSignal stop;
  // Blocked: the signal neither ends the test program nor is lost.
  ASSERT_EQ(raise(SIGINT), 0);
  EXPECT_TRUE(stop.WaitUntil(steady_clock::now() + seconds{30}));
  // Taken once: the next wait runs to its deadline.
  EXPECT_FALSE(stop.WaitUntil(steady_clock::now() + milliseconds{20}));
  // A deadline already past still takes a pending stop.
  ASSERT_EQ(raise(SIGTERM), 0);
  EXPECT_TRUE(stop.WaitUntil(steady_clock::now() - seconds{1}));
  EXPECT_FALSE(stop.WaitUntil(steady_clock::now() - seconds{1}));
}

TEST(PosixStopSignalTest, ALookForAStopLeavesItForTheWait) {
  PosixStopSignal stop;
  EXPECT_FALSE(stop.Requested());
  for (const int signal : {SIGINT, SIGTERM}) {
    ASSERT_EQ(raise(signal), 0);
    EXPECT_TRUE(stop.Requested());
    EXPECT_TRUE(stop.Requested());
    EXPECT_TRUE(stop.WaitUntil(steady_clock::now() - seconds{1}));
    EXPECT_FALSE(stop.Requested());
  }
}

TEST(PosixStopSignalTest, OtherSignalsDoNotEndTheWaitEarly) {
  PosixStopSignal stop;
  // SIGALRM arrives 10 ms into the wait and interrupts it with its handler.
  struct sigaction on_alarm = {};
  on_alarm.sa_handler = [](int) {};
  struct sigaction previous = {};
  sigaction(SIGALRM, &on_alarm, &previous);
  itimerval once = {};
  once.it_value.tv_usec = 10000;
  setitimer(ITIMER_REAL, &once, nullptr);

  const steady_clock::time_point deadline = steady_clock::now() + milliseconds{100};
  EXPECT_FALSE(stop.WaitUntil(deadline));
  EXPECT_GE(steady_clock::now(), deadline);
  sigaction(SIGALRM, &previous, nullptr);
}

}  // namespace
}  // namespace zav5::platform

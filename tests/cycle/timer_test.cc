// The timer model and whose turn it is among the expired offers: both pure, on a fake clock.

#include "cycle/timer.h"

#include <gtest/gtest.h>

#include "cycle/offer_turn.h"
#include "platform/fake/mem_env.h"

namespace zav5::cycle {
namespace {

using namespace std::chrono;

TEST(TimerTest, TicksEveryIntervalFromCreationAndKeepsItsRhythm) {
  platform::MemEnv env;
  const platform::SteadyTime start = env.SteadyNow();
  Timer timer(env, milliseconds{5000}, true);
  EXPECT_EQ(timer.Due(), start + milliseconds{5000});
  env.Advance(milliseconds{4999});
  EXPECT_FALSE(timer.IsDue());
  env.Advance(milliseconds{1});
  EXPECT_TRUE(timer.IsDue());
  // Delivered a little late, the next tick still comes on the 5-second grid.
  env.Advance(milliseconds{300});
  timer.Delivered();
  EXPECT_EQ(timer.Due(), start + milliseconds{10000});
  EXPECT_FALSE(timer.IsDue());
}

TEST(TimerTest, TicksMissedDuringALongHandlerAreFoldedIntoOne) {
  platform::MemEnv env;
  Timer timer(env, milliseconds{5000}, true);
  env.Advance(milliseconds{5000});
  // The handler ran for 23 s: no burst of four ticks, the next comes an interval later.
  env.Advance(milliseconds{23000});
  timer.Delivered();
  EXPECT_EQ(timer.Due(), env.SteadyNow() + milliseconds{5000});
}

TEST(TimerTest, EnablingStartsAFreshIntervalAndDisablingDropsTheDueTick) {
  platform::MemEnv env;
  Timer timer(env, milliseconds{5000}, false);
  EXPECT_FALSE(timer.Enabled());
  EXPECT_FALSE(timer.Due().has_value());
  env.Advance(milliseconds{60000});
  EXPECT_FALSE(timer.IsDue());

  timer.SetEnabled(true);
  EXPECT_EQ(timer.Due(), env.SteadyNow() + milliseconds{5000});
  env.Advance(milliseconds{5000});
  ASSERT_TRUE(timer.IsDue());
  timer.SetEnabled(false);
  EXPECT_FALSE(timer.IsDue());
  timer.Delivered();  // a stopped timer stays stopped
  EXPECT_FALSE(timer.Enabled());

  // Enabling a running timer restarts its interval too.
  timer.SetEnabled(true);
  env.Advance(milliseconds{3000});
  timer.SetEnabled(true);
  EXPECT_EQ(timer.Due(), env.SteadyNow() + milliseconds{5000});
}

TEST(OfferTurnTest, AFailedOfferWaitsUntilEveryOtherHadItsTurn) {
  OfferTurn offer_turn;
  EXPECT_EQ(offer_turn.Choose({"1/2026", "2/2026", "3/2026"}), 0u);
  offer_turn.Failed("1/2026");
  EXPECT_EQ(offer_turn.Choose({"1/2026", "2/2026", "3/2026"}), 1u);
  offer_turn.Failed("2/2026");
  EXPECT_EQ(offer_turn.Choose({"1/2026", "2/2026", "3/2026"}), 2u);
  offer_turn.Succeeded("3/2026");
  // Only the failed ones are left: they are tried again, from the first.
  EXPECT_EQ(offer_turn.Choose({"1/2026", "2/2026"}), 0u);
  offer_turn.Failed("1/2026");
  EXPECT_EQ(offer_turn.Choose({"1/2026", "2/2026"}), 1u);
  // An offer that expires later goes before the ones that failed.
  offer_turn.Failed("2/2026");
  EXPECT_EQ(offer_turn.Choose({"1/2026", "2/2026", "4/2026"}), 2u);
}

TEST(OfferTurnTest, OffersThatLeftTheListLeaveTheRotation) {
  OfferTurn offer_turn;
  offer_turn.Failed("1/2026");
  offer_turn.Failed("2/2026");
  // 2 was closed by another program; 1 is alone and tried again.
  EXPECT_EQ(offer_turn.Choose({"1/2026", "5/2026"}), 1u);
  offer_turn.Succeeded("5/2026");
  EXPECT_EQ(offer_turn.Choose({"1/2026"}), 0u);
  offer_turn.Failed("1/2026");
  // If 2 comes back (reopened and expired again), it has its turn at once.
  EXPECT_EQ(offer_turn.Choose({"1/2026", "2/2026"}), 1u);
  // A single poisoned offer is tried at every cycle.
  offer_turn.Succeeded("2/2026");
  EXPECT_EQ(offer_turn.Choose({"1/2026"}), 0u);
}

}  // namespace
}  // namespace zav5::cycle

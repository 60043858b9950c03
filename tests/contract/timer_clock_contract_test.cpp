// What the engine may rely on from its window timers and its clock, on Qt and
// on virtual time alike.
#include <gtest/gtest.h>

#include "Seams.h"
#include "core/Calendar.h"

namespace qv::test {
namespace {

template <class Rig>
class TimerContract : public RigTest<Rig> {
 protected:
  void SetUp() override {
    this->rig_.timer.OnTick = [this] { ++ticks_; };
  }
  int ticks_ = 0;
};
TYPED_TEST_SUITE(TimerContract, Rigs, RigNames);

// A QTimer at interval 0 would fire on every pass of the event loop.
TYPED_TEST(TimerContract, NeverTicksWhenDisabledOrAtIntervalZero) {
  Timer& timer = this->rig_.timer;
  const std::pair<bool, int> rows[] = {{true, 0}, {false, 20}, {true, -5}};
  for (const auto& [enabled, interval] : rows) {
    timer.setInterval(interval);
    timer.setEnabled(enabled);
    this->rig_.RunFor(120);
    EXPECT_EQ(this->ticks_, 0) << enabled << " " << interval;
    timer.setEnabled(false);
  }
  EXPECT_EQ(timer.Interval(), 0) << "a negative interval counts as 0";

  timer.setInterval(30);
  timer.setEnabled(true);
  ASSERT_TRUE(this->rig_.RunUntil([&] { return this->ticks_ >= 3; }));
  timer.setInterval(0);  // stops an enabled timer
  const int stopped = this->ticks_;
  this->rig_.RunFor(120);
  EXPECT_EQ(this->ticks_, stopped);
  EXPECT_TRUE(timer.Enabled());
  // A handler that disables its timer gets that one tick.
  timer.OnTick = [&] {
    ++this->ticks_;
    timer.setEnabled(false);
  };
  timer.setInterval(30);
  this->rig_.RunFor(150);
  EXPECT_EQ(this->ticks_, stopped + 1);
  EXPECT_FALSE(timer.Enabled());
}

// A 400 ms timer is touched 250 ms after it started: re-enabling it and
// setting its interval start the countdown again, enabling it once more does
// not.
TYPED_TEST(TimerContract, WhatRestartsTheCountdown) {
  Timer& timer = this->rig_.timer;
  // clang-format off
  const std::tuple<const char*, std::function<void()>, bool> rows[] = {
      {"disable, enable", [&] { timer.setEnabled(false); timer.setEnabled(true); }, true},
      {"same interval", [&] { timer.setInterval(400); }, true},
      {"enable again", [&] { timer.setEnabled(true); }, false}};
  // clang-format on
  for (const auto& [name, touch, restarts] : rows) {
    this->ticks_ = 0;
    timer.setInterval(400);
    timer.setEnabled(true);
    this->rig_.RunFor(250);
    touch();
    if (restarts) {
      this->rig_.RunFor(250);  // 500 ms since the start, 250 since the restart
      EXPECT_EQ(this->ticks_, 0) << name;
    }
    // Due 150 ms after the touch without a restart, 400 ms with one.
    EXPECT_TRUE(this->rig_.RunUntil([&] { return this->ticks_ == 1; }, restarts ? 1000 : 300))
        << name;
    timer.setEnabled(false);
  }
}

template <class Rig>
class ClockContract : public RigTest<Rig> {};
TYPED_TEST_SUITE(ClockContract, Rigs, RigNames);

// A pause blocks: what falls due meanwhile waits for the next processEvents.
// The date moves on with it and names its own weekday.
TYPED_TEST(ClockContract, SleepBlocksAndTheDateFollows) {
  Clock& clock = this->rig_.clock;
  bool ran = false;
  this->rig_.Post([&] { ran = true; }, 20);
  const LocalDateTime first = clock.now();
  const std::int64_t start = clock.monotonicMs();
  clock.sleep(120);
  EXPECT_GE(clock.monotonicMs() - start, 120);
  EXPECT_FALSE(ran);
  clock.processEvents();
  EXPECT_TRUE(ran);
  const LocalDateTime second = clock.now();
  const std::int64_t passed = MsSince2000(second) - MsSince2000(first);
  EXPECT_GE(passed, 120);
  EXPECT_LT(passed, 1000);
  EXPECT_EQ(second.dayOfWeek, DateTimeFromMs(MsSince2000(second)).dayOfWeek);

  const std::int64_t before = clock.monotonicMs();
  clock.sleep(0);
  clock.sleep(-5);
  EXPECT_LT(clock.monotonicMs() - before, 1000) << "no pause for 0 or less";
}

}  // namespace
}  // namespace qv::test

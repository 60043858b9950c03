// What the engine may rely on from its window timers and its clock, on Qt and
// on virtual time alike.
#include <gtest/gtest.h>

#include "Seams.h"
#include "core/Calendar.h"

namespace qv::test {
namespace {

template <class Rig>
class TimerContract : public ::testing::Test {
 protected:
  void SetUp() override {
    rig_.timer().OnTick = [this] { ++ticks_; };
  }
  Rig rig_;
  int ticks_ = 0;
};
TYPED_TEST_SUITE(TimerContract, Rigs, RigNames);

// A QTimer at interval 0 would fire on every pass of the event loop.
TYPED_TEST(TimerContract, NeverTicksWhenDisabledOrAtIntervalZero) {
  Timer& timer = this->rig_.timer();
  const struct {
    bool enabled;
    int interval;
  } rows[] = {{true, 0}, {false, 20}, {true, -5}};
  for (const auto& row : rows) {
    timer.setInterval(row.interval);
    timer.setEnabled(row.enabled);
    this->rig_.RunFor(120);
    EXPECT_EQ(this->ticks_, 0) << row.enabled << " " << row.interval;
    timer.setEnabled(false);
  }
  EXPECT_EQ(timer.Interval(), 0) << "a negative interval counts as 0";

  timer.setInterval(30);
  timer.setEnabled(true);
  ASSERT_TRUE(this->rig_.RunUntil([&] { return this->ticks_ >= 3; }, 1000));
  timer.setInterval(0);  // stops an enabled timer
  const int stopped = this->ticks_;
  this->rig_.RunFor(120);
  EXPECT_EQ(this->ticks_, stopped);
  EXPECT_TRUE(timer.Enabled());
  timer.setInterval(30);
  ASSERT_TRUE(this->rig_.RunUntil([&] { return this->ticks_ > stopped; }, 1000));
  timer.setEnabled(false);
  const int disabled = this->ticks_;
  this->rig_.RunFor(120);
  EXPECT_EQ(this->ticks_, disabled);
}

// A 400 ms timer is touched 250 ms after it started: re-enabling it and
// setting its interval start the countdown again, enabling it once more does
// not.
TYPED_TEST(TimerContract, WhatRestartsTheCountdown) {
  Timer& timer = this->rig_.timer();
  const struct {
    const char* name;
    std::function<void(Timer&)> touch;
    bool restarts;
  } rows[] = {
      {"disable, enable",
       [](Timer& t) {
         t.setEnabled(false);
         t.setEnabled(true);
       },
       true},
      {"same interval", [](Timer& t) { t.setInterval(400); }, true},
      {"enable again", [](Timer& t) { t.setEnabled(true); }, false},
  };
  for (const auto& row : rows) {
    this->ticks_ = 0;
    timer.setInterval(400);
    timer.setEnabled(true);
    this->rig_.RunFor(250);
    row.touch(timer);
    if (row.restarts) {
      this->rig_.RunFor(250);  // 500 ms since the start, 250 since the restart
      EXPECT_EQ(this->ticks_, 0) << row.name;
    }
    // Due 150 ms after the touch without a restart, 400 ms with one.
    EXPECT_TRUE(this->rig_.RunUntil([&] { return this->ticks_ == 1; }, row.restarts ? 1000 : 300))
        << row.name;
    timer.setEnabled(false);
  }
}

TYPED_TEST(TimerContract, AHandlerThatDisablesItsTimerGetsOneTick) {
  Timer& timer = this->rig_.timer();
  timer.OnTick = [&] {
    ++this->ticks_;
    timer.setEnabled(false);
  };
  timer.setInterval(20);
  timer.setEnabled(true);
  this->rig_.RunFor(150);
  EXPECT_EQ(this->ticks_, 1);
  EXPECT_FALSE(timer.Enabled());
}

template <class Rig>
class ClockContract : public ::testing::Test {
 protected:
  Rig rig_;
};
TYPED_TEST_SUITE(ClockContract, Rigs, RigNames);

// A pause blocks: what falls due meanwhile waits for the next processEvents.
TYPED_TEST(ClockContract, SleepBlocksAndProcessEventsRunsWhatFellDue) {
  Clock& clock = this->rig_.clock();
  bool ran = false;
  this->rig_.Post([&] { ran = true; }, 20);
  const std::int64_t start = clock.monotonicMs();
  clock.sleep(60);
  EXPECT_GE(clock.monotonicMs() - start, 60);
  EXPECT_FALSE(ran);
  clock.processEvents();
  EXPECT_TRUE(ran);

  const std::int64_t before = clock.monotonicMs();
  clock.sleep(0);
  clock.sleep(-5);
  EXPECT_LT(clock.monotonicMs() - before, 1000) << "no pause for 0 or less";
}

// The date moves on with the monotonic clock and names its own weekday.
TYPED_TEST(ClockContract, NowFollowsThePauses) {
  Clock& clock = this->rig_.clock();
  const LocalDateTime first = clock.now();
  clock.sleep(120);
  const LocalDateTime second = clock.now();
  const std::int64_t passed = MsSince2000(second) - MsSince2000(first);
  EXPECT_GE(passed, 120);
  EXPECT_LT(passed, 1000);
  for (const LocalDateTime& t : {first, second}) {
    const LocalDateTime again = DateTimeFromMs(MsSince2000(t));
    EXPECT_EQ(
        std::tuple(t.year, t.month, t.day, t.hour, t.minute, t.second, t.millisecond, t.dayOfWeek),
        std::tuple(again.year, again.month, again.day, again.hour, again.minute, again.second,
                   again.millisecond, again.dayOfWeek));
  }
}

}  // namespace
}  // namespace qv::test

#include "app/qt/QtTimer.h"

#include <gtest/gtest.h>

#include <QElapsedTimer>
#include <QTimer>

#include "app/qt/QtClock.h"
#include "support/QtApp.h"

namespace qv {
namespace {

using test::RunEventsFor;
using test::RunEventsUntil;

class QtTimerTest : public ::testing::Test {
 protected:
  void SetUp() override {
    test::EnsureQtApp();
    timer_.OnTick = [this] { ++ticks_; };
  }
  QtTimer timer_;
  int ticks_ = 0;
};

TEST_F(QtTimerTest, NeverTicksWhenDisabledOrAtIntervalZero) {
  for (const auto& [enabled, interval] :
       {std::pair{true, 0}, std::pair{false, 20}, std::pair{true, -5}}) {
    timer_.setInterval(interval);
    timer_.setEnabled(enabled);
    RunEventsFor(120);
    EXPECT_EQ(ticks_, 0) << enabled << " " << interval;
    timer_.setEnabled(false);
  }
  EXPECT_EQ(timer_.Interval(), 0);
}

TEST_F(QtTimerTest, TicksRepeatedlyWhileEnabled) {
  timer_.setInterval(30);
  timer_.setEnabled(true);
  EXPECT_TRUE(RunEventsUntil([&] { return ticks_ >= 3; }, 1000));
  timer_.setEnabled(false);
  const int stopped = ticks_;
  RunEventsFor(100);
  EXPECT_EQ(ticks_, stopped);
}

// A 400 ms timer is touched 250 ms after it started: re-enabling it and
// setting its interval start the countdown again, enabling it once more
// does not.
TEST_F(QtTimerTest, WhatRestartsTheCountdown) {
  const std::pair<std::function<void(QtTimer&)>, bool> cases[] = {
      {[](QtTimer& t) {
         t.setEnabled(false);
         t.setEnabled(true);
       },
       true},
      {[](QtTimer& t) { t.setInterval(400); }, true},
      {[](QtTimer& t) { t.setEnabled(true); }, false},
  };
  for (std::size_t i = 0; i < std::size(cases); ++i) {
    const auto& [touch, restarts] = cases[i];
    ticks_ = 0;
    timer_.setInterval(400);
    timer_.setEnabled(true);
    RunEventsFor(250);
    touch(timer_);
    if (restarts) {
      RunEventsFor(250);  // 500 ms since the start, 250 since the restart
      EXPECT_EQ(ticks_, 0) << "case " << i;
    }
    // Due 150 ms from the touch without a restart, 400 ms with one.
    EXPECT_TRUE(RunEventsUntil([&] { return ticks_ == 1; }, restarts ? 1000 : 300)) << "case " << i;
    timer_.setEnabled(false);
  }
}

TEST_F(QtTimerTest, AHandlerThatDisablesItsTimerGetsOneTick) {
  timer_.OnTick = [this] {
    ++ticks_;
    timer_.setEnabled(false);
  };
  timer_.setInterval(20);
  timer_.setEnabled(true);
  RunEventsFor(150);
  EXPECT_EQ(ticks_, 1);
  EXPECT_FALSE(timer_.Enabled());
}

TEST(QtClock, SleepBlocksAndEventsRunAfterwards) {
  test::EnsureQtApp();
  QtClock clock;
  bool ran = false;
  QTimer::singleShot(0, [&] { ran = true; });
  QElapsedTimer elapsed;
  elapsed.start();
  clock.sleep(60);
  EXPECT_GE(elapsed.elapsed(), 60);
  EXPECT_FALSE(ran);
  clock.processEvents();
  EXPECT_TRUE(ran);
}

}  // namespace
}  // namespace qv

#include <gtest/gtest.h>

#include <QElapsedTimer>
#include <QTimer>

#include "app/qt/QtClock.h"
#include "app/qt/QtTimer.h"
#include "qt_app.h"

namespace qv {
namespace {

using test::EnsureQtApp;
using test::RunEventsFor;
using test::RunEventsUntil;

class QtTimerTest : public ::testing::Test {
 protected:
  void SetUp() override {
    EnsureQtApp();
    timer_.OnTick = [this] { ++ticks_; };
  }
  QtTimer timer_;
  int ticks_ = 0;
};

TEST_F(QtTimerTest, NeverTicksWhenDisabledOrAtIntervalZero) {
  struct Case {
    bool enabled;
    int interval;
  };
  for (const Case c : {Case{true, 0}, Case{false, 20}, Case{true, -5}}) {
    timer_.setInterval(c.interval);
    timer_.setEnabled(c.enabled);
    RunEventsFor(120);
    EXPECT_EQ(ticks_, 0) << c.enabled << " " << c.interval;
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

TEST_F(QtTimerTest, ReEnablingRestartsTheCountdown) {
  timer_.setInterval(400);
  timer_.setEnabled(true);
  RunEventsFor(250);
  timer_.setEnabled(false);
  timer_.setEnabled(true);
  RunEventsFor(250);  // 500 ms since the first start, 250 since the restart
  EXPECT_EQ(ticks_, 0);
  EXPECT_TRUE(RunEventsUntil([&] { return ticks_ == 1; }, 1000));
}

TEST_F(QtTimerTest, EnablingAnEnabledTimerKeepsItsCountdown) {
  timer_.setInterval(400);
  timer_.setEnabled(true);
  RunEventsFor(300);
  timer_.setEnabled(true);
  // Due 100 ms from here; a restart would put it 400 ms away.
  EXPECT_TRUE(RunEventsUntil([&] { return ticks_ == 1; }, 300));
}

TEST_F(QtTimerTest, SettingTheIntervalRestartsTheCountdown) {
  timer_.setEnabled(true);
  timer_.setInterval(400);
  RunEventsFor(250);
  timer_.setInterval(400);
  RunEventsFor(250);
  EXPECT_EQ(ticks_, 0);
  EXPECT_TRUE(RunEventsUntil([&] { return ticks_ == 1; }, 1000));
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
  EnsureQtApp();
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

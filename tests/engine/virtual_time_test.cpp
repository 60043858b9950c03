#include <gtest/gtest.h>

#include <string>
#include <tuple>

#include "sim/virtual/VirtualPlatform.h"

namespace qv::sim {
namespace {

TEST(VirtualScheduler, OrdersByTimeThenInsertion) {
  VirtualScheduler s;
  std::string order;
  s.scheduleAt(20, [&] { order += 'c'; });
  s.scheduleAt(10, [&] { order += 'a'; });
  s.scheduleAt(10, [&] {
    order += 'b';
    s.scheduleIn(0, [&] { order += 'B'; });
  });
  const auto dropped = s.scheduleAt(15, [&] { order += 'x'; });
  s.cancel(dropped);
  EXPECT_EQ(s.advanceTo(19), 3);
  EXPECT_EQ(order, "abB");
  EXPECT_EQ(s.now(), 19);
  s.skip(100);  // a pause: nothing runs until asked
  EXPECT_EQ(order, "abB");
  EXPECT_EQ(s.runDue(), 1);
  EXPECT_EQ(order, "abBc");
  EXPECT_FALSE(s.runNext());
}

// A start date set on virtual time, across a leap day and a year end.
TEST(VirtualClock, StartDateAndCalendar) {
  VirtualScheduler s;
  VirtualClock clock(s);
  clock.setNow({2024, 2, 28, 23, 59, 59, 500, 0});
  clock.sleep(1000);
  const LocalDateTime t = clock.now();
  EXPECT_EQ(std::tuple(t.month, t.day, t.hour, t.second, t.millisecond, t.dayOfWeek),
            std::tuple(2, 29, 0, 0, 500, 4));  // a Thursday

  clock.setNow({2023, 12, 31, 23, 59, 59, 999, 0});
  s.advanceBy(1);
  EXPECT_EQ(clock.now().dayOfWeek, 1);  // 2024-01-01 was a Monday
}

// The loader's side of the line; the peer tests cover the station's side.
TEST(VirtualSerialPort, RepliesQueueOnTheLineAndRaiseEventsInOrder) {
  VirtualScheduler s;
  VirtualSerialPort port(s);
  std::vector<std::pair<int, Bytes>> events;
  port.OnComm = [&] {
    const int code = port.CommEvent();
    events.emplace_back(code, code == comEvReceive ? port.Input() : Bytes{});
  };
  port.setSettings("4800,n,8,1");
  port.setPortOpen(true);

  // 10 bytes at 4800 baud take 20.8 ms, the next chunk queues behind.
  EXPECT_EQ(port.sendToLoader(Bytes(10, 0x41), 0, true), 21);
  EXPECT_EQ(port.sendToLoader(Bytes(1, 0x42), 0, true), 24);
  port.injectEvent(comEventFrame, 22);
  s.advanceBy(30);
  EXPECT_EQ(events, (std::vector<std::pair<int, Bytes>>{{comEvReceive, Bytes(10, 0x41)},
                                                        {comEventFrame, {}},
                                                        {comEvReceive, Bytes{0x42}}}));
}

}  // namespace
}  // namespace qv::sim

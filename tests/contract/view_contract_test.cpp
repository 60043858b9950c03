// A message box is modal for the operator, not for the engine: timer ticks and
// serial events run while it is open, on Qt and on virtual time alike.
#include <gtest/gtest.h>

#include "Seams.h"

namespace qv::test {
namespace {

template <class Rig>
class ViewContract : public ::testing::Test {
 protected:
  // Shows a box that stays open for 300 ms and tells whether it was answered.
  bool ShowBoxFor300Ms() {
    rig_.AnswerNextBoxAfter(300);
    ++boxesOpen_;
    const int result = rig_.ShowBox("Please wait.", vbOKOnly);
    --boxesOpen_;
    return result == vbOK;
  }
  Rig rig_;
  int boxesOpen_ = 0;
};
TYPED_TEST_SUITE(ViewContract, Rigs, RigNames);

TYPED_TEST(ViewContract, TimerTicksAndReceiveEventsRunWhileABoxIsOpen) {
  Timer& timer = this->rig_.timer();
  SerialComm& port = this->rig_.port();
  port.setPortOpen(true);
  int ticksInBox = 0;
  Bytes readInBox;
  timer.OnTick = [&] { ticksInBox += this->boxesOpen_; };
  port.OnComm = [&] {
    const Bytes bytes = port.Input();
    if (this->boxesOpen_ > 0) readInBox.insert(readInBox.end(), bytes.begin(), bytes.end());
  };
  timer.setInterval(50);
  timer.setEnabled(true);
  this->rig_.FarEndSends({0x01, 0x02, 0x03}, 50);
  EXPECT_TRUE(this->ShowBoxFor300Ms());
  EXPECT_GE(ticksInBox, 2);
  EXPECT_EQ(readInBox, (Bytes{0x01, 0x02, 0x03}));
  EXPECT_EQ(this->rig_.unexpectedBoxes(), 0);
}

// A reply handler that waits in a box hears the next reply at once, from
// within the box, not when it returns.
TYPED_TEST(ViewContract, BytesArrivingWhileAReceiveHandlerWaitsInABoxRaiseTheirOwnEvent) {
  SerialComm& port = this->rig_.port();
  port.setPortOpen(true);
  struct Event {
    int code;
    Bytes bytes;
    int boxesOpen;
  };
  std::vector<Event> events;
  std::vector<int> codesAfterBox;
  port.OnComm = [&] {
    events.push_back({port.CommEvent(), port.Input(), this->boxesOpen_});
    if (events.size() != 1) return;
    this->rig_.FarEndSends({0xAA, 0xBB}, 50);
    EXPECT_TRUE(this->ShowBoxFor300Ms());
    codesAfterBox.push_back(port.CommEvent());
  };
  this->rig_.FarEndSends({0x01});
  ASSERT_TRUE(this->rig_.RunUntil([&] { return !codesAfterBox.empty(); }, 2000));
  this->rig_.RunFor(50);
  ASSERT_EQ(events.size(), 2u);
  EXPECT_EQ(events[0].code, comEvReceive);
  EXPECT_EQ(events[0].bytes, Bytes{0x01});
  EXPECT_EQ(events[1].code, comEvReceive);
  EXPECT_EQ(events[1].bytes, (Bytes{0xAA, 0xBB}));
  EXPECT_EQ(events[1].boxesOpen, 1) << "delivered after the box closed";
  EXPECT_EQ(codesAfterBox, std::vector<int>{comEvReceive}) << "the outer event's cause is restored";
}

}  // namespace
}  // namespace qv::test

// A message box is modal for the operator, not for the engine: timer ticks and
// serial events run while it is open, on Qt and on virtual time alike.
#include <gtest/gtest.h>

#include "Seams.h"

namespace qv::test {
namespace {

template <class Rig>
class ViewContract : public RigTest<Rig> {};
TYPED_TEST_SUITE(ViewContract, Rigs, RigNames);

// A reply handler that waits in a box hears the next reply at once, from
// within the box, not when it returns; its timers tick meanwhile.
TYPED_TEST(ViewContract, TicksAndReceiveEventsRunWhileAReceiveHandlerWaitsInABox) {
  auto& rig = this->rig_;
  SerialComm& port = rig.port;
  port.setPortOpen(true);
  int boxesOpen = 0;
  int ticksInBox = 0;
  std::vector<std::tuple<int, Bytes, int>> events;  // code, bytes, boxes open
  std::vector<int> codesAfterBox;
  rig.timer.OnTick = [&] { ticksInBox += boxesOpen; };
  port.OnComm = [&] {
    events.push_back({port.CommEvent(), port.Input(), boxesOpen});
    if (events.size() != 1) return;
    rig.FarEndSends({0xAA, 0xBB}, 50);
    rig.AnswerNextBoxAfter(300);
    ++boxesOpen;
    EXPECT_EQ(rig.ShowBox("Please wait.", vbOKOnly), vbOK);
    --boxesOpen;
    codesAfterBox.push_back(port.CommEvent());
  };
  rig.timer.setInterval(50);
  rig.timer.setEnabled(true);
  rig.FarEndSends({0x01});
  ASSERT_TRUE(rig.RunUntil([&] { return !codesAfterBox.empty(); }, 2000));
  rig.RunFor(50);
  ASSERT_EQ(events.size(), 2u);
  EXPECT_EQ(events[0], std::tuple(comEvReceive, Bytes{0x01}, 0));
  EXPECT_EQ(events[1], std::tuple(comEvReceive, Bytes{0xAA, 0xBB}, 1)) << "1: within the box";
  EXPECT_EQ(codesAfterBox, std::vector<int>{comEvReceive}) << "the outer event's cause is restored";
  EXPECT_GE(ticksInBox, 2);
}

}  // namespace
}  // namespace qv::test

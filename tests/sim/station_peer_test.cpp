#include <gtest/gtest.h>

#include "StationTestSupport.h"
#include "core/Errors.h"
#include "sim/virtual/StationPeer.h"
#include "sim/virtual/VirtualPlatform.h"
#include "support/HexBytes.h"

namespace qv::test {
namespace {

using namespace qv::sim;

TEST(StationPeer, RepliesArriveWhenTheyHaveCrossedTheLineAndAGoneStationCannotBeOpened) {
  VirtualPlatform p;
  std::vector<std::pair<VirtualMs, Bytes>> arrivals;
  p.port.setSettings("4800,n,8,1");
  p.port.setPortOpen(true);
  p.port.OnComm = [&] { arrivals.emplace_back(p.scheduler.now(), p.port.Input()); };
  StationOptions options;
  options.faults.disappearAfterBlock = 1;
  StationPeer peer(p.port, p.scheduler, p.clock, options);

  p.port.Output(MakeFrame(Hex("70 4D")));
  p.scheduler.advanceBy(100);
  ASSERT_EQ(arrivals.size(), 1u);
  // 5 bytes in, 1 ms to answer, 6 bytes out, at 2.084 ms a byte.
  EXPECT_EQ(arrivals[0].first, 24);
  EXPECT_EQ(arrivals[0].second, Hex("02 70 10 00 4D 03"));

  p.port.Output(BlockFrame(0, Filler(128)));
  p.scheduler.advanceBy(1000);
  ASSERT_EQ(arrivals.size(), 2u);
  EXPECT_EQ(PayloadOf(arrivals[1].second), AckPayload(0));
  p.port.setPortOpen(false);
  EXPECT_THROW(p.port.setPortOpen(true), PlatformError);
}

}  // namespace
}  // namespace qv::test

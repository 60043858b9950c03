#include <gtest/gtest.h>

#include "StationTestSupport.h"
#include "app/PlatformError.h"
#include "sim/StationPeer.h"
#include "sim/VirtualPlatform.h"
#include "support/HexBytes.h"

namespace qv::test {
namespace {

using namespace qv::sim;

struct PeerRig {
  VirtualPlatform p;
  std::vector<std::pair<VirtualMs, Bytes>> arrivals;

  explicit PeerRig(const std::string& settings) {
    p.port.setSettings(settings);
    p.port.setPortOpen(true);
    p.port.OnComm = [this] { arrivals.push_back({p.scheduler.now(), p.port.Input()}); };
  }
};

TEST(StationPeer, RepliesArriveWhenTheyHaveCrossedTheLine) {
  PeerRig rig("4800,n,8,1");
  StationPeer peer(rig.p.port, rig.p.scheduler, rig.p.clock, {});
  rig.p.port.Output(MakeFrame(Hex("70 4D")));
  rig.p.scheduler.advanceBy(100);
  ASSERT_EQ(rig.arrivals.size(), 1u);
  // 5 bytes in, 1 ms to answer, 6 bytes out, at 2.084 ms a byte.
  EXPECT_EQ(rig.arrivals[0].first, 24);
  EXPECT_EQ(rig.arrivals[0].second, Hex("02 70 10 00 4D 03"));
}

TEST(StationPeer, ALoaderAtAnotherSpeedHearsNothing) {
  PeerRig rig("38400,n,8,1");
  StationPeer peer(rig.p.port, rig.p.scheduler, rig.p.clock, {});
  rig.p.port.Output(MakeFrame(Hex("70 4D")));
  rig.p.scheduler.advanceBy(1000);
  EXPECT_TRUE(rig.arrivals.empty());
  EXPECT_EQ(peer.station().mode(), 0);
}

TEST(StationPeer, AStationThatDisappearsCannotBeOpenedAgain) {
  PeerRig rig("4800,n,8,1");
  StationOptions options;
  options.mode = 'M';
  options.faults.disappearAfterBlock = 1;
  StationPeer peer(rig.p.port, rig.p.scheduler, rig.p.clock, options);
  rig.p.port.Output(BlockFrame(0, Filler(128)));
  rig.p.scheduler.advanceBy(1000);
  ASSERT_EQ(rig.arrivals.size(), 1u);
  EXPECT_EQ(PayloadOf(rig.arrivals[0].second), Hex("80 00 01 00 01 00"));
  rig.p.port.setPortOpen(false);
  EXPECT_THROW(rig.p.port.setPortOpen(true), PlatformError);
}

}  // namespace
}  // namespace qv::test

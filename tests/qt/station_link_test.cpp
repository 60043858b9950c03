// The engine's send and receive paths over the real serial port: frames
// leave through Senden and replies reach ctx.handlers on a pseudo-terminal.
#include <gtest/gtest.h>

#include "core/Context.h"
#include "app/qt/QtClock.h"
#include "app/qt/QtTimer.h"
#include "protocol/Commands.h"
#include "protocol/ReceiveReply.h"
#include "pty_port.h"
#include "sim/virtual/ScriptedView.h"

namespace qv {
namespace {

using test::RunEventsUntil;

class StationLinkTest : public test::PtyPortTest {
 protected:
  void SetUp() override {
    PtyPortTest::SetUp();
    Comm(5, "");
    comm_->setSettings("4800,n,8,1");
    ctx_.emplace(
        Platform{&*comm_, &timers_[0], &timers_[1], &timers_[2], &timers_[3], &timers_[4], &clock_, &view_, &replies_});
    WireStationLink(*ctx_);
  }
  void TearDown() override {
    ctx_.reset();
    PtyPortTest::TearDown();
  }

  QtTimer timers_[5];
  QtClock clock_;
  sim::ScriptedView view_;
  ReplyTable replies_;
  std::optional<Context> ctx_;
};

// The request leaves byte-exact; the replies come back in pieces.
TEST_F(StationLinkTest, RequestLeavesAndRepliesInPiecesReachTheirHandlers) {
  Bytes identification = {READ_SYSDATA};
  for (int i = 0; i < 116; ++i) identification.push_back(static_cast<std::uint8_t>(0xF0 - i));
  const Bytes controls = {kStx, kEtx, kDle, kNak};  // counted data: taken literally
  std::copy(controls.begin(), controls.end(), identification.begin() + 10);
  const Bytes modeReply = {SET_MODE, 0x01, 0x00, 0x41};  // short: stuffed below 0x20
  std::vector<Bytes> seen;
  const auto record = [&seen](Context& ctx) {
    const Bytes data(ctx.rx.RxBuffer.begin(), ctx.rx.RxBuffer.begin() + ctx.rx.RxCount);
    seen.push_back(JoinBytes(static_cast<std::uint8_t>(ctx.rx.RxCommand), data));
    return ReplyOutcome::Continue;
  };
  replies_.byCode[READ_SYSDATA] = record;
  replies_.byCode[SET_MODE] = record;
  const Bytes request = ReadSysDataFrame(kFullIdentification);
  Senden(*ctx_, request);  // opens the port on demand
  EXPECT_EQ(ReadMaster(request.size()), request);

  // The station sends frames as the loader builds them, without the wake-up byte.
  const Bytes wire =
      MidBytes(JoinBytes(MakeFrame(modeReply), MidBytes(MakeFrame(identification), 2)), 2);
  for (std::size_t at = 1; at <= wire.size(); at += 37) {
    WriteMaster(MidBytes(wire, at, 37));
    RunEventsUntil([&] { return comm_->InBufferCount() == 0; }, 200);
  }
  ASSERT_TRUE(RunEventsUntil([&] { return seen.size() == 2; }, 1000));
  EXPECT_EQ(seen[0], modeReply);
  // Extended replies keep the length byte and the checksum after the data.
  ASSERT_EQ(seen[1].size(), identification.size() + 3);
  EXPECT_EQ(seen[1][1], 116);
  EXPECT_TRUE(std::equal(identification.begin() + 1, identification.end(), seen[1].begin() + 2));
  EXPECT_TRUE(view_.boxes().empty()) << view_.boxes().front().prompt;
}

}  // namespace
}  // namespace qv

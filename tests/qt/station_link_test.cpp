// The engine's send and receive paths over the real serial port: frames
// leave through Senden and replies reach ctx.handlers on a pseudo-terminal.
#include <gtest/gtest.h>

#include "app/Context.h"
#include "app/qt/QtClock.h"
#include "app/qt/QtTimer.h"
#include "protocol/Commands.h"
#include "protocol/ReceiveReply.h"
#include "pty_port.h"
#include "sim/ScriptedView.h"

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
        Platform{&*comm_, &timers_[0], &timers_[1], &timers_[2], &timers_[3], &clock_, &view_});
    WireStationLink(*ctx_);
  }
  void TearDown() override {
    ctx_.reset();
    PtyPortTest::TearDown();
  }

  QtTimer timers_[4];
  QtClock clock_;
  sim::ScriptedView view_;
  std::optional<Context> ctx_;
};

// Control bytes inside the data: stuffed in short frames, literal in counted ones.
Bytes WithControlBytes(std::uint8_t first, int size, int step, std::size_t at) {
  Bytes data{first};
  for (int i = 0; i < size; ++i) data.push_back(static_cast<std::uint8_t>(0xF0 + i * step));
  const std::uint8_t controls[] = {kStx, kEtx, kDle, kNak};
  std::copy(std::begin(controls), std::end(controls),
            data.begin() + static_cast<std::ptrdiff_t>(at));
  return data;
}

TEST_F(StationLinkTest, FramesSentWithSendenArriveByteExact) {
  const Bytes image = WithControlBytes(0x01, 127, 2, 5);
  for (const Bytes& frame : {SetModeFrame(true), ReadSysDataFrame(kFullIdentification),
                             WriteBlockFrame(image, 0, 128)}) {
    Senden(*ctx_, frame);
    EXPECT_TRUE(comm_->PortOpen()) << "Senden opens the port on demand";
    EXPECT_EQ(ReadMaster(frame.size()), frame);
    EXPECT_EQ(ctx_->LastFrame, frame);
  }
}

TEST_F(StationLinkTest, RepliesWrittenInPiecesReachTheirHandlers) {
  const Bytes identification = WithControlBytes(READ_SYSDATA, 116, -1, 10);
  const Bytes modeReply = {SET_MODE, 0x01, 0x00, 0x41};  // short: stuffed below 0x20
  std::vector<Bytes> seen;
  const auto record = [&seen](Context& ctx) {
    Bytes reply{static_cast<std::uint8_t>(ctx.RxCommand)};
    seen.push_back(
        JoinBytes(reply, Bytes(ctx.RxBuffer.begin(), ctx.RxBuffer.begin() + ctx.RxCount)));
    return ReplyOutcome::Continue;
  };
  ctx_->handlers[READ_SYSDATA] = record;
  ctx_->handlers[SET_MODE] = record;
  comm_->setPortOpen(true);

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

// The engine's send and receive paths over the real serial port: frames
// leave through Senden and replies reach ctx.handlers on a pseudo-terminal.
#include <gtest/gtest.h>

#include "app/Context.h"
#include "app/qt/QtClock.h"
#include "app/qt/QtTimer.h"
#include "protocol/Commands.h"
#include "protocol/ReceiveReply.h"
#include "pty_port.h"
#include "serial/qt/QtSerialComm.h"
#include "sim/ScriptedView.h"

namespace qv {
namespace {

using test::RunEventsUntil;

class StationLinkTest : public test::PtyPortTest {
 protected:
  void SetUp() override {
    PtyPortTest::SetUp();
    comm_.emplace(Map());
    comm_->setCommPort(5);
    comm_->setSettings("4800,n,8,1");
    Platform platform{&*comm_, &timer1_, &timer2_, &timer3_, &timerEfi_, &clock_, &view_};
    ctx_.emplace(platform);
    WireStationLink(*ctx_);
  }

  // What the station sends: a frame as the loader builds it, without the
  // wake-up byte only the loader puts in front.
  static Bytes StationReply(const Bytes& payload) {
    const Bytes frame = MakeFrame(payload);
    return Bytes(frame.begin() + 1, frame.end());
  }

  std::optional<QtSerialComm> comm_;
  QtTimer timer1_, timer2_, timer3_, timerEfi_;
  QtClock clock_;
  sim::ScriptedView view_;
  std::optional<Context> ctx_;
};

TEST_F(StationLinkTest, FramesSentWithSendenArriveByteExact) {
  Bytes image;
  for (int i = 0; i < 128; ++i) image.push_back(static_cast<std::uint8_t>(i * 2 + 1));
  image[5] = kStx;
  image[6] = kEtx;
  image[7] = kDle;
  image[8] = kNak;
  const std::vector<Bytes> frames = {SetModeFrame(true), ReadSysDataFrame(kFullIdentification),
                                     WriteBlockFrame(image, 0, 128)};
  for (const Bytes& frame : frames) {
    Senden(*ctx_, frame);
    EXPECT_TRUE(comm_->PortOpen()) << "Senden opens the port on demand";
    EXPECT_EQ(ReadMaster(frame.size()), frame);
    EXPECT_EQ(ctx_->LastFrame, frame);
  }
}

TEST_F(StationLinkTest, RepliesWrittenInPiecesReachTheirHandlers) {
  Bytes identification = {READ_SYSDATA};
  for (int i = 0; i < 116; ++i) identification.push_back(static_cast<std::uint8_t>(0xF0 - i));
  identification[10] = kStx;  // counted data: taken literally
  identification[11] = kEtx;
  identification[12] = kDle;
  identification[13] = kNak;
  const Bytes modeReply = {SET_MODE, 0x01, 0x00, 0x41};  // short: stuffed below 0x20

  std::vector<Bytes> seen;
  const auto record = [&seen](Context& ctx) {
    Bytes reply{static_cast<std::uint8_t>(ctx.RxCommand)};
    reply.insert(reply.end(), ctx.RxBuffer.begin(), ctx.RxBuffer.begin() + ctx.RxCount);
    seen.push_back(reply);
    return ReplyOutcome::Continue;
  };
  ctx_->handlers[READ_SYSDATA] = record;
  ctx_->handlers[SET_MODE] = record;
  comm_->setPortOpen(true);

  Bytes wire = StationReply(modeReply);
  const Bytes second = StationReply(identification);
  wire.insert(wire.end(), second.begin(), second.end());
  for (std::size_t at = 0; at < wire.size(); at += 37) {
    WriteMaster(Bytes(wire.begin() + static_cast<std::ptrdiff_t>(at),
                      wire.begin() + static_cast<std::ptrdiff_t>(std::min(at + 37, wire.size()))));
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

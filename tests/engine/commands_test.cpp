#include <gtest/gtest.h>

#include <array>

#include "app/QvBoot.h"
#include "protocol/Commands.h"
#include "sim/virtual/VirtualPlatform.h"
#include "support/HexBytes.h"

namespace qv {
namespace {

using test::Hex;

TEST(CommandFrames, WorkedFrames) {
  const std::pair<Bytes, const char*> cases[] = {
      {SetModeFrame(false), "FF 02 70 4D 03"},
      {SetModeFrame(true), "FF 02 70 53 03"},
      {SetBaudFrame(38400), "FF 02 7E 10 01 03"},
      {SetBaudFrame(4800), "FF 02 7E 10 00 03"},
      {ReadSysDataFrame(kFullIdentification), "FF 02 83 02 00 74 3D 2C 03"},
      {ReadSysDataFrame(kShortIdentification), "FF 02 83 02 00 10 BC 77 03"},
      {GetTimeFrame(), "FF 02 F7 00 F7 00 03"},
  };
  for (const auto& [frame, expected] : cases) EXPECT_EQ(BytesToHex(frame), BytesToHex(Hex(expected)));
}

// Extended frames are checked against MakeFrame, whose layout and checksum have worked values of their own.
TEST(CommandFrames, WriteBlockAddressIsOffsetPlus256HighByteFirst) {
  const Bytes data{0x02, 0x03, 0x10, 0x15, 0xFF};
  const std::pair<std::int32_t, const char*> cases[] = {
      {0, "00 01 00"}, {0x1FF80, "02 00 80"}, {0x300, "00 04 00"}, {0xFFFE00, "FF FF 00"}};
  for (const auto& [offset, address] : cases) {
    EXPECT_EQ(WriteBlockFrame(offset, data.data(), data.size()),
              MakeFrame(JoinBytes(WRITE_BLOCK, JoinBytes(Hex(address), data))));
  }
}

TEST(CommandFrames, WriteBlockFromImageIsCutAtTheEndAndAtOneBlock) {
  Bytes image(300);
  for (std::size_t i = 0; i < image.size(); ++i) image[i] = static_cast<std::uint8_t>(i);
  const std::array<std::int32_t, 3> cases[] = {{280, 128, 20}, {0, 200, 128}, {32, 96, 96}};
  for (const auto& [offset, count, sent] : cases) {
    EXPECT_EQ(WriteBlockFrame(image, offset, count),
              WriteBlockFrame(offset, image.data() + offset, static_cast<std::size_t>(sent)));
  }
}

TEST(CommandFrames, InitUpdateKeyUpTo255BytesAndSetTime) {
  EXPECT_EQ(InitUpdateFrame("K3y"), MakeFrame(JoinBytes(INIT_UPDATE, BytesOf("K3y"))));
  EXPECT_EQ(InitUpdateFrame(std::string(255, 'k')), MakeFrame(JoinBytes(INIT_UPDATE, Bytes(255, 'k'))));
  EXPECT_TRUE(InitUpdateFrame(std::string(256, 'k')).empty());
  const Bytes record{0x18, 0x06, 0x0F, 0x02, 0x0C, 0x22, 0x38};
  EXPECT_EQ(SetTimeFrame(record), MakeFrame(JoinBytes(SET_TIME, record)));
}

class SendenTest : public ::testing::Test {
 protected:
  sim::VirtualPlatform link;
  Context& ctx = link.ctx;
};

TEST_F(SendenTest, UnavailablePortKeepsTheNewestFramePendingQuietlyUntilItOpens) {
  Senden(ctx, GetTimeFrame());
  EXPECT_TRUE(EnsurePortOpen(ctx));
  EXPECT_EQ(link.port.openCount(), 1);
  ASSERT_FALSE(link.port.sent().empty());
  EXPECT_EQ(link.port.sent().back().bytes, GetTimeFrame());
  EXPECT_EQ(ctx.frames.LastFrame, GetTimeFrame());
  ClosePort(ctx);
  link.port.setPortInUse(1, true);

  Senden(ctx, SetModeFrame(true));
  Senden(ctx, SetBaudFrame(38400));
  EXPECT_EQ(ctx.frames.PendingFrame, SetBaudFrame(38400));
  EXPECT_EQ(ctx.frames.LastFrame, GetTimeFrame());
  EXPECT_EQ(link.port.sent().size(), 1u);
  EXPECT_TRUE(link.view.boxes().empty());

  link.port.setPortInUse(1, false);
  Senden(ctx, ctx.frames.PendingFrame);  // the argument is a copy, not cleared under the caller
  EXPECT_TRUE(ctx.frames.PendingFrame.empty());
  EXPECT_EQ(ctx.frames.LastFrame, SetBaudFrame(38400));
  ASSERT_EQ(link.port.sent().size(), 2u);
  EXPECT_EQ(link.port.sent().back().bytes, SetBaudFrame(38400));
}

TEST_F(SendenTest, EmptyFrameOnlyClearsPending) {
  link.port.setPortMissing(1, true);
  Senden(ctx, GetTimeFrame());
  Senden(ctx, InitUpdateFrame(std::string(300, 'x')));
  EXPECT_TRUE(ctx.frames.PendingFrame.empty());
  EXPECT_TRUE(ctx.frames.LastFrame.empty());
  EXPECT_EQ(link.port.openCount(), 0);
}

TEST_F(SendenTest, RequestSystemDataArmsTheWatchdogEvenOnAMissingPort) {
  for (const bool missing : {false, true}) {
    link.port.setPortMissing(1, missing);
    link.timer2.setEnabled(false);
    const std::uint8_t count = missing ? kShortIdentification : kFullIdentification;
    RequestSystemData(ctx, count);
    EXPECT_TRUE(link.timer2.Enabled());
    EXPECT_EQ(ctx.frames.LastFrame, ReadSysDataFrame(count));
    EXPECT_EQ(ctx.frames.PendingFrame, missing ? ctx.frames.LastFrame : Bytes{});
    EXPECT_EQ(link.port.sent().size(), 1u);
    ClosePort(ctx);
  }
}

}  // namespace
}  // namespace qv

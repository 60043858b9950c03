#include <gtest/gtest.h>

#include "app/QvBoot.h"
#include "protocol/Commands.h"
#include "sim/VirtualPlatform.h"
#include "support/HexBytes.h"

namespace qv {
namespace {

using test::Hex;

struct FrameCase {
  const char* name;
  Bytes frame;
  const char* expected;
};

TEST(CommandFrames, WorkedFrames) {
  const FrameCase cases[] = {
      {"SET_MODE direct", SetModeFrame(false), "FF 02 70 4D 03"},
      {"SET_MODE relayed", SetModeFrame(true), "FF 02 70 53 03"},
      {"SET_BAUD 38400", SetBaudFrame(38400), "FF 02 7E 10 01 03"},
      {"SET_BAUD 4800", SetBaudFrame(4800), "FF 02 7E 10 00 03"},
      {"READ_SYSDATA full", ReadSysDataFrame(kFullIdentification), "FF 02 83 02 00 74 3D 2C 03"},
      {"READ_SYSDATA short", ReadSysDataFrame(kShortIdentification), "FF 02 83 02 00 10 BC 77 03"},
      {"GET_TIME", GetTimeFrame(), "FF 02 F7 00 F7 00 03"},
  };
  for (const auto& c : cases) EXPECT_EQ(BytesToHex(c.frame), BytesToHex(Hex(c.expected))) << c.name;
}

// Extended frames: FF 02 code LEN data CRC-high CRC-low 03, the checksum over code, LEN and data.
void ExpectExtended(const Bytes& frame, std::uint8_t code, const Bytes& data) {
  ASSERT_EQ(frame.size(), data.size() + 7);
  EXPECT_EQ(frame[0], 0xFF);
  EXPECT_EQ(frame[1], 0x02);
  EXPECT_EQ(frame[2], code);
  EXPECT_EQ(frame[3], data.size());
  EXPECT_EQ(Bytes(frame.begin() + 4, frame.end() - 3), data);
  Bytes covered{code, static_cast<std::uint8_t>(data.size())};
  covered.insert(covered.end(), data.begin(), data.end());
  const std::uint32_t crc = CalcCrc(covered);
  EXPECT_EQ(frame[frame.size() - 3], crc >> 8);
  EXPECT_EQ(frame[frame.size() - 2], crc & 0xFF);
  EXPECT_EQ(frame.back(), 0x03);
}

TEST(CommandFrames, WriteBlockAddressIsOffsetPlus256HighByteFirst) {
  const Bytes data{0x02, 0x03, 0x10, 0x15, 0xFF};
  struct Case {
    std::int32_t offset;
    const char* address;
  } cases[] = {{0, "00 01 00"}, {0x1FF80, "02 00 80"}, {0x300, "00 04 00"}, {0xFFFE00, "FF FF 00"}};
  for (const auto& c : cases) {
    const Bytes frame = WriteBlockFrame(c.offset, data.data(), data.size());
    ExpectExtended(frame, WRITE_BLOCK, JoinBytes(Hex(c.address), data));
  }
}

TEST(CommandFrames, WriteBlockFromImageIsCutAtTheEndAndAtOneBlock) {
  Bytes image(300);
  for (std::size_t i = 0; i < image.size(); ++i) image[i] = static_cast<std::uint8_t>(i);
  const Bytes tail = WriteBlockFrame(image, 280, 128);
  EXPECT_EQ(tail[3], 3 + 20);
  EXPECT_EQ(tail[7], 24);  // first data byte is image[280]
  EXPECT_EQ(WriteBlockFrame(image, 0, 200)[3], 3 + 128);
  EXPECT_EQ(WriteBlockFrame(image, 32, 96)[3], 3 + 96);
}

TEST(CommandFrames, InitUpdateAndSetTime) {
  ExpectExtended(InitUpdateFrame("K3y"), INIT_UPDATE, BytesOf("K3y"));
  ExpectExtended(InitUpdateFrame(std::string(255, 'k')), INIT_UPDATE, Bytes(255, 'k'));
  EXPECT_TRUE(InitUpdateFrame(std::string(256, 'k')).empty());
  const Bytes record{0x18, 0x06, 0x0F, 0x02, 0x0C, 0x22, 0x38};
  ExpectExtended(SetTimeFrame(record), SET_TIME, record);
}

class SendenTest : public ::testing::Test {
 protected:
  sim::VirtualPlatform link;
  Context& ctx = link.ctx;
};

TEST_F(SendenTest, OpensThePortRecordsAndWrites) {
  const Bytes frame = SetModeFrame(false);
  Senden(ctx, frame);
  EXPECT_TRUE(link.port.PortOpen());
  ASSERT_EQ(link.port.sent().size(), 1u);
  EXPECT_EQ(link.port.sent()[0].bytes, frame);
  EXPECT_EQ(ctx.LastFrame, frame);
  EXPECT_TRUE(ctx.PendingFrame.empty());
}

TEST_F(SendenTest, PortUnavailableKeepsPendingAndLeavesLastFrame) {
  Senden(ctx, GetTimeFrame());
  ClosePort(ctx);
  link.port.setPortInUse(1, true);

  Senden(ctx, SetModeFrame(true));
  EXPECT_EQ(ctx.PendingFrame, SetModeFrame(true));
  EXPECT_EQ(ctx.LastFrame, GetTimeFrame());
  EXPECT_FALSE(link.port.PortOpen());
  EXPECT_EQ(link.port.sent().size(), 1u);

  Senden(ctx, SetBaudFrame(38400));  // a newer frame replaces the pending one
  EXPECT_EQ(ctx.PendingFrame, SetBaudFrame(38400));

  link.port.setPortInUse(1, false);
  Senden(ctx, ctx.PendingFrame);  // the argument is a copy, not cleared under the caller
  EXPECT_TRUE(ctx.PendingFrame.empty());
  EXPECT_EQ(ctx.LastFrame, SetBaudFrame(38400));
  EXPECT_EQ(link.port.sent().back().bytes, SetBaudFrame(38400));
}

TEST_F(SendenTest, EmptyFrameOnlyClearsPending) {
  link.port.setPortMissing(1, true);
  Senden(ctx, GetTimeFrame());
  Senden(ctx, InitUpdateFrame(std::string(300, 'x')));
  EXPECT_TRUE(ctx.PendingFrame.empty());
  EXPECT_TRUE(ctx.LastFrame.empty());
  EXPECT_EQ(link.port.openCount(), 0);
}

TEST_F(SendenTest, RequestSystemDataArmsTheWatchdog) {
  link.timer2.setEnabled(false);
  RequestSystemData(ctx, 0x74);
  EXPECT_TRUE(link.timer2.Enabled());
  EXPECT_EQ(ctx.LastFrame, Hex("FF 02 83 02 00 74 3D 2C 03"));
  ASSERT_EQ(link.port.sent().size(), 1u);
  EXPECT_EQ(link.port.sent()[0].bytes, ctx.LastFrame);
}

TEST_F(SendenTest, RequestSystemDataOnAMissingPortRecordsTheFrameAndKeepsItPending) {
  link.port.setPortMissing(1, true);
  RequestSystemData(ctx, 0x10);
  EXPECT_EQ(ctx.LastFrame, Hex("FF 02 83 02 00 10 BC 77 03"));
  EXPECT_EQ(ctx.PendingFrame, ctx.LastFrame);
  EXPECT_TRUE(link.timer2.Enabled());
  EXPECT_TRUE(link.port.sent().empty());
}

TEST_F(SendenTest, EnsurePortOpenAndClosePort) {
  EXPECT_TRUE(EnsurePortOpen(ctx));
  EXPECT_TRUE(EnsurePortOpen(ctx));  // already open: nothing changes
  EXPECT_EQ(link.port.openCount(), 1);
  ClosePort(ctx);
  EXPECT_FALSE(link.port.PortOpen());
  ClosePort(ctx);  // closed: nothing happens
  EXPECT_FALSE(link.port.PortOpen());

  for (const bool missing : {true, false}) {
    link.port.setPortMissing(1, missing);
    link.port.setPortInUse(1, !missing);
    EXPECT_FALSE(EnsurePortOpen(ctx));
    EXPECT_FALSE(link.port.PortOpen());
  }
  EXPECT_TRUE(link.view.boxes().empty());
}

}  // namespace
}  // namespace qv

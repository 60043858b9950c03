#include "protocol/Commands.h"

#include <gtest/gtest.h>

#include <numeric>

#include "protocol/QvBoot.h"
#include "sim/virtual/VirtualPlatform.h"
#include "support/HexBytes.h"

namespace qv {
namespace {

using test::Hex;

// Extended frames are held against MakeFrame, whose layout and checksum have
// worked values of their own.
TEST(CommandFrames, EachCommandCarriesItsPayload) {
  Bytes image(300);
  std::iota(image.begin(), image.end(), std::uint8_t{0});
  const Bytes data{0x02, 0x03, 0x10, 0x15, 0xFF};
  const Bytes record{0x18, 0x06, 0x0F, 0x02, 0x0C, 0x22, 0x38};
  // clang-format off
  const auto block = [&](const char* address, const Bytes& bytes) {
    return MakeFrame(JoinBytes(WRITE_BLOCK, JoinBytes(Hex(address), bytes)));
  };
  const auto part = [&](std::size_t from, std::size_t count) { return Bytes(&image[from], &image[from] + count); };
  const std::pair<Bytes, Bytes> cases[] = {
      {SetModeFrame(false), Hex("FF 02 70 4D 03")}, {SetModeFrame(true), Hex("FF 02 70 53 03")},
      {SetBaudFrame(38400), Hex("FF 02 7E 10 01 03")}, {SetBaudFrame(4800), Hex("FF 02 7E 10 00 03")},
      {ReadSysDataFrame(kFullIdentification), Hex("FF 02 83 02 00 74 3D 2C 03")},
      {ReadSysDataFrame(kShortIdentification), Hex("FF 02 83 02 00 10 BC 77 03")},
      {GetTimeFrame(), Hex("FF 02 F7 00 F7 00 03")},
      // The block address is the offset plus 256, high byte first.
      {WriteBlockFrame(0xFFFE00, data.data(), data.size()), block("FF FF 00", data)},
      // From the image, cut at its end and at one block.
      {WriteBlockFrame(image, 280, 128), block("00 02 18", part(280, 20))},
      {WriteBlockFrame(image, 0, 200), block("00 01 00", part(0, 128))},
      {WriteBlockFrame(image, 32, 96), block("00 01 20", part(32, 96))},
      {InitUpdateFrame(std::string(255, 'k')), MakeFrame(JoinBytes(INIT_UPDATE, Bytes(255, 'k')))},
      {InitUpdateFrame(std::string(256, 'k')), {}},
      {SetTimeFrame(record), MakeFrame(JoinBytes(SET_TIME, record))},
  };
  // clang-format on
  for (const auto& [frame, expected] : cases) EXPECT_EQ(BytesToHex(frame), BytesToHex(expected));
}

// A port that cannot be opened keeps the newest frame pending, quietly; a
// request for the identification arms the no-reply watchdog all the same.
TEST(Senden, UnavailablePortKeepsTheNewestFramePendingUntilItOpens) {
  sim::VirtualPlatform link;
  Context& ctx = link.ctx;
  RequestSystemData(ctx, kFullIdentification);
  EXPECT_TRUE(link.timer2.Enabled());
  ClosePort(ctx);
  link.port.setPortInUse(1, true);
  Senden(ctx, SetModeFrame(true));
  Senden(ctx, SetBaudFrame(38400));
  EXPECT_EQ(ctx.frames.PendingFrame, SetBaudFrame(38400));
  EXPECT_EQ(ctx.frames.LastFrame, ReadSysDataFrame(kFullIdentification));
  EXPECT_TRUE(link.view.boxes().empty());

  link.port.setPortInUse(1, false);
  Senden(ctx, ctx.frames.PendingFrame);  // the argument is a copy, not cleared under the caller
  EXPECT_TRUE(ctx.frames.PendingFrame.empty());
  EXPECT_EQ(ctx.frames.LastFrame, SetBaudFrame(38400));
  ASSERT_EQ(link.port.sent().size(), 2u);
  EXPECT_EQ(link.port.sent()[0].bytes, ReadSysDataFrame(kFullIdentification));
  EXPECT_EQ(link.port.sent()[1].bytes, SetBaudFrame(38400));

  ClosePort(ctx);
  link.port.setPortMissing(1, true);
  link.timer2.setEnabled(false);
  RequestSystemData(ctx, kShortIdentification);
  EXPECT_TRUE(link.timer2.Enabled());
  EXPECT_EQ(ctx.frames.PendingFrame, ReadSysDataFrame(kShortIdentification));
  Senden(ctx,
         InitUpdateFrame(std::string(300, 'x')));  // a frame that could not be built only clears it
  EXPECT_TRUE(ctx.frames.PendingFrame.empty());
  EXPECT_EQ(link.port.openCount(), 2);
}

}  // namespace
}  // namespace qv

#include "protocol/stdFunc.h"

#include <gtest/gtest.h>

#include "support/HexBytes.h"

namespace qv {
namespace {

using test::Hex;

// "61 62 63 64 00": an even length gets one extra zero word, so a zero byte
// appended (odd length, padded) gives the same words.
TEST(CalcCrc, WorkedValues) {
  // clang-format off
  const std::pair<const char*, std::uint32_t> cases[] = {
      {"61 62 63", 0xA449}, {"61 62 63 64", 0x58E7}, {"61 62", 0x6162}, {"61", 0x0000}, {"", 0x0000},
      {"F7 00", 0xF700},    {"83 02 00 74", 0x3D2C}, {"83 02 00 10", 0xBC77}, {"61 62 63 64 00", 0x58E7}};
  // clang-format on
  for (const auto& [input, crc] : cases) EXPECT_EQ(CalcCrc(Hex(input)), crc) << input;
  EXPECT_EQ(CalcCrc(std::string_view("abc")), 0xA449u);
  // An odd length gets no extra word, so a zero byte appended adds one.
  EXPECT_NE(CalcCrc(BytesOf("abc")), CalcCrc(Hex("61 62 63 00")));
}

TEST(IsExtendedCommand, Boundaries) {
  // clang-format off
  const std::pair<std::uint8_t, bool> cases[] = {{0x00, false}, {0x7F, false}, {0x80, true}, {0xC3, true},
                                                 {0xC4, false}, {0xC5, true},  {0xFF, true}};
  // clang-format on
  for (const auto& [code, extended] : cases) EXPECT_EQ(IsExtendedCommand(code), extended) << +code;
}

TEST(MakeFrame, WorkedFrames) {
  // clang-format off
  const std::pair<const char*, const char*> cases[] = {
      {"83 00 74", "FF 02 83 02 00 74 3D 2C 03"}, {"F7", "FF 02 F7 00 F7 00 03"}, {"71", "FF 02 71 03"},
      {"70 4D", "FF 02 70 4D 03"},                {"7E 00", "FF 02 7E 10 00 03"},
      // Short frames stuff every data byte below 0x20, never the command.
      {"05 02 03 10 1F 20 FF", "FF 02 05 10 02 10 03 10 10 10 1F 20 FF 03"},
      {"C4 01", "FF 02 C4 10 01 03"},  // short although above 0x7F
      // Extended frames carry control bytes unchanged.
      {"80 00 01 00 02 03", "FF 02 80 05 00 01 00 02 03 82 0B 03"}};
  // clang-format on
  for (const auto& [in, out] : cases)
    EXPECT_EQ(BytesToHex(MakeFrame(Hex(in))), BytesToHex(Hex(out)));
  EXPECT_EQ(MakeFrame(std::uint8_t{0xF7}), Hex("FF 02 F7 00 F7 00 03"));
}

// The length byte counts up to 255; a longer extended payload is refused whole
// rather than sent with a length the station reads wrongly.
TEST(MakeFrame, LengthByteLimitsExtendedPayloads) {
  for (const std::size_t data : {131u, 255u}) {
    const Bytes frame = MakeFrame(JoinBytes(INIT_UPDATE, Bytes(data, 0x41)));
    ASSERT_EQ(frame.size(), data + 7) << data;
    EXPECT_EQ(frame[3], data);
  }
  EXPECT_TRUE(MakeFrame(JoinBytes(INIT_UPDATE, Bytes(256, 0x41))).empty());
  EXPECT_TRUE(MakeFrame(JoinBytes(SET_TIME, Bytes(511, 0x00))).empty());
  EXPECT_EQ(MakeFrame(JoinBytes(0x70, Bytes(300, 0x41))).size(), 304u)
      << "short frames have no length byte";
}

TEST(ByteHelpers, OneBasedAndForgivingAtTheEnds) {
  const Bytes data = Hex("10 11 12 13 14 15 16");
  EXPECT_EQ(std::tuple(MidBytes(data, 1, 3), MidBytes(data, 6, 10), MidBytes(data, 8)),
            std::tuple(Hex("10 11 12"), Hex("15 16"), Bytes{}));
  EXPECT_EQ(std::tuple(ByteAt(data, 1), ByteAt(data, 7), ByteAt(data, 8)),
            std::tuple(0x10, 0x16, std::nullopt));
  EXPECT_EQ(BytesToHex(Hex("FF 02 83")), "FF-02-83");
  EXPECT_EQ(LongToHex(0x1FF80, 3) + LongToHex(0xAB, 1) + LongToHex(0x12345678, 6),
            "01FF80AB12345678");
}

}  // namespace
}  // namespace qv

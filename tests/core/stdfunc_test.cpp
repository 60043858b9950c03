#include "protocol/stdFunc.h"

#include <gtest/gtest.h>

#include "support/HexBytes.h"

namespace qv {
namespace {

using test::Hex;

TEST(CalcCrc, WorkedValues) {
  // clang-format off
  const std::pair<Bytes, std::uint32_t> cases[] = {
      {BytesOf("abc"), 0xA449},     {BytesOf("abcd"), 0x58E7},    {Hex("61 62"), 0x6162},
      {Hex("61"), 0x0000},          {Hex(""), 0x0000},            {Hex("F7 00"), 0xF700},
      {Hex("83 02 00 74"), 0x3D2C}, {Hex("83 02 00 10"), 0xBC77},
  };
  // clang-format on
  for (const auto& [input, crc] : cases) EXPECT_EQ(CalcCrc(input), crc) << BytesToHex(input);
  EXPECT_EQ(CalcCrc(std::string_view("abc")), 0xA449u);
  // An even length gets one extra zero word, so appending a zero byte (odd
  // length, padded) gives the same words; an odd length gets no extra word,
  // so appending a zero byte adds one and changes the result.
  EXPECT_EQ(CalcCrc(BytesOf("abcd")), CalcCrc(Hex("61 62 63 64 00")));
  EXPECT_NE(CalcCrc(BytesOf("abc")), CalcCrc(Hex("61 62 63 00")));
  EXPECT_NE(CalcCrc(BytesOf("abcde")), CalcCrc(Hex("61 62 63 64 65 00")));
}

TEST(IsExtendedCommand, Boundaries) {
  const std::pair<std::uint8_t, bool> cases[] = {{0x00, false}, {0x70, false}, {0x7F, false},
                                                 {0x80, true},  {0x83, true},  {0xC3, true},
                                                 {0xC4, false}, {0xC5, true},  {0xFF, true}};
  for (const auto& [code, extended] : cases)
    EXPECT_EQ(IsExtendedCommand(code), extended) << int(code);
}

TEST(MakeFrame, WorkedFrames) {
  const std::pair<const char*, const char*> cases[] = {
      {"83 00 74", "FF 02 83 02 00 74 3D 2C 03"},
      {"83 00 10", "FF 02 83 02 00 10 BC 77 03"},
      {"F7", "FF 02 F7 00 F7 00 03"},
      {"70 4D", "FF 02 70 4D 03"},
      {"7E 01", "FF 02 7E 10 01 03"},
      {"7E 00", "FF 02 7E 10 00 03"},
      {"71", "FF 02 71 03"},
      // Short frames stuff every data byte below 0x20, never the command.
      {"05 02 03 10 1F 20 FF", "FF 02 05 10 02 10 03 10 10 10 1F 20 FF 03"},
      {"C4 01", "FF 02 C4 10 01 03"},  // short although above 0x7F
      // Extended frames carry control bytes unchanged.
      {"80 00 01 00 02 03", "FF 02 80 05 00 01 00 02 03 82 0B 03"},
  };
  for (const auto& [payload, frame] : cases)
    EXPECT_EQ(BytesToHex(MakeFrame(Hex(payload))), BytesToHex(Hex(frame)));
  EXPECT_EQ(MakeFrame(std::uint8_t{0xF7}), Hex("FF 02 F7 00 F7 00 03"));
  EXPECT_EQ(MakeFrame(JoinBytes(0x80, Bytes(131, 0x41)))[3], 131);  // a length byte past 127
}

// A longer extended payload would wrap its length byte; the frame is refused
// whole rather than sent with a length the station reads wrongly.
TEST(MakeFrame, ExtendedPayloadBeyondTheLengthByteIsRefused) {
  const Bytes fullest = MakeFrame(JoinBytes(INIT_UPDATE, Bytes(255, 0x41)));
  ASSERT_EQ(fullest.size(), 3u + 1 + 255 + 2 + 1);
  EXPECT_EQ(fullest[3], 255);
  for (const std::size_t data : {256u, 257u, 511u}) {
    EXPECT_TRUE(MakeFrame(JoinBytes(INIT_UPDATE, Bytes(data, 0x41))).empty()) << data;
    EXPECT_TRUE(MakeFrame(JoinBytes(SET_TIME, Bytes(data, 0x00))).empty()) << data;
  }
  // Short frames carry no length byte and are not limited here.
  EXPECT_EQ(MakeFrame(JoinBytes(0x70, Bytes(300, 0x41))).size(), 3u + 300 + 1);
}

TEST(ByteHelpers, OneBasedAndForgivingAtTheEnds) {
  const Bytes data = Hex("10 11 12 13 14 15 16");
  EXPECT_EQ(MidBytes(data, 1, 3), Hex("10 11 12"));
  EXPECT_EQ(MidBytes(data, 5), Hex("14 15 16"));
  EXPECT_EQ(MidBytes(data, 6, 10), Hex("15 16"));
  EXPECT_EQ(MidBytes(data, 8), Bytes{});
  EXPECT_EQ(MidBytes(Bytes{}, 1, 2), Bytes{});
  EXPECT_EQ(ByteAt(data, 1), 0x10);
  EXPECT_EQ(ByteAt(data, 7), 0x16);
  EXPECT_EQ(ByteAt(data, 8), std::nullopt);
  EXPECT_EQ(BytesToHex(Hex("FF 02 83")), "FF-02-83");
  const std::tuple<std::uint32_t, int, const char*> cases[] = {
      {0x0505, 2, "0505"}, {0xAB, 1, "AB"}, {0x12345678, 6, "12345678"}, {0x1FF80, 3, "01FF80"}};
  for (const auto& [value, count, text] : cases) EXPECT_EQ(LongToHex(value, count), text);
}

}  // namespace
}  // namespace qv

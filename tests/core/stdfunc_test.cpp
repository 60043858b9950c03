#include <gtest/gtest.h>

#include "protocol/stdFunc.h"

namespace qv {
namespace {

Bytes Hex(const char* text) {
  Bytes out;
  unsigned value = 0;
  int digits = 0;
  for (const char* p = text; *p; ++p) {
    const char c = *p;
    if (c == ' ') continue;
    value = value * 16 + static_cast<unsigned>(std::isdigit(c) ? c - '0' : (c | 0x20) - 'a' + 10);
    if (++digits == 2) {
      out.push_back(static_cast<std::uint8_t>(value));
      value = 0;
      digits = 0;
    }
  }
  return out;
}

struct CrcCase {
  Bytes input;
  std::uint32_t crc;
};

TEST(CalcCrc, WorkedValues) {
  const CrcCase cases[] = {
      {BytesOf("abc"), 0xA449},   {BytesOf("abcd"), 0x58E7},  {Hex("61 62"), 0x6162},
      {Hex("61"), 0x0000},        {Hex(""), 0x0000},          {Hex("F7 00"), 0xF700},
      {Hex("83 02 00 74"), 0x3D2C}, {Hex("83 02 00 10"), 0xBC77},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(CalcCrc(c.input), c.crc) << BytesToHex(c.input);
  }
  EXPECT_EQ(CalcCrc(std::string_view("abc")), 0xA449u);
}

TEST(CalcCrc, EvenLengthAddsZeroWordOddLengthPadsLowByte) {
  // An even length gets one extra zero word, so appending a zero byte (odd
  // length, padded) gives the same words; an odd length gets no extra word,
  // so appending a zero byte adds one and changes the result.
  EXPECT_EQ(CalcCrc(BytesOf("abcd")), CalcCrc(Hex("61 62 63 64 00")));
  EXPECT_NE(CalcCrc(BytesOf("abc")), CalcCrc(Hex("61 62 63 00")));
  EXPECT_NE(CalcCrc(BytesOf("abcde")), CalcCrc(Hex("61 62 63 64 65 00")));
}

TEST(IsExtendedCommand, Boundaries) {
  const struct {
    std::uint8_t code;
    bool extended;
  } cases[] = {{0x00, false}, {0x70, false}, {0x7F, false}, {0x80, true},
               {0x83, true},  {0xC3, true},  {0xC4, false}, {0xC5, true}, {0xFF, true}};
  for (const auto& c : cases) EXPECT_EQ(IsExtendedCommand(c.code), c.extended) << int(c.code);
}

TEST(MakeFrame, WorkedFrames) {
  const struct {
    Bytes payload;
    Bytes frame;
  } cases[] = {
      {Hex("83 00 74"), Hex("FF 02 83 02 00 74 3D 2C 03")},
      {Hex("83 00 10"), Hex("FF 02 83 02 00 10 BC 77 03")},
      {Hex("F7"), Hex("FF 02 F7 00 F7 00 03")},
      {Hex("70 4D"), Hex("FF 02 70 4D 03")},
      {Hex("70 53"), Hex("FF 02 70 53 03")},
      {Hex("7E 01"), Hex("FF 02 7E 10 01 03")},
      {Hex("7E 00"), Hex("FF 02 7E 10 00 03")},
      {Hex("71"), Hex("FF 02 71 03")},
      // Short frames stuff every data byte below 0x20, never the command.
      {Hex("05 02 03 10 1F 20 FF"), Hex("FF 02 05 10 02 10 03 10 10 10 1F 20 FF 03")},
      // 0xC4 is short although above 0x7F.
      {Hex("C4 01"), Hex("FF 02 C4 10 01 03")},
      // Extended frames carry control bytes unchanged.
      {Hex("80 00 01 00 02 03"), Hex("FF 02 80 05 00 01 00 02 03")},
  };
  for (const auto& c : cases) {
    const Bytes frame = MakeFrame(c.payload);
    if (IsExtendedCommand(c.payload[0]) && c.payload[0] == 0x80) {
      // Prefix check; the checksum is verified below.
      ASSERT_GE(frame.size(), c.frame.size());
      EXPECT_TRUE(std::equal(c.frame.begin(), c.frame.end(), frame.begin()));
    } else {
      EXPECT_EQ(BytesToHex(frame), BytesToHex(c.frame)) << BytesToHex(c.payload);
    }
  }
  EXPECT_EQ(MakeFrame(std::uint8_t{0xF7}), Hex("FF 02 F7 00 F7 00 03"));
}

TEST(MakeFrame, ExtendedFrameChecksumCoversCommandLengthAndData) {
  Bytes payload{0x80, 0x00, 0x01, 0x00};
  for (int i = 0; i < 128; ++i) payload.push_back(static_cast<std::uint8_t>(i * 7));
  const Bytes frame = MakeFrame(payload);
  ASSERT_EQ(frame.size(), 131u + 7u);
  EXPECT_EQ(frame[3], 131);
  const Bytes covered(frame.begin() + 2, frame.end() - 3);
  const std::uint32_t crc = CalcCrc(covered);
  EXPECT_EQ(frame[frame.size() - 3], crc >> 8);
  EXPECT_EQ(frame[frame.size() - 2], crc & 0xFF);
  EXPECT_EQ(frame.back(), 0x03);
}

TEST(ByteHelpers, MidJoinAt) {
  const Bytes data = Hex("10 11 12 13 14 15 16");
  EXPECT_EQ(MidBytes(data, 1, 3), Hex("10 11 12"));
  EXPECT_EQ(MidBytes(data, 5), Hex("14 15 16"));
  EXPECT_EQ(MidBytes(data, 6, 10), Hex("15 16"));
  EXPECT_EQ(MidBytes(data, 8), Bytes{});
  EXPECT_EQ(MidBytes(Bytes{}, 1, 2), Bytes{});
  EXPECT_EQ(JoinBytes(std::uint8_t{0x42}, Bytes{}), Bytes{0x42});
  EXPECT_EQ(JoinBytes(Hex("01 02"), Hex("03")), Hex("01 02 03"));
  EXPECT_EQ(ByteAt(data, 1), 0x10);
  EXPECT_EQ(ByteAt(data, 7), 0x16);
  EXPECT_EQ(ByteAt(data, 8), std::nullopt);
  EXPECT_EQ(ByteAt(std::string_view("AB"), 2), 0x42);
}

TEST(HexText, BytesAndLongs) {
  EXPECT_EQ(BytesToHex(Hex("FF 02 83")), "FF-02-83");
  EXPECT_EQ(BytesToHex(Hex("0A 05"), " "), "0A 05");
  EXPECT_EQ(BytesToHex(Bytes{}), "");
  EXPECT_EQ(BytesToHex(std::string_view("a")), "61");
  const struct {
    std::uint32_t value;
    int count;
    const char* text;
  } cases[] = {{0x1234, 2, "1234"}, {0x0505, 2, "0505"}, {0x8115, 2, "8115"},
               {0xAB, 1, "AB"},     {0x12345678, 6, "12345678"}, {0x1FF80, 3, "01FF80"}};
  for (const auto& c : cases) EXPECT_EQ(LongToHex(c.value, c.count), c.text);
}

}  // namespace
}  // namespace qv

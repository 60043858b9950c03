// The station frames its replies with a codec of its own; here it is held
// against the loader's frame code and against fixed values, so a mistake on
// either side fails, and a mistake shared by both fails on the fixed values.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <vector>

#include "protocol/stdFunc.h"
#include "sim/station/StationCodec.h"
#include "support/HexBytes.h"

namespace qv::test {
namespace {

// The loader's frame without its wake-up byte: what a station replies.
Bytes LoaderFrameAsReply(const Bytes& payload) {
  Bytes frame = MakeFrame(payload);
  if (frame.empty() || frame.front() != kWakeUp) return {};
  frame.erase(frame.begin());
  return frame;
}

Bytes RandomBytes(std::mt19937& random, std::size_t size) {
  Bytes bytes(size);
  for (auto& b : bytes) b = static_cast<std::uint8_t>(random() >> 24);
  return bytes;
}

TEST(CodecCrosscheck, WorkedChecksumsOnBothSides) {
  const std::pair<Bytes, std::uint32_t> cases[] = {
      {BytesOf("abc"), 0xA449}, {BytesOf("abcd"), 0x58E7}, {Hex("61 62"), 0x6162},
      {Hex("61"), 0x0000},      {Hex("F7 00"), 0xF700},    {Hex("83 02 00 74"), 0x3D2C},
      {Bytes{}, 0x0000},
  };
  for (const auto& [input, expected] : cases) {
    EXPECT_EQ(sim::StationChecksum(input), expected) << "station, " << BytesToHex(input);
    EXPECT_EQ(CalcCrc(input), expected) << "loader, " << BytesToHex(input);
  }
}

TEST(CodecCrosscheck, ChecksumsAgreeForEveryLengthUpToAFullFrame) {
  std::mt19937 random(20260);
  for (std::size_t length = 0; length <= 300; ++length) {
    const Bytes data = RandomBytes(random, length);
    EXPECT_EQ(sim::StationChecksum(data), CalcCrc(data)) << "length " << length;
  }
}

TEST(CodecCrosscheck, BothSidesSortCodesAlike) {
  const std::pair<std::uint8_t, bool> anchors[] = {{0x00, false}, {0x70, false}, {0x7F, false},
                                                   {0x80, true},  {0xC3, true},  {0xC4, false},
                                                   {0xC5, true},  {0xFF, true}};
  for (const auto& [code, extended] : anchors) {
    EXPECT_EQ(sim::IsExtendedCode(code), extended) << "station, code " << int(code);
    EXPECT_EQ(IsExtendedCommand(code), extended) << "loader, code " << int(code);
  }
  for (int code = 0; code < 256; ++code) {
    const auto c = static_cast<std::uint8_t>(code);
    EXPECT_EQ(sim::IsExtendedCode(c), IsExtendedCommand(c)) << "code " << code;
  }
}

TEST(CodecCrosscheck, KnownRepliesOnBothSides) {
  const std::pair<Bytes, Bytes> cases[] = {
      {Hex("83 00 74"), Hex("02 83 02 00 74 3D 2C 03")},
      {Hex("F7"), Hex("02 F7 00 F7 00 03")},
      {Hex("80 02 03"), Hex("02 80 02 02 03 8C 1D 03")},  // control bytes travel unstuffed
      {Hex("C3 10"), Hex("02 C3 01 10 9A 0A 03")},
      {Hex("70 4D"), Hex("02 70 4D 03")},
      {Hex("7E 01"), Hex("02 7E 10 01 03")},
      {Hex("C4 02 20"), Hex("02 C4 10 02 20 03")},        // short although above 0x7F
      {Hex("70 1F 20 FF"), Hex("02 70 10 1F 20 FF 03")},  // 0x1F is the last byte stuffed
      {Hex("05 05"), Hex("02 05 10 05 03")},              // the code itself is never stuffed
  };
  for (const auto& [payload, reply] : cases) {
    EXPECT_EQ(sim::BuildReply(payload), reply) << "station, " << BytesToHex(payload);
    EXPECT_EQ(LoaderFrameAsReply(payload), reply) << "loader, " << BytesToHex(payload);
  }
}

TEST(CodecCrosscheck, StationRepliesEqualLoaderFramesWithoutTheWakeUpByte) {
  const std::uint8_t codes[] = {0x70, 0x7E, 0x80, 0x83, 0x8F, 0xC4, 0xF6, 0xF7};
  const Bytes interesting = Hex("02 03 10 15 1F 20 FF");
  std::mt19937 random(4711);
  for (std::uint8_t code : codes) {
    std::vector<Bytes> payloads = {{code}, {code, 0x00}};
    for (std::uint8_t b : interesting) payloads.push_back({code, b});
    payloads.push_back(JoinBytes(code, interesting));
    // 254 and 255 data bytes: a 255-byte payload, and the most a length byte counts.
    for (std::size_t length : {254u, 255u}) {
      Bytes payload{code};
      for (std::size_t i = 0; i < length; ++i) payload.push_back(static_cast<std::uint8_t>(i));
      payloads.push_back(payload);
    }
    for (int i = 0; i < 40; ++i) {
      payloads.push_back(JoinBytes(code, RandomBytes(random, random() % 256)));
    }
    for (const Bytes& payload : payloads) {
      EXPECT_EQ(sim::BuildReply(payload), LoaderFrameAsReply(payload))
          << "code " << int(code) << ", " << payload.size() - 1 << " data bytes";
    }
  }
}

// The station model and its tools must not lean on the loader's frame or
// file code, or a mistake made there would pass on both sides unseen.
TEST(CodecCrosscheck, StationSourcesIncludeNoLoaderCode) {
  namespace fs = std::filesystem;
  const fs::path root = QV_SOURCE_DIR;
  int files = 0;
  for (const char* folder : {"sim/station", "sim/qvstation", "tools"}) {
    ASSERT_TRUE(fs::is_directory(root / folder)) << folder;
    for (const auto& entry : fs::recursive_directory_iterator(root / folder)) {
      const std::string ext = entry.path().extension().string();
      if (ext != ".h" && ext != ".cpp") continue;
      ++files;
      std::ifstream in(entry.path());
      for (std::string line; std::getline(in, line);) {
        const bool loaderCode = line.find("#include \"protocol/") != std::string::npos ||
                                line.find("#include \"update/") != std::string::npos;
        EXPECT_FALSE(loaderCode) << entry.path() << ": " << line;
      }
    }
  }
  EXPECT_GT(files, 5);
}

}  // namespace
}  // namespace qv::test

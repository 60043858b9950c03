// The station frames its replies with a codec of its own; here it is held
// against fixed values and against the loader's frame code, so a mistake on
// either side fails.
#include <gtest/gtest.h>

#include <random>
#include <vector>

#include "protocol/stdFunc.h"
#include "sim/station/StationCodec.h"
#include "support/HexBytes.h"
#include "support/Shell.h"

namespace qv::test {
namespace {

TEST(CodecCrosscheck, StationRepliesToFixedValues) {
  EXPECT_EQ(sim::StationChecksum(BytesOf("abc")), 0xA449);
  // clang-format off
  const std::pair<const char*, const char*> cases[] = {
      {"83 00 74", "02 83 02 00 74 3D 2C 03"},   {"F7", "02 F7 00 F7 00 03"},
      {"80 02 03", "02 80 02 02 03 8C 1D 03"},   // control bytes travel unstuffed
      {"7E 01", "02 7E 10 01 03"},               {"C4 02 20", "02 C4 10 02 20 03"},  // short although above 0x7F
      {"70 1F 20 FF", "02 70 10 1F 20 FF 03"},   // 0x1F is the last byte stuffed
      {"05 05", "02 05 10 05 03"},               // the code itself is never stuffed
  };
  // clang-format on
  for (const auto& [payload, reply] : cases)
    EXPECT_EQ(sim::BuildReply(Hex(payload)), Hex(reply)) << payload;
}

TEST(CodecCrosscheck, StationAndLoaderAgree) {
  for (int code = 0; code < 256; ++code) {
    const auto c = static_cast<std::uint8_t>(code);
    EXPECT_EQ(sim::IsExtendedCode(c), IsExtendedCommand(c)) << "code " << code;
  }
  std::mt19937 random(4711);
  const auto randomBytes = [&random](std::size_t size) {
    Bytes bytes(size);
    for (auto& b : bytes) b = static_cast<std::uint8_t>(random() >> 24);
    return bytes;
  };
  for (const std::uint8_t code : Hex("70 7E 80 83 8F C4 F6 F7")) {
    std::vector<Bytes> payloads = {{code}, JoinBytes(code, Hex("00 02 03 10 15 1F 20 FF"))};
    for (std::size_t length : {254u, 255u})
      payloads.push_back(JoinBytes(code, Bytes(length, 0x42)));
    for (int i = 0; i < 40; ++i) payloads.push_back(JoinBytes(code, randomBytes(random() % 256)));
    for (const Bytes& payload : payloads) {
      // The loader's frame carries a wake-up byte in front; a station's reply does not.
      EXPECT_EQ(JoinBytes(kWakeUp, sim::BuildReply(payload)), MakeFrame(payload))
          << "code " << int(code) << ", " << payload.size() - 1 << " data bytes";
    }
  }
}

// The station model and its tools must not lean on the loader's frame or
// file code, or a mistake made there would pass on both sides unseen.
TEST(CodecCrosscheck, StationSourcesIncludeNoLoaderCode) {
  const int status = RunShell(
      "grep -rEn --include='*.h' --include='*.cpp' "
      "'#include \"(protocol|update)/' " QV_SOURCE_DIR "/sim/station " QV_SOURCE_DIR
      "/sim/qvstation " QV_SOURCE_DIR "/tools");
  EXPECT_EQ(status, 1) << "grep found loader code or failed";
}

}  // namespace
}  // namespace qv::test

#include <gtest/gtest.h>

#include "StationTestSupport.h"
#include "sim/station/StationClock.h"
#include "sim/station/UpgradeImage.h"
#include "support/HexBytes.h"

namespace qv::test {
namespace {

using sim::ReplyFaultKind;
using sim::StationOptions;

StationOptions Identity() {
  StationOptions o;
  o.identity = {.serial = 0x01020304, .hardware = 0x9D9A, .boot = 0x0102, .firmware = "580",
                .productionYear = 2009, .productionMonth = 12, .productionDay = 15, .battery = 39300,
                .interfaceBits = 0x30, .codeNumber = 0x0105};
  return o;
}

TEST(StationReplies, EachCommandGetsItsDocumentedReply) {
  const std::pair<Bytes, Bytes> cases[] = {
      {Hex("70 4D"), Hex("70 00 4D")},
      {Hex("70 53"), Hex("70 00 53")},
      {Hex("7E 01"), Hex("7E 00 01")},
      {Hex("83 00 10"), Hex("83 01 05 00  01 02 03 04  30  35 38 30  09 0C 0F  9D 9A  00 00 00")},
      {Hex("83 04 03"), Hex("83 01 05 04  30 35 38")},
  };
  for (const auto& [command, expected] : cases) {
    StationRig rig(Identity());
    EXPECT_EQ(PayloadOf(rig.reply(MakeFrame(command))), expected) << BytesToHex(command);
  }
}

TEST(StationReplies, IdentificationCarriesTheFieldsTheLoaderReads) {
  StationRig rig(Identity());
  const auto payload = PayloadOf(rig.reply(MakeFrame(Hex("83 00 74"))));
  ASSERT_TRUE(payload);
  ASSERT_EQ(payload->size(), 0x78u);
  // Payload index = the loader's receive-buffer index (its index 0 holds the length).
  const auto at = [&](std::ptrdiff_t from, std::ptrdiff_t count) {
    return Bytes(payload->begin() + from, payload->begin() + from + count);
  };
  EXPECT_EQ(at(3, 14), Hex("00  01 02 03 04  30  35 38 30  09 0C 0F  9D 9A"));
  EXPECT_EQ(at(84, 2), Hex("99 84"));           // battery 39300
  EXPECT_EQ(at(100, 4), Hex("30 30 31 32"));   // boot 0x0102, one digit a byte
  EXPECT_EQ((*payload)[118], 0x05);
  EXPECT_EQ((*payload)[119] & 0xC0, 0x40);
}

TEST(StationReceiver, FramesItCannotAcceptGetALoneNak) {
  Bytes badCrc = MakeFrame(Hex("83 00 74"));
  badCrc[badCrc.size() - 2] ^= 1;
  const std::vector<Bytes> frames = {
      badCrc,
      Hex("FF 02 83 01 00 74 3D 2C 03"),  // length byte one short
      Hex("FF 02 7E 01 03"),              // 0x01 without DLE
      Hex("FF 02 70 10 4D 03"),           // DLE before a byte that needs none
      MakeFrame(Hex("99")),               // unknown extended command
      MakeFrame(Hex("55 01")),            // unknown short command
      MakeFrame(Hex("70 58")),            // mode "X"
      MakeFrame(Hex("7E 02")),            // no such speed
      MakeFrame(Hex("83 64 74")),         // beyond the system data
      BlockFrame(0, Filler(16)),          // data before any SET_MODE
      MakeFrame(Hex("8F 41 42 43 44 45 46 47 48")),  // key before any SET_MODE
      MakeFrame(Hex("F6 1A 0D 06 00 00 00 00")),     // month 13
  };
  for (const Bytes& frame : frames) {
    StationRig rig;
    EXPECT_EQ(rig.reply(frame), kNakOnly) << BytesToHex(frame);
    EXPECT_EQ(PayloadOf(rig.reply(MakeFrame(Hex("70 4D")))), Hex("70 00 4D")) << "after " << BytesToHex(frame);
  }
}

TEST(StationReceiver, NoiseAndAbandonedFramesDoNotBlockTheNextFrame) {
  StationRig rig;
  EXPECT_EQ(PayloadOf(rig.reply(Hex("FF FF 41 15 FF 02 70 4D 03"))), Hex("70 00 4D"));
  EXPECT_TRUE(rig.reply(Hex("FF 02 83 02 00")).empty());  // unfinished: the station waits
  rig.now += 300'000;
  EXPECT_EQ(PayloadOf(rig.reply(MakeFrame(Hex("70 53")))), Hex("70 00 53"));
}

TEST(StationTransfer, BlocksMustFollowInSequence) {
  struct Step {
    std::uint32_t offset;
    std::size_t length;
    bool accepted;
  };
  const std::vector<std::vector<Step>> cases = {
      {{0, 128, true}, {128, 128, true}, {256, 100, true}},
      {{0, 128, true}, {0, 64, true}},                       // acknowledgement lost, sent again smaller
      {{0, 128, true}, {128, 128, true}, {0, 128, true}},    // rewind to a page start
      {{0, 128, true}, {256, 128, false}},                   // gap
      {{0, 64, true}, {64, 128, false}},                     // crosses a row
      {{0, 128, true}, {128, 128, true}, {64, 64, false}},   // back, but not to a page start
      {{128, 128, false}},                                   // does not start at 0x100
  };
  for (std::size_t i = 0; i < cases.size(); ++i) {
    StationRig rig;
    rig.reply(MakeFrame(Hex("70 4D")));
    Bytes expectedImage;
    for (const Step& step : cases[i]) {
      const Bytes data = Filler(step.length, static_cast<std::uint8_t>(step.offset));
      const Bytes reply = rig.ack(step.offset, data);
      if (!step.accepted) {
        EXPECT_EQ(reply, kNakOnly) << "case " << i << " offset " << step.offset;
        continue;
      }
      EXPECT_EQ(PayloadOf(reply), AckPayload(step.offset)) << "case " << i << " offset " << step.offset;
      expectedImage.resize(step.offset);
      expectedImage.insert(expectedImage.end(), data.begin(), data.end());
    }
    EXPECT_EQ(rig.station.image(), expectedImage) << "case " << i;
  }
}

TEST(StationTransfer, KeyAndImageDecideTheResultAndTheRestart) {
  const Bytes image = sim::MakeSyntheticImage(300, "560");
  const struct {
    const char* name;
    bool usb;
    char mode;
    std::size_t blocksSent;
    std::string key;
    char result;
    std::string firmwareAfter;
    std::uint32_t baudAfter;
  } cases[] = {
      {"serial station", false, 'M', 3, "KEY-12345", '0', "560", 4800},
      {"USB station", true, 'M', 3, "KEY-12345", '0', "560", 38400},
      {"through a master", false, 'S', 3, "KEY-12345", '0', "560", 38400},
      {"wrong key", false, 'M', 3, "KEY-54321", '7', "550", 38400},
      {"last block missing", false, 'M', 2, "KEY-12345", '5', "550", 38400},
  };
  for (const auto& c : cases) {
    StationOptions options;
    options.identity.interfaceBits = c.usb ? 0x30 : 0x08;
    options.expectedImage = image;
    options.expectedKey = "KEY-12345";
    StationRig rig(options);
    rig.reply(MakeFrame(Hex("7E 01")));
    ASSERT_EQ(rig.station.baud(), 38400u) << c.name;
    rig.reply(MakeFrame(Bytes{SET_MODE, static_cast<std::uint8_t>(c.mode)}));
    for (std::uint32_t offset = 0; offset < c.blocksSent * 128; offset += 128) {
      ASSERT_TRUE(PayloadOf(rig.reply(WriteBlockFrame(image, static_cast<std::int32_t>(offset), 128)))) << c.name;
    }
    const auto result = PayloadOf(rig.reply(InitUpdateFrame(c.key)));
    EXPECT_EQ(result, (Bytes{INIT_UPDATE, static_cast<std::uint8_t>(c.result)})) << c.name;
    EXPECT_TRUE(rig.reply(MakeFrame(Hex("70 4D")), 38400).empty() || c.result != '0') << c.name << ": restarting";
    rig.now += 2'000'000;
    rig.station.advanceTo(rig.now);
    EXPECT_EQ(rig.station.firmware(), c.firmwareAfter) << c.name;
    EXPECT_EQ(rig.station.baud(), c.baudAfter) << c.name;
  }
}

TEST(StationFaults, EachFaultShowsOnTheWire) {
  const Bytes mode = MakeFrame(Hex("70 4D"));
  const Bytes ident = MakeFrame(Hex("83 00 10"));
  const Bytes b0 = BlockFrame(0, Filler(128));
  const Bytes b1 = BlockFrame(128, Filler(128));
  // Per frame, the faulty station's reply against a sound one's: '=' the same,
  // 'N' a lone NAK, 's' silence, 'w' another valid reply, 'x' no valid reply.
  const struct {
    const char* name;
    std::function<void(sim::StationFaults&)> set;
    std::vector<Bytes> frames;
    std::string expected;
  } cases[] = {
      {"NAK a block twice", [](auto& f) { f.nakBlocks = {{1, 2}}; }, {b0, b1, b1, b1}, "=NN="},
      {"NAK with probability 1", [](auto& f) { f.nakProbability = 1.0; }, {b0}, "N"},
      {"silent once", [](auto& f) { f.replyFaults = {{ReplyFaultKind::Silent, 0x70, 1}}; }, {mode, mode}, "s="},
      {"corrupt checksum", [](auto& f) { f.replyFaults = {{ReplyFaultKind::CorruptChecksum, 0x83, 1}}; },
       {ident, ident}, "x="},
      {"cut short", [](auto& f) { f.replyFaults = {{ReplyFaultKind::CutShort, 0x80, 1}}; }, {b0, b0}, "x="},
      {"acknowledge another address", [](auto& f) { f.replyFaults = {{ReplyFaultKind::WrongAddress, 0x80, 2}}; },
       {b0, b1, b0}, "=w="},
      {"swapped station", [](auto& f) { f.swappedSerial = 0x0A0B0C0D; }, {ident, ident}, "=w"},
      {"silent after block 1", [](auto& f) { f.silentAfterBlock = 1; }, {b0, b1, ident}, "=ss"},
      {"disappear after block 2", [](auto& f) { f.disappearAfterBlock = 2; }, {b0, b1, mode}, "==s"},
  };
  for (const auto& c : cases) {
    StationOptions options;
    options.mode = 'M';
    StationRig sound(options);
    c.set(options.faults);
    StationRig faulty(options);
    for (std::size_t i = 0; i < c.frames.size(); ++i) {
      const Bytes want = sound.reply(c.frames[i]);
      const Bytes got = faulty.reply(c.frames[i]);
      const char seen = got == want ? '=' : got == kNakOnly ? 'N' : got.empty() ? 's' : PayloadOf(got) ? 'w' : 'x';
      EXPECT_EQ(seen, c.expected[i]) << c.name << ", frame " << i;
    }
  }
}

TEST(StationTiming, RepliesLeaveAfterTheFrameHasCrossedTheLine) {
  StationOptions options;
  options.timing.replyDelayUs = 1'000;
  options.timing.blockProgramUs = 7'000;
  options.mode = 'M';
  StationRig rig(options);
  const sim::TimeUs byte4800 = sim::ByteTimeUs(4800);
  EXPECT_EQ(byte4800, 2084);

  auto out = rig.exchange(MakeFrame(Hex("70 4D")));
  ASSERT_EQ(out.size(), 1u);
  EXPECT_EQ(out[0].startUs, 5 * byte4800 + 1'000);
  EXPECT_EQ(out[0].endUs(), out[0].startUs + 6 * byte4800);

  const sim::TimeUs sent = rig.now;
  out = rig.exchange(BlockFrame(0, Filler(128)));
  ASSERT_EQ(out.size(), 1u);
  EXPECT_EQ(out[0].startUs, sent + 138 * byte4800 + 1'000 + 7'000);
}

TEST(StationTiming, SpeedSwitchesAfterTheReplyAndOtherSpeedsAreNotUnderstood) {
  StationRig rig;
  EXPECT_TRUE(rig.reply(MakeFrame(Hex("70 4D")), 38400).empty());
  const auto out = rig.exchange(MakeFrame(Hex("7E 01")), 4800);
  ASSERT_EQ(out.size(), 1u);
  EXPECT_EQ(out[0].baud, 4800u);
  EXPECT_EQ(rig.station.baud(), 38400u);
  EXPECT_TRUE(rig.reply(MakeFrame(Hex("70 4D")), 4800).empty());
  EXPECT_EQ(PayloadOf(rig.reply(MakeFrame(Hex("70 4D")), 38400)), Hex("70 00 4D"));
}

TEST(StationClock, SetTimeMovesTheStationClockAndGetTimeReportsIt) {
  StationOptions options;
  options.clockOffsetMs = 90'000;
  StationRig rig(options);  // PC: Sunday 2026-12-06 10:00:00
  EXPECT_EQ(PayloadOf(rig.reply(MakeFrame(Hex("F7")))), Hex("F7 00 01 1A 0C 06 00 8C FA 00"));  // 10:01:30

  // Saturday 2044-12-31 15:30:00 + 26/256 s.
  EXPECT_EQ(PayloadOf(rig.reply(MakeFrame(Hex("F6 2C 0C 1F 0D 31 38 1A")))), Hex("F6 00 01 2C 0C 1F 0D 31 38 19"));
  rig.clock.time.second = 10;
  EXPECT_EQ(PayloadOf(rig.reply(MakeFrame(Hex("F7")))), Hex("F7 00 01 2C 0C 1F 0D 31 42 19"));
}

}  // namespace
}  // namespace qv::test

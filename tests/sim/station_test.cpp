#include <gtest/gtest.h>

#include <functional>
#include <tuple>

#include "StationTestSupport.h"
#include "core/Errors.h"
#include "sim/station/StationImage.h"
#include "sim/station/UpgradeImage.h"
#include "sim/virtual/StationPeer.h"
#include "sim/virtual/VirtualPlatform.h"
#include "support/HexBytes.h"

namespace qv::test {
namespace {

using sim::ReplyFaultKind;
using sim::StationOptions;
const Bytes kNak1{kNak};

struct StationRig {
  FixedClock clock;
  sim::Station station;
  sim::TimeUs now = 0;

  explicit StationRig(sim::StationOptions options = {}) : station(std::move(options), clock) {}

  // Sends one frame at `baud` (default: the station's speed) and returns what the station sent
  // back.
  std::vector<sim::Transmission> exchange(const Bytes& frame, std::uint32_t baud = 0) {
    station.receive(now, frame, baud ? baud : station.baud());
    auto out = station.takeTransmissions();
    now = out.empty() ? now + 100'000 : out.back().endUs() + 1'000;
    station.advanceTo(now);
    return out;
  }
  Bytes reply(const Bytes& frame, std::uint32_t baud = 0) {
    Bytes all;
    for (const auto& t : exchange(frame, baud))
      all.insert(all.end(), t.bytes.begin(), t.bytes.end());
    return all;
  }
  std::optional<Bytes> payload(const char* command) {
    return PayloadOf(reply(MakeFrame(Hex(command))));
  }
};

TEST(StationReplies, EachCommandGetsItsReplyAndIdentificationCarriesWhatTheLoaderReads) {
  StationOptions o;
  // clang-format off
  o.identity = {.serial = 0x01020304, .hardware = 0x9D9A, .boot = 0x0102, .firmware = "580",
                .productionYear = 2009, .productionMonth = 12, .productionDay = 15, .battery = 39300,
                .interfaceBits = 0x30, .codeNumber = 0x0105};
  const std::pair<const char*, const char*> cases[] = {
      {"70 4D", "70 00 4D"}, {"70 53", "70 00 53"}, {"7E 01", "7E 00 01"}, {"83 04 03", "83 01 05 04  30 35 38"},
      {"83 00 10", "83 01 05 00  01 02 03 04  30  35 38 30  09 0C 0F  9D 9A  00 00 00"},
  };
  // clang-format on
  for (const auto& [command, expected] : cases)
    EXPECT_EQ(StationRig(o).payload(command), Hex(expected)) << command;

  const auto ident = StationRig(o).payload("83 00 74");
  ASSERT_EQ(ident.value_or(Bytes{}).size(), 0x78u);
  // Payload index = the loader's receive-buffer index (its index 0 holds the length).
  EXPECT_EQ(Bytes(ident->begin() + 84, ident->begin() + 86), Hex("99 84"));  // battery 39300
  EXPECT_EQ(Bytes(ident->begin() + 100, ident->begin() + 104), Hex("30 30 31 32"));  // boot
  EXPECT_EQ((*ident)[118], 0x05);
  EXPECT_EQ((*ident)[119] & 0xC0, 0x40);
}

TEST(StationReceiver, FramesItCannotAcceptGetALoneNakAndNoiseDoesNotBlock) {
  Bytes badCrc = MakeFrame(Hex("83 00 74"));
  badCrc[badCrc.size() - 2] ^= 1;
  // clang-format off
  const Bytes frames[] = {
      badCrc,
      Hex("FF 02 83 01 00 74 3D 2C 03"),  // length byte one short
      Hex("FF 02 7E 01 03"),              Hex("FF 02 70 10 4D 03"),  // 0x01 without DLE, DLE before 0x4D
      MakeFrame(Hex("99")),               MakeFrame(Hex("55 01")),   // unknown extended and short commands
      MakeFrame(Hex("70 58")),            MakeFrame(Hex("7E 02")),   // no mode "X", no such speed
      MakeFrame(Hex("83 64 74")),         // beyond the system data
      BlockFrame(0, 16),                  MakeFrame(Hex("8F 41 42 43 44 45 46 47 48")),  // data, key before SET_MODE
      MakeFrame(Hex("F6 1A 0D 06 00 00 00 00")),  MakeFrame(Hex("F6 1A 0C 06 00 A8 C1 00")),  // month 13, 43201 s
  };
  // clang-format on
  for (const Bytes& frame : frames) {
    StationRig rig;
    EXPECT_EQ(rig.reply(frame), kNak1) << BytesToHex(frame);
    EXPECT_EQ(rig.payload("70 4D"), Hex("70 00 4D")) << "after " << BytesToHex(frame);
  }
  StationRig rig;
  EXPECT_EQ(PayloadOf(rig.reply(Hex("FF FF 41 15 FF 02 70 4D 03"))), Hex("70 00 4D"));
  EXPECT_TRUE(rig.reply(Hex("FF 02 83 02 00")).empty());  // unfinished: the station waits
  rig.now += 300'000;
  EXPECT_EQ(rig.payload("70 53"), Hex("70 00 53"));
}

TEST(StationTransfer, BlocksMustFollowInSequence) {
  // Offset, length and whether the station takes it.
  using Steps = std::vector<std::tuple<std::uint32_t, std::size_t, bool>>;
  const Steps cases[] = {
      {{0, 128, true}, {128, 128, true}, {256, 100, true}},
      {{0, 128, true}, {0, 64, true}},  // acknowledgement lost, sent again smaller
      {{0, 128, true}, {128, 128, true}, {0, 128, true}},   // rewind to a page start
      {{0, 128, true}, {256, 128, false}},                  // gap
      {{0, 64, true}, {64, 128, false}},                    // crosses a row
      {{0, 128, true}, {128, 128, true}, {64, 64, false}},  // back, but not to a page start
      {{128, 128, false}},                                  // does not start at 0x100
  };
  for (const Steps& steps : cases) {
    StationRig rig;
    rig.payload("70 4D");
    Bytes expectedImage;
    for (const auto& [offset, length, accepted] : steps) {
      const Bytes reply = rig.reply(BlockFrame(offset, length));
      if (!accepted) {
        EXPECT_EQ(reply, kNak1) << offset;
        continue;
      }
      EXPECT_EQ(PayloadOf(reply), AckPayload(offset)) << offset;
      expectedImage.resize(offset + length);
      for (std::size_t i = 0; i < length; ++i)
        expectedImage[offset + i] = static_cast<std::uint8_t>(offset + i);
    }
    EXPECT_EQ(rig.station.image(), expectedImage) << std::get<0>(steps.back());
  }
}

TEST(StationTransfer, KeyAndImageDecideTheResultAndTheRestart) {
  const Bytes image = sim::MakeSyntheticImage(300, "560");
  // Interface, mode, blocks sent, key; the result, the firmware and speed after the restart.
  // clang-format off
  const std::tuple<const char*, bool, char, int, const char*, std::uint8_t, const char*, std::uint32_t> cases[] = {
      {"serial station", false, 'M', 3, "KEY-12345", '0', "560", 4800},
      {"USB station", true, 'M', 3, "KEY-12345", '0', "560", 38400},
      {"through a master", false, 'S', 3, "KEY-12345", '0', "560", 38400},
      {"wrong key", false, 'M', 3, "KEY-54321", '7', "550", 38400},
      {"last block missing", false, 'M', 2, "KEY-12345", '5', "550", 38400},
  };
  // clang-format on
  for (const auto& [name, usb, mode, blocks, key, result, firmware, baud] : cases) {
    StationOptions options;
    options.identity.interfaceBits = usb ? 0x30 : 0x08;
    options.expectedImage = image;
    options.expectedKey = "KEY-12345";
    StationRig rig(options);
    rig.payload("7E 01");
    rig.reply(MakeFrame(Bytes{SET_MODE, static_cast<std::uint8_t>(mode)}));
    for (std::int32_t offset = 0; offset < blocks * 128; offset += 128)
      ASSERT_TRUE(PayloadOf(rig.reply(WriteBlockFrame(image, offset, 128)))) << name;
    EXPECT_EQ(PayloadOf(rig.reply(InitUpdateFrame(key))), JoinBytes(INIT_UPDATE, result)) << name;
    EXPECT_TRUE(rig.reply(MakeFrame(Hex("70 4D")), 38400).empty() || result != '0')
        << name << ": restarting";
    rig.now += 2'000'000;
    rig.station.advanceTo(rig.now);
    EXPECT_EQ(rig.station.firmware(), firmware) << name;
    EXPECT_EQ(rig.station.baud(), baud) << name;
  }
}

TEST(StationFaults, EachFaultShowsOnTheWire) {
  const Bytes mode = MakeFrame(Hex("70 4D")), ident = MakeFrame(Hex("83 00 10"));
  const Bytes b0 = BlockFrame(0), b1 = BlockFrame(128);
  using Faults = sim::StationFaults&;
  const auto reply = [](ReplyFaultKind kind, std::uint8_t code, int nth) {
    return [=](Faults f) { f.replyFaults = {{kind, code, nth}}; };
  };
  // Per frame, the faulty station's reply against a sound one's: '=' the same,
  // 'N' a lone NAK, 's' silence, 'w' another valid reply, 'x' no valid reply.
  // clang-format off
  const std::tuple<const char*, std::function<void(Faults)>, std::vector<Bytes>, std::string> cases[] = {
      {"NAK a block twice", [](Faults f) { f.nakBlocks = {{1, 2}}; }, {b0, b1, b1, b1}, "=NN="},
      {"NAK with probability 1", [](Faults f) { f.nakProbability = 1.0; }, {b0}, "N"},
      {"silent once", reply(ReplyFaultKind::Silent, 0x70, 1), {mode, mode}, "s="},
      {"corrupt checksum", reply(ReplyFaultKind::CorruptChecksum, 0x83, 1), {ident, ident}, "x="},
      {"cut short", reply(ReplyFaultKind::CutShort, 0x80, 1), {b0, b0}, "x="},
      {"acknowledge another address", reply(ReplyFaultKind::WrongAddress, 0x80, 2), {b0, b1, b0}, "=w="},
      {"swapped station", [](Faults f) { f.swappedSerial = 0x0A0B0C0D; }, {ident, ident}, "=w"},
      {"silent after block 1", [](Faults f) { f.silentAfterBlock = 1; }, {b0, b1, ident}, "=ss"},
      {"disappear after block 2", [](Faults f) { f.disappearAfterBlock = 2; }, {b0, b1, mode}, "==s"},
  };
  // clang-format on
  for (const auto& [name, set, frames, expected] : cases) {
    StationOptions options;
    options.mode = 'M';
    StationRig sound(options);
    set(options.faults);
    StationRig faulty(options);
    std::string seen;
    for (const Bytes& frame : frames) {
      const Bytes want = sound.reply(frame), got = faulty.reply(frame);
      seen += got == want      ? '='
              : got == kNak1   ? 'N'
              : got.empty()    ? 's'
              : PayloadOf(got) ? 'w'
                               : 'x';
    }
    EXPECT_EQ(seen, expected) << name;
  }
}
// A block is answered once it has crossed the line and been programmed; a
// speed switch is answered at the old speed and only the new one is understood afterwards.
TEST(StationTiming, BlockProgrammingAndSpeedSwitch) {
  StationOptions options;
  options.mode = 'M';
  StationRig rig(options);
  auto out = rig.exchange(BlockFrame(0));
  ASSERT_EQ(out.size(), 1u);
  // 138 bytes in, 1 ms to answer and 4 ms to program.
  EXPECT_EQ(out[0].startUs, 138 * sim::ByteTimeUs(4800) + 1'000 + 4'000);

  EXPECT_TRUE(rig.reply(MakeFrame(Hex("70 4D")), 38400).empty());
  out = rig.exchange(MakeFrame(Hex("7E 01")), 4800);
  ASSERT_EQ(out.size(), 1u);
  EXPECT_EQ(out[0].baud, 4800u);
  EXPECT_TRUE(rig.reply(MakeFrame(Hex("70 4D")), 4800).empty());
  EXPECT_EQ(PayloadOf(rig.reply(MakeFrame(Hex("70 4D")), 38400)), Hex("70 00 4D"));
}

// Through the peer, replies arrive on the virtual port once they have crossed
// the line: 5 bytes in, 1 ms to answer, 6 bytes out, at 2.084 ms a byte.
TEST(StationPeer, RepliesArriveWhenTheyHaveCrossedTheLine) {
  sim::VirtualPlatform p;
  std::vector<std::pair<sim::VirtualMs, Bytes>> arrivals;
  p.port.setSettings("4800,n,8,1");
  p.port.setPortOpen(true);
  p.port.OnComm = [&] { arrivals.emplace_back(p.scheduler.now(), p.port.Input()); };
  sim::StationPeer peer(p.port, p.scheduler, p.clock, StationOptions{});

  p.port.Output(MakeFrame(Hex("70 4D")));
  p.scheduler.advanceBy(100);
  ASSERT_EQ(arrivals.size(), 1u);
  EXPECT_EQ(arrivals[0], std::pair(sim::VirtualMs{24}, Hex("02 70 10 00 4D 03")));
}

// The loader's tests read these files; here the station reads back what it built.
TEST(UpgradeFile, StationReadsBackWhatItBuilt) {
  const Bytes image = Hex("02 03 10 15 FF 00 41 42 43 44");
  Bytes file = sim::BuildUpgradeFile(image, 0x0102, 0x8115);
  const auto info = sim::SplitUpgradeFile(file);
  ASSERT_TRUE(info);
  EXPECT_EQ(std::tuple(info->image, info->boot, info->hardware, info->checksumOk()),
            std::tuple(image, 0x0102, 0x8115, true));
  file[3] ^= 0x01;
  EXPECT_FALSE(sim::SplitUpgradeFile(file).value_or(*info).checksumOk());
}

}  // namespace
}  // namespace qv::test

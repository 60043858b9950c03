// The station's checks before a transfer, the clock command and the watchdogs:
// each ends in its message or in recovery, never in a stalled run.
#include "Bench.h"
#include "core/Calendar.h"
#include "protocol/Commands.h"
#include "protocol/QvBoot.h"
#include "protocol/stdFunc.h"
#include "texts/MessageIds.h"
#include "update/ClockCommand.h"
#include "update/UpgradeFile.h"

namespace qv::test {
namespace {

using sim::StationOptions;

TEST(Checks, EveryRefusalShowsItsMessageAndWritesNothing) {
  // clang-format off
  const std::tuple<void (*)(StationOptions&), BenchSetup, int> rows[] = {
      {[](StationOptions& o) { o.identity.battery = 3 * 13100; }, {}, 1222},  // 3.0 V, cancelled
      {[](StationOptions& o) { o.identity.firmware = "600"; }, {}, 1231},     // same firmware, cancelled
      {[](StationOptions& o) { o.identity.hardware = 0x1234; }, {.fileHardware = 0x1234}, 1236},
      {[](StationOptions&) {}, {.fileFirmware = "540", .imageFirmware = "540"}, 1237},
      {[](StationOptions& o) { o.identity.boot = 0x0103; }, {}, 1195},
      {[](StationOptions& o) { o.identity.hardware = 0x8117; }, {}, 1203}};  // no file for it
  // clang-format on
  for (const auto& [station, setup, message] : rows) {
    StationOptions o;
    station(o);
    Bench b(o, setup);
    b.p.view.answer(vbCancel);
    b.start(20'000);
    EXPECT_EQ(b.boxesWith(message), 1) << message << ": " << b.boxLog();
    EXPECT_EQ(b.framesSent(WRITE_BLOCK), 0) << message;
    EXPECT_FALSE(b.ctx.run.bUpdateRun) << message;
    EXPECT_TRUE(b.p.view.isEnabled(Control::btnStart)) << message;
    EXPECT_TRUE(b.p.view.isEnabled(Control::Master)) << message;
  }
}

TEST(Checks, AFileWithAWrongChecksumDeclinedByTheOperatorGetsNoSecondBox) {
  for (const int answer : {vbNo, vbYes}) {
    Bench b(StationOptions{});
    const std::string file = b.root / sim::HardwareFolderName(0x8115) + "/QV_600.pupd";
    Bytes bytes = sim::ReadWholeFile(file).value();
    bytes[10] ^= 0xFF;
    sim::WriteWholeFile(file, bytes);
    b.p.view.answer(answer);
    b.start(20'000);
    EXPECT_EQ(b.boxesWith(kMsgChecksumError), 1) << b.boxLog();
    EXPECT_EQ(b.boxesWith(1203), 0) << b.boxLog();
    EXPECT_EQ(b.framesSent(WRITE_BLOCK) > 0, answer == vbYes) << answer;
  }
}

TEST(Checks, AKeyShorterThanEightCharactersIsRefusedBeforeAnythingIsWritten) {
  Bench b(StationOptions{});
  const std::string file = b.root / sim::HardwareFolderName(0x8115) + "/QV_600.pupd";
  sim::WriteWholeFile(sim::KeyFilePath(file), BytesOf("SHORT12"));
  b.start(20'000);
  EXPECT_EQ(b.boxesWith(1196), 1) << b.boxLog();
  EXPECT_EQ(b.framesSent(WRITE_BLOCK) + b.framesSent(INIT_UPDATE), 0);
  EXPECT_TRUE(b.p.view.isEnabled(Control::btnStart));
}

// After the clock is set the short identification is asked three times
// (TimeReplyState 1 to 3), then "Station not ready!", never the success box.
TEST(Checks, AStationSilentAfterTheClockIsAskedThreeTimesThenReported) {
  StationOptions o;
  for (int n = 2; n <= 4; ++n)
    o.faults.replyFaults.push_back({sim::ReplyFaultKind::Silent, READ_SYSDATA, n});
  Bench b(o);
  b.start();
  const Bytes shortRequest = ReadSysDataFrame(kShortIdentification);
  const auto& sent = b.p.port.sent();
  const auto shortRequests = std::count_if(sent.begin(), sent.end(),
                                           [&](const auto& f) { return f.bytes == shortRequest; });
  EXPECT_EQ(shortRequests, 3) << b.boxLog();
  EXPECT_EQ(b.boxesWith(1205), 1) << b.boxLog();
  EXPECT_EQ(b.boxesWith(1239), 0) << b.boxLog();
  // The station took the key; its firmware was never read back.
  EXPECT_EQ(b.p.runs.lastOutcome(), RunOutcome::Unconfirmed);
}

TEST(Checks, AFileForOtherHardwareIsChangedOrLoadedOnlyWithTheOverride) {
  const std::tuple<const char*, int, int, bool> rows[] = {{"False", vbCancel, 1216, false},
                                                          {"TorwartFeldLinse", vbNo, 1192, false},
                                                          {"TorwartFeldLinse", vbYes, 1192, true}};
  for (const auto& [override, answer, message, written] : rows) {
    SCOPED_TRACE(override);
    Bench b(StationOptions{});
    // A file already loaded, for other hardware: no automatic choice.
    ASSERT_TRUE(FindUpgradeFile(b.ctx, "8115", ""));
    b.ctx.image.FileHardware = 0x8117;
    b.ctx.settings.HwOverride = override;
    b.p.view.answer(answer);
    b.start();
    EXPECT_EQ(b.boxesWith(message), 1) << b.boxLog();
    EXPECT_EQ(b.station().image() == b.image, written);
    // A file loaded by hand is not read back after the restart: the run
    // cannot know the station's new firmware.
    EXPECT_EQ(b.p.runs.lastOutcome(), written ? RunOutcome::Unconfirmed : RunOutcome::Declined)
        << b.boxLog();
  }
}

TEST(Checks, TheClockCommandComparesAndSetsOnlyWhenAsked) {
  // station clock ahead by, answer, clock frames sent
  const std::tuple<std::int64_t, int, int> rows[] = {
      {0, vbOK, 0}, {90'000, vbYes, 1}, {90'000, vbNo, 0}};
  for (const auto& [offsetMs, answer, clockSets] : rows) {
    StationOptions o;
    o.clockOffsetMs = offsetMs;
    Bench b(o);
    b.p.view.answer(answer);
    mnuCommandSetTime_Click(b.ctx);
    b.run(20'000);
    ASSERT_EQ(b.p.view.boxes().size(), 1u) << b.boxLog();
    EXPECT_EQ(b.boxesWith(1208), offsetMs != 0 ? 1 : 0) << b.boxLog();
    EXPECT_EQ(b.framesSent(SET_TIME), clockSets) << offsetMs;
    // Told as the box is answered, and ended once: a clock left alone was declined.
    ASSERT_EQ(b.p.runs.ends.size(), 1u);
    EXPECT_EQ(b.p.runs.ends[0].outcome, answer == vbNo ? RunOutcome::Declined : RunOutcome::Ok);
    EXPECT_EQ(b.p.runs.boxes[0].answer, answer);
    const auto apart = MsSince2000(b.station().stationTime()) - MsSince2000(b.p.clock.now());
    EXPECT_EQ(std::llabs(apart) < 1000, offsetMs == 0 || clockSets > 0) << apart;
  }
}

TEST(Checks, SilenceEndsInAMessageAndAUsableWindow) {
  // the command the station leaves unanswered (0: no station at all), the message
  const std::pair<std::uint8_t, int> rows[] = {
      {0, 1205}, {READ_SYSDATA, 1205}, {SET_TIME, 1212}, {SET_BAUD, 1205}};
  for (const auto& [silent, message] : rows) {
    StationOptions o;
    o.faults.replyFaults = {{sim::ReplyFaultKind::Silent, silent, 0}};
    Bench b(o, {.withStation = silent != 0});
    if (silent == 0) {
      // The mode search has given up; the list still shows the entry chosen before.
      b.run(15'000);
      b.p.view.clearBoxes();
      b.p.view.setText(Control::Master, b.ctx.texts.DirectText);
    }
    b.start(60'000);
    EXPECT_EQ(b.boxesWith(message), 1) << int{silent} << ": " << b.boxLog();
    // A speed switch left unanswered leaves the mode list empty: Start then
    // only drops it down, and no run begins.
    ASSERT_EQ(b.p.runs.ends.size(), silent == SET_BAUD ? 0u : 1u) << int{silent};
    if (silent != SET_BAUD) {
      // A clock not set after the key leaves the update unconfirmed.
      EXPECT_EQ(b.p.runs.ends[0].outcome,
                silent == SET_TIME ? RunOutcome::Unconfirmed : RunOutcome::Failed);
      EXPECT_EQ(b.p.runs.ends[0].messageId, message);
    }
    EXPECT_FALSE(b.p.port.PortOpen()) << int{silent};
    EXPECT_FALSE(b.ctx.run.bUpdateRun) << int{silent};
    EXPECT_TRUE(b.p.view.isEnabled(Control::btnStart)) << int{silent};
  }
}

TEST(Checks, TheModeSearchTriesBothSpeedsSixTimesWithTheChosenMode) {
  Bench b(StationOptions{}, {.withStation = false});
  ClosePort(b.ctx);  // a search that finds the port closed gives the list back
  b.run(2500);
  EXPECT_TRUE(b.p.view.isEnabled(Control::Master));
  for (const int search : {1, 2}) {  // the count starts afresh: a later search has six attempts too
    SCOPED_TRACE(search);
    b.p.port.clearSent();
    b.p.view.clearBoxes();
    SelectMasterEntry(b.ctx, 0);
    b.run(20'000);
    std::vector<std::pair<Bytes, int>> sent;  // every attempt "M", at alternating speeds
    for (const auto& frame : b.p.port.sent()) sent.emplace_back(frame.bytes, frame.baud);
    const Bytes m = MakeFrame(Bytes{SET_MODE, 'M'});
    EXPECT_EQ(sent, (decltype(sent){
                        {m, 4800}, {m, 38400}, {m, 4800}, {m, 38400}, {m, 4800}, {m, 38400}}));
    EXPECT_EQ(b.boxesWith(1205), 1) << b.boxLog();
    EXPECT_TRUE(b.p.view.isEnabled(Control::Master));
    EXPECT_EQ(b.ctx.link.ModeRetryCount, 0);
  }
}

TEST(Checks, AStationAtTheOtherSpeedIsFoundAndTheBaudButtonFollows) {
  StationOptions o;
  o.baud = 38400;
  Bench b(o, {.pcBaud = 4800});
  b.run(5000);
  EXPECT_EQ(b.ctx.settings.BaudList, "38400");
  EXPECT_EQ(b.p.view.text(Control::btnSetBaud), "&Baud 38400->4800");
}

}  // namespace
}  // namespace qv::test

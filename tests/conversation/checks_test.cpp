// The station's checks before a transfer, the clock command and the watchdogs:
// each ends in its message or in recovery, never in a stalled run.
#include "Bench.h"
#include "core/Calendar.h"
#include "protocol/stdFunc.h"
#include "update/ClockCommand.h"

namespace qv::test {
namespace {

using sim::ReplyFaultKind;
using sim::StationOptions;

// Nothing written, the run over and the window usable again.
void ExpectRefused(const Bench& b, const std::string& name) {
  EXPECT_EQ(b.framesSent(WRITE_BLOCK), 0) << name;
  EXPECT_FALSE(b.ctx.run.bUpdateRun) << name;
  EXPECT_TRUE(b.p.view.isEnabled(Control::btnStart)) << name;
  EXPECT_TRUE(b.p.view.isEnabled(Control::Master)) << name;
}

TEST(Checks, EveryRefusalShowsItsMessageAndWritesNothing) {
  struct Row {
    const char* name;
    void (*station)(StationOptions&);
    BenchSetup setup;
    int message;
  };
  const Row rows[] = {
      {"low battery, cancelled",
       [](StationOptions& o) { o.identity.battery = 3 * 13100; },
       {},
       1222},
      {"same firmware, cancelled",
       [](StationOptions& o) { o.identity.firmware = "600"; },
       {},
       1231},
      {"unknown hardware",
       [](StationOptions& o) { o.identity.hardware = 0x1234; },
       {.fileHardware = 0x1234},
       1236},
      {"old firmware for new hardware",
       [](StationOptions&) {},
       {.fileFirmware = "540", .imageFirmware = "540"},
       1237},
      {"other boot version", [](StationOptions& o) { o.identity.boot = 0x0103; }, {}, 1195},
      {"no file for the hardware",
       [](StationOptions& o) { o.identity.hardware = 0x8117; },
       {},
       1203},
  };
  for (const Row& row : rows) {
    StationOptions o;
    row.station(o);
    Bench b(o, row.setup);
    b.p.view.answer(vbCancel);
    b.start(20'000);
    EXPECT_EQ(b.boxesWith(row.message), 1) << row.name << ": " << b.boxLog();
    ExpectRefused(b, row.name);
  }
}

TEST(Checks, AFileForOtherHardwareIsChangedOrLoadedOnlyWithTheOverride) {
  struct Row {
    const char* override;
    int answer;
    int message;
    bool written;
  };
  const Row rows[] = {{"False", vbCancel, 1216, false},
                      {"TorwartFeldLinse", vbNo, 1192, false},
                      {"TorwartFeldLinse", vbYes, 1192, true}};
  for (const Row& row : rows) {
    Bench b(StationOptions{});
    // A file already loaded, for other hardware: no automatic choice.
    b.ctx.image.UpgradeData = b.image;
    b.ctx.image.UpdateKey = b.key;
    b.ctx.image.FileHardware = 0x8117;
    b.ctx.image.FileBoot = 0x0102;
    b.ctx.image.FileFirmware = "600";
    b.ctx.image.UpgradeFileBase = b.root + "/0x8117/QV_600.p";
    b.ctx.settings.HwOverride = row.override;
    b.p.view.answer(row.answer);
    b.start();
    EXPECT_EQ(b.boxesWith(row.message), 1) << row.override << ": " << b.boxLog();
    EXPECT_EQ(b.station().image() == b.image, row.written) << row.override;
  }
}

TEST(Checks, StopDuringThePauseAfterTheKeyCancelsThePrompt) {
  Bench b(StationOptions{});
  mnuCommandStartUpdate_Click(b.ctx);
  for (int i = 0; i < 600 && !b.ctx.run.bKeyWait; ++i) b.run(50);
  ASSERT_TRUE(b.ctx.run.bKeyWait);
  mnuCommandStop_Click(b.ctx);
  b.run(30'000);
  EXPECT_EQ(b.boxesWith(1226), 0) << b.boxLog();
  EXPECT_EQ(b.framesSent(SET_TIME), 0);
}

TEST(Checks, TheClockCommandComparesAndSetsOnlyWhenAsked) {
  struct Row {
    const char* name;
    std::int64_t offsetMs;
    int answer;
    int clockSets;
  };
  const Row rows[] = {
      {"clocks agree", 0, vbOK, 0},
      {"disagree, Yes sets", 90'000, vbYes, 1},
      {"disagree, No leaves it", 90'000, vbNo, 0},
  };
  for (const Row& row : rows) {
    StationOptions o;
    o.clockOffsetMs = row.offsetMs;
    Bench b(o);
    b.p.view.answer(row.answer);
    mnuCommandSetTime_Click(b.ctx);
    b.run(20'000);
    ASSERT_FALSE(b.p.view.boxes().empty()) << row.name;
    const bool asked =
        b.p.view.boxes()[0].prompt.find(GetMlString(1000, 1208, "")) != std::string::npos;
    EXPECT_EQ(asked, row.offsetMs != 0) << row.name << ": " << b.boxLog();
    EXPECT_EQ(b.framesSent(SET_TIME), row.clockSets) << row.name;
    EXPECT_EQ(b.p.view.boxes().size(), 1u) << row.name << ": " << b.boxLog();
    if (row.clockSets > 0) {
      const auto station = MsSince2000(b.station().stationTime());
      EXPECT_LT(std::llabs(station - MsSince2000(b.p.clock.now())), 1000) << row.name;
    }
  }
}

TEST(Checks, SilenceEndsInAMessageAndAUsableWindow) {
  struct Row {
    const char* name;
    bool withStation;
    std::uint8_t silentCommand;
    int message;
  };
  const Row rows[] = {
      {"no station at all", false, 0, 1205},
      {"identification unanswered", true, READ_SYSDATA, 1205},
      {"clock unanswered after the key", true, SET_TIME, 1212},
      {"speed switch unanswered", true, SET_BAUD, 1205},
  };
  for (const Row& row : rows) {
    StationOptions o;
    if (row.silentCommand) o.faults.replyFaults = {{ReplyFaultKind::Silent, row.silentCommand, 0}};
    Bench b(o, {.withStation = row.withStation});
    if (!row.withStation) {
      // The mode search has given up; the list still shows the entry chosen before.
      b.run(15'000);
      b.p.view.clearBoxes();
      b.p.view.setText(Control::Master, b.ctx.texts.DirectText);
    }
    b.start(60'000);
    EXPECT_EQ(b.boxesWith(row.message), 1) << row.name << ": " << b.boxLog();
    EXPECT_FALSE(b.p.port.PortOpen()) << row.name;
    EXPECT_FALSE(b.ctx.run.bUpdateRun) << row.name;
    EXPECT_TRUE(b.p.view.isEnabled(Control::btnStart)) << row.name;
  }
}

TEST(Checks, TheModeSearchTriesBothSpeedsSixTimesWithTheChosenMode) {
  Bench b(StationOptions{}, {.withStation = false});
  b.p.port.clearSent();
  b.p.view.clearBoxes();
  SelectMasterEntry(b.ctx, 0);
  b.run(20'000);
  std::vector<int> speeds;
  for (const auto& frame : b.p.port.sent()) {
    EXPECT_EQ(frame.bytes, MakeFrame(Bytes{SET_MODE, 'M'}));
    speeds.push_back(frame.baud);
  }
  EXPECT_EQ(speeds, (std::vector<int>{4800, 38400, 4800, 38400, 4800, 38400}));
  EXPECT_EQ(b.boxesWith(1205), 1) << b.boxLog();
  EXPECT_TRUE(b.p.view.isEnabled(Control::Master));
}

TEST(Checks, AStationAtTheOtherSpeedIsFoundAndUpdated) {
  StationOptions o;
  o.baud = 38400;
  Bench b(o, {.pcBaud = 4800});
  b.run(5000);
  EXPECT_EQ(b.ctx.settings.BaudList, "38400");
  EXPECT_EQ(b.p.view.text(Control::btnSetBaud), "&Baud 38400->4800");
  b.start();
  EXPECT_EQ(b.station().image(), b.image) << b.boxLog();
}

}  // namespace
}  // namespace qv::test

// Whole updates from Start to the confirmation, as the operator meets them.
#include "Bench.h"
#include "core/Calendar.h"
#include "core/TextRules.h"
#include "protocol/stdFunc.h"
#include "texts/MessageIds.h"
#include "texts/NamedTexts.h"
#include "update/CommandRun.h"
#include "protocol/Commands.h"

namespace qv::test {
namespace {

using sim::ReplyFaultKind;
using sim::StationOptions;

using sim::StationAt;

TEST(Update, EndsWithTheExactImageTheClockSetAndTheNewFirmwareConfirmed) {
  // station speed, its highest speed, interface bits (0x30 USB), PC speed, relayed, image size,
  // speed of the transfer, PC speed at the end
  // clang-format off
  const std::tuple<std::uint32_t, std::uint32_t, std::uint8_t, int, bool, std::size_t, std::uint32_t, int> rows[] = {
      {4800, 38400, 0x08, 4800, false, 700, 38400, 4800}, {38400, 38400, 0x08, 38400, false, 700, 38400, 4800},
      {4800, 38400, 0x08, 4800, true, 700, 38400, 38400}, {38400, 38400, 0x08, 38400, true, 700, 38400, 38400},
      {4800, 38400, 0x30, 4800, false, 700, 38400, 38400}, {4800, 4800, 0x08, 4800, false, 700, 4800, 4800},
      {4800, 38400, 0x08, 4800, false, 1, 38400, 4800}, {4800, 38400, 0x08, 4800, false, 127, 38400, 4800},
      {4800, 38400, 0x08, 4800, false, 128, 38400, 4800}, {4800, 38400, 0x08, 4800, false, 129, 38400, 4800}};
  // clang-format on
  for (const auto& [stationBaud, maxBaud, bits, pcBaud, relayed, size, transferBaud, baudAfter] :
       rows) {
    Bench b(StationAt(stationBaud, bits, maxBaud),
            {.pcBaud = pcBaud, .relayed = relayed, .imageSize = size});
    b.start();
    const std::string row =
        std::to_string(stationBaud) + (relayed ? " relayed " : " ") + std::to_string(size);
    EXPECT_TRUE(b.confirmed()) << row << ": " << b.boxLog();
    EXPECT_EQ(b.framesSent(WRITE_BLOCK), static_cast<int>((size + 127) / 128)) << row;
    EXPECT_EQ(b.station().summary().transferBaud, transferBaud) << row;
    EXPECT_EQ(b.p.port.baud(), baudAfter) << row;
    const char* caption = baudAfter == 4800 ? "&Baud 4800->38400" : "&Baud 38400->4800";
    EXPECT_EQ(b.p.view.text(Control::btnSetBaud), caption) << row;  // follows the speed
  }
}

TEST(Update, TwoUpdatesInARowSendEachBlockOnce) {
  // A station that stays at 4800 answers the second run's speed request too:
  // that answer must not take the first run's finished transfer for this one's.
  for (const std::uint32_t maxBaud : {38400u, 4800u}) {
    Bench b(StationAt(4800, 0x08, maxBaud));
    b.start();
    ASSERT_TRUE(b.confirmed()) << maxBaud << ": " << b.boxLog();
    b.p.port.clearSent();
    b.p.view.clearBoxes();
    b.start();
    EXPECT_TRUE(b.confirmed()) << maxBaud << ": " << b.boxLog();
    EXPECT_EQ(b.framesSent(WRITE_BLOCK), 6) << maxBaud;
    EXPECT_EQ(b.framesSent(INIT_UPDATE), 1) << maxBaud;
  }
}

TEST(Update, ADamagedFrameInTheTransferOrTheKeyIsRecoveredWithinTheRun) {
  using K = ReplyFaultKind;
  // the fault, blocks and keys sent
  const std::tuple<sim::ReplyFault, int, int> rows[] = {
      {{K::CorruptChecksum, WRITE_BLOCK, 3}, 7, 1},  // the block goes again
      {{K::CutShort, WRITE_BLOCK, 3}, 8, 1},         // silence: half the block again
      {{K::Nak, INIT_UPDATE, 1}, 6, 2},              // the key goes again
      {{K::CorruptChecksum, INIT_UPDATE, 1}, 6, 1},  // no verdict: the restart decides
      {{K::Nak, SET_TIME, 1}, 6, 1}};
  for (const auto& [fault, blocks, keys] : rows) {
    StationOptions o = StationAt(4800);
    o.faults.replyFaults = {fault};
    Bench b(o);
    b.start();
    const std::string row =
        std::to_string(static_cast<int>(fault.kind)) + " " + std::to_string(int{fault.command});
    EXPECT_TRUE(b.confirmed()) << row << ": " << b.boxLog();
    EXPECT_EQ(b.p.view.boxes().size(), 2u) << row << ": " << b.boxLog();  // prompt, success
    EXPECT_EQ(b.framesSent(WRITE_BLOCK), blocks) << row;
    EXPECT_EQ(b.framesSent(INIT_UPDATE), keys) << row;
    // Each clock record is made when it is sent, not before a resend's wait.
    const auto apart = MsSince2000(b.station().stationTime()) - MsSince2000(b.p.clock.now());
    EXPECT_LT(std::llabs(apart), 300) << row;
  }
}

TEST(Update, ALostModeReplyIsAskedForAgainNeverLeftUnwatched) {
  // Mode replies count from the bench's first contact: 2 follows the first
  // speed switch, 5 the resume after the question.
  const std::pair<int, bool> rows[] = {{2, false}, {5, true}};
  for (const auto& [lost, question] : rows) {
    StationOptions o = StationAt(4800);
    o.faults.replyFaults = {{ReplyFaultKind::Silent, SET_MODE, lost}};
    if (question) o.faults.nakBlocks = {{2, 22}};
    Bench b(o, {.imageSize = 1000});
    b.run(15'000);  // the mode list shows the station's mode once it has answered
    b.p.view.answer(vbOK);
    b.start(300'000);
    EXPECT_TRUE(b.confirmed()) << lost << ": " << b.boxLog();
    EXPECT_EQ(b.boxesWith(1186), question ? 1 : 0) << lost << ": " << b.boxLog();
  }
}

TEST(Update, AKeyRefusedEveryTimeEndsInTheQuestionNeverInTheLoadedPrompt) {
  StationOptions o = StationAt(4800);
  o.faults.replyFaults = {{ReplyFaultKind::Nak, INIT_UPDATE, 0}};
  Bench b(o);
  b.p.view.answer(vbCancel);
  b.start();
  EXPECT_EQ(b.boxesWith(1186), 1) << b.boxLog();
  EXPECT_EQ(b.boxesWith(1226), 0) << b.boxLog();
  EXPECT_FALSE(b.confirmed());
  EXPECT_EQ(b.p.runs.lastOutcome(), RunOutcome::Failed);
  EXPECT_FALSE(b.station().summary().updated);
  EXPECT_TRUE(b.p.view.isEnabled(Control::btnStart));
}

TEST(Update, NaksSilenceCutRepliesAndLineErrorsEndInTheExactImage) {
  StationOptions o = StationAt(4800);
  o.faults.nakProbability = 0.10;
  o.faults.seed = 3;
  o.faults.replyFaults = {{ReplyFaultKind::Silent, WRITE_BLOCK, 2},
                          {ReplyFaultKind::Silent, WRITE_BLOCK, 4},
                          {ReplyFaultKind::CutShort, WRITE_BLOCK, 9}};
  Bench b(o, {.imageSize = 3000});
  mnuCommandStartUpdate_Click(b.ctx);
  b.run(2000);
  ASSERT_TRUE(b.ctx.run.bUpdateRun);
  b.p.port.injectEvent(comEventFrame);  // the block goes again
  b.run(300'000);
  EXPECT_TRUE(b.confirmed()) << b.boxLog();
  EXPECT_GT(b.station().summary().naks, 0);
}

// Each data block sent, as (offset in the image, bytes).
std::vector<std::pair<int, int>> BlocksSent(const Bench& b) {
  std::vector<std::pair<int, int>> blocks;
  for (const auto& frame : b.p.port.sent()) {
    const Bytes& f = frame.bytes;
    if (f[2] != WRITE_BLOCK) continue;
    blocks.emplace_back((f[4] << 16 | f[5] << 8 | f[6]) - 0x100, f[3] - 3);
  }
  return blocks;
}

TEST(Update, BlocksShrinkAfterEachFaultRealignAndResumeAtThePageStart) {
  using Blocks = std::vector<std::pair<int, int>>;
  auto silent = [](int from, int count) {
    std::vector<sim::ReplyFault> faults;
    for (int i = from; i < from + count; ++i)
      faults.push_back({ReplyFaultKind::Silent, WRITE_BLOCK, i});
    return faults;
  };
  Blocks resumed = {{0, 128},  {128, 128}, {256, 128}, {384, 128},
                    {384, 64}, {384, 32},  {384, 16},  {384, 8}};
  resumed.insert(resumed.end(), 17, {384, 4});
  resumed.insert(resumed.end(), {{256, 128}, {384, 128}});  // 0x180 resumes at 0x100
  struct Row {
    std::vector<sim::BlockNak> naks;
    std::vector<sim::ReplyFault> faults;
    int answer;  // to the question, if it comes
    bool question;
    Blocks blocks;  // empty: not compared
  };
  const Row rows[] = {
      {{{2, 2}},
       {},
       vbOK,
       false,
       {{0, 128}, {128, 128}, {256, 128}, {256, 64}, {256, 32}, {288, 96}, {384, 128}}},
      {{{0, 6}},
       {},
       vbOK,
       false,
       {{0, 128},
        {0, 64},
        {0, 32},
        {0, 16},
        {0, 8},
        {0, 4},
        {0, 4},
        {4, 124},
        {128, 128},
        {256, 128},
        {384, 128}}},
      // Five silences: four resends at half the size, then the question.
      {{},
       silent(3, 5),
       vbCancel,
       true,
       {{0, 128}, {128, 128}, {256, 128}, {256, 64}, {256, 32}, {256, 16}, {256, 8}}},
      {{{3, 22}}, {}, vbOK, true, resumed},
      // NAKs count per block: 24 over the image bring no question.
      {{{0, 6}, {1, 6}, {2, 6}, {3, 6}}, {}, vbOK, false, {}}};
  for (const Row& row : rows) {
    StationOptions o = StationAt(38400);
    o.faults.nakBlocks = row.naks;
    o.faults.replyFaults = row.faults;
    Bench b(o, {.pcBaud = 38400, .imageSize = 512});
    b.p.view.answer(row.answer);
    b.start(300'000);
    const std::string name = std::to_string(&row - rows);
    EXPECT_EQ(b.boxesWith(1186), row.question ? 1 : 0) << name << ": " << b.boxLog();
    EXPECT_EQ(b.confirmed(), row.answer == vbOK) << name << ": " << b.boxLog();
    if (!row.blocks.empty()) {
      EXPECT_EQ(BlocksSent(b), row.blocks) << name;
    }
  }
}

TEST(Update, AFailedUpdateIsSaidAndNeverConfirmed) {
  const std::string mismatch =
      FillPlaceholders(NamedText(1000, "update.firmwareMismatch"), {"600", "601"});
  struct Row {
    std::optional<std::string> key;
    std::optional<Bytes> image;
    std::string fileFirmware;
    std::string message;
    int prompts;  // the key's verdict comes before the prompt and replaces it
  };
  const Row rows[] = {
      {std::string("not-the-key-at-all"), {}, "600", GetMlString(1000, 1171, ""), 0},
      {{}, Bytes(700, 0x55), "600", GetMlString(1000, 1169, ""), 0},
      {{}, {}, "601", mismatch, 1}};
  for (const Row& row : rows) {
    StationOptions o = StationAt(4800);
    o.expectedKey = row.key;
    o.expectedImage = row.image;
    Bench b(o, {.fileFirmware = row.fileFirmware});
    b.start();
    EXPECT_NE(b.boxLog().find("[" + row.message + "]"), std::string::npos) << b.boxLog();
    EXPECT_EQ(b.boxesWith(1226), row.prompts) << row.message;
    EXPECT_FALSE(b.p.view.text(Control::Caption).ends_with(" ok")) << row.message;
    EXPECT_FALSE(b.ctx.run.bUpdateRun) << row.message;
    EXPECT_EQ(b.p.runs.lastOutcome(), RunOutcome::Failed) << row.message;
  }
}

TEST(Update, EveryResultCodeShowsAText) {
  const std::pair<char, std::string> rows[] = {{'3', "Length error in transmission block"},
                                               {'9', "Error INIT_UPDATE 9"},
                                               {'Q', "Error INIT_UPDATE"}};
  for (const auto& [code, text] : rows) {
    Bench b(StationAt(4800), {.withStation = false});
    b.p.port.sendToLoader(
        MidBytes(MakeFrame(Bytes{INIT_UPDATE, static_cast<std::uint8_t>(code)}), 2));
    b.run(100);
    EXPECT_EQ(b.boxLog(), "[" + text + "] ") << code;
  }
}

TEST(Update, TooManyErrorsLetTheOperatorResumeOrStop) {
  // answer, another station on resume, the station confirms only other blocks, completes, message
  const std::tuple<int, bool, bool, bool, int> rows[] = {{vbOK, false, false, true, 1186},
                                                         {vbCancel, false, false, false, 1186},
                                                         {vbOK, true, false, false, 1214},
                                                         {vbCancel, false, true, false, 1186}};
  for (const auto& [answer, swapped, wrongAddress, completes, message] : rows) {
    StationOptions o = StationAt(4800);
    o.faults.nakBlocks = {{2, 22}};  // the third row: 21 resends, then the question
    if (swapped) o.faults.swappedSerial = 424242;
    if (wrongAddress) {
      o.faults.nakBlocks.clear();
      o.faults.replyFaults = {{ReplyFaultKind::WrongAddress, WRITE_BLOCK, 0}};
    }
    Bench b(o, {.imageSize = 1000});
    b.p.view.answer(answer);
    b.start(300'000);
    EXPECT_EQ(b.boxesWith(message), 1) << message << ": " << b.boxLog();
    EXPECT_EQ(b.confirmed(), completes) << b.boxLog();
    EXPECT_TRUE(b.p.view.isEnabled(Control::btnStart));
  }
}

TEST(Update, AStationPortAwayAfterTheRestartIsAwaitedTenSecondsWithTheWindowLive) {
  struct Row {
    sim::VirtualMs absentMs;  // after the operator's OK
    bool clockSet;
    bool stopMeanwhile = false;
  };
  const Row rows[] = {{0, true},       {3000, true},    {9800, true},
                      {10'300, false}, {12'000, false}, {12'000, false, true}};
  for (const Row& row : rows) {
    const std::string name = std::to_string(row.absentMs) + (row.stopMeanwhile ? " stop" : "");
    Bench b(StationAt(4800, 0x30));  // a USB station drops off the bus when it restarts
    mnuCommandStartUpdate_Click(b.ctx);
    ASSERT_TRUE(b.p.scheduler.runUntil([&] { return b.ctx.run.bKeyWait; }, 60'000)) << name;
    // The prompt follows the pause after the key and stays open 2 s.
    const sim::VirtualMs ok = b.p.scheduler.now() + kKeyWaitMs + 2000;
    b.p.port.setPortMissing(1, true);
    b.p.scheduler.scheduleAt(ok + row.absentMs, [&b] { b.p.port.setPortMissing(1, false); });
    if (row.stopMeanwhile)
      b.p.scheduler.scheduleAt(ok + 5000, [&b] { mnuCommandStop_Click(b.ctx); });
    b.run(ok + 60'000 - b.p.scheduler.now());

    EXPECT_EQ(b.confirmed(), row.clockSet) << name << ": " << b.boxLog();
    EXPECT_EQ(b.boxesWith(1164), row.clockSet || row.stopMeanwhile ? 0 : 1) << b.boxLog();
    EXPECT_EQ(b.boxesWith(1205) + b.boxesWith(1212), 0) << b.boxLog();
    const auto& sent = b.p.port.sent();
    const auto clock = std::find_if(sent.begin(), sent.end(),
                                    [](const auto& f) { return f.bytes[2] == SET_TIME; });
    ASSERT_EQ(clock != sent.end(), row.clockSet) << name;
    if (row.clockSet) {
      EXPECT_GE(clock->at, ok + row.absentMs) << name;
    }
    EXPECT_TRUE(b.p.view.isEnabled(Control::btnStart)) << name;
    EXPECT_FALSE(b.p.timerKeyWait.Enabled()) << name;
  }
}

TEST(Update, StopEndsTheRunAtOnceAlsoInThePauseAfterTheKey) {
  for (const bool afterKey : {false, true}) {
    Bench b(StationAt(4800), {.imageSize = afterKey ? 700u : 20'000u});
    mnuCommandStartUpdate_Click(b.ctx);
    bool& reached = afterKey ? b.ctx.run.bKeyWait : b.ctx.run.bBlockAwaitingAck;
    for (int i = 0; i < 600 && !reached; ++i) b.run(50);
    ASSERT_TRUE(reached) << afterKey;
    mnuCommandStop_Click(b.ctx);
    const auto sent = b.p.port.sent().size();
    b.run(60'000);
    EXPECT_EQ(b.p.port.sent().size(), sent) << afterKey;
    EXPECT_FALSE(b.p.port.PortOpen()) << afterKey;
    EXPECT_TRUE(b.p.view.isEnabled(Control::btnStart)) << afterKey;
    EXPECT_TRUE(b.p.view.boxes().empty()) << b.boxLog();  // no prompt after a stop
  }
}

}  // namespace
}  // namespace qv::test

namespace qv::test {
namespace {

TEST(RunEvents, AnUpdateIsToldPhaseByPhaseAndEndsOnce) {
  Bench b(sim::StationAt(4800), {.imageSize = 700});
  b.start();
  ASSERT_TRUE(b.confirmed()) << b.boxLog();
  const sim::RunLog& runs = b.p.runs;
  using P = RunPhase;
  EXPECT_EQ(runs.phases, (std::vector<P>{P::Contact, P::Identify, P::Transfer, P::Key,
                                         P::RestartWait, P::Clock, P::Confirm}));
  ASSERT_EQ(runs.stations.size(), 1u);
  EXPECT_EQ(runs.stations[0].serial, b.ctx.station.StationSerial);
  EXPECT_EQ(runs.acknowledged, 700);
  EXPECT_EQ(runs.total, 700);
  EXPECT_EQ(runs.firmwareReported(), "600");
  ASSERT_EQ(runs.boxes.size(), 2u);
  EXPECT_EQ(runs.boxes[0].messageId, kMsgFirmwareLoaded);
  EXPECT_TRUE(runs.boxes[0].defaultAnswer);
  EXPECT_EQ(runs.ends[0].messageId, kMsgUpgradeComplete);
  EXPECT_EQ(runs.stalls, 0);
}

TEST(RunEvents, ReadingAStationWritesNothingLeavesItsSpeedAndTellsItsClock) {
  for (const auto& [baud, offsetMs] : {std::pair{4800u, -90'000}, std::pair{38400u, 2'500}}) {
    SCOPED_TRACE(baud);
    StationOptions station = sim::StationAt(baud);
    station.clockOffsetMs = offsetMs;
    Bench b(station);
    b.run(5000);  // the window's first mode exchange, and its speed switch
    const std::uint32_t found = b.station().baud();
    b.p.port.clearSent();
    ReadStation_Click(b.ctx);
    b.run(20'000);
    const sim::RunLog& runs = b.p.runs;
    ASSERT_EQ(runs.ends.size(), 1u) << b.boxLog();
    EXPECT_EQ(runs.ends[0].outcome, RunOutcome::Ok);
    ASSERT_EQ(runs.stations.size(), 1u);
    EXPECT_EQ(runs.stations[0].firmware, b.station().firmware());
    EXPECT_EQ(runs.phases, (std::vector<RunPhase>{RunPhase::Contact, RunPhase::Identify,
                                                  RunPhase::Clock}));
    EXPECT_EQ(b.framesSent(SET_BAUD) + b.framesSent(WRITE_BLOCK) + b.framesSent(SET_TIME), 0);
    // The reply's time on the line and the clock's 1/256 s steps.
    ASSERT_EQ(runs.clockReads.size(), 1u);
    EXPECT_LE(std::abs(runs.clockReads[0] - offsetMs), 60) << runs.clockReads[0];
    EXPECT_EQ(b.station().baud(), found);
    EXPECT_TRUE(b.p.view.boxes().empty()) << b.boxLog();
  }
}

// Nobody on the line: once the mode search has tried both speeds, the read
// ends failed on "Station not ready!", with nothing left awaited.
TEST(RunEvents, ReadingNoStationEndsFailedWhenTheModeSearchGivesUp) {
  Bench b(sim::StationAt(4800), {.withStation = false});
  b.run(15'000);  // the window's mode search gives up
  ReadStation_Click(b.ctx);
  b.run(20'000);
  ASSERT_EQ(b.p.runs.ends.size(), 1u) << b.boxLog();
  EXPECT_EQ(b.p.runs.ends[0].outcome, RunOutcome::Failed);
  EXPECT_EQ(b.p.runs.ends[0].messageId, kMsgStationNotReady);
  EXPECT_EQ(b.p.runs.stalls, 0);
}

TEST(RunEvents, ARunAtRestAwaitingAnUnwatchedReplyIsAStallNotAnEnd) {
  Bench b(sim::StationAt(4800), {.withStation = false});
  b.run(15'000);  // the window's mode search gives up
  {
    EngineEvent event(b.ctx);
    BeginRun(b.ctx, RunKind::Identify);
    Senden(b.ctx, SetModeFrame(false));  // no watchdog armed for it
  }
  EXPECT_EQ(b.p.runs.stalls, 1);
  EXPECT_TRUE(b.p.runs.ends.empty());
  mnuCommandStop_Click(b.ctx);
  ASSERT_EQ(b.p.runs.ends.size(), 1u);
  EXPECT_EQ(b.p.runs.ends[0].outcome, RunOutcome::Declined);  // stopped before anything was written
}

}  // namespace
}  // namespace qv::test

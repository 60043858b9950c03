// Station after station on one line: each placed, updated or refused, taken
// away, the next one.
#include "Bench.h"
#include "protocol/stdFunc.h"
#include "sim/virtual/SeriesBench.h"
#include "texts/MessageIds.h"
#include "update/ClockCommand.h"

namespace qv::test {
namespace {

TEST(Series, StationAfterStationEachOnceWithItsOutcome) {
  sim::SeriesBench b;
  b.p.view.openFor(0);
  // Low battery and the same firmware are refused at their questions;
  // everything else takes its default.
  for (const int answer : {vbOK, vbOK, vbCancel, vbCancel}) b.p.view.answer(answer);
  b.Place(1);
  b.series.Start();
  ASSERT_TRUE(b.RunUntilEnds(1)) << b.boxLog();
  // Left in place, it is not updated a second time.
  b.run(10'000);
  EXPECT_EQ(b.framesSent(INIT_UPDATE), 1);
  b.Place(2, [](auto& o) { o.identity.battery = 38'000; });  // 2.9 V
  ASSERT_TRUE(b.RunUntilEnds(2)) << b.boxLog();
  b.Place(3, [](auto& o) { o.identity.firmware = "600"; });
  ASSERT_TRUE(b.RunUntilEnds(3)) << b.boxLog();
  b.Place(4, [](auto& o) { o.expectedKey = "ANOTHER-KEY-123"; });  // refuses the key
  ASSERT_TRUE(b.RunUntilEnds(4)) << b.boxLog();
  b.Place(5);
  ASSERT_TRUE(b.RunUntilEnds(5)) << b.boxLog();
  EXPECT_TRUE(b.station().summary().updated);
  using O = RunOutcome;
  std::vector<O> outcomes;
  for (const auto& end : b.p.runs.ends) outcomes.push_back(end.outcome);
  EXPECT_EQ(outcomes, (std::vector<O>{O::Ok, O::Declined, O::Declined, O::Failed, O::Ok}));
  EXPECT_EQ(b.p.runs.ends[1].messageId, kMsgLowVoltage);
  EXPECT_EQ(b.p.runs.ends[2].messageId, kMsgSameFirmware);
  EXPECT_EQ(b.series.tally().done, 2);
  EXPECT_EQ(b.series.tally().refused, 2);
  EXPECT_EQ(b.series.tally().failed, 1);
  EXPECT_EQ(b.p.runs.stalls, 0);

  // Stop during a transfer: the run ends and nothing more is asked.
  b.Place(6);
  const int blocks = b.framesSent(WRITE_BLOCK);
  ASSERT_TRUE(
      b.p.scheduler.runUntil([&] { return b.framesSent(WRITE_BLOCK) > blocks + 2; }, 60'000));
  b.series.Stop();
  b.run(1000);
  ASSERT_EQ(b.p.runs.ends.size(), 6u);
  EXPECT_EQ(b.p.runs.ends[5].outcome, RunOutcome::Failed);
  const auto sent = b.p.port.sent().size();
  b.run(20'000);
  EXPECT_EQ(b.p.port.sent().size(), sent);
  EXPECT_FALSE(b.series.running());
  EXPECT_TRUE(b.station().breaches().empty());
}

// A clock series asks whether to set the clocks of its first station only;
// every later station that needs it gets that answer, told as its box, and a
// clock that agrees asks nothing of it. A new series asks again.
TEST(Series, ClockSeriesAsksOnceAndTalliesWhatItDid) {
  // the answer, SET_TIME frames, the tally: done, unchanged, refused
  for (const auto& [answer, sets, tally] :
       {std::tuple{vbYes, 2, std::array{2, 1, 0}}, std::tuple{vbNo, 0, std::array{0, 1, 2}}}) {
    SCOPED_TRACE(answer);
    sim::SeriesBench b;
    b.p.view.openFor(0);
    b.p.view.answer(answer);
    const auto place = [&b](std::uint32_t serial, std::int64_t offsetMs) {
      b.Place(serial, [offsetMs](auto& o) { o.clockOffsetMs = offsetMs; });
    };
    place(1, 90'000);
    b.series.Start(mnuCommandSetTime_Click, kMsgSetStationTime);
    ASSERT_TRUE(b.RunUntilEnds(1)) << b.boxLog();
    place(2, -90'000);
    ASSERT_TRUE(b.RunUntilEnds(2)) << b.boxLog();
    place(3, 0);
    ASSERT_TRUE(b.RunUntilEnds(3)) << b.boxLog();
    EXPECT_EQ(b.boxesWith(kMsgSetStationTime), 1) << b.boxLog();
    std::vector<int> told;
    for (const BoxEvent& box : b.p.runs.boxes)
      if (box.messageId == kMsgSetStationTime) told.push_back(box.answer);
    EXPECT_EQ(told, std::vector<int>(2, answer));
    EXPECT_EQ(b.framesSent(SET_TIME), sets);
    const Series::Tally& t = b.series.tally();
    EXPECT_EQ((std::array{t.done, t.unchanged, t.refused, t.failed}),
              (std::array{tally[0], tally[1], tally[2], 0}));

    b.series.Stop();
    b.p.view.answer(vbYes);
    place(4, 90'000);
    b.series.Start(mnuCommandSetTime_Click, kMsgSetStationTime);
    ASSERT_TRUE(b.RunUntilEnds(4)) << b.boxLog();
    EXPECT_EQ(b.boxesWith(kMsgSetStationTime), 2) << b.boxLog();
    EXPECT_EQ(b.p.runs.ends[3].outcome, RunOutcome::Ok);
  }
}

}  // namespace
}  // namespace qv::test

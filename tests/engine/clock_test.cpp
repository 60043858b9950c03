#include <gtest/gtest.h>

#include "sim/virtual/VirtualClock.h"
#include "support/HexBytes.h"
#include "update/Progress.h"
#include "update/StationClock.h"

namespace qv {
namespace {

using Rx = std::array<std::uint8_t, 257>;
using test::Hex;

TEST(MakeTimeData, RecordIsTakenInsideTheWindowOfTheLink) {
  // start, speed, relayed, the record, and where within the second it may be taken
  // clang-format off
  const std::tuple<LocalDateTime, int, bool, const char*, int, int> cases[] = {
      {{2044, 12, 31, 15, 30, 0, 0}, 4800, false, "2C 0C 1F 0D 31 38 1A", 40, 60},
      {{2044, 12, 31, 15, 29, 59, 500}, 4800, true, "2C 0C 1F 0D 31 38 2C", 40, 60},
      {{2044, 12, 31, 12, 0, 0, 0}, 38400, false, "2C 0C 1F 0C A8 C0 19", 80, 99},
      {{2045, 1, 1, 9, 0, 0, 0}, 38400, true, "2D 01 01 00 7E 90 27", 80, 99},
      {{2045, 1, 1, 0, 0, 0, 99}, 38400, false, "2D 01 01 00 00 00 19", 99, 99},  // at once
      {{2045, 1, 1, 9, 0, 0, 100}, 38400, false, "2D 01 01 00 7E 91 19", 80, 99},
      // The wait crosses midnight: date and time come from the same reading.
      {{2044, 12, 31, 23, 59, 59, 990}, 4800, false, "2D 01 01 00 00 00 1A", 40, 60},
  };
  // clang-format on
  for (const auto& [start, baud, relayed, expected, firstMs, lastMs] : cases) {
    sim::VirtualScheduler scheduler;
    sim::VirtualClock clock(scheduler);
    clock.setNow(start);
    EXPECT_EQ(BytesToHex(MakeTimeData(clock, baud, relayed)), BytesToHex(Hex(expected)));
    const int ms = clock.now().millisecond;
    EXPECT_TRUE(ms >= firstMs && ms <= lastMs) << expected << " taken at " << ms;
  }
}

// A wall clock that stands still while the monotonic clock runs on; far past
// the bound it reaches the window, so a wait without one fails instead of hanging.
struct FrozenWallClock : Clock {
  LocalDateTime time{2044, 12, 31, 15, 30, 0, 500};
  std::int64_t monotonic = 0;
  LocalDateTime now() const override { return time; }
  std::int64_t monotonicMs() const override { return monotonic; }
  void sleep(int ms) override { time.millisecond = (monotonic += ms) > 10'000 ? 85 : 500; }
  void processEvents() override {}
};

TEST(MakeTimeData, WaitIsBoundedOnTheMonotonicClock) {
  FrozenWallClock clock;
  EXPECT_EQ(BytesToHex(MakeTimeData(clock, 38400, false)), BytesToHex(Hex("2C 0C 1F 0D 31 38 19")));
  EXPECT_EQ(clock.monotonic, kClockWindowMaxWaitMs);
}

// Seconds of the half day round half to even; the weekday shares a byte with the half.
TEST(MakeTimeData, HalfDayAroundNoonAndMidnight) {
  // clang-format off
  const std::pair<LocalDateTime, const char*> cases[] = {
      {{2024, 6, 8, 12, 0, 0, 500}, "18 06 08 0C A8 C0 1A"}, {{2024, 6, 8, 11, 59, 59, 500}, "18 06 08 0C A8 C0 1A"},
      {{2024, 6, 8, 12, 0, 1, 0}, "18 06 08 0D 00 01 1A"}, {{2024, 6, 8, 15, 30, 1, 500}, "18 06 08 0D 31 3A 1A"},
      {{2024, 6, 8, 23, 59, 59, 400}, "18 06 08 0D A8 BF 1A"}, {{2024, 6, 9, 0, 0, 0, 0, 0}, "18 06 09 00 00 00 1A"},
  };
  // clang-format on
  for (const auto& [time, expected] : cases)
    EXPECT_EQ(BytesToHex(TimeRecordOf(time, 0x1A)), BytesToHex(Hex(expected)));
}

// A clock reply: code number 258, the date, the half day, its seconds and the
// fraction of the second in 256ths.
Rx Reply(int half, int seconds, int fraction) {
  const int bytes[] = {9, 1, 2, 44, 12, 31, half, seconds >> 8, seconds & 0xFF, fraction};
  Rx rx{};
  std::ranges::copy(bytes, rx.begin());
  return rx;
}

TEST(ClockReply, ClocksAgreeOnSameMinuteAndWithinThreeTenths) {
  // clang-format off
  const std::tuple<LocalDateTime, Rx, bool> cases[] = {
      // 0.1 s apart, but on either side of a minute; the same second of another minute.
      {{2044, 12, 31, 12, 0, 59, 950}, Reply(0, 0xA8FC, 13), false}, {{2044, 12, 31, 12}, Reply(0, 0xA8FC, 0), false},
      {{2044, 12, 31, 12, 1}, Reply(0, 0xA8FC, 76), true}, {{2044, 12, 31, 12, 1}, Reply(0, 0xA8FC, 77), false},
      {{2044, 12, 31, 12, 1, 0, 250}, Reply(0, 0xA8FC, 0), true},
      {{2044, 12, 31, 12, 1, 0, 300}, Reply(0, 0xA8FC, 0), false},
      {{2144, 12, 31, 0, 1}, Reply(0, 0x003C, 0), true}, {{2044, 12, 31, 12, 1}, Reply(1, 0x003C, 0), true},
      {{2044, 12, 31, 0, 1}, Reply(1, 0x003C, 0), false}, {{2044, 12, 30, 12, 1}, Reply(0, 0xA8FC, 0), false},
  };
  // clang-format on
  for (const auto& [pc, rx, agree] : cases)
    EXPECT_EQ(ClocksAgree(pc, ReadStationTime(rx)), agree) << StationTimeText(ReadStationTime(rx));
  // Both texts to the thousandth; the station's 26/256 s is 0.1015625.
  auto check = CheckStationClock({2044, 12, 31, 13, 0, 0, 100}, Reply(1, 0x0E10, 26), ',');
  EXPECT_EQ(std::tuple(check.pcText, check.stationText, check.agree),
            std::tuple("44-12-31 13:00:00,100", "44-12-31 13:00:00,102", true));
}

// "##0.0" and "%", a half to the even digit, the system's separator; a one-byte image never divides
// by zero.
TEST(Progress, OneDecimalHalfToEven) {
  const std::tuple<std::int64_t, std::int64_t, char, const char*> cases[] = {
      {0, 100, '.', "0.0%"},
      {21, 400, '.', "5.2%"},
      {23, 400, '.', "5.8%"},
      {1999, 2000, '.', "100.0%"},
      {5, 0, '.', "500.0%"},
      {2, 3, ',', "66,7%"}};
  for (const auto& [offset, upper, separator, text] : cases)
    EXPECT_EQ(ProgressText(offset, upper, separator), text);
}

}  // namespace
}  // namespace qv

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
    const Bytes record = MakeTimeData(clock, baud, relayed);
    EXPECT_EQ(BytesToHex(record), BytesToHex(Hex(expected)));
    EXPECT_GE(clock.now().millisecond, firstMs) << expected;
    EXPECT_LE(clock.now().millisecond, lastMs) << expected;
  }
}

// A wall clock that stands still while the monotonic clock runs on.
struct FrozenWallClock : Clock {
  LocalDateTime time{2044, 12, 31, 15, 30, 0, 500};
  std::int64_t monotonic = 0;
  LocalDateTime now() const override { return time; }
  std::int64_t monotonicMs() const override { return monotonic; }
  void sleep(int milliseconds) override { monotonic += milliseconds; }
  void processEvents() override {}
};

TEST(MakeTimeData, WaitIsBoundedOnTheMonotonicClock) {
  FrozenWallClock clock;
  EXPECT_EQ(BytesToHex(MakeTimeData(clock, 38400, false)), BytesToHex(Hex("2C 0C 1F 0D 31 38 19")));
  EXPECT_EQ(clock.monotonic, kClockWindowMaxWaitMs);
}

// Seconds of the half day round half to even.
TEST(MakeTimeData, HalfDayAroundNoonAndMidnight) {
  // clang-format off
  const std::pair<LocalDateTime, const char*> cases[] = {
      {{2024, 6, 2, 12, 0, 0, 500, 0}, "18 06 02 00 A8 C0 1A"}, {{2024, 6, 2, 11, 59, 59, 500, 0}, "18 06 02 00 A8 C0 1A"},
      {{2024, 6, 2, 12, 0, 1, 0, 0}, "18 06 02 01 00 01 1A"}, {{2024, 6, 2, 15, 30, 1, 500, 0}, "18 06 02 01 31 3A 1A"},
      {{2024, 6, 2, 23, 59, 59, 400, 0}, "18 06 02 01 A8 BF 1A"}, {{2024, 6, 8, 0, 0, 0, 0, 6}, "18 06 08 0C 00 00 1A"},
  };
  // clang-format on
  for (const auto& [time, expected] : cases) {
    EXPECT_EQ(BytesToHex(TimeRecordOf(time, 0x1A)), BytesToHex(Hex(expected)));
  }
}

// Reply bytes 1 to 9 of a clock reply.
Rx ClockReply(std::initializer_list<int> bytes) {
  Rx rx{};
  rx[0] = 9;
  int index = 1;
  for (const int b : bytes) rx[index++] = static_cast<std::uint8_t>(b);
  return rx;
}

TEST(ClockReply, Texts) {
  const std::pair<Rx, const char*> cases[] = {
      {ClockReply({0, 7, 44, 12, 31, 0x01, 0x0E, 0x10, 0}), "44-12-31 13:00:00"},
      {ClockReply({0, 7, 5, 1, 2, 0x01, 0xA8, 0xBF, 0}), "05-01-02 23:59:59"},
      {ClockReply({0, 7, 5, 1, 2, 0xFE, 0x0E, 0x4D, 0}), "05-01-02 01:01:01"},
  };
  for (const auto& [rx, text] : cases) EXPECT_EQ(StationTimeText(ReadStationTime(rx)), text);
  EXPECT_EQ(ReadStationTime(ClockReply({0x01, 0x02})).codeNumber, 258);
  // Exact halves of a thousandth go to the even digit.
  // clang-format off
  for (const auto& [byte, text] : {std::pair(255, "0,996"), {16, "0,062"}, {48, "0,188"}, {80, "0,312"}})
    EXPECT_EQ(FractionText(byte / 256.0, ','), text);
  for (const auto& [ms, text] : {std::pair(0, "0"), {500, "0,5"}, {120, "0,12"}, {7, "0,007"}})
    EXPECT_EQ(PlainFractionText(ms, ','), text);
  // clang-format on
  EXPECT_EQ(PcDateTimeText({2100, 1, 2, 23, 4, 5, 999}), "00-01-02 23:04:05");
}

TEST(ClockReply, ClocksAgreeOnSameMinuteAndWithinThreeTenths) {
  // clang-format off
  const std::tuple<LocalDateTime, Rx, bool> cases[] = {
      // 0.1 s apart, but on either side of a minute.
      {{2044, 12, 31, 12, 0, 59, 950}, ClockReply({0, 7, 44, 12, 31, 0, 0xA8, 0xFC, 13}), false},
      {{2044, 12, 31, 12, 1, 0, 0}, ClockReply({0, 7, 44, 12, 31, 0, 0xA8, 0xFC, 76}), true},
      {{2044, 12, 31, 12, 1, 0, 0}, ClockReply({0, 7, 44, 12, 31, 0, 0xA8, 0xFC, 77}), false},
      {{2044, 12, 31, 12, 1, 0, 250}, ClockReply({0, 7, 44, 12, 31, 0, 0xA8, 0xFC, 0}), true},
      {{2044, 12, 31, 12, 1, 0, 300}, ClockReply({0, 7, 44, 12, 31, 0, 0xA8, 0xFC, 0}), false},
      {{2144, 12, 31, 0, 1, 0, 0}, ClockReply({0, 7, 44, 12, 31, 0, 0x00, 0x3C, 0}), true},
      {{2044, 12, 31, 12, 1, 0, 0}, ClockReply({0, 7, 44, 12, 31, 1, 0x00, 0x3C, 0}), true},
      {{2044, 12, 31, 0, 1, 0, 0}, ClockReply({0, 7, 44, 12, 31, 1, 0x00, 0x3C, 0}), false},
      {{2044, 12, 30, 12, 1, 0, 0}, ClockReply({0, 7, 44, 12, 31, 0, 0xA8, 0xFC, 0}), false},
  };
  // clang-format on
  for (const auto& [pc, rx, agree] : cases) {
    EXPECT_EQ(ClocksAgree(pc, ReadStationTime(rx)), agree) << StationTimeText(ReadStationTime(rx));
  }
  const ClockCheck check = CheckStationClock(
      {2044, 12, 31, 13, 0, 0, 100}, ClockReply({0, 7, 44, 12, 31, 1, 0x0E, 0x10, 26}), ',');
  EXPECT_EQ(check.pcText, "44-12-31 13:00:00,100");
  EXPECT_EQ(check.stationText, "44-12-31 13:00:00,102");
  EXPECT_TRUE(check.agree);
}

// One decimal, half to even; an empty image's upper index is 1, a one-byte image's 0.
TEST(Progress, OneDecimalHalfToEven) {
  // clang-format off
  const std::tuple<std::int64_t, std::int64_t, char, const char*> cases[] = {
      {0, 100, '.', "0.0%"}, {21, 400, '.', "5.2%"}, {23, 400, '.', "5.8%"}, {1, 2000, '.', "0.0%"},
      {3, 2000, '.', "0.2%"}, {1999, 2000, '.', "100.0%"}, {2, 3, ',', "66,7%"}, {0xFE0000, 0xFFFFFF, '.', "99.2%"},
      {5, UpperIndexOf(1), '.', "500.0%"}, {0, UpperIndexOf(0), '.', "0.0%"}, {299, UpperIndexOf(300), '.', "100.0%"},
  };
  // clang-format on
  for (const auto& [offset, upper, separator, text] : cases) {
    EXPECT_EQ(ProgressText(offset, upper, separator), text) << offset << "/" << upper;
  }
  EXPECT_EQ(UpperIndexOf(0), 1);
}

}  // namespace
}  // namespace qv

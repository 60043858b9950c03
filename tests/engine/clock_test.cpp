#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <cstdint>

#include "core/Calendar.h"
#include "protocol/stdFunc.h"
#include "sim/station/StationClock.h"
#include "sim/virtual/VirtualClock.h"
#include "support/HexBytes.h"
#include "update/StationClock.h"

namespace qv {
namespace {

using Rx = std::array<std::uint8_t, 257>;
using test::Hex;

struct MakeTimeDataCase {
  LocalDateTime start;
  int baud;
  bool relayed;
  const char* record;
  int firstMs, lastMs;  // where within the second the record may be taken
};

TEST(MakeTimeData, RecordIsTakenInsideTheWindowOfTheLink) {
  const MakeTimeDataCase cases[] = {
      {{2044, 12, 31, 15, 30, 0, 0}, 4800, false, "2C 0C 1F 0D 31 38 1A", 40, 60},
      {{2044, 12, 31, 15, 29, 59, 500}, 4800, true, "2C 0C 1F 0D 31 38 2C", 40, 60},
      {{2044, 12, 31, 11, 59, 59, 950}, 4800, false, "2C 0C 1F 0C A8 C0 1A", 40, 60},
      {{2044, 12, 31, 12, 0, 0, 0}, 38400, false, "2C 0C 1F 0C A8 C0 19", 80, 99},
      {{2045, 1, 1, 9, 0, 0, 0}, 38400, true, "2D 01 01 00 7E 90 27", 80, 99},
      {{2045, 1, 1, 0, 0, 0, 99}, 38400, false, "2D 01 01 00 00 00 19", 99, 99},  // at once
      {{2045, 1, 1, 9, 0, 0, 100}, 38400, false, "2D 01 01 00 7E 91 19", 80, 99},
      // The wait crosses midnight: date and time come from the same reading.
      {{2044, 12, 31, 23, 59, 59, 990}, 4800, false, "2D 01 01 00 00 00 1A", 40, 60},
  };
  for (const auto& c : cases) {
    sim::VirtualScheduler scheduler;
    sim::VirtualClock clock(scheduler);
    clock.setNow(c.start);
    const Bytes record = MakeTimeData(clock, c.baud, c.relayed);
    EXPECT_EQ(BytesToHex(record), BytesToHex(Hex(c.record))) << c.record;
    const int ms = clock.now().millisecond;
    EXPECT_GE(ms, c.firstMs) << c.record;
    EXPECT_LE(ms, c.lastMs) << c.record;
    EXPECT_LT(clock.sleptMs(), 1000) << c.record;
    // The station model takes every record the loader builds.
    const auto decoded = sim::DecodeSetRecord(record);
    ASSERT_TRUE(decoded.has_value()) << c.record;
    EXPECT_EQ(sim::EncodeSetRecord(*decoded), record);
  }
}

// A wall clock that stands still (stepped back again and again) while the
// monotonic clock runs on.
class FrozenWallClock : public Clock {
 public:
  explicit FrozenWallClock(const LocalDateTime& time) : time_(time) {}
  LocalDateTime now() const override { return time_; }
  std::int64_t monotonicMs() const override { return monotonic_; }
  void sleep(int milliseconds) override { monotonic_ += milliseconds; }
  void processEvents() override {}

 private:
  LocalDateTime time_;
  std::int64_t monotonic_ = 7'000'000;
};

TEST(MakeTimeData, WaitIsBoundedOnTheMonotonicClockAndSecondsRoundHalfToEven) {
  const std::pair<LocalDateTime, const char*> cases[] = {
      {{2044, 12, 31, 15, 30, 0, 500}, "2C 0C 1F 0D 31 38 19"},  // 55800.5 -> 55800
      {{2044, 12, 31, 15, 30, 1, 500}, "2C 0C 1F 0D 31 3A 19"},  // 55801.5 -> 55802
  };
  for (const auto& [time, expected] : cases) {
    FrozenWallClock clock(time);
    EXPECT_EQ(BytesToHex(MakeTimeData(clock, 38400, false)), BytesToHex(Hex(expected)));
    EXPECT_EQ(clock.monotonicMs() - 7'000'000, kClockWindowMaxWaitMs);
  }
}

TEST(MakeTimeData, HalfDayAroundNoonAndMidnight) {
  const std::pair<LocalDateTime, const char*> cases[] = {
      {{2024, 6, 2, 12, 0, 0, 500, 0}, "18 06 02 00 A8 C0 1A"},
      {{2024, 6, 2, 11, 59, 59, 500, 0}, "18 06 02 00 A8 C0 1A"},
      {{2024, 6, 2, 12, 0, 1, 0, 0}, "18 06 02 01 00 01 1A"},
      {{2024, 6, 2, 23, 59, 59, 400, 0}, "18 06 02 01 A8 BF 1A"},
      {{2024, 6, 8, 0, 0, 0, 0, 6}, "18 06 08 0C 00 00 1A"},
  };
  for (const auto& [time, expected] : cases) {
    EXPECT_EQ(BytesToHex(TimeRecordOf(time, 0x1A)), BytesToHex(Hex(expected))) << expected;
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

TEST(ClockReply, StationTimeText) {
  const std::pair<Rx, const char*> cases[] = {
      {ClockReply({0, 7, 44, 12, 31, 0x01, 0x0E, 0x10, 0}), "44-12-31 13:00:00"},
      {ClockReply({0, 7, 44, 12, 31, 0x00, 0x00, 0x00, 0}), "44-12-31 00:00:00"},
      {ClockReply({0, 7, 5, 1, 2, 0x01, 0xA8, 0xBF, 0}), "05-01-02 23:59:59"},
      {ClockReply({0, 7, 5, 1, 2, 0xFE, 0x0E, 0x4D, 0}), "05-01-02 01:01:01"},
  };
  for (const auto& [rx, text] : cases) EXPECT_EQ(StationTimeText(ReadStationTime(rx)), text);
  EXPECT_EQ(ReadStationTime(ClockReply({0x01, 0x02})).codeNumber, 258);
}

TEST(ClockReply, FractionTexts) {
  const std::pair<int, const char*> fractions[] = {
      {0, "0,000"},  {255, "0,996"}, {128, "0,500"},
      {16, "0,062"}, {48, "0,188"},  {80, "0,312"},  // exact halves of a thousandth
  };
  for (const auto& [byte, text] : fractions) EXPECT_EQ(FractionText(byte / 256.0, ','), text);

  const std::pair<int, const char*> plain[] = {
      {0, "0"}, {500, "0,5"}, {120, "0,12"}, {7, "0,007"}, {999, "0,999"}};
  for (const auto& [ms, text] : plain) EXPECT_EQ(PlainFractionText(ms, ','), text);

  EXPECT_EQ(PcTimeText({2044, 12, 31, 15, 30, 0, 42}, ','), "44-12-31 15:30:00,042");
  EXPECT_EQ(PcTimeText({2009, 1, 2, 3, 4, 5, 7}, '.'), "09-01-02 03:04:05.007");
  EXPECT_EQ(PcDateTimeText({2100, 1, 2, 23, 4, 5, 999}), "00-01-02 23:04:05");
}

TEST(ClockReply, ClocksAgreeOnSameMinuteAndWithinThreeTenths) {
  const struct {
    LocalDateTime pc;
    Rx rx;
    bool agree;
  } cases[] = {
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
  for (const auto& c : cases) {
    EXPECT_EQ(ClocksAgree(c.pc, ReadStationTime(c.rx)), c.agree)
        << PcTimeText(c.pc, '.') << " vs " << StationTimeText(ReadStationTime(c.rx));
  }

  const ClockCheck check = CheckStationClock(
      {2044, 12, 31, 13, 0, 0, 100}, ClockReply({0, 7, 44, 12, 31, 1, 0x0E, 0x10, 26}), ',');
  EXPECT_EQ(check.pcText, "44-12-31 13:00:00,100");
  EXPECT_EQ(check.stationText, "44-12-31 13:00:00,102");
  EXPECT_TRUE(check.agree);
}

// The station model's clock reply for a moment reads back as that moment.
TEST(ClockReply, StationModelRecordReadsBackAsItsMoment) {
  const LocalDateTime moments[] = {
      {2044, 12, 31, 15, 30, 0, 42}, {2024, 2, 29, 12, 0, 0, 0}, {2024, 2, 29, 0, 0, 0, 999}};
  for (const auto& moment : moments) {
    const Bytes record = sim::EncodeSetRecord(sim::RecordFromTime(moment));
    Rx rx{};
    for (std::size_t i = 0; i < record.size(); ++i) rx[3 + i] = record[i];
    const StationTime station = ReadStationTime(rx);
    EXPECT_EQ(StationTimeText(station), PcDateTimeText(moment));
    EXPECT_TRUE(ClocksAgree(moment, station)) << PcTimeText(moment, '.');
  }
}

}  // namespace
}  // namespace qv

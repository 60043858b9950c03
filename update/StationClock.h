#pragma once
// The clock record sent with SET_TIME, and the texts and comparison of the
// station's clock replies (0xF6, 0xF7).
#include <array>
#include <cstdint>
#include <string>

#include "core/Bytes.h"
#include "core/Clock.h"

namespace qv {

// The record is built while the fraction of (seconds since midnight − 0.1)
// lies strictly inside (low, high); the station takes `fraction` (1/256 s)
// as the moment it stands for, which covers the frame's time on the line.
struct ClockWindow {
  float low = 0;
  float high = 0;
  std::uint8_t fraction = 0;
};
ClockWindow ClockWindowFor(int linkBaud, bool relayed);

// Longest wait for the window; a PC clock that stands still or jumps would
// otherwise hold the loader for good. After it the record is built anyway.
inline constexpr std::int64_t kClockWindowMaxWaitMs = 1500;

// The seven data bytes of SET_TIME: year within the century, month, day,
// day of week × 2 + afternoon flag, seconds within the half day (high, low),
// fraction byte.
Bytes MakeTimeData(Clock& clock, int linkBaud, bool relayed);
Bytes TimeRecordOf(const LocalDateTime& time, std::uint8_t fraction);

// What a clock reply reports (reply bytes 1 to 9).
struct StationTime {
  int codeNumber = 0;
  int year = 0;  // two digits as sent
  int month = 0;
  int day = 0;
  int secondsSinceMidnight = 0;
  double fraction = 0;  // of a second
};
StationTime ReadStationTime(const std::array<std::uint8_t, 257>& rx);

// "yy-mm-dd hh:nn:ss".
std::string PcDateTimeText(const LocalDateTime& pc);
// P: the date-time text and the fraction of the second as separator and
// three digits, "44-12-31 15:30:00,042".
std::string PcTimeText(const LocalDateTime& pc, char decimalSeparator);
// S without the fraction: "44-12-31 13:00:00".
std::string StationTimeText(const StationTime& station);
// A fraction of a second with the pattern "0.000": "0,996".
std::string FractionText(double fraction, char decimalSeparator);
// The milliseconds as a plain number: "0", "0.5", "0.123".
std::string PlainFractionText(int millisecond, char decimalSeparator);

// Same date, hour and minute, and seconds with fraction less than 0.3 apart.
// A minute boundary between the two separates them however close they are.
bool ClocksAgree(const LocalDateTime& pc, const StationTime& station);

// The station's clock minus the PC's, in milliseconds; the station's
// two-digit year is taken in the PC's century.
std::int64_t StationMinusPcMs(const LocalDateTime& pc, const StationTime& station);

// What the clock-check message is built from: P, S with its fraction, and
// whether the two agree.
struct ClockCheck {
  std::string pcText;
  std::string stationText;
  bool agree = false;
};
ClockCheck CheckStationClock(const LocalDateTime& pc, const std::array<std::uint8_t, 257>& rx,
                             char decimalSeparator);

}  // namespace qv

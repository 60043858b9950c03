#include "update/StationClock.h"

#include <cmath>

#include "core/Calendar.h"

namespace qv {

namespace {

constexpr int kHalfDay = 43200;

bool InWindow(const LocalDateTime& time, const ClockWindow& window) {
  // The seconds are taken in single precision, as the window limits are.
  const double t = double{static_cast<float>(time.secondsSinceMidnight())} - 0.1;
  const double fraction = t - std::floor(t);
  return fraction > window.low && fraction < window.high;
}

std::string TwoDigits(int value) {
  return (value >= 0 && value < 10 ? "0" : "") + std::to_string(value);
}

std::string DateTimeText(int year, int month, int day, int secondsSinceMidnight) {
  return TwoDigits(year) + "-" + TwoDigits(month) + "-" + TwoDigits(day) + " " +
         TwoDigits(secondsSinceMidnight / 3600) + ":" +
         TwoDigits(secondsSinceMidnight % 3600 / 60) + ":" + TwoDigits(secondsSinceMidnight % 60);
}

std::string LastFour(const std::string& text) {
  return text.size() <= 4 ? text : text.substr(text.size() - 4);
}

}  // namespace

ClockWindow ClockWindowFor(int linkBaud, bool relayed) {
  // Relayed frames spend longer on the way; the station is told a later moment.
  if (linkBaud == 4800) return {0.94f, 0.96f, static_cast<std::uint8_t>(relayed ? 26 + 18 : 26)};
  return {0.98f, 0.999f, static_cast<std::uint8_t>(relayed ? 25 + 14 : 25)};
}

Bytes TimeRecordOf(const LocalDateTime& time, std::uint8_t fraction) {
  // nearbyint rounds a half to the even neighbour in the default rounding mode.
  auto seconds = static_cast<int>(std::nearbyint(time.secondsSinceMidnight()));
  const bool afternoon = seconds > kHalfDay;
  if (afternoon) seconds -= kHalfDay;
  return {static_cast<std::uint8_t>(time.year % 100),
          static_cast<std::uint8_t>(time.month),
          static_cast<std::uint8_t>(time.day),
          static_cast<std::uint8_t>(time.dayOfWeek * 2 + (afternoon ? 1 : 0)),
          static_cast<std::uint8_t>(seconds >> 8),
          static_cast<std::uint8_t>(seconds & 0xFF),
          fraction};
}

Bytes MakeTimeData(Clock& clock, int linkBaud, bool relayed) {
  const ClockWindow window = ClockWindowFor(linkBaud, relayed);
  // Waits are measured on the monotonic clock: a wall clock stepped back
  // meanwhile must not stretch the wait.
  const std::int64_t start = clock.monotonicMs();
  while (!InWindow(clock.now(), window)) {
    if (clock.monotonicMs() - start >= kClockWindowMaxWaitMs) break;
    clock.sleep(1);
  }
  // Date and time of day from one reading, so midnight cannot fall between them.
  return TimeRecordOf(clock.now(), window.fraction);
}

StationTime ReadStationTime(const std::array<std::uint8_t, 257>& rx) {
  StationTime time;
  time.codeNumber = rx[1] * 256 + rx[2];
  time.year = rx[3];
  time.month = rx[4];
  time.day = rx[5];
  time.secondsSinceMidnight = rx[7] * 256 + rx[8] + ((rx[6] & 0x01) != 0 ? kHalfDay : 0);
  time.fraction = rx[9] / 256.0;
  return time;
}

std::string PcDateTimeText(const LocalDateTime& pc) {
  return DateTimeText(pc.year % 100, pc.month, pc.day, pc.hour * 3600 + pc.minute * 60 + pc.second);
}

std::string PcTimeText(const LocalDateTime& pc, char decimalSeparator) {
  return PcDateTimeText(pc) + LastFour(FractionText(pc.millisecond / 1000.0, decimalSeparator));
}

std::string StationTimeText(const StationTime& station) {
  return DateTimeText(station.year, station.month, station.day, station.secondsSinceMidnight);
}

std::string FractionText(double fraction, char decimalSeparator) {
  // A tie (1/16 s is 0.0625) goes to the even digit, as every rounded figure
  // shown to the operator does.
  const auto thousandths = static_cast<std::int64_t>(std::nearbyint(fraction * 1000.0));
  const std::string digits = std::to_string(thousandths % 1000);
  return std::to_string(thousandths / 1000) + decimalSeparator +
         std::string(3 - digits.size(), '0') + digits;
}

std::string PlainFractionText(int millisecond, char decimalSeparator) {
  if (millisecond <= 0) return "0";
  std::string digits = std::to_string(millisecond % 1000);
  digits.insert(0, 3 - digits.size(), '0');
  while (digits.back() == '0') digits.pop_back();
  return std::string("0") + decimalSeparator + digits;
}

bool ClocksAgree(const LocalDateTime& pc, const StationTime& station) {
  const int stationSeconds = station.secondsSinceMidnight;
  if (pc.year % 100 != station.year || pc.month != station.month || pc.day != station.day)
    return false;
  if (pc.hour != stationSeconds / 3600 || pc.minute != stationSeconds % 3600 / 60) return false;
  const double pcSecond = pc.second + pc.millisecond / 1000.0;
  return std::fabs(pcSecond - (stationSeconds % 60 + station.fraction)) < 0.3;
}

std::int64_t StationMinusPcMs(const LocalDateTime& pc, const StationTime& station) {
  LocalDateTime clock;
  clock.year = pc.year - pc.year % 100 + station.year;
  clock.month = station.month;
  clock.day = station.day;
  clock.second = station.secondsSinceMidnight;
  clock.millisecond = static_cast<int>(std::lround(station.fraction * 1000.0));
  return MsSince2000(clock) - MsSince2000(pc);
}

ClockCheck CheckStationClock(const LocalDateTime& pc, const std::array<std::uint8_t, 257>& rx,
                             char decimalSeparator) {
  const StationTime station = ReadStationTime(rx);
  ClockCheck check;
  check.pcText = PcTimeText(pc, decimalSeparator);
  check.stationText =
      StationTimeText(station) + LastFour(FractionText(station.fraction, decimalSeparator));
  check.agree = ClocksAgree(pc, station);
  return check;
}

}  // namespace qv

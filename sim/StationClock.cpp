#include "sim/StationClock.h"

namespace qv::sim {

namespace {

constexpr std::int64_t kMsPerDay = 86'400'000;

// Days since 1970-01-01 of a civil date (H. Hinnant's algorithm).
std::int64_t DaysFromCivil(int year, int month, int day) {
  const int y = year - (month <= 2 ? 1 : 0);
  const int era = (y >= 0 ? y : y - 399) / 400;
  const int yoe = y - era * 400;
  const int mp = (month + 9) % 12;
  const int doy = (153 * mp + 2) / 5 + day - 1;
  const int doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  return static_cast<std::int64_t>(era) * 146097 + doe - 719468;
}

const std::int64_t kDays2000 = DaysFromCivil(2000, 1, 1);

}  // namespace

std::int64_t MsSince2000(const LocalDateTime& time) {
  const std::int64_t days = DaysFromCivil(time.year, time.month, time.day) - kDays2000;
  const std::int64_t inDay =
      ((time.hour * 60LL + time.minute) * 60LL + time.second) * 1000LL + time.millisecond;
  return days * kMsPerDay + inDay;
}

LocalDateTime DateTimeFromMs(std::int64_t msSince2000) {
  std::int64_t days = msSince2000 / kMsPerDay;
  std::int64_t inDay = msSince2000 % kMsPerDay;
  if (inDay < 0) {
    inDay += kMsPerDay;
    --days;
  }
  const std::int64_t z = days + kDays2000 + 719468;
  const std::int64_t era = (z >= 0 ? z : z - 146096) / 146097;
  const std::int64_t doe = z - era * 146097;
  const std::int64_t yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
  const std::int64_t doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
  const std::int64_t mp = (5 * doy + 2) / 153;
  LocalDateTime t;
  t.day = static_cast<int>(doy - (153 * mp + 2) / 5 + 1);
  t.month = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
  t.year = static_cast<int>(yoe + era * 400 + (t.month <= 2 ? 1 : 0));
  t.hour = static_cast<int>(inDay / 3'600'000);
  t.minute = static_cast<int>(inDay / 60'000 % 60);
  t.second = static_cast<int>(inDay / 1000 % 60);
  t.millisecond = static_cast<int>(inDay % 1000);
  // 2000-01-01 was a Saturday.
  std::int64_t weekday = (days % 7 + 7 + 6) % 7;
  t.dayOfWeek = static_cast<int>(weekday);
  return t;
}

ClockRecord RecordFromTime(const LocalDateTime& time) {
  ClockRecord record;
  record.year = time.year % 100;
  record.month = time.month;
  record.day = time.day;
  record.dayOfWeek = time.dayOfWeek;
  int seconds = (time.hour * 60 + time.minute) * 60 + time.second;
  // Noon itself stays in the first half day, as the loader's record does.
  if (seconds > 43200) {
    seconds -= 43200;
    record.afternoon = true;
  }
  record.halfDaySeconds = seconds;
  record.fraction = time.millisecond * 256 / 1000;
  return record;
}

Bytes EncodeSetRecord(const ClockRecord& record) {
  return Bytes{static_cast<std::uint8_t>(record.year),
               static_cast<std::uint8_t>(record.month),
               static_cast<std::uint8_t>(record.day),
               static_cast<std::uint8_t>(record.dayOfWeek * 2 + (record.afternoon ? 1 : 0)),
               static_cast<std::uint8_t>(record.halfDaySeconds >> 8),
               static_cast<std::uint8_t>(record.halfDaySeconds & 0xFF),
               static_cast<std::uint8_t>(record.fraction)};
}

std::optional<ClockRecord> DecodeSetRecord(const Bytes& data) {
  if (data.size() != 7) return std::nullopt;
  ClockRecord record;
  record.year = data[0];
  record.month = data[1];
  record.day = data[2];
  record.dayOfWeek = data[3] >> 1;
  record.afternoon = (data[3] & 1) != 0;
  record.halfDaySeconds = data[4] * 256 + data[5];
  record.fraction = data[6];
  if (record.year > 99 || record.month < 1 || record.month > 12 || record.day < 1 ||
      record.day > 31 || record.dayOfWeek > 6 || record.halfDaySeconds > 43200) {
    return std::nullopt;
  }
  return record;
}

std::int64_t MsFromRecord(const ClockRecord& record) {
  LocalDateTime t;
  // The station's clock lives in this century, whatever the two digits.
  t.year = 2000 + record.year;
  t.month = record.month;
  t.day = 1;
  const int seconds = record.halfDaySeconds + (record.afternoon ? 43200 : 0);
  return MsSince2000(t) + (record.day - 1) * kMsPerDay + seconds * 1000LL +
         record.fraction * 1000LL / 256;
}

}  // namespace qv::sim

#include "sim/station/StationClock.h"

#include "core/Calendar.h"

namespace qv::sim {

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
  t.day = record.day;
  const int seconds = record.halfDaySeconds + (record.afternoon ? 43200 : 0);
  return MsSince2000(t) + seconds * 1000LL + record.fraction * 1000LL / 256;
}

}  // namespace qv::sim

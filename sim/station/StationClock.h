#pragma once
// The station's own clock: the PC clock plus an offset, and the clock record
// the station exchanges with the loader (year within the century, month, day,
// day of week × 2 + afternoon bit, seconds within the half day, 1/256 s).
#include <cstdint>
#include <optional>

#include "core/Bytes.h"
#include "core/Calendar.h"
#include "core/Clock.h"

namespace qv::sim {

struct ClockRecord {
  int year = 0;  // two digits
  int month = 1;
  int day = 1;
  int dayOfWeek = 0;
  bool afternoon = false;
  int halfDaySeconds = 0;  // 0 .. 43200
  int fraction = 0;        // 1/256 s
};

// The record a station reports for `time`.
ClockRecord RecordFromTime(const LocalDateTime& time);
// The seven data bytes of a clock-set command, and back; nothing when a field
// is out of range (month 0, 43201 seconds, …).
Bytes EncodeSetRecord(const ClockRecord& record);
std::optional<ClockRecord> DecodeSetRecord(const Bytes& data);
// The moment a record stands for (year 2000 + the two digits).
std::int64_t MsFromRecord(const ClockRecord& record);

}  // namespace qv::sim

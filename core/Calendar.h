#pragma once
// Proleptic Gregorian calendar arithmetic without time zones, counted from
// 2000-01-01 00:00: dates of the station's records and the virtual clock.
#include <cstdint>

#include "core/Clock.h"

namespace qv {

// Days from 2000-01-01 to the given date; month and day may lie outside their
// range and roll over (month 13 is January of the next year, day 0 the last
// day of the month before).
std::int64_t DaysFromCivil(int year, int month, int day);
std::int64_t MsSince2000(const LocalDateTime& time);
// The date and time (with day of week) a millisecond count stands for.
LocalDateTime DateTimeFromMs(std::int64_t msSince2000);

}  // namespace qv

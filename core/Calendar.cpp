#include "core/Calendar.h"

namespace qv {

namespace {
constexpr std::int64_t kMsPerDay = 86'400'000;
// Day numbers of the era algorithm count from 1970-01-01; 2000-01-01 is day 10957.
constexpr std::int64_t kDays1970To2000 = 10957;
constexpr std::int64_t kEraShift = 719468;
}  // namespace

std::int64_t DaysFromCivil(int year, int month, int day) {
  // Normalise the month first so that rolled-over months land in the right year.
  std::int64_t y = year;
  std::int64_t m = month - 1;
  y += (m >= 0 ? m : m - 11) / 12;
  m = (m % 12 + 12) % 12 + 1;
  y -= m <= 2 ? 1 : 0;
  const std::int64_t era = (y >= 0 ? y : y - 399) / 400;
  const std::int64_t yoe = y - era * 400;
  const std::int64_t mp = (m + 9) % 12;
  const std::int64_t doy = (153 * mp + 2) / 5 + day - 1;
  const std::int64_t doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  return era * 146097 + doe - kEraShift - kDays1970To2000;
}

std::int64_t MsSince2000(const LocalDateTime& time) {
  const std::int64_t inDay =
      ((time.hour * 60LL + time.minute) * 60LL + time.second) * 1000LL + time.millisecond;
  return DaysFromCivil(time.year, time.month, time.day) * kMsPerDay + inDay;
}

LocalDateTime DateTimeFromMs(std::int64_t msSince2000) {
  std::int64_t days = msSince2000 / kMsPerDay;
  std::int64_t rest = msSince2000 % kMsPerDay;
  if (rest < 0) {
    rest += kMsPerDay;
    --days;
  }
  const std::int64_t z = days + kDays1970To2000 + kEraShift;
  const std::int64_t era = (z >= 0 ? z : z - 146096) / 146097;
  const std::int64_t doe = z - era * 146097;
  const std::int64_t yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
  const std::int64_t doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
  const std::int64_t mp = (5 * doy + 2) / 153;
  const std::int64_t m = mp < 10 ? mp + 3 : mp - 9;

  LocalDateTime t;
  t.year = static_cast<int>(yoe + era * 400 + (m <= 2 ? 1 : 0));
  t.month = static_cast<int>(m);
  t.day = static_cast<int>(doy - (153 * mp + 2) / 5 + 1);
  t.hour = static_cast<int>(rest / 3'600'000);
  t.minute = static_cast<int>(rest / 60'000 % 60);
  t.second = static_cast<int>(rest / 1000 % 60);
  t.millisecond = static_cast<int>(rest % 1000);
  // 2000-01-01 was a Saturday (6).
  t.dayOfWeek = static_cast<int>(((days + 6) % 7 + 7) % 7);
  return t;
}

}  // namespace qv

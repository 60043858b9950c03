#include "sim/VirtualClock.h"

namespace qv::sim {

namespace {
constexpr std::int64_t kMsPerDay = 86'400'000;
// 2000-01-01 is day 10957 after 1970-01-01.
constexpr std::int64_t kDays1970To2000 = 10957;
}  // namespace

// Civil-date arithmetic over 400-year eras, counted from 2000-01-01.
std::int64_t DaysFromCivil(int year, int month, int day) {
  const std::int64_t y = static_cast<std::int64_t>(year) - (month <= 2 ? 1 : 0);
  const std::int64_t era = (y >= 0 ? y : y - 399) / 400;
  const std::int64_t yoe = y - era * 400;
  const std::int64_t mp = (month + 9) % 12;
  const std::int64_t doy = (153 * mp + 2) / 5 + day - 1;
  const std::int64_t doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  return era * 146097 + doe - 719468 - kDays1970To2000;
}

LocalDateTime CivilFromMs(std::int64_t msSince2000) {
  std::int64_t days = msSince2000 / kMsPerDay;
  std::int64_t rest = msSince2000 % kMsPerDay;
  if (rest < 0) {
    rest += kMsPerDay;
    --days;
  }
  const std::int64_t z = days + kDays1970To2000 + 719468;
  const std::int64_t era = (z >= 0 ? z : z - 146096) / 146097;
  const std::int64_t doe = z - era * 146097;
  const std::int64_t yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
  const std::int64_t doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
  const std::int64_t mp = (5 * doy + 2) / 153;
  const std::int64_t d = doy - (153 * mp + 2) / 5 + 1;
  const std::int64_t m = mp < 10 ? mp + 3 : mp - 9;
  const std::int64_t y = yoe + era * 400 + (m <= 2 ? 1 : 0);

  LocalDateTime t;
  t.year = static_cast<int>(y);
  t.month = static_cast<int>(m);
  t.day = static_cast<int>(d);
  t.hour = static_cast<int>(rest / 3'600'000);
  t.minute = static_cast<int>(rest / 60'000 % 60);
  t.second = static_cast<int>(rest / 1000 % 60);
  t.millisecond = static_cast<int>(rest % 1000);
  // 2000-01-01 was a Saturday (6).
  t.dayOfWeek = static_cast<int>(((days + 6) % 7 + 7) % 7);
  return t;
}

VirtualClock::VirtualClock(VirtualScheduler& scheduler) : scheduler_(scheduler) {
  setNow(LocalDateTime{});
}

void VirtualClock::setNow(const LocalDateTime& start) {
  const std::int64_t ms = DaysFromCivil(start.year, start.month, start.day) * kMsPerDay +
                          start.hour * 3'600'000LL + start.minute * 60'000LL + start.second * 1000LL +
                          start.millisecond;
  epochOffset_ = ms - scheduler_.now();
}

LocalDateTime VirtualClock::now() const { return CivilFromMs(epochOffset_ + scheduler_.now()); }

void VirtualClock::sleep(int milliseconds) {
  if (milliseconds <= 0) return;
  scheduler_.skip(milliseconds);
  slept_ += milliseconds;
}

void VirtualClock::processEvents() { scheduler_.runDue(); }

}  // namespace qv::sim

#include "sim/virtual/VirtualClock.h"

#include "core/Calendar.h"

namespace qv::sim {

VirtualClock::VirtualClock(VirtualScheduler& scheduler) : scheduler_(scheduler) {
  setNow(LocalDateTime{});
}

void VirtualClock::setNow(const LocalDateTime& start) {
  epochOffset_ = MsSince2000(start) - scheduler_.now();
}

LocalDateTime VirtualClock::now() const {
  return DateTimeFromMs(epochOffset_ + scheduler_.now());
}

void VirtualClock::sleep(int milliseconds) {
  if (milliseconds <= 0) return;
  scheduler_.skip(milliseconds);
  slept_ += milliseconds;
}

void VirtualClock::processEvents() {
  scheduler_.runDue();
}

}  // namespace qv::sim

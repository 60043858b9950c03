#pragma once
// The PC clock on virtual time: a settable start date plus the scheduler's
// virtual milliseconds. A pause moves virtual time on without running events
// (they fall due and run at the next processEvents or scheduler run), as a
// blocking pause on the GUI thread does.
#include "core/Clock.h"
#include "sim/virtual/VirtualScheduler.h"

namespace qv::sim {

class VirtualClock : public Clock {
 public:
  explicit VirtualClock(VirtualScheduler& scheduler);

  // The date shown at the scheduler's current time; later times count from it.
  // dayOfWeek is recomputed from the date.
  void setNow(const LocalDateTime& start);

  LocalDateTime now() const override;
  std::int64_t monotonicMs() const override { return scheduler_.now(); }
  void sleep(int milliseconds) override;
  void processEvents() override;

  // Total virtual time spent in sleep().
  VirtualMs sleptMs() const { return slept_; }

 private:
  VirtualScheduler& scheduler_;
  VirtualMs epochOffset_ = 0;  // ms since 2000-01-01 00:00 at scheduler time 0
  VirtualMs slept_ = 0;
};

}  // namespace qv::sim

#pragma once
// A window timer on virtual time. A disabled timer or one with interval 0
// never ticks. Enabling a disabled timer or setting the interval restarts the
// countdown; enabling a timer that is already enabled changes nothing (so a
// caller that wants a fresh countdown disables it first). A tick re-arms the
// timer before OnTick runs, so OnTick may disable or re-arm it. A negative
// interval counts as 0.
#include "core/Timer.h"
#include "sim/virtual/VirtualScheduler.h"

namespace qv::sim {

class VirtualTimer : public Timer {
 public:
  explicit VirtualTimer(VirtualScheduler& scheduler, int interval = 0, bool enabled = false);
  ~VirtualTimer() override;
  VirtualTimer(const VirtualTimer&) = delete;
  VirtualTimer& operator=(const VirtualTimer&) = delete;

  void setEnabled(bool enabled) override;
  bool Enabled() const override { return enabled_; }
  void setInterval(int milliseconds) override;
  int Interval() const override { return interval_; }

  int tickCount() const { return ticks_; }
  // Virtual time of the next tick, if one is armed.
  std::optional<VirtualMs> nextTick() const;

 private:
  void restart();
  void fire();

  VirtualScheduler& scheduler_;
  int interval_;
  bool enabled_;
  int ticks_ = 0;
  VirtualScheduler::EventId pending_ = 0;
  VirtualMs due_ = 0;
};

}  // namespace qv::sim

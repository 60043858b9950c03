#pragma once
// A window timer on QTimer: ticks on the owning (GUI) thread every Interval
// ms while enabled and the interval is above 0.
#include <QTimer>

#include "core/Timer.h"

namespace qv {

class QtTimer : public Timer {
 public:
  QtTimer();
  QtTimer(const QtTimer&) = delete;
  QtTimer& operator=(const QtTimer&) = delete;

  // Enabling a disabled timer starts a fresh countdown; enabling an enabled
  // one leaves its countdown alone.
  void setEnabled(bool enabled) override;
  bool Enabled() const override { return enabled_; }
  // Restarts the countdown of an enabled timer, even for the same interval.
  // A negative interval counts as 0 (never ticks).
  void setInterval(int milliseconds) override;
  int Interval() const override { return interval_; }

 private:
  void Restart();

  QTimer timer_;
  bool enabled_ = false;
  int interval_ = 0;
};

}  // namespace qv

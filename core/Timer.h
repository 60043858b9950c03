#pragma once
// A window timer: ticks every Interval ms while enabled. A disabled timer or
// one with interval 0 never ticks; enabling a disabled timer or setting the
// interval restarts the countdown, while enabling a timer that is already
// enabled changes nothing (disable it first for a fresh countdown).
#include <functional>

namespace qv {

class Timer {
 public:
  virtual ~Timer() = default;
  virtual void setEnabled(bool enabled) = 0;
  virtual bool Enabled() const = 0;
  virtual void setInterval(int milliseconds) = 0;
  virtual int Interval() const = 0;
  std::function<void()> OnTick;
};

}  // namespace qv

#include "platform/QtTimer.h"

#include <algorithm>

namespace qv {

QtTimer::QtTimer() {
  timer_.setTimerType(Qt::PreciseTimer);
  QObject::connect(&timer_, &QTimer::timeout, &timer_, [this] {
    if (OnTick) OnTick();
  });
}

void QtTimer::setEnabled(bool enabled) {
  if (enabled == enabled_) return;
  enabled_ = enabled;
  Restart();
}

void QtTimer::setInterval(int milliseconds) {
  interval_ = std::max(milliseconds, 0);
  Restart();
}

void QtTimer::Restart() {
  if (enabled_ && interval_ > 0) {
    timer_.start(interval_);
  } else {
    timer_.stop();
  }
}

}  // namespace qv

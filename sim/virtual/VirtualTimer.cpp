#include "sim/virtual/VirtualTimer.h"

#include <algorithm>

namespace qv::sim {

VirtualTimer::VirtualTimer(VirtualScheduler& scheduler, int interval, bool enabled)
    : scheduler_(scheduler), interval_(std::max(interval, 0)), enabled_(enabled) {
  restart();
}

VirtualTimer::~VirtualTimer() {
  scheduler_.cancel(pending_);
}

void VirtualTimer::setEnabled(bool enabled) {
  if (enabled == enabled_) return;
  enabled_ = enabled;
  restart();
}

void VirtualTimer::setInterval(int milliseconds) {
  interval_ = std::max(milliseconds, 0);
  restart();
}

std::optional<VirtualMs> VirtualTimer::nextTick() const {
  if (!scheduler_.isPending(pending_)) return std::nullopt;
  return due_;
}

void VirtualTimer::restart() {
  scheduler_.cancel(pending_);
  pending_ = 0;
  if (!enabled_ || interval_ <= 0) return;
  due_ = scheduler_.now() + interval_;
  pending_ = scheduler_.scheduleAt(due_, [this] { fire(); });
}

void VirtualTimer::fire() {
  pending_ = 0;
  ++ticks_;
  restart();
  if (OnTick) OnTick();
}

}  // namespace qv::sim

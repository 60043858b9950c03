#include "sim/virtual/VirtualScheduler.h"

#include <algorithm>

namespace qv::sim {

VirtualScheduler::EventId VirtualScheduler::scheduleAt(VirtualMs at, Action action) {
  if (at < now_) at = now_;
  const EventId id = nextId_++;
  queue_.emplace(Key{at, id}, std::move(action));
  timeOf_.emplace(id, at);
  return id;
}

void VirtualScheduler::cancel(EventId id) {
  const auto it = timeOf_.find(id);
  if (it == timeOf_.end()) return;
  queue_.erase(Key{it->second, id});
  timeOf_.erase(it);
}

bool VirtualScheduler::isPending(EventId id) const {
  return timeOf_.count(id) != 0;
}

void VirtualScheduler::skip(VirtualMs milliseconds) {
  if (milliseconds > 0) now_ += milliseconds;
}

bool VirtualScheduler::runOneDue() {
  if (queue_.empty() || queue_.begin()->first.first > now_) return false;
  auto node = queue_.extract(queue_.begin());
  timeOf_.erase(node.key().second);
  node.mapped()();
  return true;
}

int VirtualScheduler::runDue() {
  int count = 0;
  while (runOneDue()) ++count;
  return count;
}

int VirtualScheduler::advanceTo(VirtualMs until) {
  int count = 0;
  while (!queue_.empty() && queue_.begin()->first.first <= until) {
    now_ = std::max(now_, queue_.begin()->first.first);
    if (runOneDue()) ++count;
  }
  now_ = std::max(now_, until);
  return count;
}

bool VirtualScheduler::runNext() {
  if (queue_.empty()) return false;
  now_ = std::max(now_, queue_.begin()->first.first);
  runDue();
  return true;
}

bool VirtualScheduler::runUntil(const std::function<bool()>& done, VirtualMs limit) {
  const VirtualMs end = now_ + limit;
  while (!done()) {
    const auto next = nextTime();
    if (!next || *next > end) {
      now_ = std::max(now_, end);
      return done();
    }
    now_ = std::max(now_, *next);
    runOneDue();
  }
  return true;
}

std::optional<VirtualMs> VirtualScheduler::nextTime() const {
  if (queue_.empty()) return std::nullopt;
  return queue_.begin()->first.first;
}

}  // namespace qv::sim

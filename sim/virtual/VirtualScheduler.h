#pragma once
// Virtual time for tests and the in-memory station: a queue of actions keyed
// by virtual milliseconds. Nothing runs by itself; the test (or a nested
// "event loop" such as a scripted message box) decides when due events run.
// Events at the same time run in the order they were scheduled.
#include <cstdint>
#include <functional>
#include <map>
#include <optional>
#include <utility>

namespace qv::sim {

using VirtualMs = std::int64_t;

class VirtualScheduler {
 public:
  using Action = std::function<void()>;
  using EventId = std::uint64_t;

  VirtualMs now() const { return now_; }

  // Schedules at an absolute virtual time; a time in the past means "due now".
  EventId scheduleAt(VirtualMs at, Action action);
  EventId scheduleIn(VirtualMs delay, Action action) {
    return scheduleAt(now_ + delay, std::move(action));
  }
  // Unknown or already run ids are ignored.
  void cancel(EventId id);
  bool isPending(EventId id) const;

  // Moves the clock forward without running anything (a blocking pause).
  void skip(VirtualMs milliseconds);

  // Runs every event due at the current time, including ones scheduled for
  // "now" by the events themselves. Returns how many ran.
  int runDue();
  // Runs events in time order up to and including `until`, moving now to each
  // event's time, then sets now to `until` (never backwards).
  int advanceTo(VirtualMs until);
  int advanceBy(VirtualMs milliseconds) { return advanceTo(now_ + milliseconds); }
  // Moves to the next event and runs everything due then. False when idle.
  bool runNext();
  // Runs events until `done` holds or `limit` virtual ms have passed.
  // Returns whether `done` held.
  bool runUntil(const std::function<bool()>& done, VirtualMs limit);

  std::size_t pendingCount() const { return queue_.size(); }
  std::optional<VirtualMs> nextTime() const;

 private:
  using Key = std::pair<VirtualMs, EventId>;
  bool runOneDue();

  VirtualMs now_ = 0;
  EventId nextId_ = 1;
  std::map<Key, Action> queue_;
  std::map<EventId, VirtualMs> timeOf_;
};

}  // namespace qv::sim

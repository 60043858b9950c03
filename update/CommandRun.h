#pragma once
// The run of one command, told through RunEvents: where it begins, what makes
// it a success, and when it is over. A run is over when the engine comes to
// rest: the outermost event has returned, no box is open and no timer is
// armed, so nothing more will happen on its own.
#include "core/RunEvents.h"

namespace qv {

class Context;

// Starts telling a command's run: tells its kind and the Contact phase.
void BeginRun(Context& ctx, RunKind kind);

// The run of `kind` did what it was for (a run of another kind is untouched:
// the clock set after an update is not the update's success).
void MarkRunOk(Context& ctx, RunKind kind);

// Looks at the run after an event: tells its end once the engine rests, or
// the stall when it rests awaiting a reply no watchdog guards.
void SettleRun(Context& ctx);

// Brackets every way into the engine (a command, a reply, a timer): the run
// is looked at when the outermost one returns.
class EngineEvent {
 public:
  explicit EngineEvent(Context& ctx);
  ~EngineEvent();
  EngineEvent(const EngineEvent&) = delete;
  EngineEvent& operator=(const EngineEvent&) = delete;

 private:
  Context& ctx_;
};

}  // namespace qv

#pragma once
// Everything a Context needs, on virtual time, owned together: one station
// link for a test or for the in-memory station. The timers start disabled, as
// the window's timers do before the engine starts (StartEngine gives each its
// interval).
#include "core/Context.h"
#include "sim/virtual/RunLog.h"
#include "sim/virtual/ScriptedView.h"
#include "sim/virtual/VirtualClock.h"
#include "sim/virtual/VirtualScheduler.h"
#include "sim/virtual/VirtualSerialPort.h"
#include "sim/virtual/VirtualTimer.h"
#include "update/ReplyHandlers.h"

namespace qv::sim {

struct VirtualPlatform {
  VirtualScheduler scheduler;
  VirtualSerialPort port{scheduler};
  VirtualTimer timer1{scheduler, 0, false};
  VirtualTimer timer2{scheduler, 0, false};
  VirtualTimer timer3{scheduler, 2000, false};
  VirtualTimer timerEfi{scheduler, 1500, false};
  VirtualTimer timerKeyWait{scheduler, 4000, false};
  VirtualClock clock{scheduler};
  ScriptedView view{&scheduler};
  RunLog runs;
  Context ctx;

  // The program's reply handlers unless a test brings its own table.
  explicit VirtualPlatform(const ReplyTable& replies = StationReplies())
      : ctx(PlatformOf(*this, replies, &runs)) {}
  VirtualPlatform(const VirtualPlatform&) = delete;
  VirtualPlatform& operator=(const VirtualPlatform&) = delete;
};

}  // namespace qv::sim

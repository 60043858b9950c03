#include "core/Context.h"

#include <stdexcept>

namespace qv {

namespace {
template <typename T>
T& Require(T* p, const char* what) {
  if (!p) throw std::invalid_argument(std::string("Context needs ") + what);
  return *p;
}
RunEvents& Untold() {
  static RunEvents none;
  return none;
}
}  // namespace

Context::Context(const Platform& platform)
    : MSComm(Require(platform.MSComm, "a serial port")),
      Timer1(Require(platform.Timer1, "Timer1")),
      Timer2(Require(platform.Timer2, "Timer2")),
      Timer3(Require(platform.Timer3, "Timer3")),
      TimerEfi(Require(platform.TimerEfi, "TimerEfi")),
      TimerKeyWait(Require(platform.TimerKeyWait, "TimerKeyWait")),
      clock(Require(platform.clock, "a clock")),
      view(Require(platform.view, "a view")),
      replies(Require(platform.replies, "a reply table")),
      events(platform.events ? *platform.events : Untold()) {}

}  // namespace qv

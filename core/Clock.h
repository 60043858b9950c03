#pragma once
// The PC clock and the blocking pauses of the loader.
#include <cstdint>

namespace qv {

struct LocalDateTime {
  int year = 2000;  // four digits
  int month = 1;    // 1..12
  int day = 1;      // 1..31
  int hour = 0;
  int minute = 0;
  int second = 0;
  int millisecond = 0;
  int dayOfWeek = 6;  // Sunday = 0 .. Saturday = 6

  double secondsSinceMidnight() const {
    return hour * 3600.0 + minute * 60.0 + second + millisecond / 1000.0;
  }
};

class Clock {
 public:
  virtual ~Clock() = default;
  virtual LocalDateTime now() const = 0;
  // Milliseconds on a clock that never steps (NTP, daylight saving time):
  // for measuring waits. Its zero means nothing.
  virtual std::int64_t monotonicMs() const = 0;
  // Blocks the thread; events that fall due meanwhile run afterwards.
  virtual void sleep(int milliseconds) = 0;
  // Lets the events already waiting run once (a nested event loop pass).
  virtual void processEvents() = 0;
};

}  // namespace qv

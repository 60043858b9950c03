#pragma once
// The PC's local clock and real pauses.
#include <string>

#include "core/Clock.h"

namespace qv {

class QtClock : public Clock {
 public:
  LocalDateTime now() const override;
  std::int64_t monotonicMs() const override;
  // Blocks without running events; they run once the caller returns to the
  // event loop or calls processEvents.
  void sleep(int milliseconds) override;
  void processEvents() override;
};

// Now, UTC, ISO 8601 with milliseconds: the time of a record row or a report line.
std::string UtcTimestamp();

}  // namespace qv

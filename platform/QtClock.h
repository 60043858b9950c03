#pragma once
// The PC's local clock and real pauses.
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

}  // namespace qv

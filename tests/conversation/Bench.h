#pragma once
// The update bench of the conversation tests: whatever a test checks, the
// loader kept the transfer's rules.
#include <gtest/gtest.h>

#include "sim/station/UpgradeImage.h"
#include "sim/virtual/UpdateBench.h"
#include "texts/MlStringModule.h"
#include "update/ModeSwitching.h"
#include "update/UpdateRun.h"

namespace qv::test {

using sim::BenchSetup;

class Bench : public sim::UpdateBench {
 public:
  using UpdateBench::UpdateBench;
  ~Bench() {
    if (!peer) return;
    for (const std::string& breach : peer->station().breaches()) ADD_FAILURE() << breach;
  }
};

}  // namespace qv::test

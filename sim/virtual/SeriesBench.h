#pragma once
// A series on the update bench: the bench's line with a context of its own
// whose events go through the series, and stations placed and taken away one
// after another.
#include <functional>

#include "sim/virtual/UpdateBench.h"
#include "sim/virtual/VirtualTimer.h"
#include "update/Engine.h"
#include "update/Series.h"

namespace qv::sim {

class SeriesBench : public UpdateBench {
 public:
  explicit SeriesBench(BenchSetup setup = {}) : UpdateBench(StationAt(4800), Stationless(setup)) {
    p.port.setPortOpen(false);
    SetUpEngine(line, {.comNumber = 1,
                       .baud = std::to_string(setup.pcBaud),
                       .open = true,
                       .relayed = setup.relayed});
    line.settings.UpgradeFolder = root.path;
    series.Attach(line);
  }

  // The station taken away (if any), and one with `serial` placed.
  void Place(std::uint32_t serial, const std::function<void(StationOptions&)>& adjust = {}) {
    StationOptions o = StationAt(4800);
    o.identity.serial = serial;
    o.expectedImage = image;
    o.expectedKey = key;
    o.newFirmware = "600";
    if (adjust) adjust(o);
    peer.reset();
    peer.emplace(p.port, p.scheduler, p.clock, o);
  }
  bool RunUntilEnds(std::size_t ends, VirtualMs limit = 200'000) {
    return p.scheduler.runUntil([&] { return p.runs.ends.size() >= ends; }, limit);
  }

  VirtualTimer pollTimer{p.scheduler, 1, false};
  Series series{pollTimer, p.runs};
  Context line{PlatformOf(p, StationReplies(), &series)};

 private:
  static BenchSetup Stationless(BenchSetup setup) {
    setup.withStation = false;
    return setup;
  }
};

}  // namespace qv::sim

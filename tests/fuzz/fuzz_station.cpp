// Arbitrary bytes from a loader, at either speed, must never upset the
// station model: it answers, NAKs or stays silent, and keeps its image sane.
#include <algorithm>
#include <cstddef>
#include <cstdint>

#include "sim/station/Station.h"
#include "sim/virtual/VirtualClock.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  qv::sim::VirtualScheduler scheduler;
  qv::sim::VirtualClock clock(scheduler);
  qv::sim::StationOptions options;
  options.mode = 'M';
  qv::sim::Station station(options, clock);
  qv::sim::TimeUs now = 0;
  // The first byte of each chunk says how long it is and whether the loader's
  // speed matches; the rest is what arrives.
  std::size_t at = 0;
  while (at < size) {
    const std::uint8_t control = data[at++];
    const std::size_t length = std::min<std::size_t>(control & 0x3F, size - at);
    const std::uint32_t baud = (control & 0x40) ? 38400 : station.baud();
    station.receive(now, qv::Bytes(data + at, data + at + length), baud);
    at += length;
    now += (control & 0x80) ? 500'000 : 1'000;
    station.advanceTo(now);
    for (const auto& t : station.takeTransmissions()) {
      if (t.bytes.empty() || t.startUs < 0) __builtin_trap();
    }
    if (station.image().size() > 0x1000000) __builtin_trap();
  }
  return 0;
}

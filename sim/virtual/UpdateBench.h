#pragma once
// The engine on virtual time against the in-memory station, with an upgrade
// folder of one image: the operator's side of a conversation, for tests and
// for the fault exploration.
#include <optional>
#include <string>

#include "sim/station/Station.h"
#include "sim/virtual/ScratchFolder.h"
#include "sim/virtual/StationPeer.h"
#include "sim/virtual/VirtualPlatform.h"

namespace qv::sim {

struct BenchSetup {
  int pcBaud = 4800;
  bool relayed = false;
  std::size_t imageSize = 700;
  std::string fileFirmware = "600";   // in the file's name
  std::string imageFirmware = "600";  // what the image makes the station run
  std::uint16_t fileHardware = 0x8115;
  std::uint16_t fileBoot = 0x0102;
  bool withStation = true;
};

// A station found at `baud` that takes at most `maxBaud`; interface bits 0x30
// make it a USB station.
StationOptions StationAt(std::uint32_t baud, std::uint8_t interfaceBits = 0x08,
                         std::uint32_t maxBaud = 38400);

class UpdateBench {
 public:
  explicit UpdateBench(StationOptions station, BenchSetup setup = {});
  UpdateBench(const UpdateBench&) = delete;
  UpdateBench& operator=(const UpdateBench&) = delete;

  void run(VirtualMs ms) { p.scheduler.advanceBy(ms); }
  // Start, then `ms` of virtual time.
  void start(VirtualMs ms = 120'000);
  const Station& station() const { return peer->station(); }

  // Boxes whose text holds message `id` in English.
  int boxesWith(int id) const;
  int framesSent(std::uint8_t command) const;
  std::string boxLog() const;
  // The station holds the file's image, reported the file's firmware after its
  // restart, and the operator was told so.
  bool confirmed() const;

  VirtualPlatform p;
  Context& ctx = p.ctx;
  std::optional<StationPeer> peer;
  ScratchFolder root;
  Bytes image;
  std::string key;
};

}  // namespace qv::sim

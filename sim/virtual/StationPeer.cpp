#include "sim/virtual/StationPeer.h"

namespace qv::sim {

namespace {

VirtualMs CeilMs(TimeUs us) {
  return (us + 999) / 1000;
}

}  // namespace

StationPeer::StationPeer(VirtualSerialPort& port, VirtualScheduler& scheduler, const Clock& pcClock,
                         StationOptions options)
    : port_(port), scheduler_(scheduler), station_(std::move(options), pcClock) {
  port_.attachPeer(this);
}

StationPeer::~StationPeer() {
  for (auto id : scheduled_) scheduler_.cancel(id);
  port_.attachPeer(nullptr);
}

void StationPeer::onBytesFromLoader(const Bytes& bytes, int baud) {
  station_.receive(scheduler_.now() * 1000, bytes, static_cast<std::uint32_t>(baud));
  deliver();
}

void StationPeer::deliver() {
  std::erase_if(scheduled_,
                [this](VirtualScheduler::EventId id) { return !scheduler_.isPending(id); });
  for (Transmission& t : station_.takeTransmissions()) {
    const VirtualMs at = CeilMs(t.endUs());
    scheduled_.push_back(scheduler_.scheduleAt(at, [this, t = std::move(t)] {
      station_.advanceTo(scheduler_.now() * 1000);
      if (static_cast<std::uint32_t>(port_.baud()) == t.baud) port_.sendToLoader(t.bytes);
    }));
  }
  if (station_.gone()) {
    port_.setPortMissing(port_.CommPort(), true);
    port_.attachPeer(nullptr);
  }
}

}  // namespace qv::sim

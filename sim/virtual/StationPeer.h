#pragma once
// The station model on the far end of the virtual serial port: the in-memory
// station for conversation tests. Each frame the loader writes reaches the
// model at the scheduler's present time; each reply lands in the port's input
// when its last byte has crossed the line at the station's speed (the model's
// timing, rounded up to whole virtual milliseconds). A reply sent at another
// speed than the port's is unreadable and never arrives. When the station
// disappears the port number goes missing, so reopening it fails.
#include "sim/station/Station.h"
#include "sim/virtual/VirtualScheduler.h"
#include "sim/virtual/VirtualSerialPort.h"

namespace qv::sim {

class StationPeer : public SerialPeer {
 public:
  StationPeer(VirtualSerialPort& port, VirtualScheduler& scheduler, const Clock& pcClock,
              StationOptions options);
  ~StationPeer() override;
  StationPeer(const StationPeer&) = delete;
  StationPeer& operator=(const StationPeer&) = delete;

  void onBytesFromLoader(const Bytes& bytes, int baud) override;

  Station& station() { return station_; }
  const Station& station() const { return station_; }

 private:
  void deliver();

  VirtualSerialPort& port_;
  VirtualScheduler& scheduler_;
  Station station_;
  std::vector<VirtualScheduler::EventId> scheduled_;
};

}  // namespace qv::sim

#pragma once
// A serial port on virtual time with a pluggable far end.
//
// Loader -> peer: every Output on an open port is recorded as one frame and
// handed at once to the attached SerialPeer together with the port's current
// speed. Peer -> loader: the peer calls sendToLoader(); the bytes land in the
// input buffer at a virtual time and each landing raises OnComm with
// CommEvent 2 from the scheduler, so a reply the peer splits into several
// chunks reaches the loader as several receive events. Line errors are
// injected the same way with injectEvent(). Nothing reaches a closed port:
// arrivals while closed are dropped, and closing discards waiting input.
// Settings, handshaking, InputLen and port numbers are checked and refused
// with the errors of the real port; a landing raises OnComm at once, even
// while a handler waits in a message box.
#include <cstdint>
#include <deque>
#include <set>
#include <string>
#include <vector>

#include "core/SerialComm.h"
#include "sim/virtual/VirtualScheduler.h"

namespace qv::sim {

class VirtualSerialPort;

// The far end of the line (the in-memory station).
class SerialPeer {
 public:
  virtual ~SerialPeer() = default;
  // One frame the loader wrote, at the loader's speed at the time of writing.
  virtual void onBytesFromLoader(const Bytes& bytes, int baud) = 0;
};

class VirtualSerialPort : public SerialComm {
 public:
  explicit VirtualSerialPort(VirtualScheduler& scheduler);

  // SerialComm.
  void setCommPort(int number) override;
  int CommPort() const override { return port_; }
  void setSettings(const std::string& settings) override;
  std::string Settings() const override { return settings_; }
  void setHandshaking(int mode) override;
  int Handshaking() const override { return handshaking_; }
  void setPortOpen(bool open) override;
  bool PortOpen() const override { return open_; }
  void setInputLen(int length) override;
  int InputLen() const override { return inputLen_; }
  int InBufferCount() const override { return static_cast<int>(input_.size()); }
  Bytes Input() override;
  void Output(const Bytes& frame) override;
  int CommEvent() const override { return commEvent_; }

  // The speed in Settings.
  int baud() const { return baud_; }

  // Test controls for opening: a missing port throws PlatformError 8012, a
  // port in use 8005. Both apply to the port number at the time of opening.
  void setPortMissing(int number, bool missing);
  void setPortInUse(int number, bool inUse);
  // The device goes away under the open port, as an unplugged adapter does:
  // the port closes, one line event (DCB) is raised, and the number stays
  // missing until setPortMissing(number, false).
  void unplug();
  int openCount() const { return openCount_; }

  // The far end. May be null (nothing is listening).
  void attachPeer(SerialPeer* peer) { peer_ = peer; }

  // Bytes from the far end. Without line timing they land `delayMs` from now.
  // With line timing each byte also takes 10 bit times at the port's current
  // speed, and chunks queue behind each other on the line (the line is busy
  // until the previous chunk has arrived). Returns the virtual arrival time.
  VirtualMs sendToLoader(const Bytes& bytes, VirtualMs delayMs = 0, bool lineTiming = false);
  // Virtual duration of `count` bytes at `baud` (10 bits per byte), at least 1 ms
  // for a non-empty run.
  static VirtualMs lineTimeMs(std::size_t count, int baud);

  // Puts bytes into the input buffer at once without raising an event: bytes
  // that arrived while another event was being handled.
  void preload(const Bytes& bytes) { input_.insert(input_.end(), bytes.begin(), bytes.end()); }

  // Raises OnComm with `code` after `delayMs` (line errors, modem lines).
  // Does nothing when the port is closed at that time.
  void injectEvent(int code, VirtualMs delayMs = 0);

  // Frames the loader wrote on an open port, oldest first, with their speed.
  struct SentFrame {
    Bytes bytes;
    int baud;
    VirtualMs at;
  };
  const std::vector<SentFrame>& sent() const { return sent_; }
  void clearSent() { sent_.clear(); }

 private:
  void arrive(const Bytes& bytes);
  void raise(int code);

  VirtualScheduler& scheduler_;
  SerialPeer* peer_ = nullptr;
  int port_ = 1;
  std::string settings_ = "9600,n,8,1";
  int baud_ = 9600;
  int handshaking_ = 0;
  bool open_ = false;
  int inputLen_ = 0;
  int commEvent_ = 0;
  int openCount_ = 0;
  std::deque<std::uint8_t> input_;
  std::set<int> missing_;
  std::set<int> inUse_;
  std::vector<SentFrame> sent_;
  VirtualMs lineBusyUntil_ = 0;
};

}  // namespace qv::sim

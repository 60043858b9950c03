#pragma once
// The one serial-port object every subsystem drives. It exposes exactly the
// operations the loader uses; a Qt implementation talks to a real port, a
// virtual-time implementation talks to a simulated station.
#include <functional>
#include <string>

#include "core/Bytes.h"

namespace qv {

// CommEvent codes.
enum CommEventCode : int {
  comEvSend = 1,
  comEvReceive = 2,
  comEvCTS = 3,
  comEvDSR = 4,
  comEvCD = 5,
  comEvRing = 6,
  comEvEOF = 7,
  comEventBreak = 1001,
  comEventFrame = 1004,
  comEventOverrun = 1006,
  comEventRxOver = 1008,
  comEventRxParity = 1009,
  comEventTxFull = 1010,
  comEventDCB = 1011,
};

class SerialComm {
 public:
  virtual ~SerialComm() = default;

  // Port number, 1 for COM1. Numbers outside 1..16 throw PlatformError 8002.
  virtual void setCommPort(int number) = 0;
  virtual int CommPort() const = 0;

  // "38400,n,8,1": the leading number is the speed.
  virtual void setSettings(const std::string& settings) = 0;
  virtual std::string Settings() const = 0;

  // 0 none, 1 XonXoff, 2 RTS, 3 RTSXonXoff.
  virtual void setHandshaking(int mode) = 0;
  virtual int Handshaking() const = 0;

  // Opening throws PlatformError when the port is missing, in use or not permitted.
  virtual void setPortOpen(bool open) = 0;
  virtual bool PortOpen() const = 0;

  // 0 means that Input returns everything waiting.
  virtual void setInputLen(int length) = 0;
  virtual int InputLen() const = 0;
  virtual int InBufferCount() const = 0;
  // Returns and removes the waiting bytes (at most InputLen when it is not 0).
  virtual Bytes Input() = 0;
  // Queues the bytes of one frame for sending. Ignored on a closed port.
  virtual void Output(const Bytes& frame) = 0;

  // Cause of the OnComm event being delivered.
  virtual int CommEvent() const = 0;

  // Raised on the GUI (or virtual-time) thread, one event at a time.
  std::function<void()> OnComm;
};

}  // namespace qv

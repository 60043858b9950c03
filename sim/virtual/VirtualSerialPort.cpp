#include "sim/virtual/VirtualSerialPort.h"

#include <algorithm>

#include "core/Errors.h"
#include "serial/SerialLine.h"

namespace qv::sim {

VirtualSerialPort::VirtualSerialPort(VirtualScheduler& scheduler) : scheduler_(scheduler) {}

void VirtualSerialPort::setCommPort(int number) {
  if (number < 1 || number > 16) throw PlatformError(kErrInvalidPortNumber, "Invalid port number");
  if (open_ && number != port_) throw PlatformError(kErrPortOpen, "Port already open");
  port_ = number;
}

void VirtualSerialPort::setSettings(const std::string& settings) {
  const auto parsed = ParseLineSettings(settings);
  if (!parsed) throw PlatformError(kErrInvalidValue, "Invalid port settings '" + settings + "'");
  settings_ = FormatLineSettings(*parsed);
  baud_ = parsed->baud;
}

void VirtualSerialPort::setHandshaking(int mode) {
  if (mode < 0 || mode > 3) throw PlatformError(kErrInvalidValue, "Invalid handshaking");
  handshaking_ = mode;
}

void VirtualSerialPort::setInputLen(int length) {
  if (length < 0) throw PlatformError(kErrInvalidValue, "Invalid InputLen");
  inputLen_ = length;
}

void VirtualSerialPort::setPortOpen(bool open) {
  if (open == open_) {
    if (open) throw PlatformError(kErrPortOpen, "Port already open");
    return;
  }
  if (!open) {
    open_ = false;
    input_.clear();
    return;
  }
  if (missing_.count(port_)) throw PlatformError(kErrPortNotFound, "Port not found");
  if (inUse_.count(port_)) throw PlatformError(kErrPortOpen, "Port already in use");
  open_ = true;
  ++openCount_;
}

Bytes VirtualSerialPort::Input() {
  std::size_t count = input_.size();
  if (inputLen_ > 0) count = std::min(count, static_cast<std::size_t>(inputLen_));
  Bytes out(input_.begin(), input_.begin() + static_cast<std::ptrdiff_t>(count));
  input_.erase(input_.begin(), input_.begin() + static_cast<std::ptrdiff_t>(count));
  return out;
}

void VirtualSerialPort::Output(const Bytes& frame) {
  if (!open_ || frame.empty()) return;
  sent_.push_back({frame, baud_, scheduler_.now()});
  if (peer_) peer_->onBytesFromLoader(frame, baud_);
}

void VirtualSerialPort::setPortMissing(int number, bool missing) {
  if (missing)
    missing_.insert(number);
  else
    missing_.erase(number);
}

void VirtualSerialPort::unplug() {
  missing_.insert(port_);
  if (!open_) return;
  open_ = false;
  input_.clear();
  // The real port is closed before anyone hears of it.
  const int previous = commEvent_;
  commEvent_ = comEventDCB;
  if (OnComm) OnComm();
  commEvent_ = previous;
}

void VirtualSerialPort::setPortInUse(int number, bool inUse) {
  if (inUse)
    inUse_.insert(number);
  else
    inUse_.erase(number);
}

VirtualMs VirtualSerialPort::lineTimeMs(std::size_t count, int baud) {
  if (count == 0) return 0;
  if (baud <= 0) return 1;
  const auto bits = static_cast<VirtualMs>(count) * 10 * 1000;
  return std::max<VirtualMs>(1, (bits + baud - 1) / baud);
}

VirtualMs VirtualSerialPort::sendToLoader(const Bytes& bytes, VirtualMs delayMs, bool lineTiming) {
  VirtualMs at = scheduler_.now() + std::max<VirtualMs>(0, delayMs);
  if (lineTiming) {
    at = std::max(at, lineBusyUntil_) + lineTimeMs(bytes.size(), baud_);
    lineBusyUntil_ = at;
  }
  scheduler_.scheduleAt(at, [this, bytes] { arrive(bytes); });
  return at;
}

void VirtualSerialPort::injectEvent(int code, VirtualMs delayMs) {
  scheduler_.scheduleIn(std::max<VirtualMs>(0, delayMs), [this, code] { raise(code); });
}

void VirtualSerialPort::arrive(const Bytes& bytes) {
  if (!open_ || bytes.empty()) return;
  input_.insert(input_.end(), bytes.begin(), bytes.end());
  raise(comEvReceive);
}

void VirtualSerialPort::raise(int code) {
  if (!open_) return;
  // Nested events (a handler waiting in a message box) leave the outer
  // handler its own cause.
  const int previous = commEvent_;
  commEvent_ = code;
  if (OnComm) OnComm();
  commEvent_ = previous;
}

}  // namespace qv::sim

#pragma once
// A serial port that tells of every frame it sends before passing it on to
// the real one; everything else goes straight through. Replies are told of
// where the engine has assembled them (see StationRun), so no second
// receive procedure exists.
#include <functional>

#include "core/SerialComm.h"

namespace qv::cli {

class TracingComm : public SerialComm {
 public:
  explicit TracingComm(SerialComm& inner);
  ~TracingComm() override;
  TracingComm(const TracingComm&) = delete;
  TracingComm& operator=(const TracingComm&) = delete;

  void setCommPort(int number) override { inner_.setCommPort(number); }
  int CommPort() const override { return inner_.CommPort(); }
  void setSettings(const std::string& settings) override { inner_.setSettings(settings); }
  std::string Settings() const override { return inner_.Settings(); }
  void setHandshaking(int mode) override { inner_.setHandshaking(mode); }
  int Handshaking() const override { return inner_.Handshaking(); }
  void setPortOpen(bool open) override { inner_.setPortOpen(open); }
  bool PortOpen() const override { return inner_.PortOpen(); }
  void setInputLen(int length) override { inner_.setInputLen(length); }
  int InputLen() const override { return inner_.InputLen(); }
  int InBufferCount() const override { return inner_.InBufferCount(); }
  Bytes Input() override { return inner_.Input(); }
  void Output(const Bytes& frame) override;
  int CommEvent() const override { return inner_.CommEvent(); }

  // A frame handed to an open port; its command code (0 when it has none).
  std::function<void(std::uint8_t code, const Bytes& frame)> onSent;

 private:
  SerialComm& inner_;
};

// The command code of a frame the loader sends: wake-up byte, STX, code.
std::uint8_t SentCode(const Bytes& frame);

// "SET_MODE", "WRITE_BLOCK", …, "NAK"; "0x42" for a code without a name.
std::string CodeName(std::uint8_t code);

}  // namespace qv::cli

#pragma once
// The serial port on QSerialPort. Every OnComm event is raised on the thread
// that owns this object (the GUI thread), from its event loop, including the
// nested loop of a message box that a handler opened.
#include <QSerialPort>
#include <QTimer>
#include <functional>
#include <initializer_list>
#include <optional>
#include <string>
#include <string_view>

#include "core/SerialComm.h"
#include "serial/PortMap.h"
#include "serial/SerialLine.h"

namespace qv {

class QtSerialComm : public SerialComm {
 public:
  // The operator text of a name in the program's language; the "%1" .. "%9"
  // in it are filled here. Without one a text is its name and its values.
  using TextLookup = std::function<std::string(std::string_view name)>;

  explicit QtSerialComm(PortMap ports, TextLookup texts = {});
  ~QtSerialComm() override;
  QtSerialComm(const QtSerialComm&) = delete;
  QtSerialComm& operator=(const QtSerialComm&) = delete;

  void setCommPort(int number) override;
  int CommPort() const override { return commPort_; }
  void setSettings(const std::string& settings) override;
  std::string Settings() const override { return FormatLineSettings(settings_); }
  void setHandshaking(int mode) override;
  int Handshaking() const override { return handshaking_; }
  void setPortOpen(bool open) override;
  bool PortOpen() const override { return port_.isOpen(); }
  void setInputLen(int length) override;
  int InputLen() const override { return inputLen_; }
  int InBufferCount() const override;
  Bytes Input() override;
  void Output(const Bytes& frame) override;
  int CommEvent() const override { return commEvent_; }

  void setTexts(TextLookup texts);

  const PortMap& ports() const { return ports_; }
  // The device path of the open port; empty while closed.
  std::string DevicePath() const;

 private:
  void Open();
  void Close();
  void Abandon();  // closes without waiting for unsent bytes
  void HandOverPendingBytes();
  void Drain();
  bool ApplyLine(const LineSettings& settings);
  bool ApplyHandshaking(int mode);
  void OnReadyRead();
  bool HasUnannouncedBytes() const;
  void AnnounceNewBytes();
  void DeliverReceive();
  void OnError(QSerialPort::SerialPortError error);
  void PollLineCounters();
  void Raise(int event);
  std::string Text(std::string_view name, std::initializer_list<std::string_view> args) const;

  PortMap ports_;
  TextLookup texts_;
  QSerialPort port_;
  QTimer linePoll_;
  QTimer receivePoll_;
  std::string openPath_;
  int commPort_ = 1;
  LineSettings settings_;
  int handshaking_ = 0;
  int inputLen_ = 0;
  int commEvent_ = 0;
  std::optional<LineCounters> counters_;
  bool ownCall_ = false;
  int receiveDepth_ = 0;  // receive events being delivered, nested in message boxes
  bool receivePosted_ = false;
  qint64 announced_ = 0;  // waiting bytes the handler has already been told of
};

}  // namespace qv

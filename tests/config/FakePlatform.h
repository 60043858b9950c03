#pragma once
// Just enough platform for a Context whose serial port, timers and clock the
// settings code never touches; the view records the message boxes shown.
#include <string>
#include <vector>

#include "app/Context.h"

namespace qv::testing {

class IdleSerial : public SerialComm {
 public:
  void setCommPort(int number) override { port_ = number; }
  int CommPort() const override { return port_; }
  void setSettings(const std::string& settings) override { settings_ = settings; }
  std::string Settings() const override { return settings_; }
  void setHandshaking(int mode) override { handshaking_ = mode; }
  int Handshaking() const override { return handshaking_; }
  void setPortOpen(bool open) override { open_ = open; }
  bool PortOpen() const override { return open_; }
  void setInputLen(int length) override { inputLen_ = length; }
  int InputLen() const override { return inputLen_; }
  int InBufferCount() const override { return 0; }
  Bytes Input() override { return {}; }
  void Output(const Bytes&) override {}
  int CommEvent() const override { return 0; }

 private:
  int port_ = 1;
  std::string settings_ = "4800,n,8,1";
  int handshaking_ = 0;
  bool open_ = false;
  int inputLen_ = 0;
};

class IdleTimer : public Timer {
 public:
  void setEnabled(bool enabled) override { enabled_ = enabled; }
  bool Enabled() const override { return enabled_; }
  void setInterval(int milliseconds) override { interval_ = milliseconds; }
  int Interval() const override { return interval_; }

 private:
  bool enabled_ = false;
  int interval_ = 0;
};

class IdleClock : public Clock {
 public:
  LocalDateTime now() const override { return {}; }
  void sleep(int) override {}
  void processEvents() override {}
};

class RecordingView : public View {
 public:
  struct Box {
    std::string prompt;
    int style;
  };
  std::vector<Box> boxes;

  void setEnabled(Control, bool) override {}
  bool isEnabled(Control) const override { return true; }
  void setText(Control, const std::string&) override {}
  std::string text(Control) const override { return {}; }
  void setVisible(Control, bool) override {}
  int HookedMsgBox(const std::string& prompt, int style, std::string& title) override {
    boxes.push_back({prompt, style});
    if (title.empty()) title = kAppTitle;
    return vbOK;
  }
};

// Owns the doubles and one Context wired to them.
struct IdleStation {
  IdleSerial serial;
  IdleTimer timer1, timer2, timer3, timerEfi;
  IdleClock clock;
  RecordingView view;
  Context ctx{Platform{&serial, &timer1, &timer2, &timer3, &timerEfi, &clock, &view}};
};

}  // namespace qv::testing

#pragma once
// The two platforms the engine runs on, behind one face, so that each
// contract table runs against both: QtRig is the program's own (QSerialPort on
// a pseudo-terminal, QTimer, the system clock, real message boxes), VirtualRig
// the doubles on virtual time. Durations are real milliseconds on the Qt rig
// and virtual ones on the other.
#include <gtest/gtest.h>

#include <QObject>
#include <QTimer>
#include <QWidget>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "app/qt/QtClock.h"
#include "app/qt/QtTimer.h"
#include "app/qt/modHook.h"
#include "serial/qt/QtSerialComm.h"
#include "sim/virtual/ScriptedView.h"
#include "sim/virtual/VirtualClock.h"
#include "sim/virtual/VirtualScheduler.h"
#include "sim/virtual/VirtualSerialPort.h"
#include "sim/virtual/VirtualTimer.h"
#include "support/PtyLine.h"
#include "support/QtApp.h"

namespace qv::test {

// Every rig offers:
//   SerialComm& port()  closed, numbered 5, a far end listening
//   Timer& timer()      disabled, interval 0
//   Clock& clock()
//   int ShowBox(prompt, style)   View::HookedMsgBox
//   void AnswerNextBoxAfter(ms)  the next box stays open that long, then OK
//   RunFor(ms), RunUntil(done, limitMs), Post(action, inMs)
//   FarEndSends(bytes, inMs), FarEndReceived(count, waitMs)
//   FarEndSpeeds()      the speed of each chunk the far end got, where the
//                       line carries one

class QtRig {
 public:
  static constexpr const char* kName = "Qt";

  QtRig() : port_((EnsureQtApp(), line_.Map())) {
    port_.setCommPort(5);
    window_.setWindowTitle(kAppTitle);
    window_.setGeometry(200, 150, 640, 420);
    window_.show();
  }

  SerialComm& port() { return port_; }
  Timer& timer() { return timer_; }
  Clock& clock() { return clock_; }

  int ShowBox(const std::string& prompt, int style) {
    std::string title;
    return boxes_.HookedMsgBox(prompt, style, title);
  }
  void AnswerNextBoxAfter(int milliseconds) { answers_.clickAfter(milliseconds, QMessageBox::Ok); }
  int unexpectedBoxes() const { return answers_.unexpected; }

  void RunFor(int milliseconds) { RunEventsFor(milliseconds); }
  bool RunUntil(const std::function<bool()>& done, int limitMs) {
    return RunEventsUntil(done, limitMs);
  }
  void Post(std::function<void()> action, int inMs) {
    QTimer::singleShot(inMs, &context_, std::move(action));
  }

  void FarEndSends(const Bytes& bytes, int inMs = 0) {
    Post([this, bytes] { EXPECT_TRUE(line_.Write(bytes)); }, inMs);
  }
  Bytes FarEndReceived(std::size_t count, int waitMs = 1000) { return line_.Read(count, waitMs); }
  // A pseudo-terminal carries bytes without a speed.
  std::optional<std::vector<int>> FarEndSpeeds() const { return std::nullopt; }

 private:
  PtyLine line_;
  QtSerialComm port_;
  QtTimer timer_;
  QtClock clock_;
  MessageBoxAnswerer answers_;
  QWidget window_;
  MessageBoxHost boxes_{&window_, [this] { return port_.CommPort(); }};
  QObject context_;  // cancels posted actions with the rig
};

class VirtualRig : private sim::SerialPeer {
 public:
  static constexpr const char* kName = "Virtual";

  VirtualRig() {
    port_.setCommPort(5);
    port_.attachPeer(this);
  }
  ~VirtualRig() override { port_.attachPeer(nullptr); }

  SerialComm& port() { return port_; }
  Timer& timer() { return timer_; }
  Clock& clock() { return clock_; }

  int ShowBox(const std::string& prompt, int style) {
    std::string title;
    return view_.HookedMsgBox(prompt, style, title);
  }
  void AnswerNextBoxAfter(int milliseconds) {
    view_.openFor(milliseconds);
    view_.answer(vbOK);
  }
  int unexpectedBoxes() const { return view_.unscriptedCount(); }

  void RunFor(int milliseconds) { scheduler_.advanceBy(milliseconds); }
  bool RunUntil(const std::function<bool()>& done, int limitMs) {
    return scheduler_.runUntil(done, limitMs);
  }
  void Post(std::function<void()> action, int inMs) {
    scheduler_.scheduleIn(inMs, std::move(action));
  }

  void FarEndSends(const Bytes& bytes, int inMs = 0) { port_.sendToLoader(bytes, inMs); }
  Bytes FarEndReceived(std::size_t count, int waitMs = 1000) {
    scheduler_.runUntil([&] { return received_.size() >= count; }, waitMs);
    const std::size_t n = std::min(count, received_.size());
    Bytes got(received_.begin(), received_.begin() + static_cast<std::ptrdiff_t>(n));
    received_.erase(received_.begin(), received_.begin() + static_cast<std::ptrdiff_t>(n));
    return got;
  }
  std::optional<std::vector<int>> FarEndSpeeds() const { return speeds_; }

 private:
  void onBytesFromLoader(const Bytes& bytes, int baud) override {
    received_.insert(received_.end(), bytes.begin(), bytes.end());
    speeds_.push_back(baud);
  }

  sim::VirtualScheduler scheduler_;
  sim::VirtualSerialPort port_{scheduler_};
  sim::VirtualTimer timer_{scheduler_};
  sim::VirtualClock clock_{scheduler_};
  sim::ScriptedView view_{&scheduler_};
  Bytes received_;
  std::vector<int> speeds_;
};

using Rigs = ::testing::Types<QtRig, VirtualRig>;

struct RigNames {
  template <class Rig>
  static std::string GetName(int) {
    return Rig::kName;
  }
};

}  // namespace qv::test

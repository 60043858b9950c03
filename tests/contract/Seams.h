#pragma once
// The two platforms the engine runs on, behind one face, so that each
// contract table runs against both: QtRig is the program's own (QSerialPort on
// a pseudo-terminal, QTimer, the system clock, real message boxes), VirtualRig
// the doubles on virtual time. Durations are real milliseconds on the Qt rig
// and virtual ones on the other.
//
// Every rig offers a closed port numbered 5 with a far end listening, a
// disabled timer at interval 0, a clock, ShowBox (View::HookedMsgBox),
// AnswerNextBoxAfter (the next box stays open that long, then OK), RunFor,
// RunUntil, Post, FarEndSends, FarEndReceived, FarEndSpeeds (the speed of
// each chunk the far end got, where the line carries one), SetPortMissing and
// Unplug.
#include <gtest/gtest.h>

#include <QObject>
#include <QTimer>
#include <QWidget>
#include <functional>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "app/qt/modHook.h"
#include "platform/QtClock.h"
#include "platform/QtSerialComm.h"
#include "platform/QtTimer.h"
#include "sim/virtual/ScriptedView.h"
#include "sim/virtual/VirtualClock.h"
#include "sim/virtual/VirtualScheduler.h"
#include "sim/virtual/VirtualSerialPort.h"
#include "sim/virtual/VirtualTimer.h"
#include "support/PtyLine.h"
#include "support/QtApp.h"

namespace qv::test {

// clang-format off
struct QtRig {
  static constexpr const char* kName = "Qt";
  QtRig() { port.setCommPort(5); window.show(); }

  int ShowBox(const std::string& prompt, int style) { return boxes.HookedMsgBox(prompt, style, title); }
  void AnswerNextBoxAfter(int ms) { answers.clickAfter(ms, QMessageBox::Ok); }

  void RunFor(int ms) { QTest::qWait(ms); }
  bool RunUntil(const std::function<bool()>& done, int limitMs = 1000) { return QTest::qWaitFor(done, limitMs); }
  void Post(std::function<void()> action, int inMs) { QTimer::singleShot(inMs, &context, std::move(action)); }

  void FarEndSends(const Bytes& bytes, int inMs = 0) { Post([this, bytes] { EXPECT_TRUE(line.Write(bytes)); }, inMs); }
  Bytes FarEndReceived(std::size_t count, int waitMs = 1000) { return line.Read(count, waitMs); }
  // A pseudo-terminal carries bytes without a speed.
  std::optional<std::vector<int>> FarEndSpeeds() const { return std::nullopt; }
  // The station restarting: its device is gone from the path the map names.
  void SetPortMissing(bool missing) { line.WriteMap("COM5 = " + line.slave + (missing ? ".gone\n" : "\n")); }
  // The adapter pulled out while the port is open.
  void Unplug() { line.CloseMaster(); SetPortMissing(true); }

  MessageBoxAnswerer answers;  // first: creates the application
  PtyLine line;
  QtSerialComm port{line.Map()};
  QtTimer timer;
  QtClock clock;
  QWidget window;
  MessageBoxHost boxes{&window, [this] { return port.CommPort(); }};
  std::string title;
  QObject context;  // cancels posted actions with the rig
};

struct VirtualRig : private sim::SerialPeer {
  static constexpr const char* kName = "Virtual";
  VirtualRig() { port.setCommPort(5); port.attachPeer(this); }
  ~VirtualRig() override { port.attachPeer(nullptr); }

  int ShowBox(const std::string& prompt, int style) { return view.HookedMsgBox(0, prompt, style, title); }
  void AnswerNextBoxAfter(int ms) { view.openFor(ms); view.answer(vbOK); }

  void RunFor(int ms) { scheduler.advanceBy(ms); }
  bool RunUntil(const std::function<bool()>& done, int limitMs = 1000) { return scheduler.runUntil(done, limitMs); }
  void Post(std::function<void()> action, int inMs) { scheduler.scheduleIn(inMs, std::move(action)); }

  void FarEndSends(const Bytes& bytes, int inMs = 0) { port.sendToLoader(bytes, inMs); }
  // Whatever came once count bytes are there or the time is up.
  Bytes FarEndReceived(std::size_t count, int waitMs = 1000) {
    scheduler.runUntil([&] { return received.size() >= count; }, waitMs);
    return std::exchange(received, {});
  }
  std::optional<std::vector<int>> FarEndSpeeds() const { return speeds; }
  void SetPortMissing(bool missing) { port.setPortMissing(5, missing); }
  void Unplug() { port.unplug(); }
  void onBytesFromLoader(const Bytes& bytes, int baud) override {
    received.insert(received.end(), bytes.begin(), bytes.end());
    speeds.push_back(baud);
  }

  sim::VirtualScheduler scheduler;
  sim::VirtualSerialPort port{scheduler};
  sim::VirtualTimer timer{scheduler};
  sim::VirtualClock clock{scheduler};
  sim::ScriptedView view{&scheduler};
  std::string title;
  Bytes received;
  std::vector<int> speeds;
};
// clang-format on

using Rigs = ::testing::Types<QtRig, VirtualRig>;

template <class Rig>
class RigTest : public ::testing::Test {
 protected:
  Rig rig_;
};

struct RigNames {
  template <class Rig>
  static std::string GetName(int) {
    return Rig::kName;
  }
};

}  // namespace qv::test

#pragma once
// The engine on the program's own platform: QSerialPort through the port
// map, QTimer, the system clock, in real time. Boxes are answered from a
// script and stay open a while with the event loop running, as a modal box's
// own loop does. StationProcess runs qvstation beside it on a
// pseudo-terminal.
#include <QStringList>
#include <QTest>
#include <filesystem>
#include <string>

#include "core/Context.h"
#include "platform/QtClock.h"
#include "platform/QtSerialComm.h"
#include "platform/QtTimer.h"
#include "sim/qvstation/StationProcess.h"
#include "sim/virtual/ScriptedView.h"
#include "support/QtApp.h"
#include "update/Engine.h"
#include "update/ModeSwitching.h"
#include "update/ReplyHandlers.h"

namespace qv::test {

// Records and answers like ScriptedView; each box then stays open a moment
// of real time, as a person takes to read it.
class QtScriptedView : public sim::ScriptedView {
 public:
  int HookedMsgBox(int messageId, const std::string& prompt, int style,
                   std::string& title) override {
    const int answer = ScriptedView::HookedMsgBox(messageId, prompt, style, title);
    QTest::qWait(kOpenMs);
    return answer;
  }

  std::string boxLog() const {
    std::string log;
    for (const Box& box : boxes()) log += "[" + box.prompt + "] ";
    return log;
  }

 private:
  static constexpr int kOpenMs = 300;
};

class QtBench {
 public:
  // The port `number` of `ports`, closed, the PC at `pcBaud`.
  QtBench(PortMap ports, int number, int pcBaud) : port(std::move(ports)) {
    SetUpEngine(ctx, {.comNumber = number, .baud = std::to_string(pcBaud)});
  }
  ~QtBench() { port.setPortOpen(false); }

  const QApplication& app = EnsureQtApp();
  QtSerialComm port;
  QtTimer timer1, timer2, timer3, timerEfi, timerKeyWait;
  QtClock clock;
  QtScriptedView view;
  Context ctx{PlatformOf(*this, StationReplies())};
};

// qvstation beside the bench, serving once `link` leads to its terminal.
class StationProcess : public sim::StationProcess {
 public:
  StationProcess(const QStringList& args, const std::string& link)
      : sim::StationProcess(QV_BINARY_DIR "/qvstation", Strings(args)) {
    serving = QTest::qWaitFor([&] { return std::filesystem::exists(link); }, 5000);
  }

  bool serving = false;

 private:
  static std::vector<std::string> Strings(const QStringList& args) {
    std::vector<std::string> strings;
    for (const QString& arg : args) strings.push_back(arg.toStdString());
    return strings;
  }
};

}  // namespace qv::test

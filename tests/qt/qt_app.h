#pragma once
// One Qt application object for the whole test program, on the offscreen
// platform so the tests run without a display.
#include <QApplication>
#include <QElapsedTimer>
#include <QThread>
#include <functional>

namespace qv::test {

inline void EnsureQtApp() {
  if (QCoreApplication::instance()) return;
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  static int argc = 1;
  static char name[] = "qv_qt_tests";
  static char* argv[] = {name, nullptr};
  static QApplication app(argc, argv);
}

// Runs the event loop until done() holds or the time is up; returns done().
inline bool RunEventsUntil(const std::function<bool()>& done, int timeoutMs) {
  QElapsedTimer elapsed;
  elapsed.start();
  while (!done() && elapsed.elapsed() < timeoutMs) {
    QCoreApplication::processEvents();
    QThread::msleep(1);
  }
  return done();
}

inline void RunEventsFor(int milliseconds) {
  RunEventsUntil([] { return false; }, milliseconds);
}

}  // namespace qv::test

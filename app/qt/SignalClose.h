#pragma once
// SIGTERM, SIGHUP and SIGINT (a log-out, a shutdown, kill, Ctrl-C in the
// terminal that started the program) close the main window as its close box
// does: the station's link is put back and the settings are written. The
// handler only writes a byte into a pipe; the window thread reads it through
// a socket notifier and closes the window there. A second signal while the
// window is closing ends the program at once.
#include <QObject>

class QSocketNotifier;
class QWidget;

namespace qv {

class SignalClose : public QObject {
  Q_OBJECT

 public:
  // One at a time in a process; the handlers go back to the defaults when it ends.
  explicit SignalClose(QWidget& window);
  ~SignalClose() override;
  SignalClose(const SignalClose&) = delete;
  SignalClose& operator=(const SignalClose&) = delete;

 private:
  void Received();

  QWidget& window_;
  QSocketNotifier* notifier_ = nullptr;
};

}  // namespace qv

#include "app/qt/SignalClose.h"

#include <fcntl.h>
#include <unistd.h>

#include <QSocketNotifier>
#include <QWidget>
#include <csignal>

namespace qv {

namespace {

constexpr int kSignals[] = {SIGTERM, SIGHUP, SIGINT};

int pipeEnds[2] = {-1, -1};
volatile std::sig_atomic_t received = 0;

// Only async-signal-safe calls here.
extern "C" void OnSignal(int signal) {
  if (received != 0) {
    // Closing is already under way and something hangs in it: the one who
    // asks twice wants the program gone.
    ::_exit(128 + signal);
  }
  received = signal;
  const char byte = 1;
  [[maybe_unused]] const ssize_t ignored = ::write(pipeEnds[1], &byte, 1);
}

}  // namespace

SignalClose::SignalClose(QWidget& window) : window_(window) {
  if (::pipe2(pipeEnds, O_CLOEXEC | O_NONBLOCK) != 0) return;
  received = 0;
  notifier_ = new QSocketNotifier(pipeEnds[0], QSocketNotifier::Read, this);
  connect(notifier_, &QSocketNotifier::activated, this, &SignalClose::Received);
  struct sigaction action {};
  action.sa_handler = OnSignal;
  sigemptyset(&action.sa_mask);
  action.sa_flags = SA_RESTART;
  for (const int signal : kSignals) ::sigaction(signal, &action, nullptr);
}

SignalClose::~SignalClose() {
  for (const int signal : kSignals) std::signal(signal, SIG_DFL);
  for (int& end : pipeEnds) {
    if (end >= 0) ::close(end);
    end = -1;
  }
}

void SignalClose::Received() {
  char byte = 0;
  while (::read(pipeEnds[0], &byte, 1) > 0) {
  }
  // The same closing as the close box; the program ends with its last window.
  window_.close();
}

}  // namespace qv

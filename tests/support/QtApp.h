#pragma once
// The Qt side of the tests: the one application object, running the event
// loop for a while, and answering the program's modal message boxes.
#include <QApplication>
#include <QMessageBox>
#include <QPointer>
#include <QTimer>
#include <deque>
#include <functional>
#include <optional>
#include <vector>

namespace qv::test {

// Created on first use on the offscreen platform; never destroyed, since
// widgets of other tests may still refer to it at exit.
QApplication& EnsureQtApp();

// Runs the event loop until done() holds or the time is up; returns done().
bool RunEventsUntil(const std::function<bool()>& done, int timeoutMs);
inline void RunEventsFor(int milliseconds) {
  RunEventsUntil([] { return false; }, milliseconds);
}

// A box as it was while open.
struct ShownMessageBox {
  QString title;
  QString text;
  Qt::TextFormat textFormat = Qt::AutoText;
  QMessageBox::StandardButtons buttons;
  QMessageBox::StandardButton defaultButton = QMessageBox::NoButton;
  QMessageBox::Icon icon = QMessageBox::NoIcon;
  QPoint position;  // frame top-left, screen coordinates
  QSize frameSize;
  std::optional<QPoint> requestedPosition;  // where the box moved itself, if it did
  const QWidget* owner = nullptr;
  Qt::WindowStates ownerState;  // the owner's state while the box is open
  bool modal = false;
};

// Queue the answers, then call the code that shows the boxes: each box is
// read while it is open and answered in turn. A box with no answer queued, or
// one that refuses its answer, counts as unexpected and is rejected.
class MessageBoxAnswerer {
 public:
  enum class Action { Click, Escape, Close, Leave };  // Leave: read it, leave it open

  MessageBoxAnswerer();
  void next(Action action, QMessageBox::StandardButton button = QMessageBox::NoButton) {
    script_.push_back({action, button, 0});
  }
  void clickNext(QMessageBox::StandardButton button) { next(Action::Click, button); }
  // The next box stays open this long (its nested event loop running), then
  // gets the click.
  void clickAfter(int milliseconds, QMessageBox::StandardButton button) {
    script_.push_back({Action::Click, button, milliseconds});
  }

  std::vector<ShownMessageBox> seen;
  int unexpected = 0;

 private:
  void answer(QMessageBox& box);

  struct Step {
    Action action;
    QMessageBox::StandardButton button;
    int delayMs;
  };
  void act(QMessageBox& box, Action action, QMessageBox::StandardButton button);

  std::deque<Step> script_;
  QPointer<QMessageBox> left_;
  QTimer timer_;
};

}  // namespace qv::test

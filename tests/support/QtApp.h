#pragma once
// The Qt side of the tests: the one application object, running the event
// loop for a while, and answering the program's modal message boxes.
#include <QApplication>
#include <QMessageBox>
#include <QPointer>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <deque>
#include <optional>
#include <vector>

#include "app/qt/modHook.h"

namespace qv::test {

// Created on first use on the offscreen platform; never destroyed, since
// widgets of other tests may still refer to it at exit. The event loop runs
// through QTest::qWait and QTest::qWaitFor.
inline QApplication& EnsureQtApp() {
  if (auto* app = qobject_cast<QApplication*>(QCoreApplication::instance())) return *app;
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  static int argc = 1;
  static char name[] = "qv_tests", *argv[] = {name, nullptr};
  return *new QApplication(argc, argv);
}

// A box as it was while open.
struct ShownMessageBox {
  QString title;
  QString text;
  Qt::TextFormat textFormat = Qt::AutoText;
  QMessageBox::StandardButtons buttons;
  QMessageBox::StandardButton defaultButton = QMessageBox::NoButton;
  QMessageBox::Icon icon = QMessageBox::NoIcon;
  QRect frame;                              // screen coordinates
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

  MessageBoxAnswerer() {
    EnsureQtApp();
    QObject::connect(&timer_, &QTimer::timeout, [this] {
      auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
      if (box && box != left_ && box->isVisible()) answer(*box);
    });
    timer_.start(5);
  }
  void next(Action action, QMessageBox::StandardButton button = QMessageBox::NoButton,
            int delayMs = 0) {
    script_.push_back({action, button, delayMs});
  }
  void clickNext(QMessageBox::StandardButton button) { next(Action::Click, button); }
  // The next box stays open this long (its nested event loop running), then gets the click.
  void clickAfter(int ms, QMessageBox::StandardButton button) { next(Action::Click, button, ms); }

  std::vector<ShownMessageBox> seen;
  int unexpected = 0;

 private:
  struct Step {
    Action action;
    QMessageBox::StandardButton button;
    int delayMs;
  };

  void answer(QMessageBox& box) {
    const auto* centred = qobject_cast<const CentredMessageBox*>(&box);
    const QWidget* owner = box.parentWidget();
    seen.push_back({box.windowTitle(), box.text(), box.textFormat(), box.standardButtons(),
                    box.standardButton(box.defaultButton()), box.icon(), box.frameGeometry(),
                    centred ? centred->requestedPosition() : std::nullopt, owner,
                    owner ? owner->windowState() : Qt::WindowStates{}, box.isModal()});
    // With nothing queued, Step{} clicks no button at once: an unexpected box.
    const Step step = script_.empty() ? Step{} : script_.front();
    if (!script_.empty()) script_.pop_front();
    left_ = &box;  // answered or left: not to be read again
    if (step.action == Action::Leave) return;
    QTimer::singleShot(step.delayMs, &box,
                       [this, &box, step] { act(box, step.action, step.button); });
  }

  void act(QMessageBox& box, Action action, QMessageBox::StandardButton button) {
    if (action == Action::Escape) QTest::keyClick(&box, Qt::Key_Escape);
    if (action == Action::Close) box.close();
    if (action == Action::Click && box.button(button)) box.button(button)->click();
    if (!box.isVisible()) return;
    ++unexpected;  // no answer queued, a missing button, or the box refused to go away
    box.reject();
  }

  std::deque<Step> script_;
  QPointer<QMessageBox> left_;
  QTimer timer_;
};

}  // namespace qv::test

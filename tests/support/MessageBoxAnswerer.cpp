#include "support/MessageBoxAnswerer.h"

#include <QPushButton>
#include <QTest>

#include "app/qt/modHook.h"

namespace qv::test {

namespace {

QtMessageHandler previousHandler = nullptr;

// The offscreen platform complains about every dialog it lays out; the noise
// would bury the messages that matter.
void QuietOffscreen(QtMsgType type, const QMessageLogContext& context, const QString& message) {
  if (message.contains(QLatin1String("does not support propagateSizeHints"))) return;
  if (previousHandler) previousHandler(type, context, message);
}

}  // namespace

QApplication& EnsureQtApp() {
  if (auto* app = qobject_cast<QApplication*>(QCoreApplication::instance())) return *app;
  previousHandler = qInstallMessageHandler(QuietOffscreen);
  static int argc = 1;
  static char name[] = "qv_tests";
  static char* argv[] = {name, nullptr};
  // Never destroyed: widgets of other tests may still refer to it at exit.
  return *new QApplication(argc, argv);
}

namespace {

QMessageBox* OpenBox(const QMessageBox* ignored) {
  auto* modal = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
  if (modal && modal != ignored && modal->isVisible()) return modal;
  for (QWidget* w : QApplication::topLevelWidgets()) {
    auto* box = qobject_cast<QMessageBox*>(w);
    if (box && box != ignored && box->isVisible()) return box;
  }
  return nullptr;
}

ShownMessageBox Snapshot(const QMessageBox& box) {
  ShownMessageBox s;
  s.title = box.windowTitle();
  s.text = box.text();
  s.textFormat = box.textFormat();
  s.buttons = box.standardButtons();
  s.defaultButton = box.standardButton(box.defaultButton());
  s.escapeButton = box.standardButton(box.escapeButton());
  s.icon = box.icon();
  s.position = box.frameGeometry().topLeft();
  s.frameSize = box.frameGeometry().size();
  if (const auto* centred = qobject_cast<const CentredMessageBox*>(&box)) {
    s.requestedPosition = centred->requestedPosition();
  }
  s.owner = box.parentWidget();
  if (s.owner) s.ownerState = s.owner->windowState();
  s.modal = box.isModal();
  return s;
}

// Escape, and if the box has no escape button, reject it outright so a test
// never hangs on a box it did not expect.
void Dismiss(QMessageBox& box) {
  QTest::keyClick(&box, Qt::Key_Escape);
  if (box.isVisible()) box.reject();
}

}  // namespace

MessageBoxAnswerer::MessageBoxAnswerer() {
  EnsureQtApp();
  timer_.setInterval(5);
  QObject::connect(&timer_, &QTimer::timeout, [this] { poll(); });
  timer_.start();
}

MessageBoxAnswerer::~MessageBoxAnswerer() {
  timer_.stop();
}

void MessageBoxAnswerer::poll() {
  if (QMessageBox* box = OpenBox(left_.data())) answer(*box);
}

void MessageBoxAnswerer::answer(QMessageBox& box) {
  seen_.push_back(Snapshot(box));
  if (script_.empty()) {
    ++unexpected_;
    Dismiss(box);
    return;
  }
  const Step step = script_.front();
  script_.pop_front();
  switch (step.action) {
    case Action::Click:
      if (QAbstractButton* b = box.button(step.button)) {
        b->click();
        return;
      }
      ++unexpected_;  // the box lacks the button the test wanted
      Dismiss(box);
      return;
    case Action::Escape:
      QTest::keyClick(&box, Qt::Key_Escape);
      break;
    case Action::Close:
      box.close();
      break;
    case Action::Leave:
      left_ = &box;
      return;
  }
  if (!box.isVisible()) return;
  ++unexpected_;  // the box refused to go away
  box.reject();
}

}  // namespace qv::test

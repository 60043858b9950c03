#include "support/QtApp.h"

#include <QElapsedTimer>
#include <QPushButton>
#include <QTest>
#include <QThread>

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

QMessageBox* OpenBox(const QMessageBox* ignored) {
  for (QWidget* w : QApplication::topLevelWidgets()) {
    auto* box = qobject_cast<QMessageBox*>(w);
    if (box && box != ignored && box->isVisible()) return box;
  }
  return nullptr;
}

ShownMessageBox Snapshot(const QMessageBox& box) {
  const auto* centred = qobject_cast<const CentredMessageBox*>(&box);
  const QWidget* owner = box.parentWidget();
  return {box.windowTitle(),
          box.text(),
          box.textFormat(),
          box.standardButtons(),
          box.standardButton(box.defaultButton()),
          box.icon(),
          box.frameGeometry().topLeft(),
          box.frameGeometry().size(),
          centred ? centred->requestedPosition() : std::nullopt,
          owner,
          owner ? owner->windowState() : Qt::WindowStates{},
          box.isModal()};
}

}  // namespace

QApplication& EnsureQtApp() {
  if (auto* app = qobject_cast<QApplication*>(QCoreApplication::instance())) return *app;
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  previousHandler = qInstallMessageHandler(QuietOffscreen);
  static int argc = 1;
  static char name[] = "qv_tests";
  static char* argv[] = {name, nullptr};
  return *new QApplication(argc, argv);
}

bool RunEventsUntil(const std::function<bool()>& done, int timeoutMs) {
  QElapsedTimer elapsed;
  elapsed.start();
  while (!done() && elapsed.elapsed() < timeoutMs) {
    QCoreApplication::processEvents();
    QThread::msleep(1);
  }
  return done();
}

MessageBoxAnswerer::MessageBoxAnswerer() {
  EnsureQtApp();
  QObject::connect(&timer_, &QTimer::timeout, [this] {
    if (QMessageBox* box = OpenBox(left_.data())) answer(*box);
  });
  timer_.start(5);
}

void MessageBoxAnswerer::answer(QMessageBox& box) {
  seen.push_back(Snapshot(box));
  const Step step =
      script_.empty() ? Step{Action::Click, QMessageBox::NoButton, 0} : script_.front();
  if (!script_.empty()) script_.pop_front();
  if (step.action == Action::Leave || step.delayMs > 0) left_ = &box;
  if (step.action == Action::Leave) return;
  if (step.delayMs == 0) {
    act(box, step.action, step.button);
    return;
  }
  QTimer::singleShot(step.delayMs, &box,
                     [this, &box, step] { act(box, step.action, step.button); });
}

void MessageBoxAnswerer::act(QMessageBox& box, Action action, QMessageBox::StandardButton button) {
  if (action == Action::Escape) QTest::keyClick(&box, Qt::Key_Escape);
  if (action == Action::Close) box.close();
  QAbstractButton* b = box.button(button);
  if (action == Action::Click && b) b->click();
  if (!box.isVisible()) return;
  ++unexpected;  // no answer queued, a missing button, or the box refused to go away
  box.reject();
}

}  // namespace qv::test

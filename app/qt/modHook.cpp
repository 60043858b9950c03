#include "app/qt/modHook.h"

#include <QShowEvent>

#include "app/Twips.h"
#include "core/View.h"
#include "app/qt/TwipsGeometry.h"

namespace qv {

namespace {

constexpr int kButtonSetMask = 0x0F;
constexpr int kIconMask = 0xF0;
constexpr int kDefaultButtonMask = 0xF00;

QMessageBox::Icon IconForStyle(int style) {
  switch (style & kIconMask) {
    case vbCritical:
      return QMessageBox::Critical;
    case vbQuestion:
      return QMessageBox::Question;
    case vbExclamation:
      return QMessageBox::Warning;
    case vbInformation:
      return QMessageBox::Information;
    default:
      return QMessageBox::NoIcon;
  }
}

// The box's outer size. Some window managers frame a window only after it is
// mapped; until then the box is expected to get the same frame as its owner.
QSize OuterSize(const QWidget& box, const QWidget& owner) {
  const QSize frame = box.frameGeometry().size();
  if (frame != box.size() || box.windowFlags().testFlag(Qt::FramelessWindowHint)) return frame;
  return frame + (owner.frameGeometry().size() - owner.size());
}

}  // namespace

MsgBoxLayout DecodeMsgBoxStyle(int style) {
  MsgBoxLayout layout;
  layout.icon = IconForStyle(style);
  const bool secondIsDefault = (style & kDefaultButtonMask) == vbDefaultButton2;
  switch (style & kButtonSetMask) {
    case vbOKCancel:
      layout.buttons = QMessageBox::Ok | QMessageBox::Cancel;
      layout.defaultButton = secondIsDefault ? QMessageBox::Cancel : QMessageBox::Ok;
      layout.escapeButton = QMessageBox::Cancel;
      break;
    case vbYesNo:
      layout.buttons = QMessageBox::Yes | QMessageBox::No;
      layout.defaultButton = secondIsDefault ? QMessageBox::No : QMessageBox::Yes;
      layout.escapeButton = QMessageBox::No;
      break;
    default:
      break;
  }
  return layout;
}

int MsgBoxResult(QMessageBox::StandardButton button) {
  switch (button) {
    case QMessageBox::Ok:
      return vbOK;
    case QMessageBox::Cancel:
      return vbCancel;
    case QMessageBox::Yes:
      return vbYes;
    case QMessageBox::No:
      return vbNo;
    default:
      return 0;
  }
}

QString PromptToText(const std::string& prompt) {
  QString text = QString::fromUtf8(prompt.data(), static_cast<qsizetype>(prompt.size()));
  text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
  text.replace(QLatin1Char('\r'), QLatin1Char('\n'));
  return text;
}

std::string HookedTitle(const std::string& title, std::optional<int> commPort) {
  std::string shown = title.empty() ? std::string(kAppTitle) : title;
  if (commPort) shown += "  COM" + std::to_string(*commPort);
  return shown;
}

CentredMessageBox::CentredMessageBox(QWidget* owner) : QMessageBox(owner) {}

void CentredMessageBox::showEvent(QShowEvent* event) {
  // The base class settles the box's size and lets the toolkit place it;
  // the box is moved only afterwards so the toolkit's choice never wins.
  QMessageBox::showEvent(event);
  const QWidget* owner = parentWidget();
  if (event->spontaneous() || !owner) return;
  const QSize box = OuterSize(*this, *owner);
  const PixelPoint at = CentredBoxPosition(FrameGeometryTwips(*owner), ScreenTwipsPerPixel(owner),
                                           box.width(), box.height());
  requestedPosition_ = QPoint(at.x, at.y);
  move(*requestedPosition_);
}

int RunMsgBox(QMessageBox* box, const std::string& prompt, int style, const std::string& title) {
  const MsgBoxLayout layout = DecodeMsgBoxStyle(style);
  box->setWindowTitle(QString::fromStdString(title));
  // Prompts carry file names and station texts; they must never be taken as markup.
  box->setTextFormat(Qt::PlainText);
  box->setText(PromptToText(prompt));
  box->setIcon(layout.icon);
  box->setStandardButtons(layout.buttons);
  box->setDefaultButton(layout.defaultButton);
  box->setEscapeButton(layout.escapeButton);

  const QPointer<QMessageBox> guard(box);
  box->exec();
  if (!guard) return MsgBoxResult(layout.escapeButton);
  const int result = MsgBoxResult(box->standardButton(box->clickedButton()));
  return result != 0 ? result : MsgBoxResult(layout.escapeButton);
}

int PlainMsgBox(const std::string& prompt, int style, const std::string& title) {
  CentredMessageBox box(nullptr);
  return RunMsgBox(&box, prompt, style, title.empty() ? std::string(kAppTitle) : title);
}

MessageBoxHost::MessageBoxHost(QWidget* mainWindow, CommPortSource commPort)
    : mainWindow_(mainWindow), commPort_(std::move(commPort)) {}

std::optional<int> MessageBoxHost::currentCommPort() const {
  if (!mainWindow_ || !commPort_) return std::nullopt;
  return commPort_();
}

int MessageBoxHost::HookedMsgBox(const std::string& prompt, int style, std::string& title) {
  title = HookedTitle(title, currentCommPort());
  QWidget* owner = mainWindow_;
  if (!owner) return PlainMsgBox(prompt, style, title);
  if (owner->isMinimized()) owner->setWindowState(owner->windowState() & ~Qt::WindowMinimized);

  // On the heap: if the main window goes away while the box is open, it takes
  // the box with it, and a stack object would then be destroyed twice.
  auto* box = new CentredMessageBox(owner);
  const QPointer<QMessageBox> guard(box);
  const int result = RunMsgBox(box, prompt, style, title);
  delete guard.data();
  return result;
}

}  // namespace qv

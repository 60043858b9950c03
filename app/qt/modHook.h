#pragma once
// The program's message boxes. Once the main window exists every message goes
// through MessageBoxHost::HookedMsgBox: the box is owned by the main window,
// its title carries the serial port, a minimized main window comes back first
// and the box sits centred over the main window. The few messages that can
// appear before the main window use PlainMsgBox.
#include <QMessageBox>
#include <QPointer>
#include <functional>
#include <optional>
#include <string>

namespace qv {

// What a style number asks of the box.
struct MsgBoxLayout {
  QMessageBox::StandardButtons buttons = QMessageBox::Ok;
  QMessageBox::StandardButton defaultButton = QMessageBox::Ok;
  QMessageBox::StandardButton escapeButton = QMessageBox::Ok;
  QMessageBox::Icon icon = QMessageBox::NoIcon;
};

// Button set 0, 1 or 4 (anything else shows OK alone), icon 16, 32, 48 or 64,
// 256 for the second button as default; other bits are ignored.
MsgBoxLayout DecodeMsgBoxStyle(int style);

// vbOK, vbCancel, vbYes or vbNo for the button; 0 for any other.
int MsgBoxResult(QMessageBox::StandardButton button);

// "\r\n" and a lone "\r" become "\n"; invalid UTF-8 is replaced, not dropped.
QString PromptToText(const std::string& prompt);

// Empty title -> the program title; with a port, two blanks, "COM" and the
// port number are appended.
std::string HookedTitle(const std::string& title, std::optional<int> commPort);

// A message box that, when it has an owner, moves itself centred over the
// owner at the moment it is shown, after the toolkit has placed it.
class CentredMessageBox : public QMessageBox {
  Q_OBJECT

 public:
  explicit CentredMessageBox(QWidget* owner);

  // Where the box moved itself when last shown; empty when it has no owner or
  // has not been shown.
  std::optional<QPoint> requestedPosition() const { return requestedPosition_; }

 protected:
  void showEvent(QShowEvent* event) override;

 private:
  std::optional<QPoint> requestedPosition_;
};

// Fills the box from prompt, style and title, runs it modally (timers and
// serial events keep running) and returns vbOK, vbCancel, vbYes or vbNo.
// Closing the box or pressing Escape gives the escape button's code; a box
// destroyed while open (its owner went away) gives it too.
int RunMsgBox(QMessageBox* box, const std::string& prompt, int style, const std::string& title);

// The box for the messages before the main window exists: no owner, the
// title as given (empty -> the program title), no port in the title.
int PlainMsgBox(const std::string& prompt, int style, const std::string& title);

// The main window keeps one host and backs View::HookedMsgBox with it:
//   MessageBoxHost boxes_{this, [this] { return comm_.CommPort(); }};
//   int HookedMsgBox(const std::string& p, int s, std::string& t) override {
//     return boxes_.HookedMsgBox(p, s, t);
//   }
class MessageBoxHost {
 public:
  using CommPortSource = std::function<int()>;

  // mainWindow may be null until the main window exists; the boxes are then
  // plain boxes with the program title.
  explicit MessageBoxHost(QWidget* mainWindow = nullptr, CommPortSource commPort = {});

  void setMainWindow(QWidget* mainWindow) { mainWindow_ = mainWindow; }
  QWidget* mainWindow() const { return mainWindow_; }
  void setCommPortSource(CommPortSource commPort) { commPort_ = std::move(commPort); }

  // prompt and title are UTF-8; title receives the title as shown.
  int HookedMsgBox(const std::string& prompt, int style, std::string& title);

 private:
  std::optional<int> currentCommPort() const;

  QPointer<QWidget> mainWindow_;
  CommPortSource commPort_;
};

}  // namespace qv

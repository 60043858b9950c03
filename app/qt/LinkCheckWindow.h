#pragma once
// The window QV-Boot shows until the full main window exists: it lists the
// serial ports, and asks a station on the chosen port for its mode and its
// identification, showing each reply as it arrives. It drives the real
// engine (frames, receive assembly, message boxes) on the real serial layer.
#include <QWidget>
#include <memory>
#include <string>

#include "core/Context.h"

class QComboBox;
class QPlainTextEdit;
class QPushButton;

namespace qv {

class Context;
class MessageBoxHost;
class QtClock;
class QtSerialComm;
class QtTimer;
class WindowView;

class LinkCheckWindow : public QWidget {
 public:
  explicit LinkCheckWindow(std::int32_t initLang);
  ~LinkCheckWindow() override;

 private:
  void FillPorts();
  void Identify();
  void Log(const QString& line);
  ReplyTable LinkCheckReplies();

  QComboBox* ports_;
  QComboBox* baud_;
  QPushButton* identify_;
  QPlainTextEdit* log_;
  std::unique_ptr<QtSerialComm> serial_;
  std::unique_ptr<QtTimer> timer1_, timer2_, timer3_, timerEfi_, timerKeyWait_;
  std::unique_ptr<QtClock> clock_;
  std::unique_ptr<MessageBoxHost> boxes_;
  std::unique_ptr<WindowView> view_;
  ReplyTable replies_;
  std::unique_ptr<Context> ctx_;
};

}  // namespace qv

#pragma once
// Answers the program's modal message boxes from a test. Queue the answers,
// then call the code that shows the boxes: each box is read (title, text,
// buttons, default, icon, position) while it is open and answered in turn.
#include <QApplication>
#include <QMessageBox>
#include <QPoint>
#include <QPointer>
#include <QSize>
#include <QTimer>
#include <deque>
#include <optional>
#include <vector>

namespace qv::test {

// The one QApplication of a test program, created on first use.
QApplication& EnsureQtApp();

struct ShownMessageBox {
  QString title;
  QString text;
  Qt::TextFormat textFormat = Qt::AutoText;
  QMessageBox::StandardButtons buttons;
  QMessageBox::StandardButton defaultButton = QMessageBox::NoButton;
  QMessageBox::StandardButton escapeButton = QMessageBox::NoButton;
  QMessageBox::Icon icon = QMessageBox::NoIcon;
  QPoint position;  // frame top-left, screen coordinates
  QSize frameSize;
  std::optional<QPoint> requestedPosition;  // where the box moved itself, if it did
  const QWidget* owner = nullptr;
  Qt::WindowStates ownerState;  // the owner's state while the box is open
  bool modal = false;
};

class MessageBoxAnswerer {
 public:
  enum class Action { Click, Escape, Close, Leave };

  MessageBoxAnswerer();
  ~MessageBoxAnswerer();
  MessageBoxAnswerer(const MessageBoxAnswerer&) = delete;
  MessageBoxAnswerer& operator=(const MessageBoxAnswerer&) = delete;

  void clickNext(QMessageBox::StandardButton button) { script_.push_back({Action::Click, button}); }
  void escapeNext() { script_.push_back({Action::Escape, QMessageBox::NoButton}); }
  void closeNext() { script_.push_back({Action::Close, QMessageBox::NoButton}); }
  // Reads the next box and leaves it open for the test to deal with.
  void leaveNext() { script_.push_back({Action::Leave, QMessageBox::NoButton}); }

  const std::vector<ShownMessageBox>& seen() const { return seen_; }
  // Boxes that appeared with no answer queued; they were answered with Escape.
  int unexpected() const { return unexpected_; }

 private:
  struct Step {
    Action action;
    QMessageBox::StandardButton button;
  };

  void poll();
  void answer(QMessageBox& box);

  std::deque<Step> script_;
  std::vector<ShownMessageBox> seen_;
  int unexpected_ = 0;
  QPointer<QMessageBox> left_;
  QTimer timer_;
};

}  // namespace qv::test

#include "app/qt/LinkCheckWindow.h"

#include <QComboBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLocale>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QVBoxLayout>
#include <map>

#include "app/MlStringModule.h"
#include "app/NamedTexts.h"
#include "app/QvBoot.h"
#include "app/qt/QtClock.h"
#include "app/qt/QtTimer.h"
#include "app/qt/modHook.h"
#include "core/Context.h"
#include "core/Errors.h"
#include "protocol/Commands.h"
#include "protocol/ReceiveReply.h"
#include "serial/qt/QtPortDevices.h"
#include "serial/qt/QtSerialComm.h"

namespace qv {

// Control states are kept for the engine; this window shows only the log.
class WindowView : public View {
 public:
  explicit WindowView(MessageBoxHost& boxes) : boxes_(boxes) {}
  void setEnabled(Control control, bool enabled) override { enabled_[control] = enabled; }
  bool isEnabled(Control control) const override {
    const auto it = enabled_.find(control);
    return it == enabled_.end() || it->second;
  }
  void setText(Control control, const std::string& text) override { texts_[control] = text; }
  std::string text(Control control) const override {
    const auto it = texts_.find(control);
    return it == texts_.end() ? std::string() : it->second;
  }
  // The link-check window has no labels, progress or folder of its own.
  void setVisible(Control, bool) override {}
  void setToolTip(Control, const std::string&) override {}
  void DropDown(Control) override {}
  bool ShowPortDialog() override { return false; }
  std::string CompactPath(Control, const std::string& path) override { return path; }
  std::string BrowseForFolder(const std::string&) override { return {}; }
  void setProgressMaximum(std::int32_t) override {}
  void ShowProgress(std::int32_t) override {}
  char DecimalSeparator() const override {
    const QString point = QLocale::system().decimalPoint();
    return point.isEmpty() ? '.' : point.at(0).toLatin1();
  }
  int HookedMsgBox(const std::string& prompt, int style, std::string& title) override {
    return boxes_.HookedMsgBox(prompt, style, title);
  }

 private:
  MessageBoxHost& boxes_;
  std::map<Control, bool> enabled_;
  std::map<Control, std::string> texts_;
};

namespace {
QString Q(const std::string& text) {
  return QString::fromStdString(text);
}
}  // namespace

LinkCheckWindow::LinkCheckWindow(std::int32_t initLang)
    : ports_(new QComboBox(this)),
      baud_(new QComboBox(this)),
      identify_(new QPushButton(this)),
      log_(new QPlainTextEdit(this)),
      serial_(std::make_unique<QtSerialComm>(
          SystemPortMap(), [this](std::string_view name) { return NamedText(*ctx_, name); })),
      timer1_(std::make_unique<QtTimer>()),
      timer2_(std::make_unique<QtTimer>()),
      timer3_(std::make_unique<QtTimer>()),
      timerEfi_(std::make_unique<QtTimer>()),
      timerKeyWait_(std::make_unique<QtTimer>()),
      clock_(std::make_unique<QtClock>()),
      boxes_(std::make_unique<MessageBoxHost>(this, [this] { return serial_->CommPort(); })) {
  view_ = std::make_unique<WindowView>(*boxes_);
  replies_ = LinkCheckReplies();
  ctx_ = std::make_unique<Context>(Platform{serial_.get(), timer1_.get(), timer2_.get(), timer3_.get(),
                                            timerEfi_.get(), timerKeyWait_.get(), clock_.get(), view_.get(), &replies_});
  ctx_->settings.InitLang = initLang;
  WireStationLink(*ctx_);

  setWindowTitle(Q(std::string(kAppTitle) + " --- " + GetMlString(*ctx_, 1117, "")));
  baud_->addItems({"4800", "38400"});
  identify_->setText(Q(GetMlString(*ctx_, 1100, "Start")));
  log_->setReadOnly(true);
  auto* row = new QHBoxLayout;
  row->addWidget(new QLabel(Q(GetMlString(*ctx_, 1152, "Port") + ":"), this));
  row->addWidget(ports_, 1);
  row->addWidget(new QLabel(Q(GetMlString(*ctx_, 1159, "Baudrate") + ":"), this));
  row->addWidget(baud_);
  row->addWidget(identify_);
  auto* layout = new QVBoxLayout(this);
  layout->addLayout(row);
  layout->addWidget(log_, 1);
  connect(identify_, &QPushButton::clicked, this, [this] { Identify(); });
  FillPorts();
  resize(640, 360);
}

LinkCheckWindow::~LinkCheckWindow() {
  if (ctx_) ClosePort(*ctx_);
}

void LinkCheckWindow::FillPorts() {
  for (const PortEntry& entry : SystemPortMap().List()) {
    ports_->addItem(Q(DescribePortEntry(entry)), entry.number);
  }
  if (ports_->count() == 0)
    Log("No serial port found. A simulated station: see README (qvstation).");
}

void LinkCheckWindow::Identify() {
  ClosePort(*ctx_);
  try {
    ctx_->MSComm.setCommPort(ports_->currentData().toInt());
    ctx_->MSComm.setSettings(baud_->currentText().toStdString() + ",n,8,1");
    ctx_->MSComm.setPortOpen(true);
  } catch (const PlatformError& e) {
    Log(QString("#%1 %2").arg(e.number()).arg(Q(e.description())));
    return;
  }
  Log("> SET_MODE M");
  Senden(*ctx_, SetModeFrame(false));
}

// Every reply is shown; the mode reply is followed by the identification request.
ReplyTable LinkCheckWindow::LinkCheckReplies() {
  ReplyTable table;
  for (std::size_t code = 0; code < table.byCode.size(); ++code) {
    table.byCode[code] = [this, code](Context& ctx) {
      Bytes reply(ctx.rx.RxBuffer.begin(), ctx.rx.RxBuffer.begin() + ctx.rx.RxCount);
      Log(QString("< %1 %2").arg(code, 2, 16, QChar('0')).arg(Q(BytesToHex(reply, " "))));
      if (code == SET_MODE) {
        Log("> READ_SYSDATA 116");
        RequestSystemData(ctx, kFullIdentification);
      }
      return ReplyOutcome::Continue;
    };
  }
  table.byCode[kNak] = [this](Context&) {
    Log("< NAK");
    return ReplyOutcome::Continue;
  };
  return table;
}

void LinkCheckWindow::Log(const QString& line) {
  log_->appendPlainText(line);
}

}  // namespace qv

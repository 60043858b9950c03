#include <gtest/gtest.h>

#include <QAbstractItemView>
#include <QComboBox>
#include <QPushButton>

#include "app/qt/DlgInitCom.h"
#include "core/Errors.h"
#include "platform/QtClock.h"
#include "platform/QtSerialComm.h"
#include "platform/QtTimer.h"
#include "protocol/QvBoot.h"
#include "sim/virtual/VirtualPlatform.h"
#include "support/PtyLine.h"
#include "support/QtApp.h"
#include "texts/NamedTexts.h"

namespace qv {
namespace {

template <class Widget>
Widget& Child(const QDialog& dialog, const char* name) {
  if (auto* child = dialog.findChild<Widget*>(name)) return *child;
  throw std::runtime_error(name);
}
QComboBox& List(const QDialog& dialog, const char* name) {
  return Child<QComboBox>(dialog, name);
}
void Click(const QDialog& dialog, const char* name) {
  Child<QPushButton>(dialog, name).click();
}

// The real dialog on the virtual platform: the ports come from a table, the
// boxes are answered by the scripted view.
class PortDialogTest : public ::testing::Test {
 protected:
  void Present(std::initializer_list<int> numbers) {
    for (int n : numbers)
      entries_.push_back({n, "/dev/v" + std::to_string(n), PortOrigin::MapFile, n, true, {}});
  }
  // Shows the dialog (not modally waiting) and lets its activation run.
  void Show() {
    vp_.view.setText(Control::lblCOM, "");
    dialog_.show();
    ASSERT_TRUE(QTest::qWaitFor([&] { return vp_.view.text(Control::lblCOM) == "N/A"; }));
  }
  QStringList Entries() const {
    QStringList texts;
    for (int i = 0; i < List(dialog_, "Port").count(); ++i)
      texts << List(dialog_, "Port").itemText(i);
    return texts;
  }

  QApplication& app_ = test::EnsureQtApp();  // first: before any widget
  sim::VirtualPlatform vp_;
  std::vector<PortEntry> entries_;
  DlgInitCom dialog_{
      vp_.ctx, {[this] { return entries_; }, [](const PortEntry&) { return true; }}, nullptr};
};

TEST_F(PortDialogTest, ActivationListsThePortsAndSelectsTheStoredOne) {
  // stored port, ports present, the entry selected
  const std::tuple<std::string, std::vector<int>, int> cases[] = {
      {"COM3", {1, 3, 7}, 1}, {"COM9", {1, 3, 7}, 0}, {"COM3", {}, -1}};
  for (const auto& [stored, numbers, index] : cases) {
    entries_.clear();
    for (int n : numbers) Present({n});
    vp_.ctx.settings.PortList = stored;
    vp_.ctx.link.PortNumber = 3;
    vp_.port.setSettings("38400,n,8,1");
    Show();
    EXPECT_EQ(Entries().join(", "),
              numbers.empty() ? "" : "COM1 (/dev/v1), COM3 (/dev/v3), COM7 (/dev/v7)");
    EXPECT_EQ(List(dialog_, "Port").currentIndex(), index) << stored;
    EXPECT_TRUE(List(dialog_, "Port").view()->isVisible() || numbers.empty()) << "dropped open";
    EXPECT_EQ(vp_.port.Settings() + " COM" + std::to_string(vp_.port.CommPort()),
              "4800,n,8,1 COM3");
    EXPECT_EQ(dialog_.windowTitle(), "Port setting");
    EXPECT_TRUE(vp_.view.boxes().empty());
    dialog_.hide();
  }
}

// Each case: one showing, a pick, OK. A case with an answer has the port
// (COM1) opened meanwhile and answers the question with it.
TEST_F(PortDialogTest, OkOpensTheChosenPortOrSaysWhyNot) {
  const char* question = "Port is already opened. Close port and restart?";
  struct Case {
    const char* name;
    int portIndex;  // -1: none picked
    int answer;
    bool inUse;       // another program takes COM7 after the listing
    const char* box;  // "" for none
    bool stays;       // the dialog stays up
    bool openOnPick;  // the picked port is open afterwards
  } const cases[] = {
      {"plain", 1, 0, false, "", false, true},
      {"question yes", 2, vbYes, false, question, false, true},
      {"question no", 2, vbNo, false, question, false, false},
      {"in use", 2, 0, true, "8005\r\nPort already in use", true, false},
      {"above 16", 3, 0, false, "8002\r\nInvalid port number", true, false},
      {"none picked", -1, 0, false, "", true, false},
  };
  Present({1, 3, 7, 20});
  for (const Case& c : cases) {
    vp_.ctx.settings.PortList = "COM1";
    vp_.ctx.link.PortNumber = 1;
    vp_.ctx.settings.BaudList = "4800";
    vp_.port.setPortInUse(7, false);
    Show();
    vp_.view.clearBoxes();  // the warning about COM20
    List(dialog_, "Baud").setCurrentIndex(1);
    List(dialog_, "Port").setCurrentIndex(c.portIndex);
    if (c.answer) vp_.port.setPortOpen(true);
    if (c.answer) vp_.view.answer(c.answer);
    vp_.port.setPortInUse(7, c.inUse);
    const std::string caption = vp_.view.text(Control::btnSetBaud);
    Click(dialog_, "OKButton");

    const bool stored = !c.stays && c.answer != vbNo;
    const int picked = PortNumberOfEntry(Entries().value(c.portIndex).toStdString());
    EXPECT_EQ(vp_.ctx.link.PortNumber, picked) << c.name;
    EXPECT_EQ(dialog_.isVisible(), c.stays) << c.name;
    ASSERT_EQ(vp_.view.boxes().size(), *c.box ? 1u : 0u) << c.name;
    if (*c.box) {
      const auto& box = vp_.view.boxes()[0];
      EXPECT_EQ(box.prompt, c.box) << c.name;
      EXPECT_EQ(std::to_string(box.style) + box.title, c.answer ? "36Open port?" : "64QV-Boot");
    }
    EXPECT_EQ(vp_.port.PortOpen() && vp_.port.CommPort() == picked, c.openOnPick) << c.name;
    const SettingsTexts& s = vp_.ctx.settings;
    EXPECT_EQ(s.PortList + " " + s.BaudList + " " + vp_.view.text(Control::btnSetBaud),
              stored ? "COM" + std::to_string(picked) + " 38400 &Baud 38400->4800"
                     : "COM1 4800 " + caption)
        << c.name;
    EXPECT_EQ(vp_.view.text(Control::lblCOM), c.stays ? "N/A" : s.PortList) << c.name;
    EXPECT_EQ(vp_.port.Settings(), "4800,n,8,1") << "the pick of Baud is never applied";
    // Lists never touched store the stored entry (DataBit's first is "7").
    EXPECT_EQ(s.DataBitList + s.ProtocolListIndex, "80");
    dialog_.hide();
    ClosePort(vp_.ctx);
  }
}

TEST_F(PortDialogTest, CancelRestoresThePortNumberOfTheShowingAndLeavesThePortClosed) {
  Present({1, 3, 7});
  Show();
  List(dialog_, "Port").setCurrentIndex(1);
  Click(dialog_, "OKButton");
  ASSERT_TRUE(vp_.port.PortOpen() && vp_.port.CommPort() == 3);
  Show();
  EXPECT_FALSE(vp_.port.PortOpen());
  vp_.port.setPortInUse(7, true);
  List(dialog_, "Port").setCurrentIndex(2);
  Click(dialog_, "OKButton");  // fails on COM7, after the number was set
  ASSERT_EQ(vp_.port.CommPort(), 7);
  Click(dialog_, "CancelButton");
  EXPECT_TRUE(vp_.port.CommPort() == 3 && !vp_.port.PortOpen() && !dialog_.isVisible());
  EXPECT_TRUE(dialog_.procedures().state().bPortDialogCancelled);
  EXPECT_EQ(vp_.ctx.settings.PortList, "COM3");
}

// A view whose boxes are the program's real ones.
struct BoxView : sim::ScriptedView {
  explicit BoxView(MessageBoxHost& host) : host_(host) {}
  int HookedMsgBox(int, const std::string& prompt, int style, std::string& title) override {
    return host_.HookedMsgBox(prompt, style, title);
  }
  MessageBoxHost& host_;
};

// The program's own dialog, port and boxes over pseudo-terminals numbered COM5
// and COM20: every box re-activates the dialog, and none may come twice.
TEST(DlgInitComOnPty, EachBoxOncePerShowing) {
  using SB = QMessageBox::StandardButton;
  test::MessageBoxAnswerer answers;
  test::PtyLine line, high;
  line.WriteMap("COM5 = " + line.slave + "\nCOM20 = " + high.slave + "\n");
  QtSerialComm port(line.Map(), [](std::string_view name) { return NamedText(1000, name); });
  QtTimer timer1, timer2, timer3, timerEfi, keyWait;
  QtClock clock;
  QWidget window;
  window.show();
  MessageBoxHost host(&window, [&] { return port.CommPort(); });
  BoxView view(host);
  const ReplyTable replies;
  Context ctx(Platform{.MSComm = &port,
                       .Timer1 = &timer1,
                       .Timer2 = &timer2,
                       .Timer3 = &timer3,
                       .TimerEfi = &timerEfi,
                       .TimerKeyWait = &keyWait,
                       .clock = &clock,
                       .view = &view,
                       .replies = &replies});
  ctx.settings.PortList = "COM5";
  DlgInitCom dialog(ctx, &window);
  QComboBox& ports = List(dialog, "Port");

  // What a window manager does when a box closes: the dialog is active again.
  const auto reactivate = [&] {
    QEvent activate(QEvent::WindowActivate);
    QApplication::sendEvent(&dialog, &activate);
    QTest::qWait(50);
  };
  // Each showing: wait for the activation, then act on the dialog from inside its loop.
  const auto showing = [&](const std::function<void()>& act) {
    QTimer::singleShot(0, &dialog, [&] {
      if (QTest::qWaitFor([&] { return ports.count() == 2 && ports.view()->isVisible(); })) {
        reactivate();
        act();
        return;
      }
      ADD_FAILURE() << "no activation";
      Click(dialog, "CancelButton");
    });
    return dialog.ShowModal();
  };
  answers.clickNext(SB::Ok);  // the warning about COM20
  answers.clickNext(SB::Ok);  // COM20 refused on OK
  EXPECT_TRUE(showing([&] {
    EXPECT_EQ(ports.currentText().toStdString(), "COM5 (" + line.slave + ")");
    ports.setCurrentIndex(1);
    Click(dialog, "OKButton");
    reactivate();
    EXPECT_TRUE(dialog.isVisible());
    ports.setCurrentIndex(0);
    Click(dialog, "OKButton");
  }));
  ASSERT_EQ(answers.seen.size(), 2u);
  EXPECT_TRUE(answers.seen[0].text.startsWith("At least one serial port"));
  EXPECT_TRUE(answers.seen[1].text.startsWith("8002\nInvalid port number COM20"));
  EXPECT_EQ(answers.seen[1].icon, QMessageBox::Information);
  EXPECT_TRUE(port.PortOpen() && port.CommPort() == 5);
  EXPECT_EQ(view.text(Control::lblCOM), "COM5");

  answers.clickNext(SB::Ok);
  EXPECT_FALSE(showing([&] {
    EnsurePortOpen(ctx);        // left open by a timer tick: Cancel closes it
    ctx.settings.InitLang = 0;  // the language changed while the dialog was up
    reactivate();
    EXPECT_EQ(dialog.windowTitle(), "Anschlusseinstellungen");
    QTest::keyClick(&dialog, Qt::Key_Escape);
  }));
  EXPECT_FALSE(port.PortOpen());
  EXPECT_EQ(answers.seen.size(), 3u) << "the warning once more, for the new showing";
  EXPECT_EQ(answers.unexpected, 0);
}

}  // namespace
}  // namespace qv

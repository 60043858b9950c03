#include <gtest/gtest.h>

#include <QTimer>
#include <QWidget>
#include <memory>
#include <ostream>

#include "core/View.h"
#include "app/qt/TwipsGeometry.h"
#include "app/qt/modHook.h"
#include "support/QtApp.h"

void PrintTo(const QPoint& p, std::ostream* os) {
  *os << "(" << p.x() << ", " << p.y() << ")";
}

namespace qv {
namespace {

using SB = QMessageBox::StandardButton;
using Action = test::MessageBoxAnswerer::Action;

class MsgBoxTest : public ::testing::Test {
 protected:
  void SetUp() override {
    main_->setWindowTitle(kAppTitle);
    main_->setGeometry(200, 150, 640, 420);
    main_->show();
    host_.setMainWindow(main_.get());
    host_.setCommPortSource([this] { return port_; });
  }

  // Shows a box through the host and returns what was shown.
  test::ShownMessageBox Show(const std::string& prompt, int style, int expectedResult) {
    std::string title;
    EXPECT_EQ(host_.HookedMsgBox(prompt, style, title), expectedResult) << style;
    return answers_.seen.empty() ? test::ShownMessageBox{} : answers_.seen.back();
  }

  // The position the centring arithmetic gives for a box of this size over the main window.
  QPoint Expected(const QRect& frame, QSize box) const {
    const TwipsPerPixel f = ScreenTwipsPerPixel(main_.get());
    const PixelPoint p =
        CentredBoxPosition(PixelsToTwips({frame.x(), frame.y(), frame.width(), frame.height()}, f),
                           f, box.width(), box.height());
    return {p.x, p.y};
  }

  test::MessageBoxAnswerer answers_;  // first: creates the application
  std::unique_ptr<QWidget> main_ = std::make_unique<QWidget>();
  MessageBoxHost host_;
  int port_ = 3;
};

// Line breaks show ("\r\n" and a lone "\r"); markup stays text.
TEST_F(MsgBoxTest, EveryStyleShowsItsButtonsIconAndDefaultAndReturnsTheAnswer) {
  struct Case {
    int style;
    QMessageBox::StandardButtons buttons;
    SB defaultButton;
    QMessageBox::Icon icon;
    int cautious;  // Escape or closing the box
  };
  const Case cases[] = {
      {0, SB::Ok, SB::Ok, QMessageBox::NoIcon, vbOK},
      {16, SB::Ok, SB::Ok, QMessageBox::Critical, vbOK},
      {33, SB::Ok | SB::Cancel, SB::Ok, QMessageBox::Question, vbCancel},
      {36, SB::Yes | SB::No, SB::Yes, QMessageBox::Question, vbNo},
      {48, SB::Ok, SB::Ok, QMessageBox::Warning, vbOK},
      {64, SB::Ok, SB::Ok, QMessageBox::Information, vbOK},
      {65, SB::Ok | SB::Cancel, SB::Ok, QMessageBox::Information, vbCancel},
      {273, SB::Ok | SB::Cancel, SB::Cancel, QMessageBox::Critical, vbCancel},
      {289, SB::Ok | SB::Cancel, SB::Cancel, QMessageBox::Question, vbCancel},
      {292, SB::Yes | SB::No, SB::No, QMessageBox::Question, vbNo},
  };
  const std::pair<SB, int> results[] = {
      {SB::Ok, vbOK}, {SB::Cancel, vbCancel}, {SB::Yes, vbYes}, {SB::No, vbNo}};
  for (const auto& c : cases) {
    for (const auto& [button, code] : results) {
      if (!c.buttons.testFlag(button)) continue;
      answers_.clickNext(button);
      const auto shown = Show("<b>C:\\x.pupd</b>\r\n\r\none\rtwo\nthree\r", c.style, code);
      EXPECT_EQ(shown.text, "<b>C:\\x.pupd</b>\n\none\ntwo\nthree\n");
      EXPECT_EQ(shown.textFormat, Qt::PlainText);
      EXPECT_EQ(shown.buttons, c.buttons) << c.style;
      EXPECT_EQ(shown.defaultButton, c.defaultButton) << c.style;
      EXPECT_EQ(shown.icon, c.icon) << c.style;
      EXPECT_TRUE(shown.modal) << c.style;
      EXPECT_EQ(shown.owner, main_.get()) << c.style;
    }
    answers_.next(Action::Escape);
    Show("Escape", c.style, c.cautious);
    answers_.next(Action::Close);
    Show("Close", c.style, c.cautious);
  }
  EXPECT_EQ(answers_.unexpected, 0);
}

TEST_F(MsgBoxTest, TitleCarriesThePortAndReachesTheCaller) {
  const std::tuple<std::string, int, std::string> cases[] = {
      {"", 3, "QV-Boot  COM3"},
      {"QV-Boot 123456", 12, "QV-Boot 123456  COM12"},
      {"Eigener Titel \xC3\xA4", 1, "Eigener Titel \xC3\xA4  COM1"}};
  for (auto [title, port, shown] : cases) {
    port_ = port;
    answers_.clickNext(SB::Ok);
    host_.HookedMsgBox("x", vbOKOnly, title);
    EXPECT_EQ(title, shown);
    ASSERT_FALSE(answers_.seen.empty());
    EXPECT_EQ(answers_.seen.back().title.toStdString(), shown);
  }
}

TEST_F(MsgBoxTest, BoxesBeforeTheMainWindowArePlainAndKeepTheirTitle) {
  MessageBoxHost early(nullptr, [] { return 3; });
  std::string title;
  answers_.clickNext(SB::No);
  EXPECT_EQ(early.HookedMsgBox("x", 36, title), vbNo);
  EXPECT_EQ(title, "QV-Boot");
  answers_.clickNext(SB::Ok);
  EXPECT_EQ(PlainMsgBox("No serial port found.\r\n\r\nPlease install.", 4144, "QV-Boot"), vbOK);
  answers_.clickNext(SB::Cancel);
  EXPECT_EQ(PlainMsgBox("Sure?", 289, "Quorvex Boot"), vbCancel);
  ASSERT_EQ(answers_.seen.size(), 3u);
  for (const auto& shown : answers_.seen) {
    EXPECT_EQ(shown.owner, nullptr);
    EXPECT_FALSE(shown.requestedPosition.has_value());
  }
  EXPECT_EQ(answers_.seen[1].title, "QV-Boot");
  EXPECT_EQ(answers_.seen[1].icon, QMessageBox::Warning);
  EXPECT_EQ(answers_.seen[1].buttons, SB::Ok);
  EXPECT_EQ(answers_.seen[1].text, "No serial port found.\n\nPlease install.");
  EXPECT_EQ(answers_.seen[2].title, "Quorvex Boot");
  EXPECT_EQ(answers_.unexpected, 0);
}

TEST_F(MsgBoxTest, BoxSitsCentredOverTheMainWindow) {
  // The offscreen platform shifts a framed window that lies partly off the
  // screen by its frame thickness once it is shown; for such a box only the
  // position it asked for is exact.
  const std::pair<QRect, bool> cases[] = {
      {{200, 150, 640, 420}, true},
      {{300, 250, 120, 60}, true},     // smaller than the box: the box overhangs it
      {{-150, -100, 120, 60}, false},  // the box follows the window off the screen
  };
  for (const auto& [window, onScreen] : cases) {
    main_->setGeometry(window);
    const QRect frame = main_->frameGeometry();
    answers_.clickNext(SB::Ok);
    const auto shown = Show("Please wait for the double beep of the station.", vbInformation, vbOK);
    const QPoint expected = Expected(frame, shown.frameSize);
    EXPECT_EQ(shown.requestedPosition, expected) << window.x();
    EXPECT_TRUE(!onScreen || shown.position == expected) << window.x();
    EXPECT_TRUE(window.width() >= shown.frameSize.width() || expected.x() < frame.x())
        << window.x();
  }
  EXPECT_LT(answers_.seen.back().requestedPosition->x(), 0);
}

TEST_F(MsgBoxTest, MinimizedMainWindowIsRestoredBeforeTheBox) {
  main_->showMinimized();
  ASSERT_TRUE(main_->isMinimized());
  answers_.clickNext(SB::Yes);
  const auto shown = Show("Program anyway?", 36, vbYes);
  EXPECT_FALSE(shown.ownerState.testFlag(Qt::WindowMinimized));
  EXPECT_FALSE(main_->isMinimized());
  EXPECT_EQ(shown.position, Expected(main_->frameGeometry(), shown.frameSize));
}

TEST_F(MsgBoxTest, MainWindowClosedUnderAnOpenBoxGivesTheCautiousAnswer) {
  answers_.next(Action::Leave);
  QTimer::singleShot(50, [this] { main_.reset(); });
  Show("Continue?", 292, vbNo);
  EXPECT_EQ(host_.mainWindow(), nullptr);
  EXPECT_EQ(answers_.seen.size(), 1u);
  EXPECT_EQ(answers_.unexpected, 0);
}

TEST_F(MsgBoxTest, FrameGeometryInTwipsRoundTrips) {
  const TwipsPerPixel f = ScreenTwipsPerPixel(main_.get());
  SetFrameGeometryTwips(*main_, {20 * f.x, 30 * f.y, 500 * f.x, 300 * f.y});
  EXPECT_EQ(main_->frameGeometry(), QRect(20, 30, 500, 300));
  EXPECT_EQ(TwipsToPixels(FrameGeometryTwips(*main_), f), (PixelRect{20, 30, 500, 300}));
}

}  // namespace
}  // namespace qv

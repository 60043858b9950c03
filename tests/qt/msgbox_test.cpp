#include <gtest/gtest.h>

#include <QTimer>
#include <QWidget>
#include <memory>

#include "app/qt/TwipsGeometry.h"
#include "app/qt/modHook.h"
#include "core/View.h"
#include "support/QtApp.h"

namespace qv {
namespace {

using SB = QMessageBox::StandardButton;
using Action = test::MessageBoxAnswerer::Action;

class MsgBoxTest : public ::testing::Test {
 protected:
  void SetUp() override { main_->show(); }

  // Shows a box through the host and returns what was shown.
  test::ShownMessageBox Show(const std::string& prompt, int style, int expectedResult) {
    std::string title;
    EXPECT_EQ(host_.HookedMsgBox(prompt, style, title), expectedResult) << style;
    return answers_.seen.empty() ? test::ShownMessageBox{} : answers_.seen.back();
  }

  test::MessageBoxAnswerer answers_;  // first: creates the application
  std::unique_ptr<QWidget> main_ = std::make_unique<QWidget>();
  int port_ = 3;
  MessageBoxHost host_{main_.get(), [this] { return port_; }};
};

// Line breaks show ("\r\n" and a lone "\r"); markup stays text.
TEST_F(MsgBoxTest, EveryStyleShowsItsButtonsIconAndDefaultAndReturnsTheAnswer) {
  // style, buttons, default, icon, the answer to Escape or closing the box
  // clang-format off
  const std::tuple<int, QMessageBox::StandardButtons, SB, QMessageBox::Icon, int> cases[] = {
      {0, SB::Ok, SB::Ok, QMessageBox::NoIcon, vbOK},
      {36, SB::Yes | SB::No, SB::Yes, QMessageBox::Question, vbNo},
      {65, SB::Ok | SB::Cancel, SB::Ok, QMessageBox::Information, vbCancel},
      {273, SB::Ok | SB::Cancel, SB::Cancel, QMessageBox::Critical, vbCancel},
      {289, SB::Ok | SB::Cancel, SB::Cancel, QMessageBox::Question, vbCancel},
      {292, SB::Yes | SB::No, SB::No, QMessageBox::Question, vbNo}};
  const std::pair<SB, int> results[] = {{SB::Ok, vbOK}, {SB::Cancel, vbCancel}, {SB::Yes, vbYes}, {SB::No, vbNo}};
  // clang-format on
  for (const auto& [style, buttons, defaultButton, icon, cautious] : cases) {
    for (const auto& [button, code] : results) {
      if (!buttons.testFlag(button)) continue;
      answers_.clickNext(button);
      const auto shown = Show("<b>C:\\x.pupd</b>\r\n\r\none\rtwo\nthree\r", style, code);
      EXPECT_TRUE(shown.buttons == buttons && shown.defaultButton == defaultButton &&
                  shown.icon == icon && shown.modal && shown.owner == main_.get() &&
                  shown.textFormat == Qt::PlainText)
          << style;
      EXPECT_EQ(shown.text, "<b>C:\\x.pupd</b>\n\none\ntwo\nthree\n");
    }
    answers_.next(Action::Escape);
    Show("Escape", style, cautious);
    answers_.next(Action::Close);
    Show("Close", style, cautious);
  }
  EXPECT_EQ(answers_.unexpected, 0);
}

TEST_F(MsgBoxTest, TitleCarriesThePortAndReachesTheCaller) {
  // clang-format off
  const std::tuple<std::string, int, std::string> cases[] = {
      {"", 3, "QV-Boot  COM3"}, {"QV-Boot 123456", 12, "QV-Boot 123456  COM12"},
      {"Eigener Titel \xC3\xA4", 1, "Eigener Titel \xC3\xA4  COM1"}};
  // clang-format on
  for (auto [title, port, shown] : cases) {
    port_ = port;
    answers_.clickNext(SB::Ok);
    host_.HookedMsgBox("x", vbOKOnly, title);
    ASSERT_FALSE(answers_.seen.empty());
    EXPECT_EQ(std::pair(title, answers_.seen.back().title.toStdString()), std::pair(shown, shown));
  }
}

// Boxes before the main window have no owner and no port in the title.
TEST_F(MsgBoxTest, BoxesBeforeTheMainWindowArePlain) {
  MessageBoxHost early(nullptr, [] { return 3; });
  std::string title;
  answers_.clickNext(SB::Ok);
  EXPECT_EQ(early.HookedMsgBox("No serial port found.", 4144, title), vbOK);
  EXPECT_EQ(title, "QV-Boot");
  ASSERT_EQ(answers_.seen.size(), 1u);
  const auto& box = answers_.seen[0];
  EXPECT_TRUE(!box.owner && !box.requestedPosition && box.title == "QV-Boot" &&
              box.icon == QMessageBox::Warning);
}

// The offscreen platform shifts a framed window that lies partly off the
// screen by its frame thickness once it is shown; for such a box only the
// position it asked for is exact. A minimized main window is restored first.
TEST_F(MsgBoxTest, BoxSitsCentredOverTheMainWindow) {
  // clang-format off
  const std::tuple<QRect, bool, bool> cases[] = {  // window, on the screen, minimized
      {{200, 150, 640, 420}, true, false},
      {{300, 250, 120, 60}, true, false},     // smaller than the box: the box overhangs it
      {{-150, -100, 120, 60}, false, false},  // the box follows the window off the screen
      {{200, 150, 640, 420}, true, true}};
  // clang-format on
  for (const auto& [window, onScreen, minimized] : cases) {
    main_->setGeometry(window);
    if (minimized) main_->showMinimized();
    const QRect frame = main_->frameGeometry();
    answers_.clickNext(SB::Ok);
    const auto shown = Show("Please wait for the double beep of the station.", vbInformation, vbOK);
    const TwipsPerPixel f = ScreenTwipsPerPixel(main_.get());
    const PixelPoint p =
        CentredBoxPosition(PixelsToTwips({frame.x(), frame.y(), frame.width(), frame.height()}, f),
                           f, shown.frame.width(), shown.frame.height());
    const QPoint expected(p.x, p.y);
    EXPECT_EQ(shown.requestedPosition, expected) << window.x();
    EXPECT_TRUE(!onScreen || shown.frame.topLeft() == expected) << window.x();
    EXPECT_FALSE(shown.ownerState.testFlag(Qt::WindowMinimized)) << window.x();
  }
}

TEST_F(MsgBoxTest, MainWindowClosedUnderAnOpenBoxGivesTheCautiousAnswer) {
  answers_.next(Action::Leave);
  QTimer::singleShot(50, [this] { main_.reset(); });
  Show("Continue?", 292, vbNo);
  EXPECT_EQ(std::tuple(host_.mainWindow(), answers_.seen.size(), answers_.unexpected),
            std::tuple(nullptr, std::size_t{1}, 0));
}

TEST_F(MsgBoxTest, FrameGeometryInTwipsRoundTrips) {
  const TwipsPerPixel f = ScreenTwipsPerPixel(main_.get());
  SetFrameGeometryTwips(*main_, {20 * f.x, 30 * f.y, 500 * f.x, 300 * f.y});
  EXPECT_EQ(main_->frameGeometry(), QRect(20, 30, 500, 300));
  EXPECT_EQ(TwipsToPixels(FrameGeometryTwips(*main_), f), (PixelRect{20, 30, 500, 300}));
}

}  // namespace
}  // namespace qv

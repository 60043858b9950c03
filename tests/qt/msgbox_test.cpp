#include <gtest/gtest.h>

#include <QTimer>
#include <QWidget>
#include <memory>
#include <ostream>

#include "app/View.h"
#include "app/qt/TwipsGeometry.h"
#include "app/qt/modHook.h"
#include "support/MessageBoxAnswerer.h"

void PrintTo(const QPoint& p, std::ostream* os) {
  *os << "(" << p.x() << ", " << p.y() << ")";
}

namespace qv {
namespace {

using SB = QMessageBox::StandardButton;
using test::MessageBoxAnswerer;

class MsgBoxTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { test::EnsureQtApp(); }

  void SetUp() override {
    main_ = std::make_unique<QWidget>();
    main_->setWindowTitle(kAppTitle);
    main_->move(200, 150);
    main_->resize(640, 420);
    main_->show();
    host_.setMainWindow(main_.get());
    host_.setCommPortSource([this] { return port_; });
  }

  // The position the centring arithmetic gives for a box of this size over the main window.
  QPoint Expected(QSize box) const {
    const PixelPoint p = CentredBoxPosition(
        FrameGeometryTwips(*main_), ScreenTwipsPerPixel(main_.get()), box.width(), box.height());
    return {p.x, p.y};
  }

  std::unique_ptr<QWidget> main_;
  MessageBoxHost host_;
  int port_ = 3;
  MessageBoxAnswerer answers_;
};

struct StyleCase {
  int style;
  QMessageBox::StandardButtons buttons;
  SB defaultButton;
  QMessageBox::Icon icon;
  int escapeResult;
};

const StyleCase kStyles[] = {
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

const std::pair<SB, int> kButtonResults[] = {
    {SB::Ok, vbOK}, {SB::Cancel, vbCancel}, {SB::Yes, vbYes}, {SB::No, vbNo}};

TEST_F(MsgBoxTest, EveryStyleShowsItsButtonsIconAndDefaultAndReturnsTheButtonPressed) {
  for (const auto& c : kStyles) {
    for (const auto& [button, code] : kButtonResults) {
      if (!c.buttons.testFlag(button)) continue;
      answers_.clickNext(button);
      std::string title;
      EXPECT_EQ(host_.HookedMsgBox("Continue?", c.style, title), code) << c.style;
      ASSERT_FALSE(answers_.seen().empty());
      const auto& shown = answers_.seen().back();
      EXPECT_EQ(shown.buttons, c.buttons) << c.style;
      EXPECT_EQ(shown.defaultButton, c.defaultButton) << c.style;
      EXPECT_EQ(shown.icon, c.icon) << c.style;
      EXPECT_TRUE(shown.modal) << c.style;
      EXPECT_EQ(shown.owner, main_.get()) << c.style;
    }
  }
  EXPECT_EQ(answers_.unexpected(), 0);
}

TEST_F(MsgBoxTest, EscapeAndClosingGiveTheCautiousAnswer) {
  for (const auto& c : kStyles) {
    std::string title;
    answers_.escapeNext();
    EXPECT_EQ(host_.HookedMsgBox("Escape", c.style, title), c.escapeResult) << c.style;
    answers_.closeNext();
    EXPECT_EQ(host_.HookedMsgBox("Close", c.style, title), c.escapeResult) << c.style;
  }
  EXPECT_EQ(answers_.unexpected(), 0);
}

TEST_F(MsgBoxTest, TitleCarriesThePortAndReachesTheCaller) {
  struct Case {
    std::string given;
    int port;
    std::string shown;
  };
  const Case cases[] = {{"", 3, "QV-Boot  COM3"},
                        {"QV-Boot 123456", 12, "QV-Boot 123456  COM12"},
                        {"Eigener Titel \xC3\xA4", 1, "Eigener Titel \xC3\xA4  COM1"}};
  for (const auto& c : cases) {
    port_ = c.port;
    std::string title = c.given;
    answers_.clickNext(SB::Ok);
    host_.HookedMsgBox("x", vbOKOnly, title);
    EXPECT_EQ(title, c.shown);
    ASSERT_FALSE(answers_.seen().empty());
    EXPECT_EQ(answers_.seen().back().title.toStdString(), c.shown);
  }
}

TEST_F(MsgBoxTest, WithoutMainWindowTheBoxIsPlain) {
  MessageBoxHost early(nullptr, [] { return 3; });
  std::string title;
  answers_.clickNext(SB::No);
  EXPECT_EQ(early.HookedMsgBox("x", 36, title), vbNo);
  EXPECT_EQ(title, "QV-Boot");
  ASSERT_EQ(answers_.seen().size(), 1u);
  EXPECT_EQ(answers_.seen()[0].owner, nullptr);
  EXPECT_FALSE(answers_.seen()[0].requestedPosition.has_value());
}

TEST_F(MsgBoxTest, PlainBoxKeepsTheTitleAndMapsTheStyle) {
  answers_.clickNext(SB::Ok);
  EXPECT_EQ(PlainMsgBox("No serial port found.\r\n\r\nPlease install.", 4144, "QV-Boot"), vbOK);
  answers_.clickNext(SB::Cancel);
  EXPECT_EQ(PlainMsgBox("Sure?", 289, "Quorvex Boot"), vbCancel);
  ASSERT_EQ(answers_.seen().size(), 2u);
  const auto& first = answers_.seen()[0];
  EXPECT_EQ(first.title, "QV-Boot");
  EXPECT_EQ(first.icon, QMessageBox::Warning);
  EXPECT_EQ(first.buttons, SB::Ok);
  EXPECT_EQ(first.text, "No serial port found.\n\nPlease install.");
  EXPECT_EQ(first.owner, nullptr);
  const auto& second = answers_.seen()[1];
  EXPECT_EQ(second.title, "Quorvex Boot");
  EXPECT_EQ(second.defaultButton, SB::Cancel);
  EXPECT_EQ(answers_.unexpected(), 0);
}

TEST_F(MsgBoxTest, LineBreaksShowAndMarkupStaysText) {
  const std::pair<std::string, QString> cases[] = {
      {"one\r\ntwo", "one\ntwo"},
      {"one\rtwo\r", "one\ntwo\n"},
      {"one\r\n\r\ntwo\nthree", "one\n\ntwo\nthree"},
      {"<b>C:\\KVX7_public\\x.pupd</b>", "<b>C:\\KVX7_public\\x.pupd</b>"},
  };
  for (const auto& [prompt, text] : cases) {
    std::string title;
    answers_.clickNext(SB::Ok);
    host_.HookedMsgBox(prompt, vbOKOnly, title);
    ASSERT_FALSE(answers_.seen().empty());
    EXPECT_EQ(answers_.seen().back().text, text);
    EXPECT_EQ(answers_.seen().back().textFormat, Qt::PlainText);
  }
}

TEST_F(MsgBoxTest, BoxSitsCentredOverTheMainWindow) {
  struct Case {
    QRect window;
    bool boxOnScreen;
  };
  // The offscreen platform shifts a framed window that lies partly off the
  // screen by its frame thickness once it is shown; for such a box only the
  // position it asked for is exact.
  const Case cases[] = {
      {{200, 150, 640, 420}, true},
      {{300, 250, 120, 60}, true},     // smaller than the box: the box overhangs it
      {{-150, -100, 120, 60}, false},  // the box follows the window off the screen
  };
  for (const auto& c : cases) {
    main_->setGeometry(c.window);
    const QRect ownerFrame = main_->frameGeometry();
    std::string title;
    answers_.clickNext(SB::Ok);
    host_.HookedMsgBox("Please wait for the double beep of the station.", vbInformation, title);
    ASSERT_FALSE(answers_.seen().empty());
    const auto& shown = answers_.seen().back();
    const PixelPoint p = CentredBoxPosition(
        PixelsToTwips({ownerFrame.x(), ownerFrame.y(), ownerFrame.width(), ownerFrame.height()},
                      ScreenTwipsPerPixel(main_.get())),
        ScreenTwipsPerPixel(main_.get()), shown.frameSize.width(), shown.frameSize.height());
    const QPoint expected(p.x, p.y);
    ASSERT_TRUE(shown.requestedPosition.has_value()) << c.window.x();
    EXPECT_EQ(*shown.requestedPosition, expected) << c.window.x();
    if (c.boxOnScreen) {
      EXPECT_EQ(shown.position, expected) << c.window.x();
    }
    if (c.window.width() < shown.frameSize.width()) {
      EXPECT_LT(expected.x(), ownerFrame.x());
      EXPECT_LT(expected.y(), ownerFrame.y());
    }
  }
  EXPECT_LT(answers_.seen().back().requestedPosition->x(), 0);
}

TEST_F(MsgBoxTest, MinimizedMainWindowIsRestoredBeforeTheBox) {
  main_->showMinimized();
  ASSERT_TRUE(main_->isMinimized());
  std::string title;
  answers_.clickNext(SB::Yes);
  EXPECT_EQ(host_.HookedMsgBox("Program anyway?", 36, title), vbYes);
  ASSERT_EQ(answers_.seen().size(), 1u);
  EXPECT_FALSE(answers_.seen()[0].ownerState.testFlag(Qt::WindowMinimized));
  EXPECT_FALSE(main_->isMinimized());
  EXPECT_EQ(answers_.seen()[0].position, Expected(answers_.seen()[0].frameSize));
}

TEST_F(MsgBoxTest, MainWindowClosedUnderAnOpenBoxGivesTheCautiousAnswer) {
  answers_.leaveNext();
  QTimer::singleShot(50, [this] { main_.reset(); });
  std::string title;
  EXPECT_EQ(host_.HookedMsgBox("Continue?", 292, title), vbNo);
  EXPECT_EQ(host_.mainWindow(), nullptr);
  EXPECT_EQ(answers_.seen().size(), 1u);
  EXPECT_EQ(answers_.unexpected(), 0);
}

TEST_F(MsgBoxTest, FrameGeometryInTwipsRoundTrips) {
  const TwipsPerPixel f = ScreenTwipsPerPixel(main_.get());
  const TwipsRect wanted{20 * f.x, 30 * f.y, 500 * f.x, 300 * f.y};
  SetFrameGeometryTwips(*main_, wanted);
  EXPECT_EQ(main_->frameGeometry(), QRect(20, 30, 500, 300));
  const TwipsRect back = FrameGeometryTwips(*main_);
  EXPECT_DOUBLE_EQ(back.Left, wanted.Left);
  EXPECT_DOUBLE_EQ(back.Top, wanted.Top);
  EXPECT_DOUBLE_EQ(back.Width, wanted.Width);
  EXPECT_DOUBLE_EQ(back.Height, wanted.Height);
}

}  // namespace
}  // namespace qv

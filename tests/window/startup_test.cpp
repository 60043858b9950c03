// Start-up of the real main window: settings file, position, language, the
// stored port and the upgrade folder beside the program.
#include <gtest/gtest.h>

#include <QAccessible>
#include <QComboBox>
#include <QLabel>
#include <QMenu>
#include <QProgressBar>
#include <QPushButton>
#include <QToolBar>
#include <QToolButton>
#include <algorithm>

#include "WindowBench.h"
#include "protocol/Commands.h"
#include "texts/MlStringModule.h"
#include "texts/NamedTexts.h"

namespace qv::test {
namespace {

QAction* Item(QWidget& window, const char* name) {
  return window.findChild<QAction*>(name);
}

TEST(Startup, LanguageFromTheSettingsFile) {
  struct LanguageRow {
    const char* stored;
    std::int32_t initLang;
    const char* ticked;
  };
  for (const LanguageRow& row : {LanguageRow{"0", 0, "mnuGerman"},
                                 {"7", 1000, "mnuEnglish"},
                                 {"2000", 2000, "mnuFrench"},
                                 {"abc", 1000, "mnuEnglish"}}) {
    SCOPED_TRACE(row.stored);
    WindowBench bench;
    bench.WriteSettings(std::string("[SETTINGS]\nInitLang=") + row.stored + "\n");
    BenchWindow& window = bench.Start();
    EXPECT_EQ(window.context().settings.InitLang, row.initLang);
    EXPECT_EQ(window.windowTitle().toStdString(),
              "QV-Boot v2.14.0 --- " + GetMlString(row.initLang, 1117, ""));
    for (const char* item : {"mnuGerman", "mnuEnglish", "mnuFrench"})
      EXPECT_EQ(Item(window, item)->isChecked(), std::string(item) == row.ticked) << item;
    EXPECT_EQ(window.text(Control::StatusPanel), GetMlString(row.initLang, 1126, "") + " " +
                                                     bench.program.path + "/KVX7_public - " +
                                                     NamedText(row.initLang, "folder.none"));
  }
}

// No settings file: COM1 at 4800 opened, English, the window at 1400 twips
// unless that passes the screen's edge, the position written at once; the
// station is asked for relayed mode.
TEST(Startup, WithoutSettingsFile) {
  WindowBench bench;
  BenchWindow& window = bench.Start();
  Context& ctx = window.context();
  EXPECT_TRUE(ctx.MSComm.PortOpen());
  EXPECT_EQ(ctx.MSComm.CommPort(), 1);
  EXPECT_EQ(ctx.MSComm.Settings(), "4800,n,8,1");
  EXPECT_EQ(window.text(Control::lblCOM), "COM1");
  EXPECT_EQ(window.text(Control::btnSetBaud), "&Baud 4800->38400");
  EXPECT_EQ(window.text(Control::Master), "") << "no entry chosen until the station answers";
  EXPECT_EQ(window.portDialogs, 0);
  EXPECT_EQ(bench.line.Read(SetModeFrame(true).size()), SetModeFrame(true));
  const WindowRect rect = window.WindowGeometry();
  const ScreenSize screen = window.Screen();
  ASSERT_GE(screen.Width, 1400 + rect.Width) << "the offscreen screen leaves room";
  ASSERT_GE(screen.Height, 1400 + rect.Height) << "the offscreen screen leaves room";
  EXPECT_NEAR(rect.Left, 1400, 15) << "one pixel is 15 twips";
  EXPECT_NEAR(rect.Top, 1400, 15);
  EXPECT_EQ(bench.Settings(), "[SETTINGS]\nMainLeft=1000\nMainTop=1000\n");
}

// A stored position beyond the screen comes back to touch its edge; a
// negative one stays.
TEST(Startup, PositionOffTheScreen) {
  struct Row {
    const char* stored;
    bool clamped;
  };
  for (const Row& row : {Row{"50000", true}, Row{"-3000", false}}) {
    WindowBench bench;
    bench.WriteSettings(std::string("[SETTINGS]\nMainLeft=") + row.stored +
                        "\nMainTop=" + row.stored + "\n");
    BenchWindow& window = bench.Start();
    const WindowRect rect = window.WindowGeometry();
    const ScreenSize screen = window.Screen();
    const float stored = std::stof(row.stored) + 400;
    EXPECT_NEAR(rect.Left, row.clamped ? screen.Width - rect.Width : stored, 15) << row.stored;
    EXPECT_NEAR(rect.Top, row.clamped ? screen.Height - rect.Height : stored, 15) << row.stored;
  }
}

// Ports the loader cannot reach show "N/A" and offer the port dialog once,
// unless the PC has no serial port at all, which a box says before. The baud
// button offers the switch the stored speed allows all the same. Without a
// port the mode list, Start and the clock command offer the port dialog and
// send nothing (COM1 is there and must stay silent), also after a change of
// language, whose "N/A" the label then shows.
TEST(Startup, StoredPortThatCannotBeUsed) {
  struct Row {
    const char* port;
    bool noSerialPort;
    int dialogs;
  };
  for (const Row& row : {Row{"COM0", false, 1}, Row{"COM17", false, 1}, Row{"COM1", true, 0}}) {
    SCOPED_TRACE(row.port);
    WindowBench bench;
    if (row.noSerialPort) bench.line.WriteMap("");
    bench.WriteSettings(std::string("[COMCTRL]\nPort=") + row.port + "\nBaud=38400\n");
    MessageBoxAnswerer boxes;
    if (row.noSerialPort) boxes.clickNext(QMessageBox::Ok);
    BenchWindow& window = bench.Start(row.noSerialPort);
    EXPECT_FALSE(window.context().MSComm.PortOpen());
    EXPECT_EQ(window.text(Control::lblCOM), "N/A");
    EXPECT_EQ(window.portDialogs, row.dialogs);
    ASSERT_EQ(boxes.seen.size(), row.noSerialPort ? 1u : 0u);
    if (row.noSerialPort) {
      EXPECT_TRUE(boxes.seen[0].text.startsWith("No serial port found."));
    }
    EXPECT_EQ(window.text(Control::btnSetBaud), "&Baud 38400->4800");
    if (!row.noSerialPort) {
      emit window.findChild<QComboBox*>("Master")->activated(1);
      EXPECT_EQ(window.text(Control::Master), "") << "no mode was set";
      window.findChild<QAction*>("mnuGerman")->trigger();
      EXPECT_EQ(window.text(Control::lblCOM), GetMlString(0, 1149, ""));
      window.findChild<QPushButton*>("btnStart")->click();
      window.findChild<QAction*>("mnuCommandSetTime")->trigger();
      EXPECT_EQ(window.portDialogs, row.dialogs + 3);
    }
    window.close();
    EXPECT_TRUE(bench.line.Read(1, 300).empty()) << "nothing goes to a port nobody chose";
    EXPECT_EQ(boxes.unexpected, 0);
  }
}

// The version label's date has its year in four digits in the short format
// of the language of the system.
TEST(Startup, VersionDateHasAFourDigitYear) {
  const QLocale before;
  QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
  WindowBench bench;
  BenchWindow& window = bench.Start();
  QLocale::setDefault(before);
  EXPECT_TRUE(window.findChild<QLabel*>("lblVersion")->text().endsWith("(24.02.2014)"))
      << window.findChild<QLabel*>("lblVersion")->text().toStdString();
}

// With the folder beside the program it is the upgrade folder and File > Open
// is greyed out, asked afresh at each opening of the menu.
TEST(Startup, UpgradeFolderBesideTheProgram) {
  WindowBench bench;
  const std::string beside = bench.program.path + "/KVX7_public";
  std::filesystem::create_directory(beside);
  bench.WriteSettings("[SETTINGS]\nInitDir=/srv/images\n");
  BenchWindow& window = bench.Start();
  EXPECT_EQ(window.context().settings.UpgradeFolder, beside);
  QMenu* file = window.findChild<QMenu*>("mnuFile");
  emit file->aboutToShow();
  EXPECT_FALSE(Item(window, "mnuFileOpen")->isEnabled());
  std::filesystem::remove(beside);
  emit file->aboutToShow();
  EXPECT_TRUE(Item(window, "mnuFileOpen")->isEnabled());

  WindowBench elsewhere;
  elsewhere.WriteSettings("[SETTINGS]\nInitDir=/srv/images\n");
  EXPECT_EQ(elsewhere.Start().context().settings.UpgradeFolder, "/srv/images");
}

// Screen readers find a name on every control; toolbar buttons and pictures
// are named by their tooltips.
TEST(Startup, EveryControlHasAnAccessibleName) {
  WindowBench bench;
  BenchWindow& window = bench.Start();
  int controls = 0;
  for (QWidget* widget : window.findChildren<QWidget*>()) {
    const bool control = qobject_cast<QLabel*>(widget) || qobject_cast<QAbstractButton*>(widget) ||
                         qobject_cast<QComboBox*>(widget) || qobject_cast<QProgressBar*>(widget);
    if (!control || widget->objectName().isEmpty() || widget->objectName().startsWith("qt_"))
      continue;
    ++controls;
    QAccessibleInterface* reader = QAccessible::queryAccessibleInterface(widget);
    ASSERT_NE(reader, nullptr);
    EXPECT_FALSE(reader->text(QAccessible::Name).isEmpty()) << widget->objectName().toStdString();
  }
  EXPECT_GE(controls, 20);
  auto* toolbar = window.findChild<QToolBar*>("tbGross");
  for (QAction* button : toolbar->actions()) {
    if (button->isSeparator()) continue;
    EXPECT_EQ(toolbar->widgetForAction(button)->accessibleName(), button->toolTip());
  }
}

}  // namespace
}  // namespace qv::test

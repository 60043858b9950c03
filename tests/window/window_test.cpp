// The main window after start-up: closing, the language change, the file
// label, help, and the launcher progress on a private session bus.
#include <gtest/gtest.h>

#include <cerrno>
#include <cstring>
#include <functional>

#include <QAbstractButton>
#include <QComboBox>
#include <QDBusMessage>
#include <QGroupBox>
#include <QLabel>
#include <QPushButton>
#include <QToolBar>
#include <QWheelEvent>

#include "WindowBench.h"
#include "app/qt/TaskbarProgress.h"
#include "core/TextRules.h"
#include "protocol/Commands.h"
#include "texts/MlStringModule.h"
#include "texts/NamedTexts.h"
#include "update/LinkReplies.h"
#include "update/ModeSwitching.h"
#include "update/UpdateRun.h"

namespace qv::test {
namespace {

bool Has(const std::string& text, const std::string& part) {
  return text.find(part) != std::string::npos;
}

// Every way out writes both sections (SETTINGS only when not minimized), puts
// the link back as the station was found and asks nothing, also during a
// transfer; when no station ever answered nothing goes out.
TEST(Closing, WritesSettingsAndPutsTheLinkBack) {
  struct Row {
    const char* name;
    bool minimized;
    bool transfer;
    std::int32_t startBaud;
    Bytes linkBack;
    const char* pcSpeed = "4800,n,8,1";
  };
  for (const Row& row : {Row{"normal", false, false, 4800, SetModeFrame(false)},
                         Row{"minimized", true, false, 4800, SetModeFrame(false)},
                         Row{"transfer", false, true, 38400, SetBaudFrame(38400)},
                         Row{"raised", false, false, 4800, SetBaudFrame(4800), "38400,n,8,1"},
                         Row{"no station", false, false, 0, {}}}) {
    SCOPED_TRACE(row.name);
    WindowBench bench;
    bench.WriteSettings("[SETTINGS]\nInitLang=2000\nForceLoad=KVX7\n");
    BenchWindow& window = bench.Start();
    bench.line.Read(SetModeFrame(true).size());
    Context& ctx = window.context();
    ctx.link.StartBaud = row.startBaud;
    ctx.MSComm.setSettings(row.pcSpeed);
    ctx.settings.PortList = "COM3";
    ctx.settings.InitLang = 0;
    window.MoveWindow(3000, 2000);
    if (row.transfer) {
      ctx.run.bUpdateRun = true;
      set_ButtonsAktiv(ctx, false);
    }
    if (row.minimized) window.showMinimized();
    MessageBoxAnswerer boxes;
    window.close();
    EXPECT_EQ(bench.line.Read(row.linkBack.size() + 1, 300), row.linkBack);
    EXPECT_FALSE(ctx.MSComm.PortOpen());
    EXPECT_TRUE(boxes.seen.empty());
    const std::string settings = bench.Settings();
    EXPECT_TRUE(Has(settings, "Port=COM3")) << settings;
    EXPECT_TRUE(Has(settings, "ForceLoad=KVX7")) << settings;
    EXPECT_EQ(Has(settings, "InitLang=0"), !row.minimized) << settings;
    EXPECT_EQ(Has(settings, "InitLang=2000"), row.minimized) << settings;
    EXPECT_EQ(Has(settings, "MainLeft=2600"), !row.minimized) << settings;
  }
}

// A settings file that cannot be written is named in one box with the reason.
TEST(Closing, AFailedSaveIsSaid) {
  WindowBench bench;
  bench.WriteSettings("[COMCTRL]\nPort=COM1\n");
  BenchWindow& window = bench.Start();
  std::filesystem::permissions(bench.IniPath(), std::filesystem::perms::owner_read);
  MessageBoxAnswerer boxes;
  boxes.clickNext(QMessageBox::Ok);
  window.context().settings.PortList = "COM2";
  window.close();
  ASSERT_EQ(boxes.seen.size(), 1u);
  const std::string text = boxes.seen[0].text.toStdString();
  EXPECT_TRUE(Has(text, bench.IniPath()) && Has(text, std::strerror(EACCES))) << text;
  EXPECT_TRUE(Has(bench.Settings(), "Port=COM1"));
}

// The mode the list shows is the mode the next frame carries: after the
// station's reply, and across a change of language while no text shows.
TEST(Language, TheChosenModeFollowsTheListAndSurvivesAChange) {
  WindowBench bench;
  BenchWindow& window = bench.Start();
  Context& ctx = window.context();
  EXPECT_EQ(bench.line.Read(SetModeFrame(true).size()), SetModeFrame(true));
  EXPECT_EQ(window.text(Control::Master), "");
  window.findChild<QAction*>("mnuGerman")->trigger();
  EXPECT_EQ(bench.line.Read(SetModeFrame(true).size()), SetModeFrame(true));

  ctx.link.StartBaud = 4800;
  ctx.link.MasterListIndex = 1;
  ctx.rx.RxBuffer[0] = 0;
  ctx.rx.RxBuffer[1] = 'M';
  ctx.rx.RxCount = 2;
  ModeReply(ctx);
  EXPECT_EQ(window.text(Control::Master), ctx.texts.DirectText);
  EXPECT_EQ(ctx.link.MasterListIndex, 0);
}

// Every way of stepping through the mode list goes through its lock: the
// entry is chosen, the list stays disabled for the second even when the
// station answers meanwhile, then has the focus back. Typed letters choose
// nothing and send nothing.
TEST(MainWindow, TheModeListLockCoversEveryWayIn) {
  struct Row {
    const char* name;
    std::function<void(QComboBox*)> input;
    int entry;  // -1: none chosen, nothing sent
  };
  const auto key = [](Qt::Key k) { return [k](QComboBox* list) { QTest::keyClick(list, k); }; };
  const auto wheel = [](int delta) {
    return [delta](QComboBox* list) {
      QWheelEvent event(QPointF(5, 5), list->mapToGlobal(QPointF(5, 5)), QPoint(),
                        QPoint(0, delta), Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase, false);
      QApplication::sendEvent(list, &event);
    };
  };
  for (const Row& row : {Row{"Down", key(Qt::Key_Down), 1}, Row{"End", key(Qt::Key_End), 1},
                         Row{"Page Down", key(Qt::Key_PageDown), 1},
                         Row{"wheel down", wheel(-120), 1},
                         Row{"letter", [](QComboBox* list) { QTest::keyClicks(list, "r"); }, -1}}) {
    SCOPED_TRACE(row.name);
    WindowBench bench;
    BenchWindow& window = bench.Start();
    Context& ctx = window.context();
    bench.line.Read(SetModeFrame(true).size());
    window.activateWindow();
    auto* list = window.findChild<QComboBox*>("Master");
    window.setText(Control::Master, ctx.texts.DirectText);  // as the station's reply leaves it
    ctx.link.MasterListIndex = 0;
    window.setEnabled(Control::Master, true);
    row.input(list);
    if (row.entry < 0) {
      EXPECT_EQ(window.text(Control::Master), ctx.texts.DirectText);
      EXPECT_TRUE(bench.line.Read(1, 300).empty());
      continue;
    }
    EXPECT_EQ(ctx.link.MasterListIndex, row.entry);
    EXPECT_EQ(bench.line.Read(SetModeFrame(true).size()), SetModeFrame(true));
    window.setEnabled(Control::Master, true);  // the reply comes within the second
    EXPECT_FALSE(list->isEnabled());
    EXPECT_TRUE(QTest::qWaitFor([&] { return list->isEnabled(); }, 3000));
    EXPECT_TRUE(list->hasFocus());
  }
}

// The warning sign and its text show when the station is raised from 4800 and
// go when the link comes back to 4800.
TEST(MainWindow, BaudWarningOnTheWayUpAndBack) {
  WindowBench bench;
  BenchWindow& window = bench.Start();
  Context& ctx = window.context();
  ctx.link.CurrentBaud = 4800;
  auto* sign = window.findChild<QLabel*>("imgBaudWarning");
  auto* text = window.findChild<QLabel*>("lblDescConn");
  EXPECT_FALSE(sign->isVisible() || text->isVisible());
  ApplyBaud(ctx, "38400");
  EXPECT_TRUE(sign->isVisible() && text->isVisible());
  ApplyBaud(ctx, "4800");
  EXPECT_FALSE(sign->isVisible() || text->isVisible());
}

// What the operator reads: every label, button, frame, menu item and tooltip.
std::vector<std::string> Texts(QWidget& window) {
  std::vector<std::string> texts{window.windowTitle().toStdString()};
  for (auto* label : window.findChildren<QLabel*>())
    if (label->objectName() != "StatusPanel") texts.push_back(label->text().toStdString());
  for (auto* button : window.findChildren<QAbstractButton*>())
    texts.push_back((button->text() + "|" + button->toolTip()).toStdString());
  for (auto* frame : window.findChildren<QGroupBox*>())
    texts.push_back(frame->title().toStdString());
  for (auto* item : window.findChildren<QAction*>())
    texts.push_back((item->text() + "|" + item->toolTip()).toStdString());
  return texts;
}

// What the Cancel button of a box reads now (access key marks left out).
std::string CancelCaption() {
  QMessageBox box;
  box.setStandardButtons(QMessageBox::Cancel);
  return box.button(QMessageBox::Cancel)->text().remove('&').toStdString();
}

// A change of language re-labels the window, keeps the mode entry (and sends
// it again), keeps the baud button's caption and leaves the error texts of
// start-up alone; going back restores every text.
TEST(Language, ChangeFollowsTheMenu) {
  WindowBench bench;
  BenchWindow& window = bench.Start();
  bench.line.Read(SetModeFrame(true).size());
  Context& ctx = window.context();
  window.setText(Control::Master, ctx.texts.RemoteText);
  window.setText(Control::btnSetBaud, "&Baud 38400->4800");
  const std::vector<std::string> english = Texts(window);
  const std::string errorText = ctx.texts.ErrorTexts[1];

  window.findChild<QAction*>("mnuFrench")->trigger();
  EXPECT_EQ(ctx.settings.InitLang, 2000);
  EXPECT_EQ(window.windowTitle().toStdString(), MainWindowTitle(2000));
  EXPECT_EQ(ctx.link.MasterListIndex, 1);
  EXPECT_EQ(window.text(Control::btnSetBaud), "&Baud 38400->4800");
  EXPECT_EQ(window.text(Control::mnuCommandSetTime), "&" + GetMlString(2000, 1102, ""));
  EXPECT_EQ(window.text(Control::StatusPanel), GetMlString(2000, 1126, ""));
  EXPECT_EQ(ctx.texts.ErrorTexts[1], errorText);
  EXPECT_TRUE(window.findChild<QAction*>("mnuFrench")->isChecked());
  EXPECT_FALSE(window.findChild<QAction*>("mnuEnglish")->isChecked());
  EXPECT_EQ(bench.line.Read(SetModeFrame(true).size()), SetModeFrame(true));
  EXPECT_NE(Texts(window), english);
  EXPECT_EQ(CancelCaption(), "Annuler");  // Qt's own buttons follow the window

  window.setText(Control::Master, ctx.texts.RemoteText);  // as the station's mode reply does
  window.findChild<QAction*>("mnuEnglish")->trigger();
  EXPECT_EQ(Texts(window), english);
  EXPECT_EQ(ctx.link.MasterListIndex, 1);
  EXPECT_EQ(CancelCaption(), "Cancel");
  window.findChild<QAction*>("mnuGerman")->trigger();
  EXPECT_EQ(CancelCaption(), "Abbrechen");
}

// Buttons, menu items and toolbar buttons reach the same commands.
TEST(MainWindow, CommandsRouteFromEverySource) {
  WindowBench bench;
  BenchWindow& window = bench.Start();
  auto* toolbar = window.findChild<QToolBar*>("tbGross");
  const auto toolbarButton = [&](const char* key) {
    return qobject_cast<QAbstractButton*>(
        toolbar->widgetForAction(window.findChild<QAction*>(key)));
  };
  window.findChild<QPushButton*>("btnSelectPort")->click();
  window.findChild<QAction*>("mnuCommandInitComm")->trigger();
  toolbarButton("InitComm")->click();
  EXPECT_EQ(window.portDialogs, 3);
  toolbarButton("Exit")->click();
  EXPECT_FALSE(window.isVisible());
  EXPECT_TRUE(Has(bench.Settings(), "[COMCTRL]"));
}

// The file label keeps the start and the end of a long path and fits its width.
TEST(MainWindow, CompactPathFitsTheLabel) {
  WindowBench bench;
  BenchWindow& window = bench.Start();
  const std::string shortPath = "/a/b.pupd";
  EXPECT_EQ(window.CompactPath(Control::LabelFileLoad, shortPath), shortPath);
  const std::string longPath = "/srv/" + std::string(300, 'x') + "/KVX7/upgrade.pupd";
  const QString shown =
      QString::fromStdString(window.CompactPath(Control::LabelFileLoad, longPath));
  auto* label = window.findChild<QLabel*>("LabelFileLoad");
  EXPECT_LE(QFontMetrics(label->font()).horizontalAdvance(shown), label->contentsRect().width());
  EXPECT_TRUE(shown.startsWith("/srv/")) << shown.toStdString();
  EXPECT_TRUE(shown.endsWith("upgrade.pupd")) << shown.toStdString();
  EXPECT_TRUE(shown.contains(QChar(0x2026)));
}

// The guide is looked for beside the program, then in the installation's data
// folder; without it message 1200 says so.
TEST(MainWindow, HelpFile) {
  WindowBench bench;
  const std::string bin = bench.program.path + "/bin";
  const std::string share = bench.program.path + "/share/qv-boot";
  std::filesystem::create_directories(bin);
  std::filesystem::create_directories(share);
  IniAccess ini;
  EXPECT_EQ(FindHelpFile(ini, bin), "");
  testing::WriteFile(share + "/QV-Boot.html", "<html></html>");
  EXPECT_EQ(FindHelpFile(ini, bin), share + "/QV-Boot.html");
  testing::WriteFile(bin + "/QV-Boot.html", "<html></html>");
  EXPECT_EQ(FindHelpFile(ini, bin), bin + "/QV-Boot.html");

  BenchWindow& window = bench.Start();
  MessageBoxAnswerer boxes;
  boxes.clickNext(QMessageBox::Ok);
  window.mnuShowHelp_Click();
  ASSERT_EQ(boxes.seen.size(), 1u);
  EXPECT_EQ(boxes.seen[0].text.toStdString(), GetMlString(1000, 1200, ""));
  EXPECT_EQ(boxes.seen[0].icon, QMessageBox::Information);
}

// When no program opens the guide, a box names it so the operator can open it
// by hand: xdg-open ending without a program, or no opener at all.
TEST(MainWindow, HelpThatNoProgramOpensNamesTheGuide) {
  WindowBench bench;
  BenchWindow& window = bench.Start();
  const std::string guide = bench.program.path + "/QV-Boot.html";
  testing::WriteFile(guide, "<html></html>");
  const testing::TempFolder bin;
  const std::string opener = bin.path + "/xdg-open", given = bin.path + "/given";
  // A new file each time: a shell still reading the old script keeps it.
  const auto fakeOpener = [&](int exitCode) {
    testing::WriteFile(opener + ".new", "#!/bin/sh\nprintf '%s' \"$1\" >" + given + "\nexit " +
                                            std::to_string(exitCode) + "\n");
    std::filesystem::permissions(opener + ".new", std::filesystem::perms::owner_all);
    std::filesystem::rename(opener + ".new", opener);
  };
  const QByteArray path = qgetenv("PATH"), browser = qgetenv("BROWSER");
  qputenv("PATH", bin.path.c_str());
  qunsetenv("BROWSER");
  const std::string expected = FillPlaceholders(NamedText(1000, "help.notOpened"), {guide});
  MessageBoxAnswerer boxes;
  boxes.clickNext(QMessageBox::Ok);
  boxes.clickNext(QMessageBox::Ok);

  fakeOpener(0);  // a browser took it: nothing to say
  window.mnuShowHelp_Click();
  EXPECT_TRUE(QTest::qWaitFor([&] { return std::filesystem::exists(given); }, 5000));
  EXPECT_EQ(testing::ReadFile(given), guide);
  fakeOpener(3);  // xdg-open's "no method available"
  window.mnuShowHelp_Click();
  EXPECT_TRUE(QTest::qWaitFor([&] { return !boxes.seen.empty(); }, 5000));
  std::filesystem::remove(opener);
  window.mnuShowHelp_Click();

  qputenv("PATH", path);
  if (!browser.isNull()) qputenv("BROWSER", browser);
  ASSERT_EQ(boxes.seen.size(), 2u);
  for (const ShownMessageBox& box : boxes.seen) {
    EXPECT_EQ(box.text.toStdString(), expected);
    EXPECT_EQ(box.icon, QMessageBox::Information);
  }
  EXPECT_EQ(boxes.unexpected, 0);
}

// Receives the launcher signals on a connection of its own.
class LauncherListener : public QObject {
  Q_OBJECT

 public:
  explicit LauncherListener(const QDBusConnection& bus) : bus_(bus) {
    bus_.connect(QString(), kLauncherPath, kLauncherInterface, "Update", this,
                 SLOT(Update(QString, QVariantMap)));
  }
  std::vector<std::pair<QString, QVariantMap>> updates;

 public slots:
  void Update(const QString& uri, const QVariantMap& properties) {
    updates.emplace_back(uri, properties);
  }

 private:
  QDBusConnection bus_;
};

// Runs under dbus-run-session (a ctest entry of its own); skipped without a bus.
TEST(LauncherProgress, FollowsTheProgressBar) {
  EnsureQtApp();
  const QDBusConnection listenerBus =
      QDBusConnection::connectToBus(QDBusConnection::SessionBus, "qv-launcher-listener");
  if (!listenerBus.isConnected()) GTEST_SKIP() << "no session bus";
  LauncherListener listener(listenerBus);
  WindowBench bench;
  BenchWindow& window = bench.Start(false, QDBusConnection::sessionBus());
  ASSERT_TRUE(window.context().window.bTaskbarAvailable);
  window.setProgressMaximum(300);
  window.ShowProgress(150);
  window.ShowProgress(0);
  ASSERT_TRUE(QTest::qWaitFor([&] { return listener.updates.size() >= 4; }, 5000));
  const std::vector<QVariantMap> expected = {
      QVariantMap{{"progress-visible", false}}, QVariantMap{{"progress-visible", true}},
      QVariantMap{{"progress", 0.5}}, QVariantMap{{"progress-visible", false}}};
  ASSERT_EQ(listener.updates.size(), expected.size());
  for (std::size_t i = 0; i < expected.size(); ++i) {
    EXPECT_EQ(listener.updates[i].first, kLauncherAppUri) << i;
    EXPECT_EQ(listener.updates[i].second, expected[i]) << i;
  }
}

}  // namespace
}  // namespace qv::test

#include "window_test.moc"

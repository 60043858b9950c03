// As an operator: QV-Boot's real window with COM1 mapped to qvstation's
// pseudo-terminal, Start pressed through the real button, every box answered.
#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QFileDialog>
#include <QLabel>
#include <QPushButton>
#include <QTableWidget>
#include <QTimer>
#include <array>
#include <chrono>
#include <optional>
#include <thread>
#include <vector>

#include "WindowBench.h"
#include "config/StationRecord.h"
#include "sim/qvstation/StationProcess.h"
#include "sim/station/UpgradeImage.h"
#include "texts/MessageIds.h"
#include "texts/MlStringModule.h"

namespace qv::test {
namespace {

namespace fs = std::filesystem;

struct StationRun {
  const char* name;
  std::vector<std::string> faults;
  bool closedMidway;  // the operator closes QV-Boot during the transfer and starts it again
};

// An upgrade folder with the image for hardware 8115, the window's folder,
// and qvstation expecting it on a pseudo-terminal mapped to COM1.
struct StationOnLine {
  StationOnLine(WindowBench& bench, std::size_t size, const std::vector<std::string>& faults)
      : image(sim::MakeSyntheticImage(size, "560")) {
    const std::string folder = upgrades / sim::HardwareFolderName(0x8115);
    fs::create_directories(folder);
    file = folder + "/QV_560.pupd";
    EXPECT_TRUE(sim::WriteWholeFile(file, sim::BuildUpgradeFile(image, 0x0102, 0x8115)));
    EXPECT_TRUE(sim::WriteWholeFile(sim::KeyFilePath(file), BytesOf(sim::MakeKey(3))));
    const std::string tty = upgrades / "tty";
    std::vector<std::string> args{"--link",       tty,   "--expect",  file, "--dump-image", dump,
                                  "--restart-ms", "200", "--init-ms", "20", "--strict"};
    args.insert(args.end(), faults.begin(), faults.end());
    station.emplace(QV_BINARY_DIR "/qvstation", args);
    for (int i = 0; i < 300 && !fs::exists(tty); ++i)
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    EXPECT_TRUE(fs::exists(tty)) << "qvstation did not start";
    bench.line.WriteMap("COM1 = " + tty + "\n");
    bench.WriteSettings("[SETTINGS]\nInitDir=" + upgrades.path + "\n");
  }
  // The station stopped cleanly and holds the image.
  void ExpectUpdated() {
    EXPECT_EQ(station->Stop(), 0);
    EXPECT_EQ(sim::ReadWholeFile(dump), image);
  }

  testing::TempFolder upgrades;
  Bytes image;
  std::string file, dump = upgrades / "image.bin";
  std::optional<sim::StationProcess> station;
};

// Starts the window and picks direct mode once the station answers (it
// hangs on the cable itself).
BenchWindow& StartDirect(WindowBench& bench) {
  BenchWindow& window = bench.Start();
  EXPECT_TRUE(QTest::qWaitFor([&] { return !window.text(Control::Master).empty(); }, 15000))
      << "the station never answered the mode command";
  emit window.findChild<QComboBox*>("Master")->activated(0);
  EXPECT_TRUE(QTest::qWaitFor(
      [&] { return window.text(Control::Master) == window.context().texts.DirectText; }, 10000));
  return window;
}

BenchWindow& StartUpdate(WindowBench& bench) {
  BenchWindow& window = StartDirect(bench);
  QTest::mouseClick(window.findChild<QPushButton*>("btnStart"), Qt::LeftButton);
  return window;
}

TEST(Operator, UpdatesAStationThroughTheMainWindow) {
  for (const StationRun& run :
       {StationRun{"clean", {}, false}, StationRun{"naks", {"--nak-block", "2:2"}, false},
        StationRun{"closed midway", {}, true}}) {
    SCOPED_TRACE(run.name);
    WindowBench bench;
    StationOnLine station(bench, run.closedMidway ? 8192 : 1024, run.faults);

    MessageBoxAnswerer boxes;
    for (int i = 0; i < 2; ++i) boxes.clickNext(QMessageBox::Ok);
    if (run.closedMidway) {
      BenchWindow& first = StartUpdate(bench);
      ASSERT_TRUE(
          QTest::qWaitFor([&] { return first.context().run.TransferOffset >= 1024; }, 15000));
      first.close();
      EXPECT_TRUE(boxes.seen.empty()) << "closing asks nothing";
      EXPECT_FALSE(first.context().MSComm.PortOpen());
      EXPECT_NE(bench.Settings().find("Port=COM1"), std::string::npos);
    }
    BenchWindow& window = StartUpdate(bench);
    EXPECT_TRUE(QTest::qWaitFor([&] { return window.windowTitle().endsWith(" ok"); }, 40000))
        << window.windowTitle().toStdString();
    // The outcome stays until the next station answers: Start again finds
    // the station has the file's firmware, and the operator declines.
    const auto* outcome = window.findChild<QLabel*>("lblOutcome");
    std::vector<QString> shown{outcome->text()};
    QTimer watch;
    QObject::connect(&watch, &QTimer::timeout, [&] {
      if (outcome->text() != shown.back()) shown.push_back(outcome->text());
    });
    watch.start(5);
    boxes.clickAfter(200, QMessageBox::Cancel);
    QTest::mouseClick(window.findChild<QPushButton*>("btnStart"), Qt::LeftButton);
    EXPECT_TRUE(QTest::qWaitFor([&] { return shown.size() == 3; }, 15000));
    EXPECT_EQ(shown, (std::vector<QString>{"Station 100001 updated: firmware 550 → 560, clock set",
                                           "",
                                           "Station 100001 not updated: it already has this "
                                           "firmware."}));
    EXPECT_EQ(window.windowTitle(), "QV-Boot (100001) fw560") << "no caption of a finished update";
    window.findChild<QAction*>("mnuCommandReadStation")->trigger();
    EXPECT_TRUE(QTest::qWaitFor([&] { return shown.size() == 5; }, 15000));
    EXPECT_TRUE(shown.back().startsWith("Station 100001: hardware 8115, boot 0102, firmware 560"))
        << shown.back().toStdString();
    EXPECT_EQ(window.findChild<QTableWidget*>("tblSession")->rowCount(), 3);
    window.close();
    EXPECT_EQ(boxes.unexpected, 0);
    ASSERT_EQ(boxes.seen.size(), 3u) << "the double beep, the end of the update, same firmware";
    for (const int i : {0, 1, 2})
      EXPECT_TRUE(boxes.seen[i].text.startsWith(
          QString::fromStdString(GetMlString(1000, std::array{1226, 1239, 1231}[i], ""))));
    EXPECT_NE(bench.Settings().find("InitDir=" + station.upgrades.path), std::string::npos);
    EXPECT_NE(bench.Settings().find("Port=COM1"), std::string::npos);
    // Each of the window's three runs has its row, newest first.
    const auto rows = ReadStationRecord(bench.RecordPath());
    ASSERT_GE(rows.size(), 3u);
    EXPECT_EQ(
        (std::vector{rows[0][14], rows[1][14], rows[2][14]}),
        (std::vector<std::string>{"ok", "declined:" + std::to_string(kMsgSameFirmware), "ok"}));
    EXPECT_EQ((std::vector{rows[2][1], rows[2][2], rows[2][5], rows[2][6], rows[2][7], rows[2][9]}),
              (std::vector<std::string>{"COM1", "100001", "550", "560", station.file,
                                        std::to_string(station.image.size())}));
    station.ExpectUpdated();
  }
}

// A series with one station on the line: updated, or its clock set, once;
// told in the tally, the session table (in words) and the record (in codes);
// the commands stay held until Stop series gives them back.
TEST(Operator, SeriesOfUpdatesAndOfClocks) {
  using B = QMessageBox;
  // clang-format off
  const struct {
    const char* command;
    std::vector<std::string> faults;
    std::vector<B::StandardButton> answers;
    QString tally, word, german;  // the session table's word in English and in German
    std::string firmwareAfter;
  } runs[] = {
      {"mnuCommandSeries", {}, {B::Ok, B::Ok}, "Updated 1 · Refused 0 · Failed 0", "Updated",
       "Aktualisiert", "560"},
      {"mnuCommandClockSeries", {"--clock-offset-ms", "90000"}, {B::Yes},
       "Clock set 1 · Already right 0 · Left 0 · Failed 0", "Clock set", "Uhr gestellt", ""}};
  // clang-format on
  for (const auto& run : runs) {
    SCOPED_TRACE(run.command);
    WindowBench bench;
    StationOnLine station(bench, 1024, run.faults);
    MessageBoxAnswerer boxes;
    for (const B::StandardButton answer : run.answers) boxes.clickNext(answer);
    BenchWindow& window = StartDirect(bench);
    window.findChild<QAction*>(run.command)->trigger();
    auto* series = window.findChild<QAction*>("mnuCommandSeries");
    EXPECT_EQ(series->text(), "Stop s&eries");
    const auto* tally = window.findChild<QLabel*>("lblSeries");
    ASSERT_TRUE(QTest::qWaitFor([&] { return tally->text() == run.tally; }, 40000))
        << tally->text().toStdString();
    EXPECT_FALSE(window.isEnabled(Control::mnuCommandStartUpdate)) << "held past the run's end";
    const QTableWidgetItem* word = window.findChild<QTableWidget*>("tblSession")->item(0, 4);
    EXPECT_EQ(word->text(), run.word);
    const auto rows = ReadStationRecord(bench.RecordPath());
    ASSERT_EQ(rows.size(), 1u);
    EXPECT_EQ((std::vector{rows[0][2], rows[0][6], rows[0][14]}),
              (std::vector<std::string>{"100001", run.firmwareAfter, "ok"}));
    series->trigger();
    EXPECT_FALSE(window.series().running());
    EXPECT_EQ(series->text(), "Start s&eries");
    EXPECT_TRUE(window.isEnabled(Control::mnuCommandStartUpdate));
    window.findChild<QAction*>("mnuGerman")->trigger();
    EXPECT_EQ(word->text(), run.german);
    window.close();
    EXPECT_EQ(boxes.seen.size(), run.answers.size());
    EXPECT_EQ(boxes.unexpected, 0);
    if (run.faults.empty()) station.ExpectUpdated();
  }
}

// A record that cannot be written is said in the status bar and the run
// stands; the session's rows go out as CSV through File > Export session.
TEST(Operator, ExportsTheSessionAndSaysWhenTheRecordCannotBeWritten) {
  WindowBench bench;
  StationOnLine station(bench, 1024, {});
  BenchWindow& window = StartDirect(bench);
  std::filesystem::create_directories(bench.RecordPath());  // a folder where the file belongs
  window.findChild<QAction*>("mnuCommandReadStation")->trigger();
  const auto* table = window.findChild<QTableWidget*>("tblSession");
  ASSERT_TRUE(QTest::qWaitFor([&] { return table->rowCount() == 1; }, 20000));
  EXPECT_TRUE(window.findChild<QLabel*>("StatusPanel")
                  ->text()
                  .startsWith("The station record could not be written: "))
      << window.findChild<QLabel*>("StatusPanel")->text().toStdString();
  EXPECT_EQ(table->item(0, 0)->text(), "100001");

  const std::string exported = bench.home.path + "/session.csv";
  QTimer chooser;
  QObject::connect(&chooser, &QTimer::timeout, [&] {
    if (auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget())) {
      dialog->selectFile(QString::fromStdString(exported));
      static_cast<QDialog*>(dialog)->accept();  // the dialog takes the name typed in
    }
  });
  chooser.start(10);
  window.findChild<QAction*>("mnuFileExport")->trigger();
  const auto rows = ReadStationRecord(exported);
  ASSERT_EQ(rows.size(), 1u) << testing::ReadFile(exported);
  EXPECT_EQ((std::vector{rows[0][2], rows[0][14]}), (std::vector<std::string>{"100001", "ok"}));
  window.close();
}

}  // namespace
}  // namespace qv::test

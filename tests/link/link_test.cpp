// The engine over a real pseudo-terminal through the Qt port: the speed
// search, a station that never answers, and a whole update of a USB station
// that restarts under another device name. Real time, a few seconds each.
#include <gtest/gtest.h>
#include <termios.h>
#include <unistd.h>

#include <QTimer>
#include <filesystem>
#include <map>
#include <vector>

#include "protocol/stdFunc.h"
#include "sim/station/UpgradeImage.h"
#include "support/PtyLine.h"
#include "support/QtBench.h"
#include "support/TempFolder.h"
#include "texts/MlStringModule.h"
#include "update/UpdateRun.h"

namespace qv::test {
namespace {

namespace fs = std::filesystem;
using testing::ReadFile;
using testing::TempFolder;

QString Q(const std::string& text) {
  return QString::fromStdString(text);
}

TEST(Link, AStationAt38400IsFoundFromAPcAt4800) {
  const TempFolder folder;
  const std::string link = folder / "station";
  StationProcess station({"--baud", "38400", "--link", Q(link)}, link);
  ASSERT_TRUE(station.serving);
  testing::WriteFile(folder / "ports.conf", "COM1 = " + link + "\n");
  QtBench b(PortMap(folder / "ports.conf", FileSystemPortSystem()), 1, 4800);
  SelectMasterEntry(b.ctx, 0);
  ASSERT_TRUE(QTest::qWaitFor([&] { return b.ctx.link.CurrentBaud != 0; }, 6000));
  EXPECT_EQ(b.ctx.link.CurrentBaud, 38400);
  EXPECT_EQ(b.port.Settings(), "38400,n,8,1");
  EXPECT_TRUE(b.view.boxes().empty()) << b.view.boxLog();
}

TEST(Link, NoStationGetsSixAttemptsAtAlternatingSpeedsThenStationNotReady) {
  PtyLine line;  // nobody answers
  line.WriteMap("COM1 = " + line.slave + "\n");
  QtBench b(line.Map(), 1, 4800);
  // Each mode frame the far end sees, with the line's speed when it came.
  std::vector<speed_t> attempts;
  QTimer listen;
  QObject::connect(&listen, &QTimer::timeout, [&] {
    const Bytes chunk = line.Read(256, 0);
    for (std::size_t i = 1; i < chunk.size(); ++i) {
      if (chunk[i - 1] == 0x02 && chunk[i] == SET_MODE) {
        const termios tio = line.SlaveTermios();
        attempts.push_back(cfgetospeed(&tio));
      }
    }
  });
  listen.start(5);
  SelectMasterEntry(b.ctx, 0);
  ASSERT_TRUE(QTest::qWaitFor([&] { return !b.view.boxes().empty(); }, 15'000)) << attempts.size();
  EXPECT_EQ(attempts, (std::vector<speed_t>{B4800, B38400, B4800, B38400, B4800, B38400}));
  ASSERT_EQ(b.view.boxes().size(), 1u);
  EXPECT_EQ(b.view.boxes()[0].prompt, GetMlString(1000, 1205, ""));
}

// The devices a system would list: the entries of `folder` whose link leads
// to a terminal that is there.
std::vector<PortDevice> DevicesIn(const std::string& folder) {
  std::vector<PortDevice> devices;
  std::error_code error;
  for (const auto& entry : fs::directory_iterator(folder, error)) {
    if (!fs::exists(entry.path(), error)) continue;
    PortDevice device;
    device.path = entry.path().string();
    devices.push_back(std::move(device));
  }
  return devices;
}

// A USB station has its ttyUSBn name from the kernel and a by-id link that
// follows it across restarts; qvstation plays both on pseudo-terminals, and an
// adapter plugged in while the station is away takes its old name.
TEST(Link, AStationThatRestartsUnderAnotherNameKeepsItsPortNumberAndGetsItsClockSet) {
  const TempFolder folder;
  const std::string dev = folder / "dev", byId = folder / "by-id";
  fs::create_directories(dev);
  fs::create_directories(byId);
  const std::string first = dev + "/ttyUSB0", second = dev + "/ttyUSB1";
  const std::string byIdName = "usb-Quorvex_Station_100001-if00-port0";

  const Bytes image = sim::MakeSyntheticImage(700, "600");
  const std::string hardware = folder / sim::HardwareFolderName(0x8115);
  fs::create_directories(hardware);
  const std::string upgrade = hardware + "/QV_600.pupd";
  ASSERT_TRUE(sim::WriteWholeFile(upgrade, sim::BuildUpgradeFile(image, 0x0102, 0x8115)));
  ASSERT_TRUE(sim::WriteWholeFile(sim::KeyFilePath(upgrade), BytesOf(sim::MakeKey(7))));

  StationProcess station({"--usb", "--link", Q(first), "--restart-as", Q(second), "--by-id",
                          Q(byId + "/" + byIdName), "--expect", Q(upgrade), "--init-ms", "20",
                          "--restart-ms", "5500", "--report", Q(folder / "report.txt")},
                         first);
  ASSERT_TRUE(station.serving);

  PortSystem system = FileSystemPortSystem(byId);
  system.devices = [dev] { return DevicesIn(dev); };
  const PortMap ports(folder / "ports.conf", system);
  QtBench b(ports, 1, 4800);
  b.ctx.settings.UpgradeFolder = folder.path;

  PtyLine adapter;  // takes ttyUSB0 once the station has left it
  QTimer plugIn;
  QObject::connect(&plugIn, &QTimer::timeout, [&] {
    if (fs::exists(first) || !b.ctx.run.bKeyWait) return;
    fs::create_symlink(adapter.slave, first);
    plugIn.stop();
  });
  plugIn.start(10);

  SelectMasterEntry(b.ctx, 0);
  // The first contact at 4800 raises the link to 38400.
  ASSERT_TRUE(QTest::qWaitFor([&] { return b.ctx.link.CurrentBaud == 38400; }, 3000));
  mnuCommandStartUpdate_Click(b.ctx);
  const auto done = [&] { return b.view.text(Control::Caption).ends_with(" ok"); };
  EXPECT_TRUE(QTest::qWaitFor(done, 20'000)) << b.view.boxLog();  // the new firmware confirmed
  EXPECT_FALSE(plugIn.isActive());  // the adapter came while the station was away

  const auto entries = ports.List();
  ASSERT_EQ(entries.size(), 2u);
  EXPECT_EQ(entries[0].number * 100 + entries[1].number, 102);
  EXPECT_EQ(entries[0].path + " " + entries[1].path, second + " " + first);
  const auto memory = ReadPortMemory(folder / "ports.state");
  ASSERT_TRUE(memory);
  // The adapter has no USB identity of its own: its path holds its number.
  EXPECT_EQ(memory->identities, (std::map<int, std::string>{{1, "by-id " + byIdName},
                                                            {2, "path " + adapter.slave}}));
  b.port.setPortOpen(false);
  station.Stop();
  EXPECT_NE(ReadFile(folder / "report.txt").find("matches expected: yes"), std::string::npos);
}

}  // namespace
}  // namespace qv::test

// qvboot-cli itself against qvstation on pseudo-terminals: what an operator's
// script sees (exit code, JSON lines, the CSV record, the trace) and what the
// stations end up with.
#include <gtest/gtest.h>

#include <QJsonDocument>
#include <QJsonObject>
#include <chrono>
#include <filesystem>
#include <future>
#include <set>
#include <sstream>
#include <thread>

#include "config/TempFolder.h"
#include "core/Bytes.h"
#include "sim/station/StationImage.h"
#include "sim/station/UpgradeImage.h"
#include "support/Shell.h"

namespace qv::test {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;
using testing::ReadFile;
using testing::TempFolder;

std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

// An upgrade folder with one file (firmware 600 for hardware 8115) and the
// stations, each on a terminal linked in the folder.
class Rack {
 public:
  Rack() {
    image = sim::MakeSyntheticImage(1024, "600");
    fs::create_directories(folder / "up/0x8115");
    upgrade = folder / "up/0x8115/QV_600.pupd";
    sim::WriteWholeFile(upgrade, sim::BuildUpgradeFile(image, 0x0102, 0x8115));
    sim::WriteWholeFile(sim::KeyFilePath(upgrade), BytesOf("RACK-KEY-0123456"));
  }
  ~Rack() {
    for (auto& station : stations_) station.wait();
  }

  // Starts a station; its terminal's path. It ends `idleSeconds` after the
  // loader last wrote (an update pauses 4 s after the key), leaving its
  // report beside the terminal.
  std::string Station(const std::string& name, const std::string& options = "",
                      int idleSeconds = 6) {
    const std::string tty = folder / name;
    const std::string command = "timeout 60 " QV_BINARY_DIR "/qvstation --link " + tty +
                                " --report " + tty + ".report --dump-image " + tty +
                                ".image --expect " + upgrade +
                                " --restart-ms 200 --init-ms 20 --idle-exit " +
                                std::to_string(idleSeconds) + " " + options + " >/dev/null 2>&1";
    stations_.push_back(std::async(std::launch::async, [command] { return RunShell(command); }));
    for (int i = 0; i < 300 && !fs::exists(tty); ++i) std::this_thread::sleep_for(10ms);
    return tty;
  }

  void WaitForStations() {
    for (auto& station : stations_) EXPECT_EQ(station.get(), 0);
    stations_.clear();
  }

  // Runs the loader; its exit code, standard output in out, standard error in err.
  int Cli(const std::string& args) {
    const std::string command = env + QV_BINARY_DIR "/qvboot-cli " + args + " --lang en >" +
                                (folder / "out") + " 2>" + (folder / "err");
    const int code = RunShell(command);
    out = ReadFile(folder / "out");
    err = ReadFile(folder / "err");
    return code;
  }

  TempFolder folder;
  Bytes image;
  std::string upgrade;
  std::string out, err;
  std::string env;  // before the loader's command: "NAME=value " or a wrapper such as timeout

 private:
  std::vector<std::future<int>> stations_;
};

TEST(QvBootCli, ThreeStationsAtOnceOneFailing) {
  Rack rack;
  const std::string a = rack.Station("a", "--serial 1001");
  // Found at 38400: the speed search comes before the update's own watchdog.
  const std::string b = rack.Station("b", "--serial 1002 --baud 38400");
  const std::string c = rack.Station("c", "--serial 1003 --silent 0x83:0");
  const std::string csv = rack.folder / "rec.csv", trace = rack.folder / "trace.txt";
  ASSERT_EQ(rack.Cli("update --port " + a + " --port " + b + " --port " + c + " --folder " +
                     (rack.folder / "up") + " --json --log " + csv + " --trace " + trace),
            1)
      << rack.err;
  rack.WaitForStations();
  EXPECT_EQ(sim::ReadWholeFile(a + ".image"), rack.image);
  EXPECT_EQ(sim::ReadWholeFile(b + ".image"), rack.image);
  // Put back at the speed it was found at, as the window does when it closes.
  EXPECT_NE(ReadFile(b + ".report").find("firmware 600, 38400 baud"), std::string::npos)
      << ReadFile(b + ".report");

  // Standard output holds JSON objects alone, one a line, the summary last.
  static const std::set<std::string> kEvents{"start",    "phase",   "station", "progress",
                                             "question", "message", "result",  "summary"};
  std::map<std::string, QJsonObject> results;
  QJsonObject last;
  for (const std::string& line : Lines(rack.out)) {
    const QJsonDocument doc = QJsonDocument::fromJson(QByteArray::fromStdString(line));
    ASSERT_TRUE(doc.isObject()) << line;
    last = doc.object();
    EXPECT_TRUE(kEvents.contains(last["event"].toString().toStdString())) << line;
    EXPECT_TRUE(last["time"].toString().endsWith('Z')) << line;
    if (last["event"] == "result") results[last["port"].toString().toStdString()] = last;
  }
  EXPECT_EQ(last["event"], "summary");
  EXPECT_EQ(last["exitCode"].toInt(), 1);
  EXPECT_EQ(last["ok"].toInt(), 2);
  EXPECT_EQ(last["failed"].toInt(), 1);
  ASSERT_EQ(results.size(), 3u);
  EXPECT_EQ(results[a]["result"], "ok");
  EXPECT_EQ(results[a]["serial"], "1001");
  EXPECT_EQ(results[a]["firmwareBefore"], "550");
  EXPECT_EQ(results[a]["firmwareAfter"], "600");
  EXPECT_EQ(results[a]["bytes"].toInt(), 1024);
  EXPECT_EQ(results[c]["result"], "failed");
  EXPECT_FALSE(results[c]["identified"].toBool());

  // One CSV row per station, after the header.
  const auto rows = Lines(ReadFile(csv));
  ASSERT_EQ(rows.size(), 4u);
  EXPECT_EQ(rows[0] + "\n",
            "time,port,serial,hardware,boot,firmware_before,firmware_after,file,"
            "file_checksum,bytes,seconds,result,message\n");
  EXPECT_NE(rows[1].find("," + a + ",1001,8115,0102,550,600," + rack.upgrade + ","),
            std::string::npos)
      << rows[1];
  EXPECT_NE(rows[1].find(",1024,"), std::string::npos) << rows[1];
  EXPECT_NE(rows[3].find("," + c + ",,,,,,,,0,"), std::string::npos) << rows[3];
  EXPECT_NE(rows[3].find(",failed,"), std::string::npos) << rows[3];

  // The trace: time, port, direction, name, hex; 8 blocks to each good station.
  std::map<std::string, int> blocks;
  int replies = 0;
  for (const std::string& line : Lines(ReadFile(trace))) {
    std::istringstream fields(line);
    std::string time, port, direction, name, firstByte;
    fields >> time >> port >> direction >> name >> firstByte;
    ASSERT_FALSE(firstByte.empty()) << line;
    if (direction == ">" && name == "WRITE_BLOCK") ++blocks[port];
    if (direction == "<") ++replies;
  }
  EXPECT_EQ(blocks[a], 8);
  EXPECT_EQ(blocks[b], 8);
  EXPECT_EQ(blocks[c], 0);
  EXPECT_GT(replies, 16);
  EXPECT_NE(rack.err.find("550 -> 600"), std::string::npos) << rack.err;  // the table
}

TEST(QvBootCli, IdentifyReadsTheStationAndLeavesItsSpeed) {
  Rack rack;
  const std::string tty =
      rack.Station("s", "--serial 4321 --firmware 580 --usb --production-date 2012-03-04", 1);
  // Through the operator's port map, as the window reaches it.
  const std::string map = rack.folder / "ports.conf";
  testing::WriteFile(
      map, "COM5 = " + tty + "\nCOM6 = " + (rack.folder / "unplugged") + "\nCOM7 = dev/ttyS0\n");
  rack.env = "QVBOOT_PORTS_FILE=" + map + " ";
  EXPECT_EQ(rack.Cli("ports"), 0);
  EXPECT_NE(rack.err.find(map + ":3: the device path must start with '/'"), std::string::npos)
      << rack.err;
  EXPECT_EQ(rack.Cli("identify --port COM6"), 3);
  ASSERT_EQ(rack.Cli("identify --port COM5"), 0) << rack.err;
  for (const char* line :
       {"Serial number: 4321\n", "Hardware: 8115\n", "Boot version: 0102\n", "Firmware: 580\n",
        "Production date: 2012-03-04\n", "Battery: 3.60 V\n", "USB interface: Yes\n"})
    EXPECT_NE(rack.out.find(line), std::string::npos) << line << rack.out;
  rack.WaitForStations();
  const std::string report = ReadFile(tty + ".report");
  EXPECT_NE(report.find("4800 baud"), std::string::npos) << report;
  EXPECT_NE(report.find("bytes accepted: 0"), std::string::npos) << report;
}

TEST(QvBootCli, TimeSetsADifferentClockOnlyWhenTold) {
  Rack rack;
  const std::string tty = rack.Station("s", "--clock-offset-ms 300000", 2);
  EXPECT_EQ(rack.Cli("time --port " + tty), 2) << rack.err;
  EXPECT_NE(rack.err.find("(1208, default)"), std::string::npos) << rack.err;
  EXPECT_EQ(rack.Cli("time --port " + tty + " --yes 1208"), 0) << rack.err;
  // Now the clocks agree: read, shown, nothing asked.
  EXPECT_EQ(rack.Cli("time --port " + tty + " --json"), 0) << rack.err;
  EXPECT_EQ(rack.out.find("\"question\""), std::string::npos) << rack.out;
}

// Ctrl-C mid-transfer: the run ends in order with a failure that says so, and
// the next run completes the station.
TEST(QvBootCli, AnInterruptedUpdateSaysSoAndTheNextRunCompletes) {
  Rack rack;
  const std::string tty = rack.Station("s", "--block-ms 300");
  const std::string update = "update --json --port " + tty + " --folder " + (rack.folder / "up");
  rack.env = "timeout --preserve-status -s INT 1.2 ";
  EXPECT_EQ(rack.Cli(update), 1) << rack.err;
  EXPECT_NE(rack.err.find("Interrupted"), std::string::npos) << rack.err;
  EXPECT_NE(rack.out.find("\"result\":\"failed\""), std::string::npos) << rack.out;
  rack.env.clear();
  EXPECT_EQ(rack.Cli(update), 0) << rack.err;
  rack.WaitForStations();
  EXPECT_EQ(sim::ReadWholeFile(tty + ".image"), rack.image);
}

TEST(QvBootCli, ExitCodesForADeclinedRunAndBadUsage) {
  Rack rack;
  const std::string tty = rack.Station("s", "--firmware 600", 1);
  const std::string up = " --folder " + (rack.folder / "up");
  EXPECT_EQ(rack.Cli("update --port " + tty + up), 2) << rack.err;  // same firmware
  EXPECT_NE(rack.err.find("(1231, default)"), std::string::npos) << rack.err;
  rack.WaitForStations();
  EXPECT_NE(ReadFile(tty + ".report").find("bytes accepted: 0"), std::string::npos);

  EXPECT_EQ(rack.Cli("update --port " + (rack.folder / "none") + up), 3);
  EXPECT_NE(rack.err.find("There is no port"), std::string::npos) << rack.err;
  EXPECT_EQ(rack.Cli("update --port COM1" + up + " --yes 77"), 3);
  EXPECT_EQ(rack.Cli("update --port COM1 --folder " + (rack.folder / "gone")), 3);
  EXPECT_EQ(rack.Cli("--help"), 0);
  EXPECT_NE(rack.out.find("1226"), std::string::npos) << rack.out;
}

}  // namespace
}  // namespace qv::test

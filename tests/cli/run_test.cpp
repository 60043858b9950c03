// qvboot-cli itself against qvstation on pseudo-terminals: what an operator's
// script sees (exit code, JSON lines, the CSV record, the trace) and what the
// stations end up with.
#include <gtest/gtest.h>
#include <signal.h>

#include <QJsonDocument>
#include <QJsonObject>
#include <chrono>
#include <filesystem>
#include <future>
#include <map>
#include <set>
#include <sstream>
#include <thread>

#include "core/Bytes.h"
#include "sim/station/StationImage.h"
#include "sim/station/UpgradeImage.h"
#include "support/Shell.h"
#include "support/TempFolder.h"

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

std::size_t Count(const std::string& text, const std::string& what) {
  std::size_t count = 0;
  for (auto at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) ++count;
  return count;
}

// Whether `file` comes to hold `what` n times within a minute.
bool Reaches(const std::string& file, const std::string& what, std::size_t n) {
  for (int i = 0; i < 1200; ++i) {
    if (Count(ReadFile(file), what) >= n) return true;
    std::this_thread::sleep_for(50ms);
  }
  return false;
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
  ~Rack() { EndStations(); }

  // Starts a station; its terminal's path, once the terminal is there. The
  // station runs until the test ends it, however slow a busy machine makes
  // the loader (a minute without a byte from it ends the station all the
  // same), and leaves its report beside the terminal.
  std::string StationCommand(const std::string& tty, const std::string& options) const {
    return "echo $$ >" + tty + ".pid; exec " QV_BINARY_DIR "/qvstation --link " + tty +
           " --report " + tty + ".report --dump-image " + tty + ".image --expect " + upgrade +
           " --restart-ms 200 --init-ms 20 --idle-exit 60 " + options + " >/dev/null 2>&1";
  }
  std::string Station(const std::string& name, const std::string& options = "") {
    const std::string tty = folder / name;
    const std::string command = StationCommand(tty, options);
    stations_.push_back(
        {tty, std::async(std::launch::async, [command] { return RunShell(command); })});
    for (int i = 0; i < 6000 && !fs::exists(tty); ++i) std::this_thread::sleep_for(10ms);
    EXPECT_TRUE(fs::exists(tty)) << "no terminal from qvstation for " << name;
    return tty;
  }

  // Ends every station and expects each to have run cleanly. One SIGTERM to
  // the station itself: it ends in order, writing its report and image (a
  // wrapper such as timeout signals its whole group as well, and a second
  // signal during the sanitizer's leak check at exit was seen to hang it).
  void EndStations() {
    for (auto& [tty, done] : stations_) {
      if (done.wait_for(0s) != std::future_status::ready)
        ::kill(std::stoi(ReadFile(tty + ".pid")), SIGTERM);
      EXPECT_EQ(done.get(), 0) << tty;
    }
    stations_.clear();
  }

  // Runs the loader; its exit code, standard output in out, standard error in err.
  int Cli(const std::string& args) {
    const std::string command = Data() + env + QV_BINARY_DIR "/qvboot-cli " + args +
                                " --lang en >" + (folder / "out") + " 2>" + (folder / "err");
    const int code = RunShell(command);
    out = ReadFile(folder / "out");
    err = ReadFile(folder / "err");
    return code;
  }

  // Runs the loader with --json and interrupts it (Ctrl-C) once it reports
  // `phase`, whenever that comes.
  int CliInterruptedAt(const std::string& args, const std::string& phase) {
    const std::string json = folder / "out";
    const std::string command =
        Data() + QV_BINARY_DIR "/qvboot-cli " + args + " --json --lang en >" + json + " 2>" +
        (folder / "err") + " & cli=$!; until grep -q '\"phase\":\"" + phase + "\"' " + json +
        " || ! kill -0 $cli 2>/dev/null; do sleep 0.02; done; kill -INT $cli; wait $cli";
    const int code = RunShell(command);
    out = ReadFile(json);
    err = ReadFile(folder / "err");
    return code;
  }

  // The loader's settings and station record live here, never in the operator's data folder.
  std::string Data() const { return "XDG_DATA_HOME=" + (folder / "data") + " "; }
  std::string Record() const {
    return ReadFile(folder / "data/Quorvex/QV-Boot/QV-Boot-stations.csv");
  }

  TempFolder folder;
  Bytes image;
  std::string upgrade;
  std::string out, err;
  std::string env;  // before the loader's command: "NAME=value " or a wrapper such as timeout

 private:
  std::vector<std::pair<std::string, std::future<int>>> stations_;
};

TEST(QvBootCli, ThreeStationsAtOnceOneFailing) {
  Rack rack;
  const std::string a = rack.Station("a", "--serial 1001");
  // Found at 38400: the speed search comes before the update's own watchdog.
  const std::string b = rack.Station("b", "--serial 1002 --baud 38400");
  const std::string c = rack.Station("c", "--serial 1003 --silent 0x83:0");
  // Takes every block, then refuses the key: never ok, whatever else went well.
  const std::string d = rack.Station("d", "--serial 1004 --expect-key OTHER-KEY-01234");
  // Takes the key, then comes back with other firmware than the file's.
  const std::string e = rack.Station("e", "--serial 1005 --restart-firmware 601");
  // A fourth port is missing: the others go ahead, it fails, named by its path.
  const std::string gone = rack.folder / "gone";
  const std::string csv = rack.folder / "rec.csv", trace = rack.folder / "trace.txt";
  ASSERT_EQ(rack.Cli("update --port " + a + " --port " + b + " --port " + c + " --port " + d +
                     " --port " + e + " --port " + gone + " --folder " + (rack.folder / "up") +
                     " --json --log " + csv + " --trace " + trace),
            1)
      << rack.err;
  rack.EndStations();
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
  EXPECT_EQ(last["failed"].toInt(), 4);
  ASSERT_EQ(results.size(), 6u);
  EXPECT_EQ(results[a]["result"], "ok");
  EXPECT_EQ(results[a]["serial"], "1001");
  EXPECT_EQ(results[a]["firmwareBefore"], "550");
  EXPECT_EQ(results[a]["firmwareAfter"], "600");
  EXPECT_EQ(results[a]["bytes"].toInt(), 1024);
  EXPECT_EQ(results[c]["result"], "failed");
  EXPECT_FALSE(results[c]["identified"].toBool());
  // What happened and what to do, never the engine's question or window advice.
  EXPECT_EQ(results[c]["message"].toString().toStdString(),
            "The station did not answer. Check the cable, the port and that the station is "
            "switched on, then run the command again.");
  EXPECT_EQ(results[d]["result"], "failed");
  EXPECT_TRUE(results[d]["firmwareAfter"].toString().isEmpty());
  EXPECT_EQ(results[e]["result"], "failed");
  EXPECT_EQ(results[gone]["result"], "failed");
  EXPECT_EQ(results[gone]["message"].toString().toStdString(),
            gone + " does not exist. Check the path (ls -l /dev/serial/by-id shows the adapters).");

  // One CSV row per station as it finished, after the header; the station
  // record beside the settings has the same rows, with the battery and outcome code.
  const auto rows = Lines(ReadFile(csv));
  const auto record = Lines(rack.Record());
  ASSERT_EQ(rows.size(), 7u);
  ASSERT_EQ(record.size(), 7u) << rack.Record();
  EXPECT_EQ(rows[0] + "\n",
            "time,port,serial,hardware,boot,firmware_before,firmware_after,file,"
            "file_checksum,bytes,seconds,result,message\n");
  const auto rowOf = [&](const std::vector<std::string>& lines, const std::string& port) {
    const auto row = std::ranges::find_if(
        lines, [&](const std::string& l) { return l.find("," + port + ",") != std::string::npos; });
    return row == lines.end() ? std::string() : *row;
  };
  const std::string rowA = rowOf(rows, a), rowC = rowOf(rows, c);
  EXPECT_NE(rowA.find("," + a + ",1001,8115,0102,550,600," + rack.upgrade + ","),
            std::string::npos)
      << rowA;
  EXPECT_NE(rowA.find(",1024,"), std::string::npos) << rowA;
  EXPECT_NE(rowA.find(",ok,"), std::string::npos) << rowA;
  EXPECT_NE(rowC.find("," + c + ",,,,,,,,0,"), std::string::npos) << rowC;
  EXPECT_NE(rowC.find(",failed,"), std::string::npos) << rowC;
  EXPECT_EQ(rowOf(record, a), rowA + ",3.60,ok");
  EXPECT_EQ(rowOf(record, c), rowC + ",,failed:1205");

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
  EXPECT_EQ(blocks[d], 8);
  EXPECT_EQ(blocks[e], 8);
  EXPECT_GT(replies, 16);
  // The table says what the JSON and the record say.
  EXPECT_NE(rack.err.find("550 -> 600  1024"), std::string::npos) << rack.err;
  EXPECT_NE(rack.err.find(" ok\n"), std::string::npos) << rack.err;
}

TEST(QvBootCli, IdentifyReadsTheStationAndLeavesItsSpeed) {
  Rack rack;
  const std::string tty =
      rack.Station("s", "--serial 4321 --firmware 580 --usb --production-date 2012-03-04");
  // Through the operator's port map, as the window reaches it.
  const std::string map = rack.folder / "ports.conf";
  testing::WriteFile(
      map, "COM5 = " + tty + "\nCOM6 = " + (rack.folder / "unplugged") + "\nCOM7 = dev/ttyS0\n");
  rack.env = "QVBOOT_PORTS_FILE=" + map + " ";
  EXPECT_EQ(rack.Cli("ports"), 0);
  EXPECT_NE(rack.err.find(map + ":3: the device path must start with '/'"), std::string::npos)
      << rack.err;
  // Every mapped port, present or not.
  EXPECT_NE(rack.out.find("COM6    " + (rack.folder / "unplugged")), std::string::npos) << rack.out;
  EXPECT_NE(rack.out.find("(device missing)"), std::string::npos) << rack.out;
  // A mapped device that is missing is named, with the line that maps it.
  EXPECT_EQ(rack.Cli("identify --port COM6"), 1);
  EXPECT_NE(rack.err.find("COM6 is " + (rack.folder / "unplugged") + " (" + map +
                          " line 2), but that device does not exist."),
            std::string::npos)
      << rack.err;
  ASSERT_EQ(rack.Cli("identify --port COM5"), 0) << rack.err;
  for (const char* line :
       {"Serial number: 4321\n", "Hardware: 8115\n", "Boot version: 0102\n", "Firmware: 580\n",
        "Production date: 2012-03-04\n", "Battery: 3.60 V\n", "USB interface: Yes\n"})
    EXPECT_NE(rack.out.find(line), std::string::npos) << line << rack.out;
  rack.EndStations();
  const std::string report = ReadFile(tty + ".report");
  EXPECT_NE(report.find("4800 baud"), std::string::npos) << report;
  EXPECT_NE(report.find("bytes accepted: 0"), std::string::npos) << report;
}

TEST(QvBootCli, TimeSetsADifferentClockOnlyWhenTold) {
  Rack rack;
  const std::string log = rack.folder / "s.log";
  const std::string tty = rack.Station("s", "--clock-offset-ms 300000 --transcript " + log);
  EXPECT_EQ(rack.Cli("time --port " + tty), 2) << rack.err;
  EXPECT_NE(rack.err.find("(1208, default)"), std::string::npos) << rack.err;
  EXPECT_EQ(ReadFile(log).find("clock set"), std::string::npos);
  EXPECT_EQ(rack.Cli("time --port " + tty + " --yes 1208"), 0) << rack.err;
  // The station's clock now follows the PC's instead of running five minutes
  // ahead. (A third reading would compare within 0.3 s, which a busy machine's
  // delay in handling the reply can exceed.)
  const std::string transcript = ReadFile(log);
  const auto set = transcript.find("clock set, ");
  ASSERT_NE(set, std::string::npos) << transcript;
  EXPECT_LT(std::llabs(std::stoll(transcript.substr(set + 11))), 60'000) << transcript;
}

// Ctrl-C mid-transfer: the run ends in order with a failure that says so, and
// the next run sends the image again and completes the station.
TEST(QvBootCli, AnInterruptedUpdateSaysSoAndTheNextRunCompletes) {
  Rack rack;
  const std::string tty = rack.Station("s", "--block-ms 300");
  const std::string update = "update --port " + tty + " --folder " + (rack.folder / "up");
  EXPECT_EQ(rack.CliInterruptedAt(update, "transfer"), 1) << rack.err;
  EXPECT_NE(rack.err.find("failed: Interrupted before the key was sent. Run update again"),
            std::string::npos)
      << rack.err;
  EXPECT_NE(rack.out.find("\"result\":\"failed\""), std::string::npos) << rack.out;
  EXPECT_EQ(rack.Cli(update), 0) << rack.err;
  rack.EndStations();
  EXPECT_EQ(sim::ReadWholeFile(tty + ".image"), rack.image);
}

// Ctrl-C once the key is out: whether the station took it is not known, and
// the run says so instead of calling the station failed.
TEST(QvBootCli, AnInterruptAfterTheKeyLeavesTheResultUnconfirmed) {
  Rack rack;
  const std::string tty = rack.Station("s");
  const std::string csv = rack.folder / "rec.csv";
  EXPECT_EQ(
      rack.CliInterruptedAt(
          "update --port " + tty + " --folder " + (rack.folder / "up") + " --log " + csv, "key"),
      4)
      << rack.err;
  EXPECT_NE(rack.out.find("\"result\":\"unconfirmed\""), std::string::npos) << rack.out;
  EXPECT_NE(rack.out.find("\"unconfirmed\":1"), std::string::npos) << rack.out;
  EXPECT_NE(rack.err.find("unconfirmed: The key was sent, but the station has not confirmed its "
                          "new firmware: the result is unconfirmed. Check it with 'qvboot-cli "
                          "identify --port " +
                          tty + "'."),
            std::string::npos)
      << rack.err;
  EXPECT_NE(ReadFile(csv).find(",550,,"), std::string::npos) << ReadFile(csv);
  EXPECT_NE(ReadFile(csv).find(",unconfirmed,"), std::string::npos) << ReadFile(csv);
}

// A series on one port: the first station done, taken away, a second put in
// its place and done, then Ctrl-C: a line each, the summary, and a record row
// each with the station's serial number (a clock run never identifies it).
TEST(QvBootCli, ASeriesDoesStationAfterStationUntilInterrupted) {
  for (const std::string command : {"update --folder ", "time --yes 1208"}) {
    SCOPED_TRACE(command);
    Rack rack;
    const std::string tty = rack.Station("s", "--serial 1001");
    const std::string out = rack.folder / "out", pid = rack.folder / "cli.pid";
    const std::string args =
        command.starts_with("update") ? command + (rack.folder / "up") : command;
    auto cli = std::async(std::launch::async, [&] {
      return RunShell("echo $$ >" + pid + "; " + rack.Data() + "exec " QV_BINARY_DIR
                      "/qvboot-cli " + args + " --series --port " + tty +
                      " --json --lang en >" + out + " 2>/dev/null");
    });
    const auto resultsReach = [&](std::size_t n) { return Reaches(out, "\"event\":\"result\"", n); };
    ASSERT_TRUE(resultsReach(1)) << ReadFile(out);
    rack.EndStations();  // taken away
    for (int i = 0; i < 500 && fs::exists(tty); ++i) std::this_thread::sleep_for(10ms);
    rack.Station("s", "--serial 1002");
    ASSERT_TRUE(resultsReach(2)) << ReadFile(out);
    ::kill(std::stoi(ReadFile(pid)), SIGINT);
    EXPECT_EQ(cli.get(), 0) << ReadFile(out);
    EXPECT_NE(ReadFile(out).find("\"ok\":2"), std::string::npos) << ReadFile(out);
    const auto rows = Lines(rack.Record());
    ASSERT_EQ(rows.size(), 3u) << rack.Record();
    EXPECT_NE(rows[1].find("," + tty + ",1001,"), std::string::npos) << rows[1];
    EXPECT_NE(rows[2].find("," + tty + ",1002,"), std::string::npos) << rows[2];
  }
}

// A rack watched: each station is taken on as its link appears, kept while
// its link is away for the restart, given up when it is unplugged; two more
// plugged in at once, then Ctrl-C.
TEST(QvBootCli, AWatchTakesStationsOnAsTheyArePluggedInAndGivesThemUpAsTheyGo) {
  Rack rack;
  const std::string links = rack.folder / "links", out = rack.folder / "out";
  const std::string pid = rack.folder / "cli.pid";
  fs::create_directories(links);
  auto cli = std::async(std::launch::async, [&] {
    return RunShell("echo $$ >" + pid + "; " + rack.Data() + "exec " QV_BINARY_DIR
                    "/qvboot-cli update --watch-in " + links + " --folder " +
                    (rack.folder / "up") + " --json --lang en >" + out + " 2>/dev/null");
  });
  const auto plug = [&](const std::string& name, const std::string& serial) {
    rack.Station(name, "--serial " + serial + " --by-id " + links + "/" + name +
                           " --restart-as " + (rack.folder / (name + "2")));
  };
  plug("a", "1001");
  ASSERT_TRUE(Reaches(out, "\"event\":\"result\"", 1)) << ReadFile(out);
  rack.EndStations();
  ASSERT_TRUE(Reaches(out, "\"event\":\"retired\"", 1)) << ReadFile(out);
  plug("b", "1002");
  plug("c", "1003");
  ASSERT_TRUE(Reaches(out, "\"event\":\"result\"", 3)) << ReadFile(out);
  ::kill(std::stoi(ReadFile(pid)), SIGINT);
  EXPECT_EQ(cli.get(), 0) << ReadFile(out);
  const std::string json = ReadFile(out);
  std::multimap<std::string, std::string> added, results;  // port → what
  for (const std::string& line : Lines(json)) {
    const QJsonObject o = QJsonDocument::fromJson(QByteArray::fromStdString(line)).object();
    const std::string port = o["port"].toString().toStdString();
    if (o["event"] == "added") added.emplace(port, "");
    if (o["event"] == "result")
      results.emplace(port, (o["serial"].toString() + " " + o["result"].toString()).toStdString());
  }
  // Taken on once each: a restarting station's link coming back is no new station.
  const std::multimap<std::string, std::string> expected{
      {links + "/a", "1001 ok"}, {links + "/b", "1002 ok"}, {links + "/c", "1003 ok"}};
  EXPECT_EQ(results, expected) << json;
  EXPECT_EQ(added.size(), 3u) << json;
  EXPECT_NE(json.find("\"ok\":3"), std::string::npos) << json;
  EXPECT_EQ(Lines(rack.Record()).size(), 4u) << rack.Record();
}

// Device paths have no COM number to run out of: seventeen at once, each
// missing, each failing on its own.
TEST(QvBootCli, MoreThanSixteenDevicePathsInOneRun) {
  Rack rack;
  std::string ports;
  for (int i = 0; i < 17; ++i) ports += " --port " + (rack.folder / ("gone" + std::to_string(i)));
  EXPECT_EQ(rack.Cli("update" + ports + " --folder " + (rack.folder / "up") + " --json"), 1)
      << rack.err;
  EXPECT_EQ(Count(rack.out, "\"result\":\"failed\""), 17u) << rack.out;
}

TEST(QvBootCli, ExitCodesForADeclinedRunAndBadUsage) {
  Rack rack;
  const std::string tty = rack.Station("s", "--firmware 600");
  // A hardware subfolder is walked up from, as in the window.
  EXPECT_EQ(rack.Cli("update --port " + tty + " --folder " + (rack.folder / "up/0x8115")), 2)
      << rack.err;  // same firmware
  EXPECT_NE(rack.err.find("(1231, default)"), std::string::npos) << rack.err;
  EXPECT_NE(rack.err.find("declined: Stopped at question 1231 (the station already has the file's "
                          "firmware: load it again), answered Cancel. For the other answer, run "
                          "again with --yes 1231."),
            std::string::npos)
      << rack.err;
  rack.EndStations();
  EXPECT_NE(ReadFile(tty + ".report").find("bytes accepted: 0"), std::string::npos);

  const std::string up = " --folder " + (rack.folder / "up");
  fs::create_directories(rack.folder / "empty/0x8115");
  const std::string trace = rack.folder / "trace.txt";
  // Refused before any station is contacted: the trace is never opened.
  for (const auto& [args, says] : std::vector<std::pair<std::string, std::string>>{
           {"--port COM1 --folder " + rack.upgrade,
            rack.upgrade +
                " is a file; --folder takes the folder that holds the 0xHHHH "
                "subfolders, here " +
                (rack.folder / "up") + "."},
           {"--port COM1 --folder " + (rack.folder / "empty"),
            "The folder " + (rack.folder / "empty") + " holds no upgrade file"},
           {"--port COM1 --folder " + (rack.folder / "gone"), "does not exist"},
           {"--port COM1" + up + " --yes 77", "'77'"},
       }) {
    EXPECT_EQ(rack.Cli("update --trace " + trace + " " + args), 3) << args;
    EXPECT_NE(rack.err.find(says), std::string::npos) << rack.err;
  }
  EXPECT_FALSE(fs::exists(trace));
  EXPECT_EQ(rack.Cli("--help"), 0);
  EXPECT_NE(rack.out.find("1226"), std::string::npos) << rack.out;
}

}  // namespace
}  // namespace qv::test

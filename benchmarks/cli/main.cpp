// qvclibench: qvboot-cli against qvstation on pseudo-terminals, figures
// printed, nothing asserted. One station at 38400 and 4800, direct and
// relayed, with the station's programming time per block at 0 and 4 ms
// (throughput against the line's ceiling, the loader's turnaround from
// qvstation's report); 1, 2, 4 and 8 stations at once; a rack of 32 stations
// at once against one alone; the fault matrix.
//
//   qvclibench [--size BYTES] [--slow-size BYTES] [--scale-size BYTES]
//              [--rack-size BYTES] [--rack-stations N] [--matrix-size BYTES]
//              [--only single|scale|rack|matrix] [--bin DIR]
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QByteArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "sim/station/StationImage.h"
#include "sim/station/UpgradeImage.h"

namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

struct Settings {
  std::size_t size = 256 * 1024;      // one station at 38400
  std::size_t slowSize = 256 * 1024;  // one station at 4800
  std::size_t scaleSize = 64 * 1024;
  std::size_t rackSize = 96 * 1024;
  int rackStations = 32;
  std::size_t matrixSize = 8 * 1024;
  std::string only;
  std::string bin = QV_BINARY_DIR;
};

std::string ReadText(const std::string& path) {
  std::ifstream in(path);
  return {std::istreambuf_iterator<char>(in), {}};
}

// A folder with one upgrade file (firmware 600, hardware 8115) of `size` bytes.
class Bench {
 public:
  Bench(const Settings& settings, std::size_t size) : settings_(settings) {
    char pattern[] = "/tmp/qvclibench-XXXXXX";
    dir = ::mkdtemp(pattern);
    image = qv::sim::MakeSyntheticImage(size, "600");
    fs::create_directories(dir + "/up/0x8115");
    upgrade = dir + "/up/0x8115/QV_600.pupd";
    qv::sim::WriteWholeFile(upgrade, qv::sim::BuildUpgradeFile(image, 0x0102, 0x8115));
    qv::sim::WriteWholeFile(qv::sim::KeyFilePath(upgrade), qv::BytesOf("BENCH-KEY-012345"));
  }
  ~Bench() {
    std::error_code ignored;
    fs::remove_all(dir, ignored);
  }

  // Starts a station in the background; the path of its terminal. It ends a
  // few seconds after the loader's last byte and then writes its report.
  std::string Station(const std::string& name, const std::string& options) {
    const std::string tty = dir + "/" + name;
    fs::remove(tty + ".report");
    const std::string command = "timeout 3000 " + settings_.bin + "/qvstation --link " + tty +
                                " --report " + tty + ".report --expect " + upgrade +
                                " --restart-ms 300 --idle-exit 6 " + options + " >/dev/null 2>&1 &";
    std::system(command.c_str());
    for (int i = 0; i < 500 && !fs::exists(tty); ++i) std::this_thread::sleep_for(10ms);
    return tty;
  }

  std::string Report(const std::string& tty) const {
    for (int i = 0; i < 3000 && !fs::exists(tty + ".report"); ++i)
      std::this_thread::sleep_for(10ms);
    std::this_thread::sleep_for(50ms);  // written whole
    return ReadText(tty + ".report");
  }

  struct Run {
    int exitCode = -1;
    std::map<std::string, QJsonObject> results;  // by port
    std::string firstError;                      // the first line it wrote on standard error
  };

  Run Cli(const std::string& args, int limitSeconds = 3000) const {
    // Settings and the station record of its own: the operator's settings
    // change no figure, and the bench's stations stay out of the operator's record.
    const std::string command = "XDG_DATA_HOME=" + dir + "/data timeout " +
                                std::to_string(limitSeconds) + " " + settings_.bin +
                                "/qvboot-cli " + args + " --json --lang en 2>" + dir + "/cli.err";
    Run run;
    FILE* out = ::popen(command.c_str(), "r");
    if (!out) return run;
    std::string text;
    char buffer[4096];
    while (const std::size_t n = std::fread(buffer, 1, sizeof buffer, out)) text.append(buffer, n);
    const int status = ::pclose(out);
    run.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    std::istringstream errors(ReadText(dir + "/cli.err"));
    std::getline(errors, run.firstError);
    std::istringstream lines(text);
    for (std::string line; std::getline(lines, line);) {
      const QJsonObject o = QJsonDocument::fromJson(QByteArray::fromStdString(line)).object();
      if (o["event"] == "result") run.results[o["port"].toString().toStdString()] = o;
    }
    return run;
  }

  std::string dir;
  qv::Bytes image;
  std::string upgrade;

 private:
  const Settings& settings_;
};

// Per-block turnarounds (ms) from a qvstation report.
std::vector<double> Turnarounds(const std::string& report) {
  std::vector<double> values;
  std::istringstream lines(report);
  for (std::string line; std::getline(lines, line);) {
    const auto at = line.find("turnaround ");
    if (at == std::string::npos || line.find("  block") != 0) continue;
    const std::string rest = line.substr(at + 11);
    if (rest.find('-') != std::string::npos) continue;
    values.push_back(std::stod(rest));
  }
  std::ranges::sort(values);
  return values;
}

double Quantile(const std::vector<double>& sorted, double q) {
  if (sorted.empty()) return 0;
  const auto index = static_cast<std::size_t>(q * static_cast<double>(sorted.size() - 1) + 0.5);
  return sorted[std::min(index, sorted.size() - 1)];
}

// What one full block costs on the line at `baud` (the 138-byte frame and the
// 11-byte acknowledgement, 10 bits a byte) plus the station's 1 ms reply
// delay and its programming time: the highest data rate the protocol allows.
double Ceiling(int baud, int blockMs) {
  const double seconds = 149.0 * 10.0 / baud + (1.0 + blockMs) / 1000.0;
  return 128.0 / seconds;
}

double EffectiveFromReport(const std::string& report) {
  const auto at = report.find("bytes/s effective");
  if (at == std::string::npos) return 0;
  const auto start = report.rfind(' ', report.rfind(' ', at - 1) - 1);
  return std::stod(report.substr(start + 1, at - start - 1));
}

void Single(const Settings& settings) {
  std::printf("One station (image %zu bytes at 38400, %zu at 4800)\n", settings.size,
              settings.slowSize);
  std::printf("%-6s %-8s %-6s %10s %10s %8s %8s %8s %8s  %s\n", "baud", "link", "prog",
              "B/s loader", "B/s line", "ceiling", "ratio", "turn med", "turn p99", "result");
  for (const int baud : {38400, 4800}) {
    for (const bool relayed : {false, true}) {
      for (const int blockMs : {0, 4}) {
        Bench bench(settings, baud == 38400 ? settings.size : settings.slowSize);
        std::string options = "--block-ms " + std::to_string(blockMs);
        if (baud == 4800) options += " --max-baud 4800";
        const std::string tty = bench.Station("s", options);
        const auto run = bench.Cli("update --port " + tty + " --folder " + bench.dir + "/up" +
                                   (relayed ? " --remote" : ""));
        const std::string report = bench.Report(tty);
        const QJsonObject r = run.results.count(tty) ? run.results.at(tty) : QJsonObject{};
        const auto turns = Turnarounds(report);
        const double line = EffectiveFromReport(report);
        std::printf("%-6d %-8s %-6s %10.0f %10.0f %8.0f %7.1f%% %7.3fms %7.3fms  %s (exit %d)\n",
                    baud, relayed ? "relayed" : "direct", (std::to_string(blockMs) + "ms").c_str(),
                    r["bytesPerSecond"].toDouble(), line, Ceiling(baud, blockMs),
                    100.0 * line / Ceiling(baud, blockMs), Quantile(turns, 0.5),
                    Quantile(turns, 0.99), r["result"].toString().toStdString().c_str(),
                    run.exitCode);
        std::fflush(stdout);
      }
    }
  }
}

// The whole machine's CPU time in clock ticks, busy and in all, from /proc/stat.
struct CpuTicks {
  double busy = 0, total = 0;
};

CpuTicks ReadCpuTicks() {
  std::istringstream in(ReadText("/proc/stat"));
  std::string cpu;
  in >> cpu;
  CpuTicks ticks;
  double value = 0;
  for (int field = 0; field < 8 && in >> value; ++field) {
    ticks.total += value;
    if (field != 3 && field != 4) ticks.busy += value;  // idle and iowait are not busy
  }
  return ticks;
}

std::string LoadAverage() {
  const std::string text = ReadText("/proc/loadavg");
  std::istringstream in(text);
  std::string one, five, fifteen;
  in >> one >> five >> fifteen;
  return one + " " + five + " " + fifteen;
}

double ChildrenCpuSeconds() {
  rusage usage{};
  ::getrusage(RUSAGE_CHILDREN, &usage);
  const auto seconds = [](const timeval& t) {
    return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_usec) / 1e6;
  };
  return seconds(usage.ru_utime) + seconds(usage.ru_stime);
}

// `count` stations at 38400 at once, each on a terminal of its own, all given
// to one qvboot-cli update. A station counts only when the loader reported it
// ok and the station holds the exact image; the others are named with why.
struct AtOnce {
  int count = 0;
  int exitCode = -1;
  double wallSeconds = 0;     // qvboot-cli from start to exit
  double slowestSeconds = 0;  // the longest run of a good station as the loader timed it
  double loaderCpuSeconds = 0;
  double machineBusy = 0;  // share of all cores' time busy during the run
  int good = 0;
  double bytes = 0, transferRates = 0;  // of the good stations
  std::vector<double> turnarounds;      // every block of the good stations, sorted
  std::vector<std::pair<std::string, std::string>> failures;  // station, why
};

AtOnce RunAtOnce(const Settings& settings, int count, std::size_t size) {
  Bench bench(settings, size);
  std::vector<std::string> ttys;
  std::string ports;
  for (int i = 0; i < count; ++i) {
    ttys.push_back(bench.Station("s" + std::to_string(i), "--serial " + std::to_string(5000 + i)));
    ports += " --port " + ttys.back();
  }
  AtOnce at;
  at.count = count;
  const CpuTicks cpuBefore = ReadCpuTicks();
  const double loaderBefore = ChildrenCpuSeconds();
  const auto start = std::chrono::steady_clock::now();
  const auto run = bench.Cli("update" + ports + " --folder " + bench.dir + "/up");
  at.wallSeconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  at.loaderCpuSeconds = ChildrenCpuSeconds() - loaderBefore;
  const CpuTicks cpuAfter = ReadCpuTicks();
  if (cpuAfter.total > cpuBefore.total)
    at.machineBusy = (cpuAfter.busy - cpuBefore.busy) / (cpuAfter.total - cpuBefore.total);
  at.exitCode = run.exitCode;
  for (const std::string& tty : ttys) {
    const std::string report = bench.Report(tty);
    const auto found = run.results.find(tty);
    std::string why;
    if (found == run.results.end())
      why = "no result, qvboot-cli exit " + std::to_string(run.exitCode) + " (" + run.firstError +
            ")";
    else if (found->second["result"] != "ok")
      why = found->second["result"].toString().toStdString() + ": " +
            found->second["message"].toString().toStdString();
    else if (report.find("matches expected: yes") == std::string::npos)
      why = "ok, but the station does not hold the exact image";
    if (!why.empty()) {
      at.failures.emplace_back(tty.substr(bench.dir.size() + 1), why);
      continue;
    }
    const QJsonObject& r = found->second;
    ++at.good;
    at.bytes += r["bytes"].toDouble();
    at.transferRates += r["bytesPerSecond"].toDouble();
    at.slowestSeconds = std::max(at.slowestSeconds, r["seconds"].toDouble());
    const auto turns = Turnarounds(report);
    at.turnarounds.insert(at.turnarounds.end(), turns.begin(), turns.end());
  }
  std::ranges::sort(at.turnarounds);
  return at;
}

// Failed stations grouped by why, so a loader that refused them all is one line.
void PrintFailures(const AtOnce& at) {
  std::map<std::string, std::string> stationsByWhy;
  for (const auto& [station, why] : at.failures) stationsByWhy[why] += " " + station;
  for (const auto& [why, stations] : stationsByWhy)
    std::printf("  left out%s: %s\n", stations.c_str(), why.c_str());
}

void Scale(const Settings& settings) {
  std::printf("\nStations at once, 38400, %zu bytes each\n", settings.scaleSize);
  std::printf("%-9s %12s %10s %8s  %s\n", "stations", "total B/s", "vs one", "seconds", "results");
  double one = 0;
  for (const int count : {1, 2, 4, 8}) {
    const AtOnce at = RunAtOnce(settings, count, settings.scaleSize);
    const double total = at.slowestSeconds > 0 ? at.bytes / at.slowestSeconds : 0;
    if (count == 1) one = total;
    std::printf("%-9d %12.0f %9.2fx %8.2f  %d/%d ok\n", count, total, one > 0 ? total / one : 0,
                at.slowestSeconds, at.good, count);
    PrintFailures(at);
    std::fflush(stdout);
  }
}

// What an operator with a USB rack wants to know: whether 32 stations at once
// cost the loader anything against one alone, read against the machine's cores
// and load. Throughput is over the loader's whole run (identification, key,
// restart and clock included), failed stations left out.
void Rack(const Settings& settings) {
  const int count = settings.rackStations;
  const double ratioTarget = 31.0 / 32.0 * count;
  constexpr double kTurnaroundTarget = 2.0;  // ms, p99
  std::printf("\n%d stations at once against one alone, 38400, %zu bytes each\n", count,
              settings.rackSize);
  std::printf("cores %u, load before %s\n", std::thread::hardware_concurrency(),
              LoadAverage().c_str());
  std::printf("%-11s %7s %8s %10s %12s %12s %10s %6s  %s\n", "", "good", "wall s", "total B/s",
              "per station", "transfer B/s", "loader CPU", "busy", "exit");
  const AtOnce one = RunAtOnce(settings, 1, settings.rackSize);
  const AtOnce rack = RunAtOnce(settings, count, settings.rackSize);
  const auto total = [](const AtOnce& at) { return at.bytes / at.wallSeconds; };
  const auto label = [](const AtOnce& at) {
    return at.count == 1 ? std::string("one alone") : std::to_string(at.count) + " at once";
  };
  for (const AtOnce* at : {&one, &rack}) {
    std::printf("%-11s %7s %8.2f %10.0f %12.0f %12.0f %9.2fs %5.0f%%  %d\n", label(*at).c_str(),
                (std::to_string(at->good) + "/" + std::to_string(at->count)).c_str(),
                at->wallSeconds, total(*at), at->good > 0 ? total(*at) / at->good : 0.0,
                at->good > 0 ? at->transferRates / at->good : 0.0, at->loaderCpuSeconds,
                100.0 * at->machineBusy, at->exitCode);
    PrintFailures(*at);
  }
  std::printf("load after %s\n", LoadAverage().c_str());
  if (one.good == 0 || rack.good == 0) {
    std::printf("ratio: none, %s\n",
                one.good == 0 ? "the station alone failed" : "no station of the rack ended good");
  } else {
    const double ratio = total(rack) / total(one);
    const bool complete = rack.failures.empty();
    std::printf("ratio %.2fx (target >= %.1fx): %s\n", ratio, ratioTarget,
                !complete ? ("not met, " + std::to_string(rack.failures.size()) + " of " +
                             std::to_string(count) + " stations failed")
                                .c_str()
                : ratio >= ratioTarget ? "met"
                                       : "not met");
  }
  // The station alone shows what the machine's load does to a lone loader,
  // so the rack's figure can be read against it.
  for (const AtOnce* at : {&one, &rack}) {
    const auto& turns = at->turnarounds;
    const std::string who = label(*at);
    if (turns.empty()) {
      std::printf("turnaround %s: no blocks from a good station\n", who.c_str());
      continue;
    }
    const double p99 = Quantile(turns, 0.99);
    std::printf(
        "turnaround %s over %zu blocks of %d station%s: p50 %.3f ms, p99 %.3f ms, max %.3f ms",
        who.c_str(), turns.size(), at->good, at->good == 1 ? "" : "s", Quantile(turns, 0.5), p99,
        turns.back());
    if (at == &rack)
      std::printf(" (target p99 <= %.0f ms): %s%s", kTurnaroundTarget,
                  p99 <= kTurnaroundTarget ? "met" : "not met",
                  rack.failures.empty() ? "" : ", failed stations left out");
    std::printf("\n");
  }
  std::fflush(stdout);
}

struct Fault {
  const char* name;
  const char* station;  // qvstation options
  const char* cli;      // extra loader options
};

// Each cell: "exact" when the first run left the exact image; "msg, 2nd ok"
// when it failed with a message and a second run completed; otherwise what
// went wrong ("hang": the loader was stopped after its time).
std::string Cell(const Settings& settings, const Fault& fault, int baud, bool relayed) {
  Bench bench(settings, settings.matrixSize);
  std::string options = fault.station;
  if (baud == 4800 && options.find("--baud") == std::string::npos) options += " --max-baud 4800";
  const std::string tty = bench.Station("s", options);
  const std::string args = "update --port " + tty + " --folder " + bench.dir + "/up" +
                           (relayed ? " --remote" : "") + " " + fault.cli;
  const auto first = bench.Cli(args, 600);
  if (first.exitCode == 124) return "hang";
  if (first.exitCode > 128) return "crash";
  const std::string report = bench.Report(tty);
  const QJsonObject r = first.results.count(tty) ? first.results.at(tty) : QJsonObject{};
  if (first.exitCode == 0 && report.find("matches expected: yes") != std::string::npos)
    return "exact";
  if (r["message"].toString().isEmpty()) return "no message";
  // A second run, on a station without the fault (the first may be gone).
  const std::string again = bench.Station("t", baud == 4800 ? "--max-baud 4800" : "");
  const auto second = bench.Cli(
      "update --port " + again + " --folder " + bench.dir + "/up" + (relayed ? " --remote" : ""),
      600);
  const bool exact = bench.Report(again).find("matches expected: yes") != std::string::npos;
  return second.exitCode == 0 && exact ? "msg, 2nd ok"
                                       : "msg, 2nd " + std::to_string(second.exitCode);
}

void Matrix(const Settings& settings) {
  static const Fault kFaults[] = {
      {"NAK burst (row 3, 5x)", "--nak-block 3:5", ""},
      {"NAK 1%", "--nak-probability 0.01 --seed 7", ""},
      {"NAK 30%", "--nak-probability 0.30 --seed 7", ""},
      {"silent data block (5th)", "--silent 0x80:5", ""},
      {"silent after block 5", "--silent-after-block 5", ""},
      {"corrupt checksum (5th ack)", "--bad-checksum 0x80:5", ""},
      {"another address (5th ack)", "--wrong-address 5", ""},
      {"cut reply (5th ack)", "--cut-short 0x80:5", ""},
      {"swapped station on resume", "--nak-block 3:40 --swap-serial 999:2", "--yes 1186"},
      {"vanishing port (block 5)", "--disappear-after-block 5", ""},
      {"station at the other speed", "--baud 38400", ""},
  };
  std::printf("\nFault matrix (%zu bytes)\n%-28s %-14s %-14s %-14s %-14s\n", settings.matrixSize,
              "fault", "4800 direct", "4800 relayed", "38400 direct", "38400 relayed");
  for (const Fault& fault : kFaults) {
    std::printf("%-28s", fault.name);
    std::fflush(stdout);
    for (const int baud : {4800, 38400}) {
      for (const bool relayed : {false, true}) {
        std::printf(" %-14s", Cell(settings, fault, baud, relayed).c_str());
        std::fflush(stdout);
      }
    }
    std::printf("\n");
  }
}

}  // namespace

int main(int argc, char** argv) {
  Settings settings;
  for (int i = 1; i + 1 < argc; i += 2) {
    const std::string name = argv[i], value = argv[i + 1];
    if (name == "--size") settings.size = std::stoul(value);
    if (name == "--slow-size") settings.slowSize = std::stoul(value);
    if (name == "--scale-size") settings.scaleSize = std::stoul(value);
    if (name == "--matrix-size") settings.matrixSize = std::stoul(value);
    if (name == "--rack-size") settings.rackSize = std::stoul(value);
    if (name == "--rack-stations") settings.rackStations = std::stoi(value);
    if (name == "--only") settings.only = value;
    if (name == "--bin") settings.bin = value;
  }
  if (settings.only.empty() || settings.only == "single") Single(settings);
  if (settings.only.empty() || settings.only == "scale") Scale(settings);
  if (settings.only.empty() || settings.only == "rack") Rack(settings);
  if (settings.only.empty() || settings.only == "matrix") Matrix(settings);
  return 0;
}

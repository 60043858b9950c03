// qvwindowbench: how fast QV-Boot's main window starts and how much memory
// it holds. Every figure comes from a fresh child process (this program run
// again with --child), so each start loads and sets up everything itself.
//
// Start: from launching the process to the main window shown with the event
// loop about to wait for the first time (loading the program, QApplication,
// the settings file, the port and the load procedure included). Median of
// --starts N (10) starts, in two setups:
//   no port:      a system without serial ports. Start-up shows "No serial
//                 port found."; the child answers the box the moment it is
//                 open, so the time includes showing it, not an operator.
//   silent port:  COM1 on a pseudo-terminal with no station behind it (the
//                 port file names it; the system's own devices are listed
//                 too), started through the program's own entry procedure.
// Memory: VmRSS of the idle window (the highest of all starts), and the
// highest VmRSS sampled while the window sends an image to qvstation on a
// pseudo-terminal.
// usage: qvwindowbench [--starts N]
#include <fcntl.h>
#include <spawn.h>
#include <stdlib.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QAbstractEventDispatcher>
#include <QApplication>
#include <QFile>
#include <QTemporaryDir>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include "serial/PortMap.h"
#include "tools/qvshot/StationWindow.h"

extern char** environ;

namespace {

using qv::shot::StatusKiB;

constexpr double kStartTargetMs = 300;
constexpr double kMemoryTargetMiB = 80;

void Report(const char* line) {
  std::fputs(line, stdout);
  std::fflush(stdout);
}

// ---- the children: each prints one line and ends ----

// Writes "idle RSS_KiB BOXES" once the shown window's event loop first runs dry.
// True once the main window is shown and no box is open over it.
bool WindowIdle() {
  if (QApplication::activeModalWidget()) return false;
  const QWidgetList windows = QApplication::topLevelWidgets();
  return std::any_of(windows.begin(), windows.end(), [](const QWidget* widget) {
    return qobject_cast<const qv::MainWindow*>(widget) && widget->isVisible();
  });
}

int ChildIdle(bool withPort, int argc, char** argv) {
  QTemporaryDir folder;
  const std::string root = folder.path().toStdString();
  qputenv("XDG_DATA_HOME", QFile::encodeName(folder.path()));
  int master = -1;
  if (withPort) {
    master = ::posix_openpt(O_RDWR | O_NOCTTY);
    if (master < 0 || ::grantpt(master) != 0 || ::unlockpt(master) != 0) return 1;
    std::ofstream(root + "/ports.conf") << "COM1 = " << ::ptsname(master) << "\n";
    qputenv("QVBOOT_PORTS_FILE", QFile::encodeName(folder.path() + "/ports.conf"));
  }

  QApplication app(argc, argv);
  QApplication::setApplicationName("QV-Boot");
  qv::shot::BoxAnswerer boxes;
  QObject::connect(QAbstractEventDispatcher::instance(), &QAbstractEventDispatcher::aboutToBlock,
                   &app, [&, reported = false]() mutable {
                     if (reported || !WindowIdle()) return;
                     reported = true;
                     const std::string line = "idle " + std::to_string(StatusKiB("VmRSS")) + " " +
                                              std::to_string(boxes.seen.size()) + "\n";
                     Report(line.c_str());
                     QApplication::exit(0);
                   });
  // With a port the program's own entry procedure runs, as the program runs
  // it. This machine has serial devices of its own, so the start without any
  // goes round the count with an empty map.
  const int status = withPort ? qv::Main() : [&] {
    std::ofstream(root + "/ports.conf") << "# no ports\n";
    qv::MainWindowOptions options;
    options.ports = qv::PortMap(root + "/ports.conf", qv::FileSystemPortSystem());
    options.bNoSerialPort = true;
    qv::MainWindow window(std::move(options));
    window.Load();
    window.show();
    return QApplication::exec();
  }();
  if (master >= 0) ::close(master);
  return status;
}

// Writes "transfer PEAK_RSS_KiB", sampled until half of a 16 KiB image is sent.
int ChildTransfer(int argc, char** argv) {
  QApplication app(argc, argv);
  QApplication::setApplicationName("QV-Boot");
  qv::shot::StationWindow station(16 * 1024);
  std::string error;
  if (!station.Open(error) || !station.PressStart(error)) {
    std::fprintf(stderr, "qvwindowbench: %s\n", error.c_str());
    return 1;
  }
  long peak = 0;
  const bool halfway = qv::shot::RunEventsUntil(
      [&] {
        peak = std::max(peak, StatusKiB("VmRSS"));
        return station.Progress() >= 0.5;
      },
      120000);
  station.Close();
  if (!halfway || !station.boxes().seen.empty()) {
    std::fprintf(stderr, "qvwindowbench: the update did not get halfway\n");
    return 1;
  }
  Report(("transfer " + std::to_string(peak) + "\n").c_str());
  return 0;
}

// ---- the parent ----

struct ChildRun {
  double ms = 0;     // launch to the line
  std::string line;  // what the child printed
};

std::optional<ChildRun> RunChild(const char* self, const char* mode) {
  int out[2];
  if (::pipe(out) != 0) return std::nullopt;
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, out[1], 1);
  posix_spawn_file_actions_addclose(&actions, out[0]);
  std::string childFlag = "--child", modeText = mode;
  char* args[] = {const_cast<char*>(self), childFlag.data(), modeText.data(), nullptr};
  pid_t pid = 0;
  const auto start = std::chrono::steady_clock::now();
  const int spawned = posix_spawn(&pid, self, &actions, nullptr, args, environ);
  posix_spawn_file_actions_destroy(&actions);
  ::close(out[1]);
  ChildRun run;
  char chunk[256];
  for (ssize_t n; spawned == 0 && (n = ::read(out[0], chunk, sizeof chunk)) > 0;) {
    if (run.line.empty())
      run.ms = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start)
                   .count();
    run.line.append(chunk, static_cast<std::size_t>(n));
    if (run.line.find('\n') != std::string::npos) break;
  }
  ::close(out[0]);
  int status = 0;
  if (spawned == 0) ::waitpid(pid, &status, 0);
  if (spawned != 0 || run.line.empty() || !WIFEXITED(status) || WEXITSTATUS(status) != 0)
    return std::nullopt;
  return run;
}

double Median(std::vector<double> values) {
  std::sort(values.begin(), values.end());
  const std::size_t n = values.size();
  return n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
}

// The numbers after the word of a child's line ("idle 41234 1": 41234, 1).
std::vector<long> Numbers(const std::string& line) {
  std::istringstream in(line.substr(std::min(line.find(' '), line.size())));
  std::vector<long> numbers;
  for (long n = 0; in >> n;) numbers.push_back(n);
  return numbers;
}

int Parent(const char* self, int starts) {
  std::printf("QV-Boot main window, offscreen (%d starts per setup, fresh processes)\n", starts);
  long idleKiB = 0;
  for (const char* mode : {"no-port", "silent-port"}) {
    // The no-port start shows its one box; a box in the other would be a
    // different start from the one named.
    const long boxes = std::strcmp(mode, "no-port") == 0 ? 1 : 0;
    std::vector<double> times;
    for (int i = 0; i < starts; ++i) {
      const std::optional<ChildRun> run = RunChild(self, mode);
      const std::vector<long> numbers = run ? Numbers(run->line) : std::vector<long>();
      if (numbers.size() != 2 || numbers[1] != boxes) {
        std::fprintf(stderr, "qvwindowbench: the %s start failed or showed other boxes\n", mode);
        return 1;
      }
      times.push_back(run->ms);
      idleKiB = std::max(idleKiB, numbers[0]);
    }
    const auto [low, high] = std::minmax_element(times.begin(), times.end());
    std::printf(
        "  start to idle window, %-11s  median %6.1f ms  (min %.1f, max %.1f)  target <= %.0f ms\n",
        mode, Median(times), *low, *high, kStartTargetMs);
  }
  const std::optional<ChildRun> transfer = RunChild(self, "transfer");
  const std::vector<long> peak = transfer ? Numbers(transfer->line) : std::vector<long>();
  if (peak.size() != 1) {
    std::fprintf(stderr, "qvwindowbench: the transfer run failed\n");
    return 1;
  }
  std::printf("  resident memory, idle window (max)   %6.1f MiB  target <= %.0f MiB\n",
              static_cast<double>(idleKiB) / 1024, kMemoryTargetMiB);
  std::printf("  resident memory, during a transfer   %6.1f MiB  target <= %.0f MiB\n",
              static_cast<double>(peak[0]) / 1024, kMemoryTargetMiB);
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  // No screen needed, and the same figures on every machine.
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  if (argc == 3 && std::strcmp(argv[1], "--child") == 0) {
    if (std::strcmp(argv[2], "transfer") == 0) return ChildTransfer(argc, argv);
    return ChildIdle(std::strcmp(argv[2], "silent-port") == 0, argc, argv);
  }
  int starts = 10;
  if (argc == 3 && std::strcmp(argv[1], "--starts") == 0) starts = std::max(1, std::atoi(argv[2]));
  const std::string self = qv::shot::ProgramBeside("qvwindowbench");
  return Parent(self.c_str(), starts);
}

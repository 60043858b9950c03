#pragma once
// The real main window on the offscreen platform, with its settings folder,
// its program folder and its port map in temporary folders: COM1 is a
// pseudo-terminal whose far end the test reads.
#include <QDBusConnection>
#include <filesystem>
#include <memory>

#include "app/qt/MainWindow.h"
#include "config/StationRecord.h"
#include "support/PtyLine.h"
#include "support/QtApp.h"
#include "support/TempFolder.h"

namespace qv::test {

// Counts the showings of the port dialog, which answers "cancelled".
class BenchWindow : public MainWindow {
 public:
  using MainWindow::MainWindow;
  bool ShowPortSettings() override { return ++portDialogs, false; }
  int portDialogs = 0;
};

struct WindowBench {
  WindowBench() {
    EnsureQtApp();
    line.WriteMap("COM1 = " + line.slave + "\n");
  }

  std::string IniPath() const { return home.path + "/Quorvex/QV-Boot/QV-Boot.ini"; }
  void WriteSettings(const std::string& text) const {
    std::filesystem::create_directories(std::filesystem::path(IniPath()).parent_path());
    testing::WriteFile(IniPath(), text);
  }
  std::string Settings() const { return testing::ReadFile(IniPath()); }
  std::string RecordPath() const {
    return (std::filesystem::path(IniPath()).parent_path() / kStationRecordName).string();
  }

  // A bus that is not connected keeps the launcher out, unless a test brings one.
  BenchWindow& Start(bool noSerialPort = false,
                     QDBusConnection bus = QDBusConnection("qv-no-bus")) {
    MainWindowOptions options;
    options.programFolder = program.path;
    options.bNoSerialPort = noSerialPort;
    options.ports = line.Map();
    options.environment = [this](const std::string& name) -> std::optional<std::string> {
      if (name == "XDG_DATA_HOME") return home.path;
      return std::nullopt;
    };
    options.bus = bus;
    window = std::make_unique<BenchWindow>(std::move(options));
    window->Load();
    window->show();
    return *window;
  }

  testing::TempFolder home;
  testing::TempFolder program;
  PtyLine line;
  std::unique_ptr<BenchWindow> window;
};

}  // namespace qv::test

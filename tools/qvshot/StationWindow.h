#pragma once
// QV-Boot's real main window updating qvstation on a pseudo-terminal, with
// the settings folder, the port file and the upgrade folder in a temporary
// folder of their own (XDG_DATA_HOME and QVBOOT_PORTS_FILE point there), so
// the operator's own settings are never read or written. The screenshot tool
// and the window benchmark drive it; a QApplication must exist.
#include <QString>
#include <QTemporaryDir>
#include <QTimer>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "app/qt/MainWindow.h"
#include "sim/qvstation/StationProcess.h"

namespace qv::shot {

// Runs the event loop until done() holds or timeoutMs passed; done()'s last answer.
bool RunEventsUntil(const std::function<bool()>& done, int timeoutMs);

// A program in this program's folder (the build keeps its programs together).
std::string ProgramBeside(const std::string& name);

// A field of /proc/self/status in KiB ("VmRSS", "VmHWM"); 0 when it cannot be read.
long StatusKiB(const std::string& field);

// Answers every modal message box with its default button (OK when it has
// none) as soon as it is open, and keeps its text.
class BoxAnswerer {
 public:
  BoxAnswerer();
  std::vector<QString> seen;

 private:
  QTimer timer_;
};

class StationWindow {
 public:
  // imageSize: the bytes of the upgrade image the station is to receive.
  // folderName: a folder of that name in the temporary folder holds it all
  // when no such folder exists yet (the window shows its path, so a picture
  // stays the same from run to run); otherwise a folder with a random name.
  explicit StationWindow(std::size_t imageSize, const QString& folderName = {});
  ~StationWindow();

  // Makes the upgrade folder, starts qvstation and opens the window on its
  // terminal as COM1; false and the reason when something does not come up.
  bool Open(std::string& error);
  // Waits for the station to answer, picks direct mode (the station hangs on
  // the cable itself) and presses Start through the real button.
  bool PressStart(std::string& error);
  // The share of the image sent, as the progress bar shows it (0 to 1).
  double Progress() const;
  MainWindow& window() { return *window_; }
  const BoxAnswerer& boxes() const { return boxes_; }
  const QString& folder() const { return folder_; }
  // Closes the window as an operator does and stops the station.
  void Close();

 private:
  std::size_t imageSize_;
  QTemporaryDir randomFolder_;
  QString folder_;  // randomFolder_ or the named folder, which Close removes
  std::unique_ptr<sim::StationProcess> station_;
  std::unique_ptr<MainWindow> window_;
  BoxAnswerer boxes_;
};

}  // namespace qv::shot

#include "tools/qvshot/StationWindow.h"

#include <QApplication>
#include <QComboBox>
#include <QDBusConnection>
#include <QDir>
#include <QEventLoop>
#include <QFile>
#include <QMessageBox>
#include <QProgressBar>
#include <QPushButton>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <thread>

#include "core/Context.h"
#include "sim/station/UpgradeImage.h"

namespace qv::shot {

namespace fs = std::filesystem;

namespace {

// The station as qvstation plays it by default: hardware 8115, boot 0102,
// firmware 550; firmware 560 is an update it takes.
constexpr std::uint16_t kHardware = 0x8115;
constexpr std::uint16_t kBoot = 0x0102;

}  // namespace

bool RunEventsUntil(const std::function<bool()>& done, int timeoutMs) {
  const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
  while (!done()) {
    if (std::chrono::steady_clock::now() >= end) return done();
    QEventLoop loop;
    QTimer::singleShot(10, &loop, &QEventLoop::quit);
    loop.exec();
  }
  return true;
}

std::string ProgramBeside(const std::string& name) {
  return (fs::read_symlink("/proc/self/exe").parent_path() / name).string();
}

long StatusKiB(const std::string& field) {
  std::ifstream status("/proc/self/status");
  for (std::string line; std::getline(status, line);) {
    if (line.rfind(field + ":", 0) == 0) return std::stol(line.substr(field.size() + 1));
  }
  return 0;
}

BoxAnswerer::BoxAnswerer() {
  QObject::connect(&timer_, &QTimer::timeout, [this] {
    auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
    if (!box || !box->isVisible()) return;
    seen.push_back(box->text());
    QAbstractButton* answer = box->defaultButton();
    if (!answer) answer = box->button(QMessageBox::Ok);
    if (answer) return answer->click();
    box->reject();
  });
  timer_.start(1);
}

StationWindow::StationWindow(std::size_t imageSize, const QString& folderName)
    : imageSize_(imageSize) {
  const QDir temp = QDir::temp();
  if (!folderName.isEmpty() && temp.mkdir(folderName)) {
    folder_ = temp.filePath(folderName);
    randomFolder_.remove();
    return;
  }
  if (randomFolder_.isValid()) folder_ = randomFolder_.path();
}

StationWindow::~StationWindow() {
  Close();
}

bool StationWindow::Open(std::string& error) {
  if (folder_.isEmpty()) return error = "no temporary folder", false;
  const fs::path root = folder_.toStdString();
  const fs::path upgrades = root / "upgrades";
  const fs::path hardwareFolder = upgrades / sim::HardwareFolderName(kHardware);
  fs::create_directories(hardwareFolder);
  const std::string file = (hardwareFolder / "QV_560.pupd").string();
  const Bytes image = sim::MakeSyntheticImage(imageSize_, "560");
  if (!sim::WriteWholeFile(file, sim::BuildUpgradeFile(image, kBoot, kHardware)) ||
      !sim::WriteWholeFile(sim::KeyFilePath(file), BytesOf(sim::MakeKey(3))))
    return error = "cannot write the upgrade file", false;

  const std::string tty = (root / "station").string();
  station_ = std::make_unique<sim::StationProcess>(
      ProgramBeside("qvstation"),
      std::vector<std::string>{"--link", tty, "--expect", file, "--init-ms", "20"});
  for (int i = 0; i < 500 && !fs::exists(tty) && station_->Running(); ++i)
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  if (!fs::exists(tty)) return error = "qvstation did not open its terminal", false;

  const fs::path ports = root / "ports.conf";
  std::ofstream(ports) << "COM1 = " << tty << "\n";
  const fs::path data = root / "data";
  fs::create_directories(data / "Quorvex" / "QV-Boot");
  std::ofstream(data / "Quorvex" / "QV-Boot" / "QV-Boot.ini")
      << "[SETTINGS]\nInitDir=" << upgrades.string() << "\nInitLang=1000\n";
  qputenv("XDG_DATA_HOME", QFile::encodeName(QString::fromStdString(data.string())));
  qputenv("QVBOOT_PORTS_FILE", QFile::encodeName(QString::fromStdString(ports.string())));

  MainWindowOptions options;
  // The desktop's launcher entry is left alone.
  options.bus = QDBusConnection("qvshot-no-bus");
  window_ = std::make_unique<MainWindow>(std::move(options));
  window_->Load();
  window_->show();
  return true;
}

bool StationWindow::PressStart(std::string& error) {
  MainWindow& window = *window_;
  auto* mode = window.findChild<QComboBox*>("Master");
  auto* start = window.findChild<QPushButton*>("btnStart");
  if (!mode || !start) return error = "the window has no mode list or no Start button", false;
  if (!RunEventsUntil([&] { return !window.text(Control::Master).empty(); }, 15000))
    return error = "the station never answered the mode command", false;
  emit mode->activated(0);
  if (!RunEventsUntil(
          [&] { return window.text(Control::Master) == window.context().texts.DirectText; }, 10000))
    return error = "direct mode was not taken", false;
  if (!start->isEnabled()) return error = "Start is greyed out", false;
  start->click();
  return true;
}

double StationWindow::Progress() const {
  const auto* bar = window_ ? window_->findChild<QProgressBar*>("ProgressBar") : nullptr;
  if (!bar || bar->maximum() <= bar->minimum()) return 0;
  return double(bar->value() - bar->minimum()) / (bar->maximum() - bar->minimum());
}

void StationWindow::Close() {
  if (window_) window_->close();
  window_.reset();
  if (station_) station_->Stop();
  station_.reset();
  if (!folder_.isEmpty() && folder_ != randomFolder_.path()) QDir(folder_).removeRecursively();
  folder_.clear();
}

}  // namespace qv::shot

// qvshot: a picture of QV-Boot's real main window in the middle of an update.
// The window runs on the offscreen platform against qvstation on a
// pseudo-terminal; when the progress bar passes the share asked for, the
// window is grabbed to a PNG, then closed as an operator closes it.
// usage: qvshot OUTPUT.png [SHARE]   (SHARE defaults to 0.4)
#include <QApplication>
#include <QDir>
#include <QPixmap>
#include <QString>
#include <cstdio>
#include <string>

#include "tools/qvshot/StationWindow.h"

int main(int argc, char** argv) {
  bool shareOk = true;
  const double share = argc == 3 ? QString::fromLocal8Bit(argv[2]).toDouble(&shareOk) : 0.4;
  if (argc < 2 || argc > 3 || !shareOk || share <= 0 || share >= 1) {
    std::fprintf(stderr, "usage: qvshot OUTPUT.png [SHARE]   (SHARE between 0 and 1)\n");
    return 2;
  }
  const QString output = QString::fromLocal8Bit(argv[1]);
  // A picture for the README, the same on every machine: no screen needed.
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  QApplication::setApplicationName("QV-Boot");

  // 16 KiB: a few seconds to the picture, long enough to catch it part way.
  const QString folderName = "qv-boot-demo";
  qv::shot::StationWindow station(16 * 1024, folderName);
  if (!station.folder().endsWith("/" + folderName))
    std::fprintf(stderr, "qvshot: %s is taken, so the picture shows a random folder name\n",
                 qPrintable(QDir::temp().filePath(folderName)));
  std::string error;
  if (!station.Open(error) || !station.PressStart(error)) {
    std::fprintf(stderr, "qvshot: %s\n", error.c_str());
    return 1;
  }
  if (!qv::shot::RunEventsUntil([&] { return station.Progress() >= share; }, 120000)) {
    std::fprintf(stderr, "qvshot: the update did not get to %.0f %%\n", share * 100);
    return 1;
  }
  // A box on the way means the picture would not show a plain update.
  for (const QString& text : station.boxes().seen)
    std::fprintf(stderr, "qvshot: a message box came up: %s\n", qPrintable(text));
  if (!station.boxes().seen.empty()) return 1;
  if (!station.window().grab().save(output, "PNG")) {
    std::fprintf(stderr, "qvshot: cannot write %s\n", qPrintable(output));
    return 1;
  }
  std::printf("qvshot: %s at %.0f %%\n", qPrintable(output), station.Progress() * 100);
  station.Close();
  return 0;
}

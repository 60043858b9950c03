#include <QApplication>
#include <QDir>

#include "app/qt/LinkCheckWindow.h"
#include "config/IniAccess.h"
#include "config/Settings.h"

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  QApplication::setApplicationName("QV-Boot");

  // Only the language is taken from the settings here; nothing is written.
  qv::IniAccess ini;
  std::int32_t initLang = 1000;
  if (!qv::LocateSettingsFile(ini).empty()) {
    const std::string stored = ini.ReadEntry(qv::kSectionSettings, "InitLang", "1000");
    if (stored == "0" || stored == "2000") initLang = std::stoi(stored);
  }

  qv::LinkCheckWindow window(initLang);
  window.show();
  return QApplication::exec();
}

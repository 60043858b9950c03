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
  const std::int32_t initLang = qv::LocateSettingsFile(ini).empty() ? 1000 : qv::ReadLanguage(ini);

  qv::LinkCheckWindow window(initLang);
  window.show();
  return QApplication::exec();
}

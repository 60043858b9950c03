#include <QApplication>
#include <QLocale>

#include "app/qt/LanguageTexts.h"
#include "app/qt/MainWindow.h"

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  QApplication::setApplicationName("QV-Boot");
  // Boxes before the window knows its language read as the desktop does.
  qv::UseQtTranslations(QLocale::system());
  return qv::Main();
}

#include <QApplication>
#include <QLabel>

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  QApplication::setApplicationName("QV-Boot");
  QLabel placeholder("QV-Boot");
  placeholder.setWindowTitle("QV-Boot");
  placeholder.resize(480, 200);
  placeholder.show();
  return QApplication::exec();
}

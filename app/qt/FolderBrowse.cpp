#include "app/qt/FolderBrowse.h"

#include <QDesktopServices>
#include <QFileDialog>
#include <QUrl>

#include "core/TextRules.h"

namespace qv {

std::string BrowseForFolder(QWidget* owner, const std::string& title) {
  const QString caption = QString::fromStdString(title.empty() ? kDefaultFolderPrompt : title);
  const QString folder = QFileDialog::getExistingDirectory(
      owner, caption, QString(), QFileDialog::ShowDirsOnly | QFileDialog::DontResolveSymlinks);
  return std::string(TrimBlanks(folder.toStdString()));
}

bool OpenDocument(QWidget*, const std::string& file) {
  return QDesktopServices::openUrl(QUrl::fromLocalFile(QString::fromStdString(file)));
}

}  // namespace qv

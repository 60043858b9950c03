#include "app/qt/FolderBrowse.h"

#include <QDesktopServices>
#include <QFileDialog>
#include <QProcess>
#include <QStandardPaths>
#include <QUrl>

#include "core/TextRules.h"

namespace qv {

std::string BrowseForFolder(QWidget* owner, const std::string& title) {
  const QString caption = QString::fromStdString(title.empty() ? kDefaultFolderPrompt : title);
  const QString folder = QFileDialog::getExistingDirectory(
      owner, caption, QString(), QFileDialog::ShowDirsOnly | QFileDialog::DontResolveSymlinks);
  return std::string(TrimBlanks(folder.toStdString()));
}

void OpenDocument(QObject* owner, const std::string& file, std::function<void()> failed) {
  // Qt starts xdg-open detached and calls that success, so a desktop without a
  // browser would show nothing at all; run it here to hear how it ended.
  const QString opener = QStandardPaths::findExecutable(QStringLiteral("xdg-open"));
  if (opener.isEmpty()) {
    if (!QDesktopServices::openUrl(QUrl::fromLocalFile(QString::fromStdString(file)))) failed();
    return;
  }
  // No parent: closing QV-Boot must not end xdg-open and the browser it may
  // be running in the foreground. The object goes when xdg-open ends.
  auto* process = new QProcess;
  process->setProcessChannelMode(QProcess::ForwardedChannels);
  QObject::connect(process, &QProcess::finished, process, &QObject::deleteLater);
  QObject::connect(process, &QProcess::finished, owner,
                   [failed](int code, QProcess::ExitStatus status) {
                     if (status == QProcess::NormalExit && code != 0) failed();
                   });
  QObject::connect(process, &QProcess::errorOccurred, owner,
                   [process, failed](QProcess::ProcessError error) {
                     if (error != QProcess::FailedToStart) return;
                     process->deleteLater();
                     failed();
                   });
  process->start(opener, {QString::fromStdString(file)});
}

}  // namespace qv

#include "ui/common/program_folder.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>
#include <QTemporaryFile>

namespace zudizar {

namespace {

bool FolderWritable(const QString& folder) {
  if (!QDir().mkpath(folder)) return false;
  QTemporaryFile probe(folder + QStringLiteral("/.zudizar-probe-XXXXXX"));
  return probe.open();
}

QString WithSlash(QString folder) {
  if (!folder.endsWith(QLatin1Char('/'))) folder += QLatin1Char('/');
  return folder;
}

}  // namespace

QString ResolveProgramFolder() {
  const QString home = qEnvironmentVariable("ZUDIZAR_HOME");
  if (!home.isEmpty()) {
    QDir().mkpath(home);
    return WithSlash(QDir(home).absolutePath());
  }
  const QString executableFolder = QCoreApplication::applicationDirPath();
  if (!executableFolder.isEmpty() && FolderWritable(executableFolder)) return WithSlash(executableFolder);
  QString config = qEnvironmentVariable("XDG_CONFIG_HOME");
  if (config.isEmpty()) config = QDir::homePath() + QStringLiteral("/.config");
  const QString folder = config + QStringLiteral("/zudizar");
  QDir().mkpath(folder);
  return WithSlash(folder);
}

QString ResolveProgramFile() {
  QString name = QFileInfo(QCoreApplication::applicationFilePath()).fileName();
  if (name.isEmpty()) name = QStringLiteral("zudizar");
  return ResolveProgramFolder() + name;
}

}  // namespace zudizar

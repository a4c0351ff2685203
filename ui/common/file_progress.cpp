#include "ui/common/file_progress.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QWidget>

#include "ui/common/dialogs.h"

namespace zudizar {

void WindowProgressSink::FileProgress(int percent, int phase) {
  FileProgressEvent event(percent, phase);
  QCoreApplication::sendEvent(window_, &event);
}

void ShowFileReport(QWidget* window, Dialogs& dialogs, const FileReport& report) {
  for (const FileMessage& message : report.messages) {
    BoxIcon icon = BoxIcon::Information;
    if (message.kind == MessageKind::Warning) icon = BoxIcon::Warning;
    if (message.kind == MessageKind::Error) icon = BoxIcon::Error;
    dialogs.MessageBox(window, QString::fromStdString(message.text), QString::fromStdString(message.caption),
                       BoxButtons::Ok, icon);
  }
}

QString WithSaveExtension(const QString& chosen) {
  const QFileInfo info(chosen);
  if (!info.suffix().isEmpty() || info.fileName().endsWith(QLatin1Char('.'))) return chosen;
  return info.path() + QLatin1Char('/') + info.fileName() + QStringLiteral(".BMP");
}

}  // namespace zudizar

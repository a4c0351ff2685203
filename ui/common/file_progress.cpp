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

void WindowProgressSink::Notice(const std::string& text, const std::string& caption, NoticeIcon icon) {
  ++notices;
  BoxIcon boxIcon = BoxIcon::Information;
  if (icon == NoticeIcon::Warning) boxIcon = BoxIcon::Warning;
  if (icon == NoticeIcon::Error) boxIcon = BoxIcon::Error;
  dialogs_.MessageBox(window_, QString::fromStdString(text), QString::fromStdString(caption),
                      BoxButtons::Ok, boxIcon);
}

QString WithSaveExtension(const QString& chosen) {
  const QFileInfo info(chosen);
  if (!info.suffix().isEmpty() || info.fileName().endsWith(QLatin1Char('.'))) return chosen;
  return info.path() + QLatin1Char('/') + info.fileName() + QStringLiteral(".BMP");
}

}  // namespace zudizar

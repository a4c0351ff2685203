#include "ui/common/file_commands.h"

#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>

#include "base/settings.h"
#include "formats/dispatch.h"
#include "ui/common/dialogs.h"
#include "ui/common/file_progress.h"

namespace zudizar {

void ShowFileReport(QWidget* window, Dialogs& dialogs, const FileReport& report) {
  for (const FileMessage& message : report.messages) {
    if (message.kind == MessageKind::Note) continue;  // shown in the caption (FileReportNote)
    BoxIcon icon = BoxIcon::Information;
    if (message.kind == MessageKind::Warning) icon = BoxIcon::Warning;
    if (message.kind == MessageKind::Error) icon = BoxIcon::Error;
    dialogs.MessageBox(window, QString::fromStdString(message.text), QString::fromStdString(message.caption),
                       BoxButtons::Ok, icon);
  }
}

QString FileReportNote(const FileReport& report) {
  QString note;
  for (const FileMessage& message : report.messages)
    if (message.kind == MessageKind::Note) note += QStringLiteral("　") + QString::fromStdString(message.text);
  return note;
}

QString WithSaveExtension(const QString& chosen) {
  const QFileInfo info(chosen);
  if (!info.suffix().isEmpty() || info.fileName().endsWith(QLatin1Char('.'))) return chosen;
  return info.path() + QLatin1Char('/') + info.fileName() + QStringLiteral(".BMP");
}

QString StartFolder(const QString& currentFile) {
  if (!currentFile.isEmpty()) {
    const QDir folder = QFileInfo(currentFile).absoluteDir();
    if (folder.exists()) return folder.absolutePath();
  }
  const QString last = QString::fromStdString(ReadSettingIn("Option", "LastFolder"));
  if (!last.isEmpty() && QDir(last).exists()) return last;
  const QString pictures = QStandardPaths::writableLocation(QStandardPaths::PicturesLocation);
  if (!pictures.isEmpty() && QDir(pictures).exists()) return pictures;
  return QDir::homePath();
}

void RememberFolder(const QString& chosenFile) {
  const QString folder = QFileInfo(chosenFile).absolutePath();
  if (folder.isEmpty() || folder.contains(QLatin1Char('\n')) || folder.contains(QLatin1Char('\r'))) return;
  try {
    WriteSettingIn("Option", "LastFolder", folder.toStdString());
  } catch (const SettingsWriteError&) {
    // Only the next dialog's starting place is lost; the settings file's
    // trouble is told when the windows keep their own settings.
  }
}

std::optional<QString> AskOpenName(QWidget* window, Dialogs& dialogs, const QString& filter,
                                   const QString& currentFile) {
  const auto chosen = dialogs.OpenFileName(window, filter, StartFolder(currentFile));
  if (!chosen || chosen->isEmpty()) return std::nullopt;
  RememberFolder(*chosen);
  return chosen;
}

std::optional<QString> AskSaveName(QWidget* window, Dialogs& dialogs, const QString& filter,
                                   const QString& currentFile) {
  const auto chosen = dialogs.SaveFileName(window, filter, StartFolder(currentFile));
  if (!chosen || chosen->isEmpty()) return std::nullopt;
  RememberFolder(*chosen);
  return WithSaveExtension(*chosen);
}

bool ConfirmDropping(QWidget* window, Dialogs& dialogs, bool modified, const QString& question,
                     const std::function<void()>& save, const std::function<bool()>& saved) {
  if (!modified) return true;
  const BoxAnswer answer = dialogs.MessageBox(window, question, QStringLiteral("確認メッセージ"),
                                              BoxButtons::YesNoCancel, BoxIcon::Information);
  if (answer == BoxAnswer::Cancel) return false;
  if (answer == BoxAnswer::No) return true;
  // A failed or abandoned save has said why; the picture stays.
  save();
  return saved();
}

void ShowLoadFailure(QWidget* window, Dialogs& dialogs, const QString& path) {
  dialogs.MessageBox(window, QStringLiteral("%1 を開けませんでした。").arg(path), QStringLiteral("ﾌｧｲﾙのﾛｰﾄﾞ失敗"),
                     BoxButtons::Ok, BoxIcon::Information);
}

void ShowNoMemoryToShow(QWidget* window, Dialogs& dialogs) {
  dialogs.MessageBox(window, QStringLiteral("画像を表示するメモリがありません"), QString::fromUtf8(kLoadFailedCaption),
                     BoxButtons::Ok, BoxIcon::Error);
}

bool ReadPicture(QWidget* window, Dialogs& dialogs, const QString& path, IndexedImage& picture, QString* note) {
  WindowProgressSink sink(window);
  FileReport report;
  IndexedImage loaded;
  const bool ok = LoadPictureFile(path.toStdString(), loaded, &report, &sink) && loaded.HasPixels();
  ShowFileReport(window, dialogs, report);
  if (!ok) {
    if (report.Empty()) ShowLoadFailure(window, dialogs, path);
    return false;
  }
  picture = std::move(loaded);
  if (note) *note = FileReportNote(report);
  return true;
}

bool WritePicture(QWidget* window, Dialogs& dialogs, const QString& path, IndexedImage& picture) {
  WindowProgressSink sink(window);
  FileReport report;
  const bool ok = SavePictureFile(path.toStdString(), picture, &report, &sink);
  ShowFileReport(window, dialogs, report);
  if (!ok && report.Empty())
    dialogs.MessageBox(window, QStringLiteral("%1 に保存できませんでした。").arg(path), QStringLiteral("保存エラー"),
                       BoxButtons::Ok, BoxIcon::Error);
  return ok;
}

}  // namespace zudizar

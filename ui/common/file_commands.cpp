#include "ui/common/file_commands.h"

#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>

#include "base/settings.h"
#include "formats/dispatch.h"
#include "ui/common/dialogs.h"
#include "ui/common/file_names.h"
#include "ui/common/file_progress.h"

namespace zudizar {

void ShowFileReport(QWidget* window, Dialogs& dialogs, const FileReport& report) {
  for (const FileMessage& message : report.messages) {
    if (message.kind == MessageKind::Note) continue;  // shown in the caption (FileReportNote)
    BoxIcon icon = BoxIcon::Information;
    if (message.kind == MessageKind::Warning) icon = BoxIcon::Warning;
    if (message.kind == MessageKind::Error) icon = BoxIcon::Error;
    // Messages name files by their bytes.
    dialogs.MessageBox(window, ShownName(message.text), ShownName(message.caption), BoxButtons::Ok, icon);
  }
}

QString FileReportNote(const FileReport& report) {
  QString note;
  for (const FileMessage& message : report.messages)
    if (message.kind == MessageKind::Note) note += QStringLiteral("　") + ShownName(message.text);
  return note;
}

std::string WithSaveExtension(const std::string& chosen) {
  const auto slash = chosen.find_last_of('/');
  const std::string_view name = std::string_view(chosen).substr(slash == std::string::npos ? 0 : slash + 1);
  // A name with a full stop has an extension, or ends in the stop on purpose.
  if (name.find('.') != std::string_view::npos) return chosen;
  return chosen + ".BMP";
}

QString StartFolder(const std::string& currentFile) {
  const std::string current = FolderOfName(currentFile);
  if (!current.empty() && QFileInfo(ToolkitFolder(current)).isDir()) return ToolkitFolder(current);
  const std::string last = ReadSettingIn("Option", "LastFolder");
  if (!last.empty() && QFileInfo(ToolkitFolder(last)).isDir()) return ToolkitFolder(last);
  const QString pictures = QStandardPaths::writableLocation(QStandardPaths::PicturesLocation);
  if (!pictures.isEmpty() && QDir(pictures).exists()) return pictures;
  return QDir::homePath();
}

void RememberFolder(const std::string& chosenFile) {
  const std::string folder = FolderOfName(chosenFile);
  if (folder.empty() || folder.find_first_of("\n\r") != std::string::npos) return;
  try {
    WriteSettingIn("Option", "LastFolder", folder);
  } catch (const SettingsWriteError&) {
    // Only the next dialog's starting place is lost; the settings file's
    // trouble is told when the windows keep their own settings.
  }
}

namespace {

// The bytes of the file a dialog chose, or nothing (told) when the name
// cannot be told apart from another's.
std::optional<std::string> ChosenBytes(QWidget* window, Dialogs& dialogs, const std::optional<QString>& chosen,
                                       const char* caption) {
  if (!chosen || chosen->isEmpty()) return std::nullopt;
  QString problem;
  std::optional<std::string> bytes = NameFromToolkit(*chosen, problem);
  if (!bytes) {
    dialogs.MessageBox(window, problem, QString::fromUtf8(caption), BoxButtons::Ok, BoxIcon::Information);
    return std::nullopt;
  }
  RememberFolder(*bytes);
  return bytes;
}

}  // namespace

std::optional<std::string> AskOpenName(QWidget* window, Dialogs& dialogs, const QString& filter,
                                       const std::string& currentFile) {
  return ChosenBytes(window, dialogs, dialogs.OpenFileName(window, filter, StartFolder(currentFile)),
                     kLoadFailedCaption);
}

std::optional<std::string> AskSaveName(QWidget* window, Dialogs& dialogs, const QString& filter,
                                       const std::string& currentFile) {
  const auto bytes = ChosenBytes(window, dialogs, dialogs.SaveFileName(window, filter, StartFolder(currentFile)),
                                 kSaveFailedCaption);
  if (!bytes) return std::nullopt;
  return WithSaveExtension(*bytes);
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

void ShowLoadFailure(QWidget* window, Dialogs& dialogs, const std::string& path) {
  dialogs.MessageBox(window, QStringLiteral("%1 を開けませんでした。").arg(ShownName(path)), QStringLiteral("ﾌｧｲﾙのﾛｰﾄﾞ失敗"),
                     BoxButtons::Ok, BoxIcon::Information);
}

bool ReadPicture(QWidget* window, Dialogs& dialogs, const std::string& path, IndexedImage& picture,
                 QString* note) {
  WindowProgressSink sink(window);
  FileReport report;
  IndexedImage loaded;
  const bool ok = LoadPictureFile(path, loaded, &report, &sink) && loaded.HasPixels();
  ShowFileReport(window, dialogs, report);
  if (!ok) {
    if (report.Empty()) ShowLoadFailure(window, dialogs, path);
    return false;
  }
  picture = std::move(loaded);
  if (note) *note = FileReportNote(report);
  return true;
}

bool WritePicture(QWidget* window, Dialogs& dialogs, const std::string& path, IndexedImage& picture) {
  WindowProgressSink sink(window);
  FileReport report;
  const bool ok = SavePictureFile(path, picture, &report, &sink);
  ShowFileReport(window, dialogs, report);
  if (!ok && report.Empty())
    dialogs.MessageBox(window, QStringLiteral("%1 に保存できませんでした。").arg(ShownName(path)), QStringLiteral("保存エラー"),
                       BoxButtons::Ok, BoxIcon::Error);
  return ok;
}

}  // namespace zudizar

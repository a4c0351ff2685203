// The steps every canvas's file commands share: asking for a name, reading
// and writing a picture with progress, and telling the user what went wrong.
// Readers and writers return their messages; only these show them, so each
// failure is told once, by the reader's own words or else by the canvas's.
#pragma once

#include <QString>
#include <functional>
#include <optional>
#include <string>

#include "core/indexed_image.h"
#include "formats/file_report.h"

class QWidget;

namespace zudizar {

class Dialogs;

// The file dialogs' filters of the main and sub canvases.
inline const QString kPictureOpenFilter =
    QStringLiteral("BMP (*.BMP *.MAG *.JPG *.PNG *.ICO *.bmp *.mag *.jpg *.jpeg *.png *.ico);;ALL (*)");
inline const QString kPictureSaveFilter =
    QStringLiteral("BMP (*.BMP *.MAG *.JPG *.PNG *.ICO *.bmp *.mag *.jpg *.png *.ico)");

// Shows a report's messages in order as message boxes with an OK button
// over `window`: information, warning and error icons by their kind. Notes
// (a picture opened despite its file) get no box: the window shows them in
// its caption (FileReportNote).
void ShowFileReport(QWidget* window, Dialogs& dialogs, const FileReport& report);
// The report's notes, to append to a caption; empty when there are none.
QString FileReportNote(const FileReport& report);

// The name Save as uses: a chosen name without an extension (and not ending
// in a full stop) gains ".BMP".
std::string WithSaveExtension(const std::string& chosen);

// The bytes of the name chosen in the save dialog, with its extension;
// nothing when the user cancelled or chose no name, or (told in a box) when
// the name the dialog gave looks like two entries of its folder.
std::optional<std::string> AskSaveName(QWidget* window, Dialogs& dialogs, const QString& filter,
                                       const std::string& currentFile = {});
// The Open dialog of a canvas whose picture belongs to `currentFile`.
std::optional<std::string> AskOpenName(QWidget* window, Dialogs& dialogs, const QString& filter,
                                       const std::string& currentFile = {});
// Where a canvas's Open and Save as start: the folder of its current file,
// else the folder last used by any canvas (kept in the settings), else the
// user's pictures folder; as the toolkit names it.
QString StartFolder(const std::string& currentFile);
// Keeps the folder of a file the user chose for the next dialog of any canvas.
void RememberFolder(const std::string& chosenFile);

// File names are bytes (ui/common/file_names.h).

// Reads `path` mapped to the shared palette, progress going to `window`.
// On failure the reader's messages are shown, or "… を開けませんでした。"
// when it gave none, and `picture` is left as it was.
bool ReadPicture(QWidget* window, Dialogs& dialogs, const std::string& path, IndexedImage& picture,
                 QString* note = nullptr);

// Writes `picture` to `path` by its extension (the writer records the header
// it wrote in the picture). On failure the writer's messages are shown, or
// "… に保存できませんでした。" when it gave none.
bool WritePicture(QWidget* window, Dialogs& dialogs, const std::string& path, IndexedImage& picture);

// Before a command replaces or drops a modified picture: asks `question`
// (Yes, No, Cancel). Yes runs `save`, and the command may go on only when
// `saved` then says the picture is safe; No lets it go on; Cancel stops it.
// An unmodified picture goes on without a question.
bool ConfirmDropping(QWidget* window, Dialogs& dialogs, bool modified, const QString& question,
                     const std::function<void()>& save, const std::function<bool()>& saved);

// The box of a load that failed without a reader's message.
void ShowLoadFailure(QWidget* window, Dialogs& dialogs, const std::string& path);

}  // namespace zudizar

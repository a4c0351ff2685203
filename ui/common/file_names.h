// File names as the file system holds them: bytes in a std::string, which
// need be valid text in no encoding (a PC-98 collection's Shift_JIS names).
// They are kept and passed as bytes everywhere and turned into a QString only
// to be shown; the toolkit's own names (a file dialog's, a drop's address)
// are turned back into the bytes of the entry they name.
#pragma once

#include <QString>
#include <optional>
#include <string>
#include <string_view>

class QUrl;
class QWidget;

namespace zudizar {

class Dialogs;

// For captions, menus and boxes: valid UTF-8 decoded, every other byte shown
// as "\xHH", so that two different names never look alike and none is lost.
QString ShownName(std::string_view bytes);

// The bytes of the file a toolkit name means. Each part of the name that
// does not exist as encoded is looked up among its folder's entries by the
// way the toolkit shows them (undecodable bytes as U+FFFD); a part that is
// found nowhere stays as encoded (a new file's name). Nothing, with the
// reason in `problem`, when two entries look alike to the toolkit.
std::optional<std::string> NameFromToolkit(const QString& name, QString& problem);

// The local file a dropped address names, byte for byte; nothing when the
// address is no local file.
std::optional<std::string> NameFromUrl(const QUrl& url);

// The address of a local file, its bytes percent-encoded as they are.
QUrl UrlOfFile(const std::string& path);

// A folder for a file dialog to start in: `folder` as the toolkit sees it,
// or its nearest parent whose name the toolkit can hold, when it cannot.
QString ToolkitFolder(const std::string& folder);

// The folder part of a file name ("" for a bare name), without the last '/'
// unless it is the root.
std::string FolderOfName(const std::string& path);

// Whether `path` names a plain file (links followed).
bool IsPlainFileName(const std::string& path);

// Before an open: true when `path` is a plain file; otherwise tells the user
// what stands there instead (a folder, a named pipe, a device, nothing) in a
// box and returns false.
bool CheckOpenable(QWidget* window, Dialogs& dialogs, const std::string& path);

}  // namespace zudizar

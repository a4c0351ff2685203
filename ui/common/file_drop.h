// Files dropped on a window: one shared decision of what a drop holds (one
// local picture file, or why it is refused), and the one call that gives a
// window its drop handling, so each window only says what a picture does.
#pragma once

#include <QString>
#include <functional>
#include <string>

class QMimeData;
class QWidget;

namespace zudizar {

class Dialogs;

enum class DropRefusal {
  None,        // one local picture file
  NotOne,      // several files, or none
  NotLocal,    // an address that is no local file
  NotAFile,    // a folder, a named pipe, a device, or a file that is gone
  NotPicture,  // a file of an extension the program does not open
};

struct DropContents {
  DropRefusal refusal = DropRefusal::NotOne;
  std::string path;  // the local path's bytes (also of a refused file, for its message)
  QString address;   // an address that is no local file, as given
};

// Whether the name ends in an extension the program opens: .bmp .mag .jpg
// .jpeg .png .ico, in any case.
bool IsPictureFileName(const std::string& path);

DropContents ExamineDrop(const QMimeData& data);

// The box that says why a drop is refused: a file the program does not open
// gets the open's own failure box.
void ShowDropRefusal(QWidget* window, Dialogs& dialogs, const DropContents& contents);

// Makes `window` take drops. A drag that carries addresses is accepted while
// `busy` says no load runs. A drop is decided at once, but acted on only
// after it has returned, so that the program the drag came from is not held
// by a box or a load: then, unless the window has become busy, `open` gets
// the path of the one local picture (bytes), or the user is told why not.
void AcceptPictureDrops(QWidget& window, Dialogs& dialogs, std::function<bool()> busy,
                        std::function<void(const std::string&)> open);

}  // namespace zudizar

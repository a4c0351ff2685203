// WM_FILEPROGRESS: the progress of a load or save, sent synchronously to the
// window that asked for it as a Qt event of type 1883.
#pragma once

#include <QEvent>
#include <QString>

#include "formats/progress.h"

class QWidget;

namespace zudizar {

class Dialogs;

inline constexpr QEvent::Type WM_FILEPROGRESS = static_cast<QEvent::Type>(1883);

class FileProgressEvent : public QEvent {
 public:
  FileProgressEvent(int percent, int phase) : QEvent(WM_FILEPROGRESS), percent_(percent), phase_(phase) {}
  int Percent() const { return percent_; }
  int Phase() const { return phase_; }

 private:
  int percent_;
  int phase_;
};

// Adapts a codec's progress and message boxes to one window, and counts the
// boxes, so that a window adds its own failure box only when the codec showed
// none.
class WindowProgressSink : public ProgressSink {
 public:
  WindowProgressSink(QWidget* window, Dialogs& dialogs) : window_(window), dialogs_(dialogs) {}
  void FileProgress(int percent, int phase) override;
  void Notice(const std::string& text, const std::string& caption, NoticeIcon icon) override;

  int notices = 0;

 private:
  QWidget* window_;
  Dialogs& dialogs_;
};

// The file dialogs' filters of the main and sub canvases.
inline const QString kPictureOpenFilter =
    QStringLiteral("BMP (*.BMP *.MAG *.JPG *.PNG *.ICO *.bmp *.mag *.jpg *.jpeg *.png *.ico);;ALL (*)");
inline const QString kPictureSaveFilter =
    QStringLiteral("BMP (*.BMP *.MAG *.JPG *.PNG *.ICO *.bmp *.mag *.jpg *.png *.ico)");

// The name Save as uses: a chosen name without an extension (and not ending
// in a full stop) gains ".BMP".
QString WithSaveExtension(const QString& chosen);

}  // namespace zudizar

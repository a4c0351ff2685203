// WM_FILEPROGRESS: the progress of a load or save, sent synchronously to the
// window that asked for it as a Qt event of type 1883.
#pragma once

#include <QEvent>
#include <QString>

#include "formats/progress.h"

class QWidget;

namespace zudizar {

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

// Adapts a codec's progress to one window.
class WindowProgressSink : public ProgressSink {
 public:
  explicit WindowProgressSink(QWidget* window) : window_(window) {}
  void FileProgress(int percent, int phase) override;

 private:
  QWidget* window_;
};

}  // namespace zudizar

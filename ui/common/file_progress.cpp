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

}  // namespace zudizar

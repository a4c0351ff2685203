#include "ui/common/window_settings.h"

#include <QWidget>

#include "base/settings.h"

namespace zudizar {

void RestoreWindowPosition(QWidget& window, const std::string& leftKey, const std::string& topKey) {
  const int left = ReadIntSetting(leftKey, window.x());
  const int top = ReadIntSetting(topKey, window.y());
  window.move(left, top);
}

void SaveWindowPosition(const QWidget& window, const std::string& leftKey, const std::string& topKey) {
  WriteSetting(leftKey, std::to_string(window.x()));
  WriteSetting(topKey, std::to_string(window.y()));
}

}  // namespace zudizar

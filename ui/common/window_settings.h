// Window positions and sizes kept in the settings file.
#pragma once

#include <string>

class QWidget;

namespace zudizar {

// Moves the window to the saved left/top; a missing or non-numeric value
// keeps the window's current (design) value.
void RestoreWindowPosition(QWidget& window, const std::string& leftKey, const std::string& topKey);
// Writes left/top; raises SettingsWriteError when the file cannot be written.
void SaveWindowPosition(const QWidget& window, const std::string& leftKey, const std::string& topKey);

}  // namespace zudizar

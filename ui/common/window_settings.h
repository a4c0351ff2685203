// Window positions and sizes kept in the settings file.
#pragma once

#include <QList>
#include <QRect>
#include <string>

class QWidget;

namespace zudizar {

// Where a window restored from the settings file goes. `saved` is kept when
// it lies at least partly on one of `screens` (their available areas; screens
// of no usable size do not count), its size cut to the screen it lies most on
// and its position moved so that a part that can be grabbed, and the caption,
// stay on that screen. A saved size too small to see or a window on no screen
// gets the `design` geometry. With no screens at all `saved` is kept.
QRect PlaceOnScreens(const QRect& saved, const QRect& design, const QList<QRect>& screens);

// Moves the window to the saved left/top; a missing or non-numeric value
// keeps the window's current (design) value. The place is checked as above.
void RestoreWindowPosition(QWidget& window, const std::string& leftKey, const std::string& topKey);
// The same for a window whose size is kept too.
void RestoreWindowGeometry(QWidget& window, const std::string& leftKey, const std::string& topKey,
                           const std::string& widthKey, const std::string& heightKey);
// Writes left/top; raises SettingsWriteError when the file cannot be written.
void SaveWindowPosition(const QWidget& window, const std::string& leftKey, const std::string& topKey);

}  // namespace zudizar

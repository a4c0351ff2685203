// Building the windows' menus: items and separators named after their
// defined names, so tests and accessibility tools find them.
#pragma once

#include <QString>
#include <functional>

class QAction;
class QMenu;
class QObject;
class QWidget;

namespace zudizar {

// An item owned by `owner`, with its object name, caption and shortcut; the
// shortcut acts while the owner's window is active.
QAction* AddMenuItem(QWidget* owner, QMenu* menu, const char* name, const QString& caption, const char* key = nullptr);
void AddMenuSeparator(QWidget* owner, QMenu* menu, const char* name);
// Qt toggles a checkable item's mark before the handler runs; this undoes it,
// so the handlers decide the marks, whether called from the menu or directly.
void ConnectHandlerOwnsMark(QObject* context, QAction* action, std::function<void()> handler);

// The fixed-frame items of a canvas ("取り消し", the seven sizes, "中心線",
// then the two half offsets): `setFrame` gets 0 (none), 1 (centre lines) or
// the cell size, `toggleHalf` true for the left offset, false for the upper.
void AddFrameItems(QWidget* owner, QMenu* menu, std::function<void(int)> setFrame,
                   std::function<void(bool)> toggleHalf);
// Marks the item of `frame` and the half offsets that are on.
void ReflectFrameItems(const QWidget& owner, int frame, bool halfLeft, bool halfUp);

}  // namespace zudizar

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
QAction* AddMenuItem(QWidget* owner, QMenu* menu, const char* name, const QString& caption,
                     const char* key = nullptr);
void AddMenuSeparator(QWidget* owner, QMenu* menu, const char* name);
// Qt toggles a checkable item's mark before the handler runs; this undoes it,
// so the handlers decide the marks, whether called from the menu or directly.
void ConnectHandlerOwnsMark(QObject* context, QAction* action, std::function<void()> handler);

}  // namespace zudizar

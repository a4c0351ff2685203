#include "ui/common/menu_items.h"

#include <QAction>
#include <QKeySequence>
#include <QMenu>

namespace zudizar {

QAction* AddMenuItem(QWidget* owner, QMenu* menu, const char* name, const QString& caption, const char* key) {
  auto* action = new QAction(caption, owner);
  action->setObjectName(QString::fromLatin1(name));
  if (key) action->setShortcut(QKeySequence(QString::fromLatin1(key)));
  action->setShortcutContext(Qt::WindowShortcut);
  menu->addAction(action);
  return action;
}

void AddMenuSeparator(QWidget* owner, QMenu* menu, const char* name) {
  QAction* action = menu->addSeparator();
  action->setObjectName(QString::fromLatin1(name));
  action->setParent(owner);
}

void ConnectHandlerOwnsMark(QObject* context, QAction* action, std::function<void()> handler) {
  QObject::connect(action, &QAction::triggered, context, [action, handler] {
    if (action->isCheckable()) action->setChecked(!action->isChecked());
    handler();
  });
}

}  // namespace zudizar

#include "ui/common/menu_items.h"

#include <QAction>
#include <QKeySequence>
#include <QMenu>
#include <QWidget>

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

namespace {
constexpr int kFrameSizes[] = {24, 32, 48, 64, 96, 128, 192};

QAction* Item(const QWidget& owner, const QString& name) { return owner.findChild<QAction*>(name); }
}  // namespace

void AddFrameItems(QWidget* owner, QMenu* menu, std::function<void(int)> setFrame,
                   std::function<void(bool)> toggleHalf) {
  auto checkable = [&](const char* name, const QString& caption, std::function<void()> handler) {
    QAction* action = AddMenuItem(owner, menu, name, caption);
    action->setCheckable(true);
    ConnectHandlerOwnsMark(owner, action, std::move(handler));
  };
  checkable("MN_MODERELEASE", QStringLiteral("取り消し"), [setFrame] { setFrame(0); });
  for (int size : kFrameSizes) {
    const QByteArray name = "MN_MODE" + QByteArray::number(size);
    checkable(name.constData(), QStringLiteral("%1x%1枠").arg(size), [setFrame, size] { setFrame(size); });
  }
  checkable("MN_MODECENTER", QStringLiteral("中心線"), [setFrame] { setFrame(1); });
  AddMenuSeparator(owner, menu, "MN_DUMMY2");
  checkable("MN_MODEHALFLEFT", QStringLiteral("1/2左"), [toggleHalf] { toggleHalf(true); });
  checkable("MN_MODEHALFUP", QStringLiteral("1/2上"), [toggleHalf] { toggleHalf(false); });
}

void ReflectFrameItems(const QWidget& owner, int frame, bool halfLeft, bool halfUp) {
  Item(owner, QStringLiteral("MN_MODERELEASE"))->setChecked(frame == 0);
  for (int s : kFrameSizes) Item(owner, QStringLiteral("MN_MODE%1").arg(s))->setChecked(frame == s);
  Item(owner, QStringLiteral("MN_MODECENTER"))->setChecked(frame == 1);
  Item(owner, QStringLiteral("MN_MODEHALFLEFT"))->setChecked(halfLeft);
  Item(owner, QStringLiteral("MN_MODEHALFUP"))->setChecked(halfUp);
}

}  // namespace zudizar

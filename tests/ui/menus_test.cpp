// Every window's menus, as a user meets them: each key does one thing, in the
// window that is active, and each item can be found by its name.
#include <QAction>
#include <QKeySequence>
#include <QMenu>
#include <QMenuBar>
#include <QSet>

#include "ui/colour/colour_window.h"
#include "ui/edit/edit_window.h"
#include "ui_support.h"

namespace zudizar::testing {
namespace {

class MenusTest : public AppTest {};

TEST_F(MenusTest, EveryKeyActsInItsOwnWindowOnlyAndOnce) {
  StartApp();
  const std::pair<const char*, QWidget*> windows[] = {
      {"main", &app->main()}, {"edit", &app->edit()}, {"sub", &app->sub()}, {"colour", &app->colour()}};
  int keyed = 0;
  for (const auto& [label, window] : windows) {
    QSet<QString> keys, names;
    for (QAction* item : window->findChildren<QAction*>()) {
      const std::string what = std::string(label) + " " + item->objectName().toStdString();
      // A menu item that is not a separator has a name and a caption.
      if (!item->isSeparator() && !item->menu()) {
        EXPECT_FALSE(item->objectName().isEmpty()) << label << " " << item->text().toStdString();
        EXPECT_FALSE(item->text().isEmpty()) << what;
      }
      if (!item->objectName().isEmpty() && !item->menu()) {
        EXPECT_FALSE(names.contains(item->objectName())) << what << ": two items of one name";
        names.insert(item->objectName());
      }
      for (const QKeySequence& key : item->shortcuts()) {
        ++keyed;
        EXPECT_EQ(item->shortcutContext(), Qt::WindowShortcut) << what;
        const QString text = key.toString();
        EXPECT_FALSE(keys.contains(text)) << what << ": " << text.toStdString() << " taken twice";
        keys.insert(text);
      }
    }
  }
  // The canvases carry their file commands on keys; a window without any would be a broken menu.
  EXPECT_GT(keyed, 60);
}

TEST_F(MenusTest, TheSameCommandKeepsItsKeyOnEveryCanvas) {
  StartApp();
  // New, Open, Save and Save as answer the same keys wherever they are.
  for (const char* name : {"MN_NEW", "MN_OPEN", "MN_SAVE", "MN_NEWSAVE"}) {
    const QKeySequence mainKey = app->main().Action(QString::fromLatin1(name))->shortcut();
    ASSERT_FALSE(mainKey.isEmpty()) << name;
    EXPECT_EQ(app->sub().Action(QString::fromLatin1(name))->shortcut(), mainKey) << name;
    if (QAction* edit = app->edit().Action(QString::fromLatin1(name))) {
      EXPECT_EQ(edit->shortcut(), mainKey) << name;
    }
  }
}

}  // namespace
}  // namespace zudizar::testing

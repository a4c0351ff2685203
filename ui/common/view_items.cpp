#include "ui/common/view_items.h"

#include <QAction>
#include <QKeySequence>
#include <QMenu>
#include <QWidget>
#include <string>

#include "base/settings.h"
#include "core/view_scale.h"
#include "ui/common/canvas_view.h"
#include "ui/common/menu_items.h"

namespace zudizar {

namespace {

const std::string kSection = "View";

std::string ZoomSetting(Zoom zoom) {
  return zoom.div > 1 ? "1/" + std::to_string(zoom.div) : std::to_string(zoom.mul);
}

// A kept zoom is one of the levels, or 1:1.
Zoom ZoomFromSetting(const std::string& text) {
  for (const Zoom zoom : kZoomLevels)
    if (ZoomSetting(zoom) == text) return zoom;
  return {};
}

}  // namespace

void AddViewItems(QWidget* owner, QMenu* menu, CanvasView& view) {
  AddMenuSeparator(owner, menu, "MN_DUMMYZOOM");
  QAction* in = AddMenuItem(owner, menu, "MN_ZOOMIN", QStringLiteral("拡大"), "Ctrl++");
  // Ctrl with the key that carries + unshifted on most keyboards, and the keypad's.
  in->setShortcuts({QKeySequence(QStringLiteral("Ctrl++")), QKeySequence(QStringLiteral("Ctrl+="))});
  QObject::connect(in, &QAction::triggered, owner, [&view] { view.ZoomIn(); });
  QObject::connect(AddMenuItem(owner, menu, "MN_ZOOMOUT", QStringLiteral("縮小"), "Ctrl+-"), &QAction::triggered, owner,
                   [&view] { view.ZoomOut(); });
  QObject::connect(AddMenuItem(owner, menu, "MN_ZOOM100", QStringLiteral("等倍"), "Ctrl+0"), &QAction::triggered, owner,
                   [&view] { view.SetZoom({}); });
  QObject::connect(AddMenuItem(owner, menu, "MN_ZOOMFIT", QStringLiteral("全体表示"), "Ctrl+9"), &QAction::triggered,
                   owner, [&view] { view.ZoomToFit(); });
  QAction* status = AddMenuItem(owner, menu, "MN_STATUSBAR", QStringLiteral("ステータスバー"));
  status->setCheckable(true);
  status->setChecked(view.StatusLineShown());
  ConnectHandlerOwnsMark(owner, status, [&view, status] {
    view.SetStatusLineShown(!view.StatusLineShown());
    status->setChecked(view.StatusLineShown());
  });
}

void RestoreViewSettings(QWidget* owner, CanvasView& view, const char* prefix) {
  const std::string name(prefix);
  view.SetZoom(ZoomFromSetting(ReadSettingIn(kSection, name + "Zoom")));
  view.SetStatusLineShown(ReadIntSettingIn(kSection, name + "StatusBar", 1) != 0);
  if (QAction* status = owner->findChild<QAction*>(QStringLiteral("MN_STATUSBAR")))
    status->setChecked(view.StatusLineShown());
}

void SaveViewSettings(const CanvasView& view, const char* prefix) {
  const std::string name(prefix);
  WriteSettingIn(kSection, name + "Zoom", ZoomSetting(view.GetZoom()));
  WriteSettingIn(kSection, name + "StatusBar", view.StatusLineShown() ? "1" : "0");
}

}  // namespace zudizar

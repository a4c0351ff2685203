// The edit palette's side of the transfers: the MN_SET menu, the start of a
// transfer into this palette, its preview and the copy itself.
#include <QAction>
#include <QMenu>

#include "core/edit_view.h"
#include "core/region.h"
#include "core/transfer.h"
#include "ui/app/app.h"
#include "ui/common/paint_box.h"
#include "ui/common/reentry.h"
#include "ui/edit/edit_window.h"

namespace zudizar {

namespace {

constexpr const char* kTransferItems[] = {"MN_SETCOPY",    "MN_SETCOPYR", "MN_SETCUT",  "MN_SETTOCOPY",
                                          "MN_SETTOCOPYR", "MN_SUBCOPY",  "MN_SUBCOPYR"};

const QString kMainSourcePrompt = QStringLiteral("メインパレット上でマウスクリックして、コピー元を決めて下さい。");
const QString kMainMovePrompt = QStringLiteral("メインパレット上でマウスクリックして、移動元を決めて下さい。");
const QString kSubSourcePrompt = QStringLiteral("サブパレット上でマウスクリックして、コピー元を決めて下さい。");

}  // namespace

QMenu* TTAVOEDTF::CreateTransferMenu() {
  auto* menu = new QMenu(QStringLiteral("複写(&S)"), this);
  menu->setObjectName(QStringLiteral("MN_SET"));
  menu->menuAction()->setObjectName(QStringLiteral("MN_SET"));
  auto add = [this, menu](const char* name, const QString& caption, const char* key, bool checkable,
                          std::function<void()> handler) {
    auto* action = new QAction(caption, this);
    action->setObjectName(QString::fromLatin1(name));
    action->setShortcut(QKeySequence(QString::fromLatin1(key)));
    action->setShortcutContext(Qt::WindowShortcut);
    action->setCheckable(checkable);
    menu->addAction(action);
    connect(action, &QAction::triggered, this, [action, checkable, handler] {
      // The handlers set the check marks themselves.
      if (checkable) action->setChecked(!action->isChecked());
      handler();
    });
  };
  add("MN_SETCOPY", QStringLiteral("ﾒｲﾝより複写(&C)"), "Ctrl+C", true, [this] { SetTransferMode(kCopyFromMain); });
  add("MN_SETCOPYR", QStringLiteral("ﾒｲﾝより複写(&G)縁ｶｯﾄ"), "Ctrl+G", true,
      [this] { SetTransferMode(kCopyFromMainEdgeCut); });
  add("MN_SETCUT", QStringLiteral("ﾒｲﾝより切り取り(&T)"), "Ctrl+T", true, [this] { SetTransferMode(kCutFromMain); });
  add("MN_SETTOCOPY", QStringLiteral("ﾒｲﾝへ複写(&U)"), "Ctrl+U", true, [this] {
    CheckTransferItems("MN_SETTOCOPY");
    app_.MainCanvasCommand(kCopyToMain);
  });
  add("MN_SETTOCOPYR", QStringLiteral("ﾒｲﾝへ複写(&Q)縁ｶｯﾄ"), "Ctrl+Q", true, [this] {
    CheckTransferItems("MN_SETTOCOPYR");
    app_.MainCanvasCommand(kCopyToMainEdgeCut);
  });
  add("MN_SUBCOPY", QStringLiteral("ｻﾌﾞより複写(&S)"), "Ctrl+S", true, [this] { SetTransferMode(kCopyFromSub); });
  add("MN_SUBCOPYR", QStringLiteral("ｻﾌﾞより複写(&O)縁ｶｯﾄ"), "Ctrl+O", true,
      [this] { SetTransferMode(kCopyFromSubEdgeCut); });
  add("MN_MAINTOCOPY", QStringLiteral("ﾒｲﾝへ複写位置指定"), "Shift+F5", false,
      [this] { app_.MainPasteAtTypedPosition(false); });
  add("MN_MAINTOCOPYR", QStringLiteral("ﾒｲﾝへ複写位置指定縁"), "Shift+F6", false,
      [this] { app_.MainPasteAtTypedPosition(true); });
  return menu;
}

void TTAVOEDTF::CheckTransferItems(const char* checked) {
  for (const char* name : kTransferItems)
    if (QAction* item = findChild<QAction*>(QString::fromLatin1(name)))
      item->setChecked(checked && qstrcmp(name, checked) == 0);
}

void TTAVOEDTF::SetTransferMode(int mode) {
  // A transfer starts a step of its own.
  Checkpoint();
  if (mode == kCopyFromMain || mode == kCopyFromMainEdgeCut || mode == kCutFromMain) {
    // The main canvas numbers its selection modes as the transfers.
    app_.MainCanvasCommand(mode);
    app_.SetCaption(WindowId::Main, mode == kCutFromMain ? kMainMovePrompt : kMainSourcePrompt);
    static constexpr const char* kItems[] = {"MN_SETCOPY", "MN_SETCOPYR", "MN_SETCUT"};
    CheckTransferItems(kItems[mode - kCopyFromMain]);
  } else if (mode == kCopyFromSub || mode == kCopyFromSubEdgeCut) {
    app_.SubStartTransfer(mode);
    app_.SetCaption(WindowId::Sub, kSubSourcePrompt);
    CheckTransferItems(mode == kCopyFromSub ? "MN_SUBCOPY" : "MN_SUBCOPYR");
  }
}

void TTAVOEDTF::PreviewTransfer(int x, int y, int transparent, const IndexedImage& source, int height, int width) {
  const Rect r = ClampTransfer(x, y, height, width, source.ImageWidth(), source.ImageHeight(), Picture().ImageWidth(),
                               Picture().ImageHeight());
  if (r.Empty() || !display_.screen.HasPixels()) return;
  const Rect screen{0, 0, display_.screen.ImageWidth(), display_.screen.ImageHeight()};
  if (display_.viewMode == kViewStandard) {
    CopyImage(display_.screen, Picture(), kNoTransparent);
    CopyRegion(display_.screen, 0, 0, source, r.x, r.y, r.width, r.height, transparent);
  } else {
    // The whole view at its magnification, the candidate over the visible part
    // of the picture rectangle (0, 0, w, h), then the grid.
    const EditView view = CurrentView();
    MagnifyRegion(display_.screen, 0, 0, Picture(), view.PictureArea(), view.zoom);
    const Rect shown = Rect{0, 0, r.width, r.height}.Intersect(view.PictureArea());
    if (!shown.Empty()) {
      const Rect target = view.ToScreen(shown).Intersect(screen);
      StretchRegion(display_.screen, target.x, target.y, target.width, target.height, source, r.x + shown.x,
                    r.y + shown.y, target.width / view.zoom, target.height / view.zoom, transparent);
    }
    if (Action(QStringLiteral("MN_VIEWGRID"))->isChecked())
      DrawFrameGrid(display_.screen, 0, 0, GridSpacing(display_.viewMode), 7, Picture().ImageWidth() * display_.zoom,
                    Picture().ImageHeight() * display_.zoom);
    // The next view composition starts afresh from the picture.
    display_.overlayShownFor = 0;
  }
  PresentScreenRect(screen);
}

void TTAVOEDTF::CopyIntoEdit(int x, int y, int transparent, const IndexedImage& source, int height, int width) {
  const ReentryGuard guard(copyingIntoEdit_);
  if (!guard.Entered()) return;
  busy_ = true;
  const Rect r = ClampTransfer(x, y, height, width, source.ImageWidth(), source.ImageHeight(), Picture().ImageWidth(),
                               Picture().ImageHeight());
  if (!r.Empty()) CopyRegion(Picture(), 0, 0, source, r.x, r.y, r.width, r.height, transparent);
  busy_ = false;
  display_.overlayShownFor = 0;
  RepaintView();
  // What came in is one step, so one undo takes it out again.
  Checkpoint();
}

}  // namespace zudizar

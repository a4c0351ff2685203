// The edit palette's side of the transfers: the MN_SET menu, the start of a
// transfer into this palette, its preview and the copy itself.
#include <QAction>
#include <QMenu>
#include <QPainter>

#include "core/region.h"
#include "core/transfer.h"
#include "ui/app/app.h"
#include "ui/common/draw_image.h"
#include "ui/common/paint_box.h"
#include "ui/edit/edit_window.h"
#include "ui/main/main_window.h"
#include "ui/sub/sub_window.h"

namespace zudizar {

namespace {

constexpr const char* kTransferItems[] = {"MN_SETCOPY", "MN_SETCOPYR", "MN_SETCUT", "MN_SETTOCOPY",
                                          "MN_SETTOCOPYR", "MN_SUBCOPY", "MN_SUBCOPYR"};

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
  add("MN_SETCOPY", QStringLiteral("ﾒｲﾝより複写(&C)"), "Ctrl+C", true, [this] { SetTransferMode(1); });
  add("MN_SETCOPYR", QStringLiteral("ﾒｲﾝより複写(&G)縁ｶｯﾄ"), "Ctrl+G", true, [this] { SetTransferMode(2); });
  add("MN_SETCUT", QStringLiteral("ﾒｲﾝより切り取り(&T)"), "Ctrl+T", true, [this] { SetTransferMode(3); });
  add("MN_SETTOCOPY", QStringLiteral("ﾒｲﾝへ複写(&U)"), "Ctrl+U", true, [this] { app_.main().CanvasCommand(4); });
  add("MN_SETTOCOPYR", QStringLiteral("ﾒｲﾝへ複写(&Q)縁ｶｯﾄ"), "Ctrl+Q", true, [this] { app_.main().CanvasCommand(5); });
  add("MN_SUBCOPY", QStringLiteral("ｻﾌﾞより複写(&S)"), "Ctrl+S", true, [this] { SetTransferMode(6); });
  add("MN_SUBCOPYR", QStringLiteral("ｻﾌﾞより複写(&O)縁ｶｯﾄ"), "Ctrl+O", true, [this] { SetTransferMode(7); });
  add("MN_MAINTOCOPY", QStringLiteral("ﾒｲﾝへ複写位置指定"), "Shift+F5", false, [this] { app_.main().MN_MAINTOCOPYClick(); });
  add("MN_MAINTOCOPYR", QStringLiteral("ﾒｲﾝへ複写位置指定縁"), "Shift+F6", false,
      [this] { app_.main().MN_MAINTOCOPYRClick(); });
  return menu;
}

void TTAVOEDTF::CheckTransferItems(const char* checked) {
  for (const char* name : kTransferItems)
    if (QAction* item = findChild<QAction*>(QString::fromLatin1(name)))
      item->setChecked(checked && qstrcmp(name, checked) == 0);
}

void TTAVOEDTF::SetTransferMode(int mode) {
  CopyImage(UndoImage, EditImage, kNoTransparent);
  if (mode >= 1 && mode <= 3) {
    EndTransferPreview();
    app_.main().CanvasCommand(mode);
    app_.main().setWindowTitle(mode == 3 ? kMainMovePrompt : kMainSourcePrompt);
    static constexpr const char* kItems[] = {"MN_SETCOPY", "MN_SETCOPYR", "MN_SETCUT"};
    CheckTransferItems(kItems[mode - 1]);
  } else if (mode == 6 || mode == 7) {
    EndTransferPreview();
    app_.sub().StartSubTransfer(mode);
    app_.sub().setWindowTitle(kSubSourcePrompt);
    CheckTransferItems(mode == 6 ? "MN_SUBCOPY" : "MN_SUBCOPYR");
  } else if (mode == 0) {
    EndTransferPreview();
  }
}

// While a preview is shown the paint area presents ScreenImage as composed
// here instead of recomposing it from the picture.
void TTAVOEDTF::HookTransferPaint() {
  if (transferPaintHooked_) return;
  transferPaintHooked_ = true;
  auto picture = PaintBox1->onPaint;
  PaintBox1->onPaint = [this, picture](QPainter& painter) {
    if (transferPreviewShown_ && !Busy && ScreenImage.HasPixels())
      DrawImage(ScreenImage, painter, PaintBox1->AreaWidth(), PaintBox1->AreaHeight());
    else if (picture)
      picture(painter);
  };
}

void TTAVOEDTF::PreviewTransfer(int x, int y, int transparent, const IndexedImage& source, int height, int width) {
  const Rect r = ClampTransfer(x, y, height, width, source.ImageWidth(), source.ImageHeight(),
                               EditImage.ImageWidth(), EditImage.ImageHeight());
  if (r.Empty() || !ScreenImage.HasPixels()) return;
  HookTransferPaint();
  // The standard view: the picture with the candidate region over its top-left.
  CopyImage(ScreenImage, EditImage, kNoTransparent);
  CopyRegion(ScreenImage, 0, 0, source, r.x, r.y, r.width, r.height, transparent);
  transferPreviewShown_ = true;
  PaintBox1->update();
}

void TTAVOEDTF::EndTransferPreview() {
  if (!transferPreviewShown_) return;
  transferPreviewShown_ = false;
  RepaintView();
}

void TTAVOEDTF::CopyIntoEdit(int x, int y, int transparent, const IndexedImage& source, int height, int width) {
  if (copyingIntoEdit_) return;
  copyingIntoEdit_ = true;
  Busy = true;
  const Rect r = ClampTransfer(x, y, height, width, source.ImageWidth(), source.ImageHeight(),
                               EditImage.ImageWidth(), EditImage.ImageHeight());
  if (!r.Empty()) CopyRegion(EditImage, 0, 0, source, r.x, r.y, r.width, r.height, transparent);
  Busy = false;
  copyingIntoEdit_ = false;
  transferPreviewShown_ = false;
  RepaintView();
}

}  // namespace zudizar

#include "ui/sub/sub_window.h"

#include <QHideEvent>
#include <QPainter>
#include <QScrollArea>

#include "base/settings.h"
#include "ui/app/app.h"
#include "ui/common/draw_image.h"
#include "ui/common/paint_box.h"
#include "ui/common/recent_files.h"
#include "ui/common/window_settings.h"
#include "ui/edit/edit_window.h"

namespace zudizar {

TTAVOSUBF::TTAVOSUBF(App& app) : QMainWindow(nullptr), app_(app) {
  setObjectName(QStringLiteral("TAVOSUBF"));
  setWindowTitle(QStringLiteral("ﾐﾗﾙｶ貼り絵ｻﾌﾞﾊﾟﾚｯﾄ"));
  Scroll = new QScrollArea(this);
  Scroll->setWidgetResizable(false);
  PaintBox1 = new PaintBox;
  PaintBox1->setObjectName(QStringLiteral("PaintBox1"));
  PaintBox1->SetAreaSize(640, 400);
  PaintBox1->onPaint = [this](QPainter& p) { PaintBox1Paint(p); };
  Scroll->setWidget(PaintBox1);
  setCentralWidget(Scroll);
  Recent = new RecentFileList(this, nullptr, "Sname");
  move(288, 301);
  resize(435, 272);
  FormCreate();
}

void TTAVOSUBF::FormCreate() {
  // Without saved values the window takes the edit palette's size.
  resize(app_.edit().size());
  RestoreWindowGeometry(*this, "SUBLeft", "SUBTop", "SUBWidth", "SUBHeight");
  Recent->Load();
  CreateImage(640, 400, SubPictureImage);
  CreateImage(640, 400, SubViewImage);
  CreateImage(640, 400, SubDisplayImage);
  FillImage(SubPictureImage, 255);
  CopyImage(SubViewImage, SubPictureImage, kNoTransparent);
  FrameSize = 0;
  TransferMode = 0;
}

void TTAVOSUBF::FormDestroy() {
  if (destroyed_) return;
  destroyed_ = true;
  try {
    SaveWindowPosition(*this, "SUBLeft", "SUBTop");
    const QRect outer = frameGeometry();
    WriteSetting("SUBWidth", std::to_string(outer.width()));
    WriteSetting("SUBHeight", std::to_string(outer.height()));
    Recent->Save();
  } catch (const SettingsWriteError& error) {
    app_.ShowSettingsError(error);
    return;
  }
  FreeImage(SubPictureImage);
  FreeImage(SubViewImage);
  FreeImage(SubDisplayImage);
}

void TTAVOSUBF::FormHide() {
  if (destroyed_) return;
  try {
    SaveWindowPosition(*this, "SUBLeft", "SUBTop");
    WriteSetting("SUBWidth", std::to_string(width()));
    WriteSetting("SUBHeight", std::to_string(height()));
  } catch (const SettingsWriteError& error) {
    app_.ShowSettingsError(error);
  }
}

void TTAVOSUBF::hideEvent(QHideEvent* event) {
  QMainWindow::hideEvent(event);
  if (!event->spontaneous()) FormHide();
}

void TTAVOSUBF::TakeSharedPalette(const PaletteTable& table) {
  for (IndexedImage* image : {&SubPictureImage, &SubViewImage, &SubDisplayImage})
    for (int i = kFirstFreeEntry; i <= kLastFreeEntry; ++i)
      image->colourTable[i] = {table[i].blue, table[i].green, table[i].red, 0};
  blanked_ = false;
  PaintBox1->update();
}

void TTAVOSUBF::BlankForPaletteChange() {
  FillImage(SubDisplayImage, 255);
  blanked_ = true;
  PaintBox1->repaint();
}

void TTAVOSUBF::RefreshView() {
  blanked_ = false;
  PaintBox1->update();
}

void TTAVOSUBF::PaintBox1Paint(QPainter& painter) {
  if (Busy || !SubViewImage.HasPixels()) return;
  if (!blanked_) CopyImage(SubDisplayImage, SubViewImage, kNoTransparent);
  DrawImage(SubDisplayImage, painter, PaintBox1->AreaWidth(), PaintBox1->AreaHeight());
}

}  // namespace zudizar

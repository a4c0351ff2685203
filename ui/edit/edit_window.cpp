#include "ui/edit/edit_window.h"

#include <QGridLayout>
#include <QHideEvent>
#include <QLabel>
#include <QMenuBar>
#include <QPainter>

#include "base/settings.h"
#include "ui/app/app.h"
#include "ui/common/draw_image.h"
#include "ui/common/paint_box.h"
#include "ui/common/recent_files.h"
#include "ui/common/window_settings.h"
#include "ui/main/main_window.h"

namespace zudizar {

TTAVOEDTF::TTAVOEDTF(App& app) : QMainWindow(nullptr), app_(app) {
  setObjectName(QStringLiteral("TAVOEDTF"));
  setWindowTitle(QStringLiteral("編集パレット"));
  auto* central = new QWidget(this);
  auto* layout = new QGridLayout(central);
  layout->setContentsMargins(0, 0, 0, 0);
  PaintBox1 = new PaintBox(central);
  PaintBox1->setObjectName(QStringLiteral("PaintBox1"));
  PaintBox1->SetAreaSize(kPictureWidth, kPictureHeight);
  PaintBox1->onPaint = [this](QPainter& p) { PaintBox1Paint(p); };
  PaintBox_LEFT = new PaintBox(central);
  PaintBox_LEFT->setObjectName(QStringLiteral("PaintBox_LEFT"));
  PaintBox_LEFT->SetAreaSize(32, 32);
  PaintBox_LEFT->onPaint = [this](QPainter& p) { PaintSwatch(p, LeftSwatchImage, app_.main().LeftColour); };
  PaintBox_RIGHT = new PaintBox(central);
  PaintBox_RIGHT->setObjectName(QStringLiteral("PaintBox_RIGHT"));
  PaintBox_RIGHT->SetAreaSize(32, 32);
  PaintBox_RIGHT->onPaint = [this](QPainter& p) { PaintSwatch(p, RightSwatchImage, app_.main().RightColour); };
  layout->addWidget(PaintBox1, 0, 0, 1, 4);
  layout->addWidget(new QLabel(QStringLiteral("左"), central), 1, 1, Qt::AlignHCenter);
  layout->addWidget(new QLabel(QStringLiteral("右"), central), 1, 2, Qt::AlignHCenter);
  layout->addWidget(PaintBox_LEFT, 2, 1, Qt::AlignHCenter);
  layout->addWidget(PaintBox_RIGHT, 2, 2, Qt::AlignHCenter);
  layout->setRowStretch(3, 1);
  setCentralWidget(central);
  menuBar()->addMenu(CreateTransferMenu());
  Recent = new RecentFileList(this, nullptr, "Ename");
  move(-1, 21);
  resize(287, 379);
  FormCreate();
}

void TTAVOEDTF::FormCreate() {
  RestoreWindowPosition(*this, "EDTLeft", "EDTTop");
  FileName.clear();
  Recent->Load();
  PictureWidth = kPictureWidth;
  PictureHeight = kPictureHeight;
  CreateImage(kPictureWidth, kPictureHeight, MagnifiedImage);
  CreateImage(kPictureWidth, kPictureHeight, ScreenImage);
  CreateImage(PictureWidth, PictureHeight, EditImage);
  CreateImage(PictureWidth, PictureHeight, UndoImage);
  CreateImage(PictureWidth, PictureHeight, StampImage);
  CreateImage(PictureWidth, PictureHeight, WorkImage);
  CreateImage(32, 32, LeftSwatchImage);
  CreateImage(32, 32, RightSwatchImage);
  FillImage(EditImage, 255);
  CopyImage(UndoImage, EditImage, kNoTransparent);
  CopyImage(MagnifiedImage, EditImage, kNoTransparent);
}

void TTAVOEDTF::FormDestroy() {
  if (destroyed_) return;
  destroyed_ = true;
  Busy = true;
  try {
    SaveWindowPosition(*this, "EDTLeft", "EDTTop");
    Recent->Save();
  } catch (const SettingsWriteError& error) {
    app_.ShowSettingsError(error);
    return;
  }
  for (IndexedImage* image : {&EditImage, &UndoImage, &WorkImage, &StampImage, &MagnifiedImage,
                              &ScreenImage, &LeftSwatchImage, &RightSwatchImage})
    FreeImage(*image);
}

void TTAVOEDTF::FormHide() {
  if (destroyed_) return;
  try {
    SaveWindowPosition(*this, "EDTLeft", "EDTTop");
  } catch (const SettingsWriteError& error) {
    app_.ShowSettingsError(error);
  }
}

void TTAVOEDTF::hideEvent(QHideEvent* event) {
  QMainWindow::hideEvent(event);
  if (!event->spontaneous()) FormHide();
}

void TTAVOEDTF::TakeSharedPalette(const PaletteTable& table) {
  for (IndexedImage* image : {&EditImage, &UndoImage, &WorkImage, &StampImage, &MagnifiedImage,
                              &ScreenImage, &LeftSwatchImage, &RightSwatchImage})
    for (int i = kFirstFreeEntry; i <= kLastFreeEntry; ++i)
      image->colourTable[i] = {table[i].blue, table[i].green, table[i].red, 0};
  blanked_ = false;
  PaintBox1->update();
  PaintBox_LEFT->update();
  PaintBox_RIGHT->update();
}

void TTAVOEDTF::BlankForPaletteChange() {
  FillImage(ScreenImage, 255);
  // Until the new palette arrives every area shows the blank screen buffer.
  blanked_ = true;
  for (PaintBox* box : {PaintBox1, PaintBox_LEFT, PaintBox_RIGHT}) box->repaint();
}

void TTAVOEDTF::RepaintView() {
  blanked_ = false;
  PaintBox1->update();
}

void TTAVOEDTF::PaintBox1Paint(QPainter& painter) {
  if (Busy || !PaintEnabled || !ScreenImage.HasPixels()) return;
  PaintEnabled = false;
  if (!blanked_) {
    CopyImage(MagnifiedImage, EditImage, kNoTransparent);
    CopyImage(ScreenImage, MagnifiedImage, kNoTransparent);
  }
  DrawImage(ScreenImage, painter, PaintBox1->AreaWidth(), PaintBox1->AreaHeight());
  PaintEnabled = true;
}

void TTAVOEDTF::PaintSwatch(QPainter& painter, IndexedImage& swatch, int colour) {
  if (blanked_) {
    DrawImageRegion(ScreenImage, painter, 0, 0, 0, 0, 32, 32, 32, 32);
    return;
  }
  if (!swatch.HasPixels()) return;
  FillImage(swatch, static_cast<std::uint8_t>(colour));
  DrawImage(swatch, painter, 32, 32);
}

}  // namespace zudizar

#include "ui/colour/colour_window.h"

#include <QHideEvent>
#include <QLabel>
#include <QPainter>
#include <QPushButton>
#include <QRadioButton>

#include "base/settings.h"
#include "ui/app/app.h"
#include "ui/common/draw_image.h"
#include "ui/common/paint_box.h"
#include "ui/common/window_settings.h"
#include "ui/main/main_window.h"

namespace zudizar {

TPALETTEF::TPALETTEF(App& app) : QWidget(nullptr, Qt::Tool), app_(app) {
  setObjectName(QStringLiteral("PALETTEF"));
  setWindowTitle(QStringLiteral("カラーパレット"));
  setAutoFillBackground(true);
  QPalette background = palette();
  background.setColor(QPalette::Window, Qt::white);
  setPalette(background);
  // Paint areas are cut to multiples of 16 at creation.
  PaintBox1 = new PaintBox(this);
  PaintBox1->setObjectName(QStringLiteral("PaintBox1"));
  PaintBox1->move(0, 0);
  PaintBox1->SetAreaSize(521 / 16 * 16, 137 / 16 * 16);
  PaintBox_LEFT = new PaintBox(this);
  PaintBox_LEFT->setObjectName(QStringLiteral("PaintBox_LEFT"));
  PaintBox_LEFT->move(524, 16);
  PaintBox_LEFT->SetAreaSize(33 / 16 * 16, 33 / 16 * 16);
  PaintBox_RIGHT = new PaintBox(this);
  PaintBox_RIGHT->setObjectName(QStringLiteral("PaintBox_RIGHT"));
  PaintBox_RIGHT->move(572, 16);
  PaintBox_RIGHT->SetAreaSize(33 / 16 * 16, 33 / 16 * 16);
  PaintBox1->onPaint = [this](QPainter& p) { PaintArea(p, *PaintBox1, PaletteDisplayImage); };
  PaintBox_LEFT->onPaint = [this](QPainter& p) {
    FillImage(LeftColourImage, app_.main().LeftColour);
    PaintArea(p, *PaintBox_LEFT, LeftColourImage);
  };
  PaintBox_RIGHT->onPaint = [this](QPainter& p) {
    FillImage(RightColourImage, app_.main().RightColour);
    PaintArea(p, *PaintBox_RIGHT, RightColourImage);
  };
  auto* label1 = new QLabel(QStringLiteral("左:0"), this);
  label1->setObjectName(QStringLiteral("Label1"));
  label1->move(524, 0);
  auto* label2 = new QLabel(QStringLiteral("右:0"), this);
  label2->setObjectName(QStringLiteral("Label2"));
  label2->move(572, 0);
  auto* label3 = new QLabel(QStringLiteral("背景色"), this);
  label3->setObjectName(QStringLiteral("Label3"));
  label3->move(520, 0);
  label3->hide();
  auto* radio = new QRadioButton(this);
  radio->setObjectName(QStringLiteral("RadioButton1"));
  radio->setGeometry(576, 0, 16, 16);
  radio->hide();
  auto* colourValue = new QPushButton(QStringLiteral("カラー値"), this);
  colourValue->setObjectName(QStringLiteral("Button_OK"));
  colourValue->setGeometry(524, 56, 81, 25);
  auto* save = new QPushButton(QStringLiteral("ﾊﾟﾚｯﾄ保存"), this);
  save->setObjectName(QStringLiteral("BTN_SAVEFILE"));
  save->setGeometry(524, 80, 81, 25);
  auto* ok = new QPushButton(QStringLiteral("OK"), this);
  ok->setObjectName(QStringLiteral("OK_BTN"));
  ok->setGeometry(524, 104, 81, 33);
  resize(606, 139);
  move(1, 7);
  FormCreate();
}

void TPALETTEF::FormCreate() {
  RestoreWindowPosition(*this, "PALLeft", "PALTop");
  CreateImage(PaintBox1->AreaWidth(), PaintBox1->AreaHeight(), SwatchGridImage);
  CreateImage(PaintBox1->AreaWidth(), PaintBox1->AreaHeight(), PaletteDisplayImage);
  CreateImage(16, 16, DragSwatchImage);
  CreateImage(PaintBox_LEFT->AreaWidth(), PaintBox_LEFT->AreaHeight(), LeftColourImage);
  CreateImage(PaintBox_RIGHT->AreaWidth(), PaintBox_RIGHT->AreaHeight(), RightColourImage);
  ReadSwatchArrangement(ProgramFolder() + "IDXPALET.TXT", Arrangement);
  BuildSwatchGrid();
}

void TPALETTEF::BuildSwatchGrid() {
  for (int p = 0; p < 256; ++p)
    FillRect(SwatchGridImage, (p % 32) * 16, (p / 32) * 16, 16, 16,
             static_cast<std::uint8_t>(Arrangement[p] & 0xFF));
  CopyImage(PaletteDisplayImage, SwatchGridImage, kNoTransparent);
}

void TPALETTEF::FormDestroy() {
  if (destroyed_) return;
  destroyed_ = true;
  try {
    SaveWindowPosition(*this, "PALLeft", "PALTop");
  } catch (const SettingsWriteError& error) {
    app_.ShowSettingsError(error);
  }
  for (IndexedImage* image :
       {&SwatchGridImage, &PaletteDisplayImage, &DragSwatchImage, &LeftColourImage, &RightColourImage})
    FreeImage(*image);
}

void TPALETTEF::FormHide() {
  if (destroyed_) return;
  try {
    SaveWindowPosition(*this, "PALLeft", "PALTop");
  } catch (const SettingsWriteError& error) {
    app_.ShowSettingsError(error);
  }
}

void TPALETTEF::hideEvent(QHideEvent* event) {
  QWidget::hideEvent(event);
  if (!event->spontaneous()) FormHide();
}

void TPALETTEF::TakeSharedPalette(const PaletteTable& table) {
  for (IndexedImage* image :
       {&SwatchGridImage, &PaletteDisplayImage, &DragSwatchImage, &LeftColourImage, &RightColourImage})
    for (int i = kFirstFreeEntry; i <= kLastFreeEntry; ++i)
      image->colourTable[i] = {table[i].blue, table[i].green, table[i].red, 0};
  if (blanked_) CopyImage(PaletteDisplayImage, SwatchGridImage, kNoTransparent);
  blanked_ = false;
  PaintBox1->update();
  PaintBox_LEFT->update();
  PaintBox_RIGHT->update();
}

void TPALETTEF::BlankForPaletteChange() {
  FillImage(PaletteDisplayImage, 255);
  blanked_ = true;
  for (PaintBox* box : {PaintBox1, PaintBox_LEFT, PaintBox_RIGHT}) box->repaint();
}

void TPALETTEF::PaintArea(QPainter& painter, PaintBox& box, IndexedImage& image) {
  if (destroyed_) return;
  // While blanked, every area shows the blank display buffer, cut to its size.
  IndexedImage& shown = blanked_ ? PaletteDisplayImage : image;
  DrawImageRegion(shown, painter, 0, 0, 0, 0, box.AreaWidth(), box.AreaHeight(), box.AreaWidth(),
                  box.AreaHeight());
}

}  // namespace zudizar

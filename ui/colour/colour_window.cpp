#include "ui/colour/colour_window.h"

#include <QCoreApplication>
#include <QHideEvent>
#include <QLabel>
#include <QPaintEvent>
#include <QPainter>
#include <QPushButton>
#include <QRadioButton>

#include "base/settings.h"
#include "base/trace.h"
#include "palette/palette_load.h"
#include "ui/app/app.h"
#include "ui/common/dialogs.h"
#include "ui/common/draw_image.h"
#include "ui/common/file_drop.h"
#include "ui/common/file_names.h"
#include "ui/common/paint_box.h"
#include "ui/common/reentry.h"
#include "ui/common/window_settings.h"

namespace zudizar {

namespace {

const QString kColourEditCaption = QStringLiteral("色の変更");

PaintBox* MakePaintBox(QWidget* parent, const char* name, int x, int y, int width, int height) {
  auto* box = new PaintBox(parent);
  box->setObjectName(QString::fromLatin1(name));
  box->move(x, y);
  // Paint areas are cut to multiples of 16 at creation.
  box->SetAreaSize(width / 16 * 16, height / 16 * 16);
  return box;
}

QPushButton* MakeButton(QWidget* parent, const char* name, const QString& caption, QRect geometry) {
  auto* button = new QPushButton(caption, parent);
  button->setObjectName(QString::fromLatin1(name));
  button->setGeometry(geometry);
  button->setFocusPolicy(Qt::NoFocus);
  return button;
}

QLabel* MakeLabel(QWidget* parent, const char* name, const QString& caption, int x, int y) {
  auto* label = new QLabel(caption, parent);
  label->setObjectName(QString::fromLatin1(name));
  label->move(x, y);
  return label;
}

}  // namespace

TPALETTEF::TPALETTEF(App& app) : QWidget(nullptr, Qt::Tool), app_(app) {
  setObjectName(QStringLiteral("PALETTEF"));
  setWindowTitle(kColourCaption);
  setAutoFillBackground(true);
  QPalette background = palette();
  background.setColor(QPalette::Window, Qt::white);
  setPalette(background);

  PaintBox1 = MakePaintBox(this, "PaintBox1", 0, 0, 521, 137);
  PaintBox_LEFT = MakePaintBox(this, "PaintBox_LEFT", 524, 16, 33, 33);
  PaintBox_RIGHT = MakePaintBox(this, "PaintBox_RIGHT", 572, 16, 33, 33);
  PaintBox1->onPaint = [this](QPainter& p, const QRect& r) {
    const ReentryGuard guard(gridPainting_);
    if (!guard.Entered() || !alive_ || !paletteDisplay_.HasPixels()) return;
    DrawImageRegion(paletteDisplay_, p, r.x(), r.y(), r.x(), r.y(), r.width(), r.height(), PaintBox1->AreaWidth(),
                    PaintBox1->AreaHeight());
  };
  PaintBox_LEFT->onPaint = [this](QPainter& p, const QRect&) {
    const ReentryGuard guard(leftPainting_);
    if (guard.Entered()) PaintSwatch(p, *PaintBox_LEFT, leftColour_, app_.session().LeftColour());
  };
  PaintBox_RIGHT->onPaint = [this](QPainter& p, const QRect&) {
    const ReentryGuard guard(rightPainting_);
    if (guard.Entered()) PaintSwatch(p, *PaintBox_RIGHT, rightColour_, app_.session().RightColour());
  };
  connect(&app_.session(), &Session::canvasesBlanked, this, [this] { BlankForPaletteChange(); });
  connect(&app_.session(), &Session::paletteApplied, this, [this](const PaletteTable& table) {
    TakeSharedPalette(table);
    ShowFreeEntries();
  });
  connect(&app_.session(), &Session::coloursChanged, this, [this] { ShowFreeEntries(); });
  PaintBox1->onMouseDown = [this](Qt::MouseButton b, int x, int y) { PaintBox1MouseDown(b, x, y); };
  PaintBox1->onMouseMove = [this](Qt::MouseButton, int x, int y) { PaintBox1MouseMove(x, y); };
  PaintBox1->onMouseUp = [this](Qt::MouseButton b, int x, int y) { PaintBox1MouseUp(b, x, y); };
  PaintBox1->onDoubleClick = [this] { PaintBox1DblClick(); };
  PaintBox_LEFT->onMouseDown = [this](Qt::MouseButton b, int, int) { PaintBox_LeftMouseDown(b); };
  PaintBox_RIGHT->onMouseDown = [this](Qt::MouseButton b, int, int) { PaintBox_RightMouseDown(b); };
  // Double clicks on the colour swatches count as presses.
  PaintBox_LEFT->onDoubleClick = [this] { PaintBox_LeftMouseDown(Qt::LeftButton); };
  PaintBox_RIGHT->onDoubleClick = [this] { PaintBox_RightMouseDown(Qt::LeftButton); };

  Label1 = MakeLabel(this, "Label1", QStringLiteral("左:0"), 524, 0);
  Label2 = MakeLabel(this, "Label2", QStringLiteral("右:0"), 572, 0);
  Label3 = MakeLabel(this, "Label3", QStringLiteral("背景色"), 520, 0);
  Label3->hide();
  LabelFree = MakeLabel(this, "LabelFree", QStringLiteral("空き %1").arg(kLastFreeEntry - kFirstFreeEntry + 1), 0, 128);
  LabelFree->setFixedSize(160, 18);
  RadioButton1 = new QRadioButton(this);
  RadioButton1->setObjectName(QStringLiteral("RadioButton1"));
  RadioButton1->setGeometry(576, 0, 16, 16);
  // Alone, an exclusive radio button could never be cleared again; a click
  // toggles it, checked meaning a horizontal gradient.
  RadioButton1->setAutoExclusive(false);
  RadioButton1->hide();
  Button_OK = MakeButton(this, "Button_OK", QStringLiteral("カラー値"), {524, 56, 81, 25});
  BTN_SAVEFILE = MakeButton(this, "BTN_SAVEFILE", QStringLiteral("ﾊﾟﾚｯﾄ保存"), {524, 80, 81, 25});
  OK_BTN = MakeButton(this, "OK_BTN", QStringLiteral("OK"), {524, 104, 81, 33});
  connect(Button_OK, &QPushButton::clicked, this, &TPALETTEF::Button_OKClick);
  connect(BTN_SAVEFILE, &QPushButton::clicked, this, &TPALETTEF::BTN_SAVEFILEClick);
  connect(OK_BTN, &QPushButton::clicked, this, &TPALETTEF::OK_BTNClick);
  // A strip under the swatches for the free-entry count.
  setFixedSize(606, 146);
  move(1, 7);
  AcceptPictureDrops(
      *this, app_.dialogs(), [this] { return loadingPalette_; },
      [this](const std::string& path) { LoadPaletteFile(path); });
  FormCreate();
}

void TPALETTEF::FormCreate() {
  RestoreWindowPosition(*this, "PALLeft", "PALTop");
  gridPainting_ = leftPainting_ = rightPainting_ = moving_ = false;
  CreateImage(PaintBox1->AreaWidth(), PaintBox1->AreaHeight(), swatchGrid_);
  CreateImage(PaintBox1->AreaWidth(), PaintBox1->AreaHeight(), paletteDisplay_);
  CreateImage(kSwatchSide, kSwatchSide, dragSwatch_);
  CreateImage(PaintBox_LEFT->AreaWidth(), PaintBox_LEFT->AreaHeight(), leftColour_);
  CreateImage(PaintBox_RIGHT->AreaWidth(), PaintBox_RIGHT->AreaHeight(), rightColour_);
  if (!Initialised) {
    const Session& session = app_.session();
    LeftRing = StartLeftRing(session.LeftColour());
    RightRing = StartRightRing(session.RightColour());
    LeftColour = session.LeftColour();
    RightColour = session.RightColour();
    Arrangement = IdentityArrangement();
    ReadSwatchArrangement(SwatchFilePath(), Arrangement);
    Dragging = false;
    Initialised = true;
  }
  RebuildGrid();
}

bool TPALETTEF::InBackgroundMode() const { return app_.session().Background() != BackgroundTarget::None; }

void TPALETTEF::FormShow() {
  const bool background = InBackgroundMode();
  Label1->setVisible(!background);
  Label2->setVisible(!background);
  BTN_SAVEFILE->setVisible(!background);
  Label3->setVisible(background);
  RadioButton1->setVisible(background);
}

void TPALETTEF::ShowWindow() {
  if (isVisible()) FormShow();
  show();
  raise();
}

void TPALETTEF::ShowFreeEntries() {
  // Counting reads every canvas; a hidden window recounts when shown.
  if (!isVisible() || !app_.Started()) return;
  LabelFree->setText(QStringLiteral("空き %1").arg(app_.UnusedFreeEntries()));
}

void TPALETTEF::showEvent(QShowEvent* event) {
  FormShow();
  ShowFreeEntries();
  QWidget::showEvent(event);
}

void TPALETTEF::FormHide() {
  if (!alive_) return;
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

void TPALETTEF::FormDestroy() {
  if (!alive_) return;
  FormHide();
  alive_ = false;
  for (IndexedImage* image : {&swatchGrid_, &paletteDisplay_, &dragSwatch_, &leftColour_, &rightColour_})
    FreeImage(*image);
}

void TPALETTEF::FormResize() {
  if (!alive_) return;
  auto fit = [](IndexedImage& image, const PaintBox& box) {
    if (image.ImageWidth() == box.AreaWidth() && image.ImageHeight() == box.AreaHeight() && image.HasPixels())
      return false;
    CreateImage(box.AreaWidth(), box.AreaHeight(), image);
    return true;
  };
  if (fit(paletteDisplay_, *PaintBox1)) ShowGrid();
  fit(leftColour_, *PaintBox_LEFT);
  fit(rightColour_, *PaintBox_RIGHT);
}

void TPALETTEF::resizeEvent(QResizeEvent* event) {
  QWidget::resizeEvent(event);
  FormResize();
}

// ---- painting ----

void TPALETTEF::RebuildGrid() {
  // Gradients on every canvas run in the order the grid shows.
  app_.session().SetSwatchOrder(Arrangement);
  DrawSwatchGrid(swatchGrid_, Arrangement);
  ShowGrid();
}

void TPALETTEF::ShowGrid() {
  blanked_ = false;
  CopyImage(paletteDisplay_, swatchGrid_, kNoTransparent);
  PaintBox1->update();
}

void TPALETTEF::PaintSwatch(QPainter& painter, PaintBox& box, IndexedImage& image, std::uint8_t colour) {
  if (!alive_) return;
  // While blanked for a palette change every area shows the blank display.
  if (blanked_) {
    DrawImageRegion(paletteDisplay_, painter, 0, 0, 0, 0, box.AreaWidth(), box.AreaHeight(), box.AreaWidth(),
                    box.AreaHeight());
    return;
  }
  // The swatch follows the main window's colour byte, which other windows
  // also set; composing 32 × 32 pixels here keeps the two from drifting.
  FillImage(image, colour);
  DrawImage(image, painter, box.AreaWidth(), box.AreaHeight());
}

void TPALETTEF::SetLeftColour(std::uint8_t colour) {
  LeftColour = colour;
  FillImage(leftColour_, colour);
  PaintBox_LEFT->update();
  app_.session().SetLeftColour(colour);
}

void TPALETTEF::SetRightColour(std::uint8_t colour) {
  RightColour = colour;
  FillImage(rightColour_, colour);
  PaintBox_RIGHT->update();
  app_.session().SetRightColour(colour);
}

void TPALETTEF::ShowRingPositions() {
  Label1->setText(QStringLiteral("左:%1").arg(LeftRing.position));
  Label2->setText(QStringLiteral("右:%1").arg(RightRing.position));
}

// ---- the grid: picking and dragging ----

void TPALETTEF::PaintBox1MouseDown(Qt::MouseButton button, int x, int y) {
  const int p = SwatchPositionAt(x, y);
  lastPressButton_ = button;
  lastPressPosition_ = p;
  if (p < 0) return;
  const std::uint8_t k = SwatchColour(Arrangement, p);
  if (button == Qt::RightButton) {
    SetRightColour(k);
    RightRing.Set(k);
  } else {
    SetLeftColour(k);
    LeftRing.Set(k);
    // A background is one colour unless the user then picks the right one.
    if (InBackgroundMode()) {
      SetRightColour(k);
      RightRing.Set(k);
    }
  }
  FillImage(dragSwatch_, k);
  if (blanked_)
    ShowGrid();
  else
    CopyImage(paletteDisplay_, swatchGrid_, kNoTransparent);
  DragSource = p;
  DragPoint = {x, y};
  Dragging = true;
}

void TPALETTEF::PaintBox1MouseMove(int x, int y) {
  if (!Dragging) return;
  const ReentryGuard guard(moving_);
  if (!guard.Entered()) return;
  const Rect changed = MoveSwatchDrag(paletteDisplay_, swatchGrid_, dragSwatch_, DragPoint, x, y);
  if (!changed.Empty()) PaintBox1->update(QRect(changed.x, changed.y, changed.width, changed.height));
}

void TPALETTEF::PaintBox1MouseUp(Qt::MouseButton, int x, int y) {
  if (!Dragging) return;
  Dragging = false;
  if (DropSwatch(Arrangement, DragSource, DragPoint, x, y))
    RebuildGrid();
  else
    ShowGrid();
}

void TPALETTEF::PaintBox1DblClick() {
  if (lastPressButton_ != Qt::LeftButton || lastPressPosition_ < 0) return;
  EditPaletteColour(SwatchColour(Arrangement, lastPressPosition_));
}

// ---- the colour swatches and their rings ----

void TPALETTEF::PaintBox_LeftMouseDown(Qt::MouseButton button) {
  if (button == Qt::RightButton) {
    LeftRing.Set(242);
    SetLeftColour(242);
    return;
  }
  SetLeftColour(LeftRing.Forward());
  Label1->setText(QStringLiteral("左:%1").arg(LeftRing.position));
}

void TPALETTEF::PaintBox_RightMouseDown(Qt::MouseButton button) {
  if (button == Qt::RightButton) {
    RightRing.Set(0);
    SetRightColour(0);
    return;
  }
  SetRightColour(RightRing.Forward());
  Label2->setText(QStringLiteral("右:%1").arg(RightRing.position));
}

void TPALETTEF::StepColoursForward() {
  SetLeftColour(LeftRing.Forward());
  SetRightColour(RightRing.Forward());
  ShowRingPositions();
}

void TPALETTEF::StepColoursBack() {
  SetLeftColour(LeftRing.Back());
  SetRightColour(RightRing.Back());
  ShowRingPositions();
}

// ---- buttons ----

void TPALETTEF::Button_OKClick() {
  // The value the screen shows: the realised palette, where a reserved entry
  // is the system's colour.
  const int index = app_.session().LeftColour();
  const PaletteTable& shown = SharedPalette.handle ? *SharedPalette.handle : SharedPalette.current;
  const PaletteEntry& e = shown[static_cast<std::size_t>(index)];
  setWindowTitle(QStringLiteral("RED=%1 GREEN=%2 BLUE=%3 FLAGS=%4 PALETTEID=%5")
                     .arg(e.red)
                     .arg(e.green)
                     .arg(e.blue)
                     .arg(e.flags)
                     .arg(index));
}

void TPALETTEF::BTN_SAVEFILEClick() {
  const std::string path = SwatchFilePath();
  if (!WriteSwatchArrangement(path, Arrangement))
    app_.dialogs().MessageBox(this, QStringLiteral("%1 に保存できませんでした。").arg(ShownName(path)),
                              QStringLiteral("保存エラー"), BoxButtons::Ok, BoxIcon::Error);
}

void TPALETTEF::OK_BTNClick() {
  Session& session = app_.session();
  const std::uint8_t left = session.LeftColour();
  const std::uint8_t right = session.RightColour();
  const BackgroundTarget target = session.Background();
  TraceRecord(7000,
              std::to_string(left) + " " + std::to_string(right) + " " + std::to_string(static_cast<int>(target)));
  // The sub canvas takes one colour; the others may take a slow gradient.
  const bool gradient = target == BackgroundTarget::Main || target == BackgroundTarget::Edit;
  if (gradient && left != right) {
    setWindowTitle(QStringLiteral("しばらくお待ち下さい"));
    // Let the caption reach the screen before a long fill, without user input.
    QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
  }
  app_.FillBackground(RadioButton1->isChecked());
  if (gradient) setWindowTitle(kColourCaption);
  hide();
  session.SetBackground(BackgroundTarget::None);
}

// ---- editing a palette colour ----

void TPALETTEF::EditPaletteColour(int index) {
  if (index < kFirstFreeEntry || index > kLastFreeEntry) {
    app_.dialogs().MessageBox(
        this, QStringLiteral("%1番は予約色のため変更できません。変更できるのは10～245番です。").arg(index),
        kColourEditCaption, BoxButtons::Ok, BoxIcon::Information);
    return;
  }
  const PaletteEntry was = SharedPalette.current[static_cast<std::size_t>(index)];
  QColor colour(was.red, was.green, was.blue);
  if (!app_.dialogs().ChooseColour(this, kColourEditCaption, colour)) return;
  // The change travels as a palette load does: into the pending table, then
  // applied, realised and applied again so that every window also holds the
  // new realised palette.
  SharedPalette.pending = SharedPalette.current;
  PaletteEntry& entry = SharedPalette.pending[static_cast<std::size_t>(index)];
  entry.red = static_cast<std::uint8_t>(colour.red());
  entry.green = static_cast<std::uint8_t>(colour.green());
  entry.blue = static_cast<std::uint8_t>(colour.blue());
  app_.session().ApplyMergedPalette();
}

// ---- palette changes ----

void TPALETTEF::TakeSharedPalette(const PaletteTable& table) {
  for (IndexedImage* image : {&swatchGrid_, &paletteDisplay_, &dragSwatch_, &leftColour_, &rightColour_})
    TakeFreeEntries(*image, table);
  // A drag in progress draws its image again at the next move.
  ShowGrid();
  PaintBox_LEFT->update();
  PaintBox_RIGHT->update();
}

void TPALETTEF::BlankForPaletteChange() {
  FillImage(paletteDisplay_, 255);
  blanked_ = true;
  for (PaintBox* box : {PaintBox1, PaintBox_LEFT, PaintBox_RIGHT}) box->repaint();
}

}  // namespace zudizar

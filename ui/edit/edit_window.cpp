#include "ui/edit/edit_window.h"

#include <QAction>
#include <QCloseEvent>
#include <QCoreApplication>
#include <QHideEvent>
#include <QLabel>
#include <QPaintEvent>
#include <QPainter>
#include <QScrollBar>
#include <QVBoxLayout>

#include "base/settings.h"
#include "core/edit_commands.h"
#include "core/swatch_grid.h"
#include "ui/app/app.h"
#include "ui/common/draw_image.h"
#include "ui/common/file_progress.h"
#include "ui/common/paint_box.h"
#include "ui/common/recent_files.h"
#include "ui/common/window_settings.h"
#include "ui/edit/text_render.h"

namespace zudizar {

TTAVOEDTF::TTAVOEDTF(App& app)
    : QMainWindow(nullptr), app_(app), tools_(app.session().tools, &app.textStamper()) {
  setObjectName(QStringLiteral("TAVOEDTF"));
  setWindowTitle(QStringLiteral("編集パレット"));
  QFont font(QStringLiteral("IPAGothic"));
  font.setPixelSize(13);
  setFont(font);
  app_.session().tools.text.font = DescribeFont(font);
  BuildLayout();
  BuildMenu();
  move(-1, 21);
  resize(287, 379);
  Session& session = app_.session();
  connect(&session, &Session::canvasesBlanked, this, [this] { BlankForPaletteChange(); });
  connect(&session, &Session::paletteApplied, this, [this](const PaletteTable& table) { TakeSharedPalette(table); });
  // The vertical-text item follows the setting, whoever changed it.
  connect(&session, &Session::toolsChanged, this, [this] {
    if (QAction* item = Action(QStringLiteral("MN_TATEGAKI"))) item->setChecked(app_.session().tools.text.vertical);
  });
  connect(&session, &Session::coloursChanged, this, [this] {
    if (!isVisible()) return;
    PaintBox_LEFT->update();
    PaintBox_RIGHT->update();
  });
  FormCreate();
}

void TTAVOEDTF::FillBackground(std::uint8_t left, std::uint8_t right, bool horizontal,
                               const SwatchArrangement& order) {
  zudizar::FillBackground(EditImage, WorkImage, left, right, horizontal, order);
  RepaintView();
}

QAction* TTAVOEDTF::Action(const QString& name) const { return findChild<QAction*>(name); }

void TTAVOEDTF::BuildLayout() {
  auto* central = new QWidget(this);
  auto* layout = new QVBoxLayout(central);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->setSpacing(0);
  // The paint area and its scroll bars at fixed places, as designed.
  auto* area = new QWidget(central);
  area->setFixedSize(kPictureWidth + 20, kPictureHeight + 20);
  PaintBox1 = new PaintBox(area);
  PaintBox1->setObjectName(QStringLiteral("PaintBox1"));
  PaintBox1->move(0, 0);
  PaintBox1->SetAreaSize(kPictureWidth, kPictureHeight);
  PaintBox1->onPaint = [this](QPainter& p, const QRect& exposed) { PaintBox1Paint(p, exposed); };
  PaintBox1->onMouseDown = [this](Qt::MouseButton b, int x, int y) { PaintBox1MouseDown(b, x, y); };
  PaintBox1->onMouseMove = [this](Qt::MouseButton b, int x, int y) { PaintBox1MouseMove(b, x, y); };
  PaintBox1->onMouseUp = [this](Qt::MouseButton b, int x, int y) { PaintBox1MouseUp(b, x, y); };
  ScrollBarY = new QScrollBar(Qt::Vertical, area);
  ScrollBarY->setObjectName(QStringLiteral("ScrollBarY"));
  ScrollBarY->setGeometry(kPictureWidth, 0, 20, kPictureHeight);
  ScrollBarX = new QScrollBar(Qt::Horizontal, area);
  ScrollBarX->setObjectName(QStringLiteral("ScrollBarX"));
  ScrollBarX->setGeometry(0, kPictureHeight, kPictureWidth, 20);
  for (QScrollBar* bar : {ScrollBarX, ScrollBarY}) {
    bar->setRange(0, 0);
    bar->setSingleStep(1);
    bar->setPageStep(8);
    bar->hide();
  }
  connect(ScrollBarX, &QScrollBar::valueChanged, this, [this] { ScrollBarXChange(); });
  connect(ScrollBarY, &QScrollBar::valueChanged, this, [this] { ScrollBarYChange(); });
  layout->addWidget(area);
  layout->addStretch(1);

  Panel1 = new QWidget(central);
  Panel1->setObjectName(QStringLiteral("Panel1"));
  Panel1->setFixedHeight(66);
  Label1 = new QLabel(QStringLiteral("左"), Panel1);
  Label1->setObjectName(QStringLiteral("Label1"));
  Label1->move(208, 0);
  Label2 = new QLabel(QStringLiteral("右"), Panel1);
  Label2->setObjectName(QStringLiteral("Label2"));
  Label2->move(248, 0);
  PaintBox_LEFT = new PaintBox(Panel1);
  PaintBox_LEFT->setObjectName(QStringLiteral("PaintBox_LEFT"));
  PaintBox_LEFT->move(200, 24);
  PaintBox_LEFT->SetAreaSize(32, 32);
  PaintBox_LEFT->onPaint = [this](QPainter& p, const QRect&) {
    PaintSwatch(p, LeftSwatchImage, app_.session().LeftColour());
  };
  PaintBox_RIGHT = new PaintBox(Panel1);
  PaintBox_RIGHT->setObjectName(QStringLiteral("PaintBox_RIGHT"));
  PaintBox_RIGHT->move(240, 24);
  PaintBox_RIGHT->SetAreaSize(32, 32);
  PaintBox_RIGHT->onPaint = [this](QPainter& p, const QRect&) {
    PaintSwatch(p, RightSwatchImage, app_.session().RightColour());
  };
  BuildButtons(Panel1);
  layout->addWidget(Panel1);
  setCentralWidget(central);
}

void TTAVOEDTF::FormCreate() {
  RestoreWindowPosition(*this, "EDTLeft", "EDTTop");
  FileName.clear();
  Recent->Load();
  ViewMode = 0;
  Zoom = 1;
  OverlayShownFor = 0;
  ToolSettings& tools = Settings();
  tools.tool = tools.savedTool = kToolFree;
  tools.penCode = 3;
  tools.text.fixedPlace = kTextFree;
  tools.text.text.clear();
  SettingsChanged();
  Busy = false;
  PaintEnabled = true;
  StartFramePosition = StartFrameSize = {};
  tools_.Cancel();
  framing_ = moveInCentreView_ = false;
  // The paint area in whole multiples of 16.
  const int areaWidth = PaintBox1->AreaWidth() / 16 * 16, areaHeight = PaintBox1->AreaHeight() / 16 * 16;
  PictureWidth = areaWidth;
  PictureHeight = areaHeight;
  CreateImage(areaWidth, areaHeight, MagnifiedImage);
  CreateImage(areaWidth, areaHeight, ScreenImage);
  for (IndexedImage* image : {&EditImage, &UndoImage, &StampImage, &WorkImage})
    CreateImage(PictureWidth, PictureHeight, *image);
  TextBitmap = QImage(PictureWidth, PictureHeight, QImage::Format_RGB32);
  TextBitmap.fill(Qt::black);
  CreateImage(PaintBox_LEFT->AreaWidth(), PaintBox_LEFT->AreaHeight(), LeftSwatchImage);
  CreateImage(PaintBox_RIGHT->AreaWidth(), PaintBox_RIGHT->AreaHeight(), RightSwatchImage);
  FillImage(EditImage, 255);
  CopyImage(UndoImage, EditImage, kNoTransparent);
  CopyImage(MagnifiedImage, EditImage, kNoTransparent);
  SetScrollRanges(PictureWidth, PictureHeight);
  RepaintView();
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
  TextBitmap = QImage();
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

void TTAVOEDTF::FormResize() {
  // The screen buffer follows the paint area; what it showed is composed anew.
  if (!ScreenImage.HasPixels() || !MagnifiedImage.HasPixels()) return;
  if (ScreenImage.ImageWidth() != PaintBox1->AreaWidth() || ScreenImage.ImageHeight() != PaintBox1->AreaHeight()) {
    CreateImage(PaintBox1->AreaWidth(), PaintBox1->AreaHeight(), ScreenImage);
    ScreenImage.colourTable = MagnifiedImage.colourTable;
    OverlayShownFor = 0;
    RepaintView();
  }
}

void TTAVOEDTF::resizeEvent(QResizeEvent* event) {
  QMainWindow::resizeEvent(event);
  FormResize();
}

void TTAVOEDTF::hideEvent(QHideEvent* event) {
  QMainWindow::hideEvent(event);
  if (!event->spontaneous()) FormHide();
}

void TTAVOEDTF::closeEvent(QCloseEvent* event) {
  // The close box hides the window as MN_HIDE does; the main window's item
  // follows the hiding.
  QMainWindow::closeEvent(event);
}

bool TTAVOEDTF::event(QEvent* event) {
  if (event->type() == WM_FILEPROGRESS) {
    const auto* progress = static_cast<FileProgressEvent*>(event);
    const QString phase = progress->Phase() != 0 ? QStringLiteral("Conv ") : QStringLiteral("Prev ");
    setWindowTitle(phase + QString::number(progress->Percent()) + QStringLiteral("% ") + FileName);
    // Loads run on this thread: let the caption reach the screen now.
    QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
  }
  return QMainWindow::event(event);
}

void TTAVOEDTF::ShowFileCaption() { setWindowTitle(QStringLiteral("編集ﾊﾟﾚｯﾄ ") + FileName); }

void TTAVOEDTF::TakeSharedPalette(const PaletteTable& table) {
  for (IndexedImage* image : {&EditImage, &UndoImage, &WorkImage, &StampImage, &MagnifiedImage,
                              &ScreenImage, &LeftSwatchImage, &RightSwatchImage})
    for (int i = kFirstFreeEntry; i <= kLastFreeEntry; ++i)
      image->colourTable[i] = {table[i].blue, table[i].green, table[i].red, 0};
  // The blank screen is replaced by the picture in its new colours; the area
  // beside a small picture gets its grey back too.
  if (blanked_) FillImage(ScreenImage, 7);
  blanked_ = false;
  OverlayShownFor = 0;
  RepaintView();
  PaintBox1->update();
  RepaintSwatches();
}

void TTAVOEDTF::BlankForPaletteChange() {
  FillImage(ScreenImage, 255);
  // Until the new palette arrives every area shows the blank screen buffer.
  blanked_ = true;
  OverlayShownFor = 0;
  for (PaintBox* box : {PaintBox1, PaintBox_LEFT, PaintBox_RIGHT}) box->repaint();
}

void TTAVOEDTF::PaintBox1Paint(QPainter& painter, const QRect& exposed) {
  // Presents only: the screen buffer already holds what the user sees.
  if (!ScreenImage.HasPixels()) return;
  const QRect r = exposed.intersected(QRect(0, 0, ScreenImage.ImageWidth(), ScreenImage.ImageHeight()));
  if (r.isEmpty()) return;
  DrawImageRegion(ScreenImage, painter, r.x(), r.y(), r.x(), r.y(), r.width(), r.height(),
                  PaintBox1->AreaWidth(), PaintBox1->AreaHeight());
}

void TTAVOEDTF::PaintSwatch(QPainter& painter, IndexedImage& swatch, int colour) {
  if (blanked_) {
    DrawImageRegion(ScreenImage, painter, 0, 0, 0, 0, 32, 32, 32, 32);
    return;
  }
  if (!swatch.HasPixels()) return;
  FillImage(swatch, static_cast<std::uint8_t>(colour));
  DrawImage(swatch, painter, swatch.ImageWidth(), swatch.ImageHeight());
}

void TTAVOEDTF::RepaintSwatches() {
  PaintBox_LEFT->update();
  PaintBox_RIGHT->update();
}

void TTAVOEDTF::RecreatePictureBuffers() {
  // Work, stamp and undo buffers follow the picture's size and colours.
  const int w = EditImage.ImageWidth(), h = EditImage.ImageHeight();
  for (IndexedImage* image : {&WorkImage, &StampImage, &UndoImage}) {
    if (image->HasPixels() && image->ImageWidth() == w && image->ImageHeight() == h) continue;
    CreateImage(w, h, *image);
    image->colourTable = EditImage.colourTable;
  }
  PictureWidth = w;
  PictureHeight = h;
}

}  // namespace zudizar

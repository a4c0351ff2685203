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
#include "ui/common/file_drop.h"
#include "ui/common/file_names.h"
#include "ui/common/file_progress.h"
#include "ui/common/paint_box.h"
#include "ui/common/recent_files.h"
#include "ui/common/window_settings.h"
#include "ui/edit/text_render.h"

namespace zudizar {

TTAVOEDTF::TTAVOEDTF(App& app)
    : QMainWindow(nullptr),
      app_(app),
      document_(app.session().budget),
      tools_(app.session().tools, &app.textStamper()) {
  setObjectName(QStringLiteral("TAVOEDTF"));
  setWindowTitle(QStringLiteral("編集パレット"));
  QFont font(QStringLiteral("IPAGothic"));
  font.setPixelSize(13);
  setFont(font);
  app_.session().tools.text.font = DescribeFont(font);
  BuildLayout();
  BuildMenu();
  AcceptPictureDrops(
      *this, app_.dialogs(), [this] { return busy_; },
      [this](const std::string& path) {
        if (CloseQuery()) OpenEditFile(path);
      });
  move(-1, 21);
  resize(287, 379);
  Session& session = app_.session();
  connect(&session, &Session::canvasesBlanked, this, [this] { BlankForPaletteChange(); });
  connect(&session, &Session::paletteApplied, this, [this](const PaletteTable& table) { TakeSharedPalette(table); });
  connect(&session, &Session::historyChanged, this, [this] { ReflectHistory(); });
  // The vertical-text item follows the setting, whoever changed it.
  connect(&session, &Session::toolsChanged, this, [this] {
    if (QAction* item = Action(QStringLiteral("MN_TATEGAKI"))) item->setChecked(app_.session().tools.text.vertical);
  });
  connect(&session, &Session::coloursChanged, this, [this] {
    if (!isVisible()) return;
    ui_.PaintBox_LEFT->update();
    ui_.PaintBox_RIGHT->update();
  });
  FormCreate();
}

void TTAVOEDTF::FillBackground(std::uint8_t left, std::uint8_t right, bool horizontal, const SwatchArrangement& order) {
  RunAsStep([&] { zudizar::FillBackground(Picture(), work_, left, right, horizontal, order); });
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
  ui_.PaintBox1 = new PaintBox(area);
  ui_.PaintBox1->setObjectName(QStringLiteral("PaintBox1"));
  ui_.PaintBox1->move(0, 0);
  ui_.PaintBox1->SetAreaSize(kPictureWidth, kPictureHeight);
  ui_.PaintBox1->onPaint = [this](QPainter& p, const QRect& exposed) { PaintBox1Paint(p, exposed); };
  ui_.PaintBox1->onMouseDown = [this](Qt::MouseButton b, int x, int y) { PaintBox1MouseDown(b, x, y); };
  ui_.PaintBox1->onMouseMove = [this](Qt::MouseButton b, int x, int y) { PaintBox1MouseMove(b, x, y); };
  ui_.PaintBox1->onMouseUp = [this](Qt::MouseButton b, int x, int y) { PaintBox1MouseUp(b, x, y); };
  ui_.ScrollBarY = new QScrollBar(Qt::Vertical, area);
  ui_.ScrollBarY->setObjectName(QStringLiteral("ScrollBarY"));
  ui_.ScrollBarY->setGeometry(kPictureWidth, 0, 20, kPictureHeight);
  ui_.ScrollBarX = new QScrollBar(Qt::Horizontal, area);
  ui_.ScrollBarX->setObjectName(QStringLiteral("ScrollBarX"));
  ui_.ScrollBarX->setGeometry(0, kPictureHeight, kPictureWidth, 20);
  for (QScrollBar* bar : {ui_.ScrollBarX, ui_.ScrollBarY}) {
    bar->setRange(0, 0);
    bar->setSingleStep(1);
    bar->setPageStep(8);
    bar->hide();
  }
  connect(ui_.ScrollBarX, &QScrollBar::valueChanged, this, [this] { ScrollBarXChange(); });
  connect(ui_.ScrollBarY, &QScrollBar::valueChanged, this, [this] { ScrollBarYChange(); });
  layout->addWidget(area);
  layout->addStretch(1);

  ui_.Panel1 = new QWidget(central);
  ui_.Panel1->setObjectName(QStringLiteral("Panel1"));
  ui_.Panel1->setFixedHeight(66);
  ui_.Label1 = new QLabel(QStringLiteral("左"), ui_.Panel1);
  ui_.Label1->setObjectName(QStringLiteral("Label1"));
  ui_.Label1->move(208, 0);
  ui_.Label2 = new QLabel(QStringLiteral("右"), ui_.Panel1);
  ui_.Label2->setObjectName(QStringLiteral("Label2"));
  ui_.Label2->move(248, 0);
  ui_.PaintBox_LEFT = new PaintBox(ui_.Panel1);
  ui_.PaintBox_LEFT->setObjectName(QStringLiteral("PaintBox_LEFT"));
  ui_.PaintBox_LEFT->move(200, 24);
  ui_.PaintBox_LEFT->SetAreaSize(32, 32);
  ui_.PaintBox_LEFT->onPaint = [this](QPainter& p, const QRect&) {
    PaintSwatch(p, display_.leftSwatch, app_.session().LeftColour());
  };
  ui_.PaintBox_RIGHT = new PaintBox(ui_.Panel1);
  ui_.PaintBox_RIGHT->setObjectName(QStringLiteral("PaintBox_RIGHT"));
  ui_.PaintBox_RIGHT->move(240, 24);
  ui_.PaintBox_RIGHT->SetAreaSize(32, 32);
  ui_.PaintBox_RIGHT->onPaint = [this](QPainter& p, const QRect&) {
    PaintSwatch(p, display_.rightSwatch, app_.session().RightColour());
  };
  BuildButtons(ui_.Panel1);
  layout->addWidget(ui_.Panel1);
  setCentralWidget(central);
}

void TTAVOEDTF::FormCreate() {
  RestoreWindowPosition(*this, "EDTLeft", "EDTTop");
  document_.SetFileName({});
  recent_->Load();
  display_.viewMode = kViewStandard;
  display_.zoom = 1;
  display_.overlayShownFor = 0;
  ToolSettings& tools = Settings();
  tools.tool = tools.savedTool = kToolFree;
  tools.penCode = 3;
  tools.text.fixedPlace = kTextFree;
  tools.text.text.clear();
  SettingsChanged();
  busy_ = false;
  viewHeld_ = false;
  display_.startFramePosition = display_.startFrameSize = {};
  tools_.Cancel();
  framing_ = moveInCentreView_ = false;
  // The paint area in whole multiples of 16.
  const int areaWidth = ui_.PaintBox1->AreaWidth() / 16 * 16, areaHeight = ui_.PaintBox1->AreaHeight() / 16 * 16;
  CreateImage(areaWidth, areaHeight, display_.magnified);
  CreateImage(areaWidth, areaHeight, display_.screen);
  IndexedImage first;
  CreateImage(areaWidth, areaHeight, first);
  FillImage(first, 255);
  document_.Start(std::move(first), {});
  for (IndexedImage* image : {&stamp_, &work_}) CreateImage(areaWidth, areaHeight, *image);
  CreateImage(ui_.PaintBox_LEFT->AreaWidth(), ui_.PaintBox_LEFT->AreaHeight(), display_.leftSwatch);
  CreateImage(ui_.PaintBox_RIGHT->AreaWidth(), ui_.PaintBox_RIGHT->AreaHeight(), display_.rightSwatch);
  MarkSaved();
  undoEachStroke_ = ReadIntSettingIn("Edit", "UndoEachStroke", 0) != 0;
  Action(QStringLiteral("MN_EDITUNDOSTROKE"))->setChecked(undoEachStroke_);
  ReflectHistory();
  CopyImage(display_.magnified, Picture(), kNoTransparent);
  SetScrollRanges(areaWidth, areaHeight);
  RepaintView();
}

void TTAVOEDTF::FormDestroy() {
  if (destroyed_) return;
  destroyed_ = true;
  busy_ = true;
  try {
    SaveWindowPosition(*this, "EDTLeft", "EDTTop");
    recent_->Save();
  } catch (const SettingsWriteError& error) {
    app_.ShowSettingsError(error);
    return;
  }
  document_.Close();
  for (IndexedImage* image :
       {&work_, &stamp_, &display_.magnified, &display_.screen, &display_.leftSwatch, &display_.rightSwatch})
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
  if (!display_.screen.HasPixels() || !display_.magnified.HasPixels()) return;
  const int areaWidth = ui_.PaintBox1->AreaWidth(), areaHeight = ui_.PaintBox1->AreaHeight();
  if (display_.screen.ImageWidth() != areaWidth || display_.screen.ImageHeight() != areaHeight) {
    CreateImage(areaWidth, areaHeight, display_.screen);
    display_.screen.colourTable = display_.magnified.colourTable;
    display_.overlayShownFor = 0;
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
    setWindowTitle(phase + QString::number(progress->Percent()) + QStringLiteral("% ") +
                   (progressName_.isEmpty() ? ShownName(FileName()) : progressName_));
    // Loads run on this thread: let the caption reach the screen now.
    QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
  }
  return QMainWindow::event(event);
}

void TTAVOEDTF::ShowFileCaption() { setWindowTitle(QStringLiteral("編集ﾊﾟﾚｯﾄ ") + ShownName(FileName())); }

void TTAVOEDTF::TakeSharedPalette(const PaletteTable& table) {
  for (IndexedImage* image : {&Picture(), &work_, &stamp_, &display_.magnified, &display_.screen, &display_.leftSwatch,
                              &display_.rightSwatch})
    TakeFreeEntries(*image, table);
  // The blank screen is replaced by the picture in its new colours; the area
  // beside a small picture gets its grey back too.
  if (display_.blanked) FillImage(display_.screen, 7);
  display_.blanked = false;
  display_.overlayShownFor = 0;
  RepaintView();
  ui_.PaintBox1->update();
  RepaintSwatches();
}

void TTAVOEDTF::BlankForPaletteChange() {
  FillImage(display_.screen, 255);
  // Until the new palette arrives every area shows the blank screen buffer.
  display_.blanked = true;
  display_.overlayShownFor = 0;
  for (PaintBox* box : {ui_.PaintBox1, ui_.PaintBox_LEFT, ui_.PaintBox_RIGHT}) box->repaint();
}

void TTAVOEDTF::PaintBox1Paint(QPainter& painter, const QRect& exposed) {
  // Presents only: the screen buffer already holds what the user sees.
  if (!display_.screen.HasPixels()) return;
  const QRect r = exposed.intersected(QRect(0, 0, display_.screen.ImageWidth(), display_.screen.ImageHeight()));
  if (r.isEmpty()) return;
  DrawImageRegion(display_.screen, painter, r.x(), r.y(), r.x(), r.y(), r.width(), r.height(),
                  ui_.PaintBox1->AreaWidth(), ui_.PaintBox1->AreaHeight());
}

void TTAVOEDTF::PaintSwatch(QPainter& painter, IndexedImage& swatch, int colour) {
  if (display_.blanked) {
    DrawImageRegion(display_.screen, painter, 0, 0, 0, 0, 32, 32, 32, 32);
    return;
  }
  if (!swatch.HasPixels()) return;
  FillImage(swatch, static_cast<std::uint8_t>(colour));
  DrawImage(swatch, painter, swatch.ImageWidth(), swatch.ImageHeight());
}

void TTAVOEDTF::RepaintSwatches() {
  ui_.PaintBox_LEFT->update();
  ui_.PaintBox_RIGHT->update();
}

void TTAVOEDTF::RecreatePictureBuffers() {
  // Work and stamp buffers follow the picture's size and colours.
  const int w = Picture().ImageWidth(), h = Picture().ImageHeight();
  for (IndexedImage* image : {&work_, &stamp_}) {
    if (image->HasPixels() && image->ImageWidth() == w && image->ImageHeight() == h) continue;
    CreateImage(w, h, *image);
    image->colourTable = Picture().colourTable;
  }
}

void TTAVOEDTF::ShowNewPicture() {
  RecreatePictureBuffers();
  SetScrollRanges(Picture().ImageWidth(), Picture().ImageHeight());
  display_.overlayShownFor = 0;
  RepaintView();
}

}  // namespace zudizar

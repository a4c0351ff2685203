#include "ui/main/main_window.h"

#include <QAction>
#include <QCloseEvent>
#include <QCoreApplication>
#include <QFileInfo>
#include <QMenu>
#include <QMenuBar>
#include <QPainter>
#include <QScrollArea>
#include <QScrollBar>
#include <QUrl>
#include <functional>

#include "base/settings.h"
#include "base/trace.h"
#include "core/region.h"
#include "formats/dispatch.h"
#include "palette/palette_load.h"
#include "ui/app/app.h"
#include "ui/colour/colour_window.h"
#include "ui/common/dialogs.h"
#include "ui/common/draw_image.h"
#include "ui/common/file_progress.h"
#include "ui/common/menu_items.h"
#include "ui/common/paint_box.h"
#include "ui/common/recent_files.h"
#include "ui/common/window_settings.h"
#include "ui/edit/edit_window.h"
#include "ui/main/about_box.h"
#include "ui/main/size_dialog.h"
#include "ui/sub/sub_window.h"

namespace zudizar {

namespace {

constexpr int kFrameSizes[] = {24, 32, 48, 64, 96, 128, 192};

}  // namespace

TForm1::TForm1(App& app) : QMainWindow(nullptr), app_(app) {
  setObjectName(QStringLiteral("Form1"));
  setWindowTitle(kMainCaption);
  Scroll = new QScrollArea(this);
  Scroll->setObjectName(QStringLiteral("ScrollBox"));
  Scroll->setWidgetResizable(false);
  Scroll->setAlignment(Qt::AlignLeft | Qt::AlignTop);
  PaintBox1 = new PaintBox;
  PaintBox1->setObjectName(QStringLiteral("PaintBox1"));
  PaintBox1->onPaint = [this](QPainter& p) { PaintBox1Paint(p); };
  PaintBox1->onMouseDown = [this](Qt::MouseButton b, int x, int y) { PaintBox1MouseDown(b, x, y); };
  PaintBox1->onMouseMove = [this](Qt::MouseButton b, int x, int y) { PaintBox1MouseMove(b, x, y); };
  PaintBox1->onMouseUp = [this](Qt::MouseButton b, int x, int y) { PaintBox1MouseUp(b, x, y); };
  PaintBox1->onDoubleClick = [this] { PaintBox1DblClick(); };
  Scroll->setWidget(PaintBox1);
  setCentralWidget(Scroll);
  BuildMenu();
  move(240, 2);
  resize(435, 300);
  FormCreate();
}

QAction* TForm1::Action(const QString& name) const { return findChild<QAction*>(name); }

void TForm1::BuildMenu() {
  QMenuBar* bar = menuBar();
  auto add = [this](QMenu* menu, const char* name, const QString& caption, const char* key = nullptr) {
    return AddMenuItem(this, menu, name, caption, key);
  };
  auto connectPlain = [this](QAction* action, std::function<void()> handler) {
    ConnectHandlerOwnsMark(this, action, std::move(handler));
  };
  auto separator = [this](QMenu* menu, const char* name) { AddMenuSeparator(this, menu, name); };

  QMenu* file = bar->addMenu(QStringLiteral("ﾌｧｲﾙ(&F)"));
  file->setObjectName(QStringLiteral("MN_FILE"));
  connect(add(file, "MN_NEW", QStringLiteral("新規作成(&N)"), "F2"), &QAction::triggered, this, &TForm1::MN_NEWClick);
  connect(add(file, "MN_OPEN", QStringLiteral("開く(&O)"), "F5"), &QAction::triggered, this, &TForm1::MN_OPENClick);
  QMenu* reopen = file->addMenu(QStringLiteral("開き直す(&R)"));
  reopen->setObjectName(QStringLiteral("MN_FILEREOPEN"));
  reopen->menuAction()->setObjectName(QStringLiteral("MN_FILEREOPEN"));
  Recent = new RecentFileList(this, reopen, "Fname");
  Recent->onReopen = [this](int k, const QString&) { MN_FILEREOPENClick(k); };
  connect(add(file, "MN_SAVE", QStringLiteral("上書き保存(&S)"), "F9"), &QAction::triggered, this, &TForm1::MN_SAVEClick);
  connect(add(file, "MN_NEWSAVE", QStringLiteral("名前を付けて保存(&A)"), "F10"), &QAction::triggered, this, &TForm1::MN_NEWSAVEClick);
  // The transfer items set their own check marks through CanvasCommand.
  auto command = [&](const char* name, const QString& caption, const char* key, std::function<void()> handler) {
    QAction* action = add(file, name, caption, key);
    action->setCheckable(true);
    connectPlain(action, std::move(handler));
  };
  command("MN_EDITTOCOPY", QStringLiteral("編集ﾊﾟﾚｯﾄへ複写(&C)"), "Ctrl+C", [this] { StartEditTransfer(1); });
  command("MN_EDITTOCOPYR", QStringLiteral("編集ﾊﾟﾚｯﾄへ複写(&G)縁ｶｯﾄ"), "Ctrl+G", [this] { StartEditTransfer(2); });
  command("MN_EDITTOMOVE", QStringLiteral("編集ﾊﾟﾚｯﾄへ移動(&T)"), "Ctrl+T", [this] { StartEditTransfer(3); });
  command("MN_EDITCOPY", QStringLiteral("編集ﾊﾟﾚｯﾄより複写(&U)"), "Ctrl+U", [this] { CanvasCommand(4); });
  command("MN_EDITCOPYR", QStringLiteral("編集ﾊﾟﾚｯﾄより複写(&Q)縁ｶｯﾄ"), "Ctrl+Q", [this] { CanvasCommand(5); });
  command("MN_SUBCOPY", QStringLiteral("ｻﾌﾞﾊﾟﾚｯﾄと交換(&X)"), "Ctrl+X", [this] { CanvasCommand(8); });
  connect(add(file, "MN_MAINTOCOPY", QStringLiteral("編集ﾊﾟﾚｯﾄより複写位置指定"), "Shift+F5"), &QAction::triggered,
          this, &TForm1::MN_MAINTOCOPYClick);
  connect(add(file, "MN_MAINTOCOPYR", QStringLiteral("編集ﾊﾟﾚｯﾄより複写位置指定縁"), "Shift+F6"), &QAction::triggered,
          this, &TForm1::MN_MAINTOCOPYRClick);
  separator(file, "MN_DUMMY1");
  command("MN_MAINCOPY", QStringLiteral("ﾒｲﾝﾊﾟﾚｯﾄ内複写(&5)"), "Ctrl+F5", [this] { CanvasCommand(21); });
  command("MN_MAINMOVE", QStringLiteral("ﾒｲﾝﾊﾟﾚｯﾄ内移動(&6)"), "Ctrl+F6", [this] { CanvasCommand(22); });
  command("MN_MAINCHANGE", QStringLiteral("ﾒｲﾝﾊﾟﾚｯﾄ内交換(&7)"), "Ctrl+F7", [this] { CanvasCommand(23); });
  connect(add(file, "MN_MAINJIGS", QStringLiteral("ｼﾞｸﾞｿｰﾊﾟｽﾞﾙ"), "Ctrl+F10"), &QAction::triggered, this,
          &TForm1::MN_MAINJIGSClick);
  separator(file, "MN_DUMMY3");
  command("MN_HensyuMode", QStringLiteral("編集ﾓｰﾄﾞ　"), "F8", [this] { MN_HensyuModeClick(); });
  separator(file, "DUMMYXX");
  connect(add(file, "MN_END", QStringLiteral("終了(&E)"), "F3"), &QAction::triggered, this, &TForm1::MN_ENDClick);

  QMenu* frames = bar->addMenu(QStringLiteral("固定枠設定(&T)"));
  frames->setObjectName(QStringLiteral("MN_MODESET"));
  QAction* release = add(frames, "MN_MODERELEASE", QStringLiteral("取り消し"));
  release->setCheckable(true);
  release->setChecked(true);
  connect(release, &QAction::triggered, this, [this] { SetFrame(0); });
  for (int size : kFrameSizes) {
    const QByteArray name = "MN_MODE" + QByteArray::number(size);
    QAction* item = add(frames, name.constData(), QStringLiteral("%1x%1枠").arg(size));
    item->setCheckable(true);
    connect(item, &QAction::triggered, this, [this, size] { SetFrame(size); });
  }
  QAction* centre = add(frames, "MN_MODECENTER", QStringLiteral("中心線"));
  centre->setCheckable(true);
  connect(centre, &QAction::triggered, this, [this] { SetFrame(1); });
  separator(frames, "MN_DUMMY2");
  QAction* halfLeft = add(frames, "MN_MODEHALFLEFT", QStringLiteral("1/2左"));
  halfLeft->setCheckable(true);
  connectPlain(halfLeft, [this] { ToggleHalfOffset(QStringLiteral("MN_MODEHALFLEFT")); });
  QAction* halfUp = add(frames, "MN_MODEHALFUP", QStringLiteral("1/2上"));
  halfUp->setCheckable(true);
  connectPlain(halfUp, [this] { ToggleHalfOffset(QStringLiteral("MN_MODEHALFUP")); });

  QMenu* view = bar->addMenu(QStringLiteral("表示(&V)"));
  view->setObjectName(QStringLiteral("MN_VIEW"));
  QAction* edit = add(view, "MN_EDIT", QStringLiteral("編集ﾊﾟﾚｯﾄ表示(&Y)"), "Ctrl+Y");
  edit->setCheckable(true);
  edit->setChecked(true);
  connectPlain(edit, [this] { MN_EDITClick(); });
  QAction* sub = add(view, "MN_SUB", QStringLiteral("ｻﾌﾞﾊﾟﾚｯﾄ表示(&Z)"), "Ctrl+Z");
  sub->setCheckable(true);
  connectPlain(sub, [this] { MN_SUBClick(); });
  connect(add(view, "MN_ROREZURU", QStringLiteral("ｶﾗｰﾊﾟﾚｯﾄ作成ﾂｰﾙ実行")), &QAction::triggered, this,
          &TForm1::MN_ROREZURUClick);
  connect(add(view, "MN_PALREINIT", QStringLiteral("INI　FILEからｶﾗｰﾊﾟﾚｯﾄの再読込")), &QAction::triggered, this,
          &TForm1::MN_PALREINITClick);
  QMenu* mouse = view->addMenu(QStringLiteral("ﾏｳｽ色変更"));
  mouse->setObjectName(QStringLiteral("MN_MouseColor"));
  mouse->menuAction()->setObjectName(QStringLiteral("MN_MouseColor"));
  connect(add(mouse, "MN_COLORNEXT", QStringLiteral("次の色"), "Ctrl+N"), &QAction::triggered, this,
          [this] { app_.colour().StepColoursForward(); });
  connect(add(mouse, "MN_COLORBACK", QStringLiteral("前の色"), "Ctrl+B"), &QAction::triggered, this,
          [this] { app_.colour().StepColoursBack(); });

  auto* confirm = new QAction(QStringLiteral("確定(&R)"), this);
  confirm->setObjectName(QStringLiteral("MN_REAL"));
  confirm->setShortcut(QKeySequence(QStringLiteral("Ctrl+R")));
  connect(confirm, &QAction::triggered, this, &TForm1::MN_REALClick);
  bar->addAction(confirm);

  QMenu* help = bar->addMenu(QStringLiteral("ﾍﾙﾌﾟ(&H)"));
  help->setObjectName(QStringLiteral("MN_HELP"));
  connect(add(help, "MN_HELPEX", QStringLiteral("ﾍﾙﾌﾟ(&H)"), "F1"), &QAction::triggered, this, &TForm1::MN_HELPEXClick);
  connect(add(help, "MN_VERSION", QStringLiteral("ﾊﾞｰｼﾞｮﾝ情報(&V)")), &QAction::triggered, this, &TForm1::MN_VERSIONClick);
}

void TForm1::FormCreate() {
  const std::string programFile = app_.ProgramFile().toStdString();
  StartTrace(programFile);
  InitSharedPalette();
  LeftColour = 249;
  RightColour = 252;
  WindowProgressSink sink(this);
  FileReport report;
  LoadStartupPalette(&report, &sink);
  ShowFileReport(this, app_.dialogs(), report);
  Palette = GetPendingPalette(PaletteCopy);
  SetCurrentPalette(PaletteCopy, Palette);

  RestoreWindowGeometry(*this, "CutLeft", "CutTop", "CutWidth", "CutHeight");

  CurrentFileName.clear();
  Recent->Load();
  ResizePaintBox(640, 400);
  for (IndexedImage* image : {&ViewImage, &DisplayImage, &BackupImage, &PictureImage, &PieceImage, &ToolImage})
    CreateImage(PaintBox1->AreaWidth(), PaintBox1->AreaHeight(), *image);
  FillImage(PictureImage, 255);
  CopyImage(ViewImage, PictureImage, kNoTransparent);
  CopyImage(PieceImage, PictureImage, kNoTransparent);
  CopyImage(ToolImage, PictureImage, kNoTransparent);

  FrameSize = 0;
  DrawnFrameSize = 0;
  PositionX = PositionY = 0;
  Mode = 0;
  BackgroundMode = 0;
  Busy = false;
  RegionWidth = 256;
  RegionHeight = 240;
  PaintEnabled = true;
  Modified = false;
  ComposeAll();
}

bool TForm1::CloseQuery() {
  if (!Modified) return true;
  const BoxAnswer answer = app_.dialogs().MessageBox(
      this, QStringLiteral("描画域が更新されています、内容を保存しますか？"), QStringLiteral("確認メッセージ"),
      BoxButtons::YesNoCancel, BoxIcon::Information);
  if (answer == BoxAnswer::Cancel) return false;
  if (answer == BoxAnswer::Yes) {
    MN_SAVEClick();
    // A failed or abandoned save has shown why; the collage stays open.
    return !Modified;
  }
  return true;
}

void TForm1::FormDestroy() {
  if (destroyed_) return;
  destroyed_ = true;
  Busy = true;
  try {
    WriteSetting("CutLeft", std::to_string(x()));
    WriteSetting("CutTop", std::to_string(y()));
    WriteSetting("CutWidth", std::to_string(width()));
    WriteSetting("CutHeight", std::to_string(height()));
    Recent->Save();
  } catch (const SettingsWriteError& error) {
    app_.ShowSettingsError(error);
    return;
  }
  for (IndexedImage* image : {&PieceImage, &ToolImage, &PictureImage, &BackupImage, &DisplayImage, &ViewImage})
    FreeImage(*image);
  Palette.reset();
}

void TForm1::closeEvent(QCloseEvent* event) {
  // A close that arrives while a load or save is running waits for it.
  if (Busy || !CloseQuery()) {
    event->ignore();
    return;
  }
  app_.Shutdown();
  event->accept();
  QCoreApplication::quit();
}

void TForm1::resizeEvent(QResizeEvent* event) {
  QMainWindow::resizeEvent(event);
  FormResize();
}

void TForm1::FormResize() {
  if (!PaintEnabled || !PictureImage.HasPixels()) return;
  // The screen buffer holds previews; it is rebuilt only when its size is wrong.
  if (DisplayImage.ImageWidth() == PictureImage.ImageWidth() &&
      DisplayImage.ImageHeight() == PictureImage.ImageHeight() && DisplayImage.HasPixels())
    return;
  CreateImage(PictureImage.ImageWidth(), PictureImage.ImageHeight(), DisplayImage);
  if (blanked_) FillImage(DisplayImage, 255);
  else ComposeAll();
}

// Presents the exposed rectangle of the screen buffer; composition happens
// where the buffers change, never here, so an expose keeps every preview.
void TForm1::PaintBox1Paint(QPainter& painter) {
  if (!DisplayImage.HasPixels()) return;
  // The blank display is drawn even while busy: it is what a palette load shows.
  if (!blanked_ && (Busy || !PaintEnabled)) return;
  PaintEnabled = false;
  const QRect r = PaintBox1->ExposedRect();
  DrawImageRegion(DisplayImage, painter, r.x(), r.y(), r.x(), r.y(), r.width(), r.height(),
                  PaintBox1->AreaWidth(), PaintBox1->AreaHeight());
  PaintEnabled = true;
}

void TForm1::ApplyPalette() {
  Palette = GetPendingPalette(PaletteCopy);
  SetCurrentPalette(PaletteCopy, Palette);
  for (IndexedImage* image : {&ViewImage, &DisplayImage, &PictureImage, &BackupImage})
    for (int i = kFirstFreeEntry; i <= kLastFreeEntry; ++i)
      image->colourTable[i] = {PaletteCopy[i].blue, PaletteCopy[i].green, PaletteCopy[i].red, 0};
  if (app_.Started()) {
    app_.edit().TakeSharedPalette(PaletteCopy);
    app_.sub().TakeSharedPalette(PaletteCopy);
    app_.colour().TakeSharedPalette(PaletteCopy);
  }
  blanked_ = false;
  ComposeAll();
}

void TForm1::BlankAllCanvases() {
  FillImage(DisplayImage, 255);
  // The blank display also invalidates any composed frame grid.
  DrawnFrameSize = 0;
  blanked_ = true;
  PaintBox1->repaint();
  if (app_.Started()) {
    app_.edit().BlankForPaletteChange();
    app_.sub().BlankForPaletteChange();
    app_.colour().BlankForPaletteChange();
  }
}

int TForm1::ScrollX() const {
  const QScrollBar* bar = Scroll->horizontalScrollBar();
  return bar->isVisible() ? bar->value() : 0;
}

int TForm1::ScrollY() const {
  const QScrollBar* bar = Scroll->verticalScrollBar();
  return bar->isVisible() ? bar->value() : 0;
}

void TForm1::ResizePaintBox(int width, int height) {
  PaintEnabled = false;
  PaintBox1->SetAreaSize(width, height);
  PaintEnabled = true;
}

void TForm1::ResetScroll() {
  Scroll->horizontalScrollBar()->setValue(0);
  Scroll->verticalScrollBar()->setValue(0);
}

bool TForm1::event(QEvent* event) {
  if (event->type() == WM_FILEPROGRESS) {
    const auto* progress = static_cast<FileProgressEvent*>(event);
    QString phase;
    switch (progress->Phase()) {
      case 0: phase = QStringLiteral("ﾛｰﾄﾞ準備 "); break;
      case 1: phase = QStringLiteral("ﾃﾞｰﾀﾛｰﾄﾞ "); break;
      default: phase = QStringLiteral("ﾊﾟﾚｯﾄ減色 "); break;
    }
    setWindowTitle(phase + QString::number(progress->Percent()) + QStringLiteral("% ") + CurrentFileName);
    // Loads run on this thread: let the new caption reach the screen now,
    // without taking user input in the middle of the load.
    QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
  }
  return QMainWindow::event(event);
}

// ---- file commands ----

void TForm1::MN_OPENClick() {
  const auto path = app_.dialogs().OpenFileName(this, kPictureOpenFilter);
  if (!path) return;
  OpenPictureFile(*path);
}

void TForm1::OpenPictureFile(const QString& path) {
  if (!QFileInfo(path).isFile()) return;
  // A picture that cannot be loaded keeps the file name and caption the canvas
  // had, so that Save never writes over the file that failed.
  const QString previousName = CurrentFileName;
  const QString previousTitle = windowTitle();
  setWindowTitle(path);
  Busy = true;
  // Kept so that a picture that cannot be loaded leaves canvas and colours as they were.
  const PaletteTable previousCurrent = SharedPalette.current;

  BlankAllCanvases();
  WindowProgressSink sink(this);
  // One read and one decode: the palette step's colours go on to the picture step.
  OpenedPicture opened;
  ReadPictureForOpen(path.toStdString(), opened);
  FileReport paletteReport;
  MergeOpenedColours(opened, &paletteReport, &sink);
  ShowFileReport(this, app_.dialogs(), paletteReport);
  ApplyPalette();
  ApplyPalette();

  IndexedImage loaded;
  FileReport pictureReport;
  const bool ok = MapOpenedPicture(opened, loaded, &pictureReport, &sink) && loaded.HasPixels();
  ShowFileReport(this, app_.dialogs(), pictureReport);
  if (ok) {
    PictureImage = std::move(loaded);
    for (IndexedImage* image : {&ViewImage, &DisplayImage, &BackupImage})
      CreateImage(PictureImage.ImageWidth(), PictureImage.ImageHeight(), *image);
    CopyImage(ViewImage, PictureImage, kNoTransparent);
    RecreateWorkBuffers();
    ResetScroll();
    ResizePaintBox(PictureImage.ImageWidth(), PictureImage.ImageHeight());
    Modified = false;
    CurrentFileName = path;
    Recent->Add(path);
  } else {
    SharedPalette.pending = previousCurrent;
    ApplyPalette();
    RealizeSharedPalette();
    ApplyPalette();
    DrawnFrameSize = 0;
    if (paletteReport.Empty() && pictureReport.Empty())
      app_.dialogs().MessageBox(this, QStringLiteral("%1 を開けませんでした。").arg(path),
                                QStringLiteral("ﾌｧｲﾙのﾛｰﾄﾞ失敗"), BoxButtons::Ok, BoxIcon::Information);
  }
  Busy = false;
  setWindowTitle(ok ? path : previousTitle);
  if (!ok) CurrentFileName = previousName;
  ComposeAll();
}

void TForm1::MN_FILEREOPENClick(int k) {
  const QString path = Recent->Path(k);
  if (path.isEmpty()) return;
  OpenPictureFile(path);
}

void TForm1::MN_SAVEClick() {
  if (CurrentFileName.isEmpty()) {
    MN_NEWSAVEClick();
    return;
  }
  WindowProgressSink sink(this);
  FileReport report;
  const bool saved = SavePictureFile(CurrentFileName.toStdString(), PictureImage, &report, &sink);
  ShowFileReport(this, app_.dialogs(), report);
  if (saved) {
    Modified = false;
    setWindowTitle(CurrentFileName + QStringLiteral(" 保存終了 "));
    return;
  }
  // A failed save keeps the modified flag and says so.
  setWindowTitle(QStringLiteral("ﾒｲﾝﾊﾟﾚｯﾄ ") + CurrentFileName);
  if (report.Empty())
    app_.dialogs().MessageBox(this, QStringLiteral("%1 に保存できませんでした。").arg(CurrentFileName),
                              QStringLiteral("保存エラー"), BoxButtons::Ok, BoxIcon::Error);
}

void TForm1::MN_NEWSAVEClick() {
  const auto chosen = app_.dialogs().SaveFileName(this, kPictureSaveFilter);
  if (!chosen) return;
  const QString path = WithSaveExtension(*chosen);
  CurrentFileName = path;
  setWindowTitle(QStringLiteral("ﾒｲﾝﾊﾟﾚｯﾄ ") + CurrentFileName);
  MN_SAVEClick();
}

void TForm1::MN_NEWClick() {
  Busy = true;
  if (app_.dialogs().Exec(app_.sizeDialog()) == QDialog::Accepted) {
    const int width = app_.sizeDialog().Width;
    const int height = app_.sizeDialog().Height;
    if (app_.dialogs().MessageBox(this, QStringLiteral("カラーパレットを変更しますか。"),
                                  QStringLiteral("色パレット選択"), BoxButtons::OkCancel,
                                  BoxIcon::Question) == BoxAnswer::Ok) {
      if (const auto path = app_.dialogs().OpenFileName(this, kPictureOpenFilter)) {
        CurrentFileName = *path;
        BlankAllCanvases();
        WindowProgressSink sink(this);
        FileReport report;
        LoadPaletteFromPicture(path->toStdString(), &report, &sink);
        ShowFileReport(this, app_.dialogs(), report);
        ApplyPalette();
        ApplyPalette();
      }
    }
    CurrentFileName.clear();
    FreeImage(ViewImage);
    ResizePaintBox(width, height);
    for (IndexedImage* image : {&ViewImage, &DisplayImage, &BackupImage, &PictureImage})
      CreateImage(width, height, *image);
    FillImage(PictureImage, 255);
    CopyImage(ViewImage, PictureImage, kNoTransparent);
    RecreateWorkBuffers();
    Modified = false;
    if (app_.dialogs().MessageBox(this, QStringLiteral("背景色を設定しますか。"), QStringLiteral("背景色選択"),
                                  BoxButtons::OkCancel, BoxIcon::Question) == BoxAnswer::Ok) {
      BackgroundMode = 1;
      app_.colour().ShowWindow();
    }
    ResetScroll();
  }
  Busy = false;
  ComposeAll();
}

void TForm1::MN_ROREZURUClick() {
  if (!app_.StartProgram(QStringLiteral("ROREZURU.EXE")))
    app_.dialogs().MessageBox(this, QStringLiteral("ｶﾗｰﾊﾟﾚｯﾂ作成ﾂｰﾙを実行出来ませんでした"),
                              QStringLiteral("呼び出しエラー"), BoxButtons::Ok, BoxIcon::Information);
}

void TForm1::MN_PALREINITClick() {
  BlankAllCanvases();
  WindowProgressSink sink(this);
  for (int pass = 0; pass < 2; ++pass) {
    FileReport report;
    LoadStartupPalette(&report, &sink);
    ShowFileReport(this, app_.dialogs(), report);
    ApplyPalette();
  }
}

// ---- window commands ----

namespace {
// A checked item hides its window and loses the mark; otherwise it shows it.
void ToggleWindow(QAction* item, QWidget& window) {
  const bool show = !item->isChecked();
  window.setVisible(show);
  item->setChecked(show);
}
}  // namespace

void TForm1::MN_EDITClick() { ToggleWindow(Action(QStringLiteral("MN_EDIT")), app_.edit()); }

void TForm1::MN_SUBClick() { ToggleWindow(Action(QStringLiteral("MN_SUB")), app_.sub()); }

void TForm1::MN_HELPEXClick() {
  QString path = QString::fromStdString(ProgramFolder()) + kHelpFileName;
  if (!QFileInfo(path).isFile()) path = QCoreApplication::applicationDirPath() + QLatin1Char('/') + kHelpFileName;
  if (!QFileInfo(path).isFile() || !app_.OpenUrl(QUrl::fromLocalFile(path)))
    app_.dialogs().MessageBox(this, QStringLiteral("ﾍﾙﾌﾟﾌｧｲﾙ %1 を表示できません").arg(path),
                              QStringLiteral("ﾍﾙﾌﾟ"), BoxButtons::Ok, BoxIcon::Information);
}

void TForm1::MN_VERSIONClick() { app_.dialogs().Exec(app_.about()); }

void TForm1::MN_ENDClick() { close(); }

// ---- fixed frames ----

void TForm1::SetFrame(int size) {
  Action(QStringLiteral("MN_MODERELEASE"))->setChecked(size == 0);
  for (int s : kFrameSizes) Action(QStringLiteral("MN_MODE%1").arg(s))->setChecked(size == s);
  Action(QStringLiteral("MN_MODECENTER"))->setChecked(size == 1);
  FrameSize = size;
  DropCellDrag();
  ComposeAll();
}

void TForm1::ToggleHalfOffset(const QString& item) {
  QAction* action = Action(item);
  action->setChecked(!action->isChecked());
  DropCellDrag();
  ComposeAll();
}

}  // namespace zudizar

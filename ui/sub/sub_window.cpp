#include "ui/sub/sub_window.h"

#include <QAction>
#include <QCoreApplication>
#include <QFileInfo>
#include <QHideEvent>
#include <QMenu>
#include <QMenuBar>
#include <QPaintEvent>
#include <QPainter>
#include <QScrollArea>
#include <QScrollBar>
#include <functional>

#include "base/settings.h"
#include "core/limits.h"
#include "core/pick_outline.h"
#include "core/region.h"
#include "formats/dispatch.h"
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
#include "ui/main/main_window.h"
#include "ui/main/size_dialog.h"

namespace zudizar {

namespace {

constexpr int kFrameSizes[] = {24, 32, 48, 64, 96, 128, 192};
constexpr std::uint8_t kOutlineColour = 248;

const QString kPickConfirmPrompt = QStringLiteral("確定をマウスクリックして下さい");

QRect ToQRect(const Rect& r) { return {r.x, r.y, r.width, r.height}; }

}  // namespace

// Presents only the exposed part of the composed screen buffer: an expose
// or a scroll never recomposes and never wipes the pick outline.
class SubPaintBox : public PaintBox {
 public:
  explicit SubPaintBox(TTAVOSUBF& owner) : owner_(owner) {}

 protected:
  void paintEvent(QPaintEvent* event) override {
    QPainter painter(this);
    for (const QRect& r : event->region()) owner_.PaintBox1Paint(painter, r);
  }

 private:
  TTAVOSUBF& owner_;
};

TTAVOSUBF::TTAVOSUBF(App& app) : QMainWindow(nullptr), app_(app) {
  setObjectName(QStringLiteral("TAVOSUBF"));
  setWindowTitle(QStringLiteral("ﾐﾗﾙｶ貼り絵ｻﾌﾞﾊﾟﾚｯﾄ"));
  Scroll = new QScrollArea(this);
  Scroll->setObjectName(QStringLiteral("ScrollBox"));
  Scroll->setWidgetResizable(false);
  Scroll->setAlignment(Qt::AlignLeft | Qt::AlignTop);
  PaintBox1 = new SubPaintBox(*this);
  PaintBox1->setObjectName(QStringLiteral("PaintBox1"));
  PaintBox1->SetAreaSize(640, 400);
  PaintBox1->onMouseDown = [this](Qt::MouseButton b, int x, int y) { PaintBox1MouseDown(b, x, y); };
  PaintBox1->onMouseMove = [this](Qt::MouseButton b, int x, int y) { PaintBox1MouseMove(b, x, y); };
  PaintBox1->onMouseUp = [this](Qt::MouseButton b, int x, int y) { PaintBox1MouseUp(b, x, y); };
  PaintBox1->onDoubleClick = [this] { PaintBox1DblClick(); };
  Scroll->setWidget(PaintBox1);
  setCentralWidget(Scroll);
  BuildMenu();
  move(288, 301);
  resize(435, 272);
  FormCreate();
}

QAction* TTAVOSUBF::Action(const QString& name) const { return findChild<QAction*>(name); }

void TTAVOSUBF::BuildMenu() {
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
  connectPlain(add(file, "MN_NEW", QStringLiteral("新規作成(&N)"), "F2"), [this] { MN_NEWClick(); });
  connectPlain(add(file, "MN_OPEN", QStringLiteral("開く(&O)"), "F5"), [this] { MN_OPENClick(); });
  QMenu* reopen = file->addMenu(QStringLiteral("開き直す(&R)"));
  reopen->setObjectName(QStringLiteral("MN_FILEREOPEN"));
  reopen->menuAction()->setObjectName(QStringLiteral("MN_FILEREOPEN"));
  Recent = new RecentFileList(this, reopen, "Sname");
  Recent->onReopen = [this](int k, const QString&) { MN_FILEREOPENClick(k); };
  connectPlain(add(file, "MN_SAVE", QStringLiteral("上書き保存(&S)"), "F9"), [this] { MN_SAVEClick(); });
  connectPlain(add(file, "MN_NEWSAVE", QStringLiteral("名前を付けて保存(&A)"), "F10"), [this] { MN_NEWSAVEClick(); });
  QAction* copy = add(file, "MN_EDITCOPY", QStringLiteral("編集ﾊﾟﾚｯﾄへ複写(&S)"), "Ctrl+S");
  QAction* copyR = add(file, "MN_EDITCOPYR", QStringLiteral("編集ﾊﾟﾚｯﾄへ複写(&O)縁ｶｯﾄ"), "Ctrl+O");
  QAction* exchange = add(file, "MN_MAINCOPY", QStringLiteral("ﾒｲﾝﾊﾟﾚｯﾄと交換(&X)"), "Ctrl+X");
  for (QAction* item : {copy, copyR, exchange}) item->setCheckable(true);
  connectPlain(copy, [this] { MN_EDITCOPYClick(); });
  connectPlain(copyR, [this] { MN_EDITCOPYRClick(); });
  connectPlain(exchange, [this] { MN_MAINCOPYClick(); });
  separator(file, "MN_DUMMY1");
  connectPlain(add(file, "MN_HIDE", QStringLiteral("閉じる(&C)"), "F3"), [this] { MN_HIDEClick(); });

  QMenu* frames = bar->addMenu(QStringLiteral("固定枠設定(&T)"));
  frames->setObjectName(QStringLiteral("MN_MODESET"));
  QAction* release = add(frames, "MN_MODERELEASE", QStringLiteral("取り消し"));
  release->setCheckable(true);
  release->setChecked(true);
  connectPlain(release, [this] { SetFrame(0); });
  for (int size : kFrameSizes) {
    const QByteArray name = "MN_MODE" + QByteArray::number(size);
    QAction* item = add(frames, name.constData(), QStringLiteral("%1x%1枠").arg(size));
    item->setCheckable(true);
    connectPlain(item, [this, size] { SetFrame(size); });
  }
  QAction* centre = add(frames, "MN_MODECENTER", QStringLiteral("中心線"));
  centre->setCheckable(true);
  connectPlain(centre, [this] { SetFrame(1); });
  separator(frames, "MN_DUMMY2");
  for (const char* name : {"MN_MODEHALFLEFT", "MN_MODEHALFUP"}) {
    QAction* half = add(frames, name, QString::fromUtf8(name[11] == 'L' ? "1/2左" : "1/2上"));
    half->setCheckable(true);
    const QString item = QString::fromLatin1(name);
    connectPlain(half, [this, item] { ToggleHalfOffset(item); });
  }

  auto* confirm = new QAction(QStringLiteral("確定(&R)"), this);
  confirm->setObjectName(QStringLiteral("MN_REAL"));
  confirm->setShortcut(QKeySequence(QStringLiteral("Ctrl+R")));
  confirm->setShortcutContext(Qt::WindowShortcut);
  connect(confirm, &QAction::triggered, this, &TTAVOSUBF::MN_REALClick);
  bar->addAction(confirm);
  // A title in the menu bar: it names the window and does nothing.
  auto* title = new QAction(QStringLiteral("サブパレット"), this);
  title->setObjectName(QStringLiteral("MN_TITLE"));
  bar->addAction(title);
}

// ---- life cycle and settings ----

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
  CopyImage(SubDisplayImage, SubViewImage, kNoTransparent);
  FrameSize = 0;
  TransferMode = 0;
  PickRect = {0, 0, 1, 1};
}

// One measure in both places: the size restored at start is the size written,
// so the window does not grow by its frame at every start.
void TTAVOSUBF::SaveGeometry() {
  SaveWindowPosition(*this, "SUBLeft", "SUBTop");
  WriteSetting("SUBWidth", std::to_string(width()));
  WriteSetting("SUBHeight", std::to_string(height()));
}

void TTAVOSUBF::FormDestroy() {
  if (destroyed_) return;
  destroyed_ = true;
  try {
    SaveGeometry();
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
    SaveGeometry();
  } catch (const SettingsWriteError& error) {
    app_.ShowSettingsError(error);
  }
}

void TTAVOSUBF::hideEvent(QHideEvent* event) {
  QMainWindow::hideEvent(event);
  if (!event->spontaneous()) FormHide();
}

bool TTAVOSUBF::event(QEvent* event) {
  if (event->type() == WM_FILEPROGRESS) {
    const auto* progress = static_cast<FileProgressEvent*>(event);
    const QString phase = progress->Phase() == 0 ? QStringLiteral("Prev ") : QStringLiteral("Conv ");
    const QString& name = progressName_.isEmpty() ? FileName : progressName_;
    setWindowTitle(phase + QString::number(progress->Percent()) + QStringLiteral("% ") + name);
    // Loads run on this thread: let the caption reach the screen now,
    // without taking user input in the middle of the load.
    QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
  }
  return QMainWindow::event(event);
}

// ---- palette ----

void TTAVOSUBF::TakeSharedPalette(const PaletteTable& table) {
  for (IndexedImage* image : {&SubPictureImage, &SubViewImage, &SubDisplayImage})
    for (int i = kFirstFreeEntry; i <= kLastFreeEntry; ++i)
      image->colourTable[i] = {table[i].blue, table[i].green, table[i].red, 0};
  ResetFrameCache();
  RepaintView();
}

void TTAVOSUBF::BlankForPaletteChange() {
  FillImage(SubDisplayImage, 255);
  shownOutline_ = {};
  ResetFrameCache();
  PaintBox1->repaint();
}

// ---- compose, then present ----

void TTAVOSUBF::RepaintView() {
  if (Busy || !SubViewImage.HasPixels() || !SubDisplayImage.HasPixels()) return;
  const bool halfLeft = Action(QStringLiteral("MN_MODEHALFLEFT"))->isChecked();
  const bool halfUp = Action(QStringLiteral("MN_MODEHALFUP"))->isChecked();
  if (FrameSize == 0) {
    CopyImage(SubDisplayImage, SubViewImage, kNoTransparent);
    shownOutline_ = {};
  } else if (FrameSize != drawnFrameSize_ || halfLeft != drawnHalfLeft_ || halfUp != drawnHalfUp_) {
    CopyImage(SubDisplayImage, SubViewImage, kNoTransparent);
    // The sub palette's half offsets stop one pixel short of the main palette's.
    DrawFrameGrid(SubDisplayImage, halfLeft ? FrameSize / 2 - 1 : 0, halfUp ? FrameSize / 2 - 1 : 0, FrameSize,
                  kOutlineColour, SubPictureImage.ImageWidth(), SubPictureImage.ImageHeight());
    drawnFrameSize_ = FrameSize;
    drawnHalfLeft_ = halfLeft;
    drawnHalfUp_ = halfUp;
    shownOutline_ = {};
  }
  PaintBox1->update();
}

void TTAVOSUBF::RefreshView() {
  ResetFrameCache();
  shownOutline_ = {};
  CopyImage(SubDisplayImage, SubViewImage, kNoTransparent);
  RepaintView();
}

void TTAVOSUBF::PaintBox1Paint(QPainter& painter, const QRect& exposed) {
  if (Busy || !PaintEnabled || !SubViewImage.HasPixels()) return;
  PaintEnabled = false;
  DrawImageRegion(SubDisplayImage, painter, exposed.x(), exposed.y(), exposed.x(), exposed.y(), exposed.width(),
                  exposed.height(), PaintBox1->AreaWidth(), PaintBox1->AreaHeight());
  PaintEnabled = true;
}

void TTAVOSUBF::ResizePaintBox(int width, int height) {
  PaintEnabled = false;
  PaintBox1->SetAreaSize(width, height);
  PaintEnabled = true;
}

void TTAVOSUBF::ResetScroll() {
  Scroll->horizontalScrollBar()->setValue(0);
  Scroll->verticalScrollBar()->setValue(0);
}

// ---- frames ----

void TTAVOSUBF::SetFrame(int size) {
  Action(QStringLiteral("MN_MODERELEASE"))->setChecked(size == 0);
  for (int s : kFrameSizes) Action(QStringLiteral("MN_MODE%1").arg(s))->setChecked(size == s);
  Action(QStringLiteral("MN_MODECENTER"))->setChecked(size == 1);
  FrameSize = size;
  RepaintView();
}

void TTAVOSUBF::ToggleHalfOffset(const QString& item) {
  QAction* action = Action(item);
  action->setChecked(!action->isChecked());
  RepaintView();
}

// ---- files ----

void TTAVOSUBF::MN_NEWClick() {
  Busy = true;
  if (app_.dialogs().Exec(app_.sizeDialog()) == QDialog::Accepted) {
    const int width = app_.sizeDialog().Width;
    const int height = app_.sizeDialog().Height;
    IndexedImage picture, view, display;
    // A size the picture limits refuse counts as Cancel: the picture stays.
    if (ImageSizeAllowed(width, height)) {
      if (CreateImage(width, height, picture) && CreateImage(width, height, view) &&
          CreateImage(width, height, display)) {
        FileName.clear();
        ResizePaintBox(width, height);
        SubPictureImage = std::move(picture);
        SubViewImage = std::move(view);
        SubDisplayImage = std::move(display);
        FillImage(SubPictureImage, 255);
        CopyImage(SubViewImage, SubPictureImage, kNoTransparent);
        CopyImage(SubDisplayImage, SubViewImage, kNoTransparent);
        shownOutline_ = {};
        if (app_.dialogs().MessageBox(this, QStringLiteral("背景色を設定しますか。"), QStringLiteral("背景色選択"),
                                      BoxButtons::OkCancel, BoxIcon::Question) == BoxAnswer::Ok) {
          app_.main().BackgroundMode = 2;
          app_.colour().ShowWindow();
        }
        ResetScroll();
      } else {
        app_.ShowError(QStringLiteral("%1 x %2 の画像を作るメモリがありません").arg(width).arg(height));
      }
    }
  }
  Busy = false;
  ResetFrameCache();
  RepaintView();
}

void TTAVOSUBF::MN_OPENClick() {
  const auto path = app_.dialogs().OpenFileName(this, kPictureOpenFilter);
  if (path) OpenSubFile(*path);
}

void TTAVOSUBF::OpenSubFile(const QString& path) {
  if (!QFileInfo(path).isFile()) return;
  const QString caption = windowTitle();
  Busy = true;
  progressName_ = path;
  WindowProgressSink sink(this);
  FileReport report;
  IndexedImage loaded, view, display;
  bool ok = LoadPictureFile(path.toStdString(), loaded, &report, &sink) && loaded.HasPixels();
  if (ok) {
    ok = CreateImage(loaded.ImageWidth(), loaded.ImageHeight(), view) &&
         CreateImage(loaded.ImageWidth(), loaded.ImageHeight(), display);
    if (!ok) report.Add("画像を表示するメモリがありません", "ﾌｧｲﾙのﾛｰﾄﾞ失敗", MessageKind::Error);
  }
  ShowFileReport(this, app_.dialogs(), report);
  progressName_.clear();
  if (ok) {
    // Only a picture that opened takes the window's name and the list's top.
    SubPictureImage = std::move(loaded);
    SubViewImage = std::move(view);
    SubDisplayImage = std::move(display);
    CopyImage(SubViewImage, SubPictureImage, kNoTransparent);
    CopyImage(SubDisplayImage, SubViewImage, kNoTransparent);
    shownOutline_ = {};
    ResetFrameCache();
    ResetScroll();
    ResizePaintBox(SubPictureImage.ImageWidth(), SubPictureImage.ImageHeight());
    FileName = path;
    setWindowTitle(kSubCaptionPrefix + path);
    Recent->Add(path);
  } else {
    setWindowTitle(caption);
    if (report.Empty())
      app_.dialogs().MessageBox(this, QStringLiteral("%1 を開けませんでした。").arg(path),
                                QStringLiteral("ﾌｧｲﾙのﾛｰﾄﾞ失敗"), BoxButtons::Ok, BoxIcon::Information);
  }
  Busy = false;
  RepaintView();
}

void TTAVOSUBF::MN_FILEREOPENClick(int k) {
  const QString path = Recent->Path(k);
  if (!path.isEmpty()) OpenSubFile(path);
}

void TTAVOSUBF::MN_SAVEClick() {
  if (FileName.isEmpty()) {
    MN_NEWSAVEClick();
    return;
  }
  WindowProgressSink sink(this);
  FileReport report;
  progressName_ = FileName;
  const bool saved = SavePictureFile(FileName.toStdString(), SubPictureImage, &report, &sink);
  ShowFileReport(this, app_.dialogs(), report);
  progressName_.clear();
  // Progress captions end with the window's name again.
  setWindowTitle(kSubCaptionPrefix + FileName);
  if (!saved && report.Empty())
    app_.dialogs().MessageBox(this, QStringLiteral("%1 に保存できませんでした。").arg(FileName),
                              QStringLiteral("保存エラー"), BoxButtons::Ok, BoxIcon::Error);
}

void TTAVOSUBF::MN_NEWSAVEClick() {
  const auto chosen = app_.dialogs().SaveFileName(this, kPictureSaveFilter);
  if (!chosen || chosen->isEmpty()) return;
  const QString path = WithSaveExtension(*chosen);
  FileName = path;
  setWindowTitle(kSubCaptionPrefix + FileName);
  MN_SAVEClick();
}

// ---- window ----

void TTAVOSUBF::MN_HIDEClick() {
  app_.main().Action(QStringLiteral("MN_SUB"))->setChecked(false);
  hide();
}

// ---- transfers to the edit palette ----

void TTAVOSUBF::UncheckTransferItems() {
  for (const char* name : {"MN_EDITCOPY", "MN_EDITCOPYR", "MN_MAINCOPY"})
    Action(QString::fromLatin1(name))->setChecked(false);
}

int TTAVOSUBF::TransferTransparent() const {
  // Edge cut leaves out the colour of the whole picture's corners.
  return TransferMode == 7 ? BackgroundColour(SubPictureImage) : kNoTransparent;
}

void TTAVOSUBF::StartSubTransfer(int mode) {
  if (mode == 0) {
    PaintBox1DblClick();
    return;
  }
  if (mode != 6 && mode != 7) return;
  TransferMode = mode;
  Action(QStringLiteral("MN_EDITCOPY"))->setChecked(mode == 6);
  Action(QStringLiteral("MN_EDITCOPYR"))->setChecked(mode == 7);
  Action(QStringLiteral("MN_MAINCOPY"))->setChecked(false);
  Tracking = false;
  // Until the first click the piece is the one at the top-left of the view,
  // so a confirm right away copies a defined region.
  const IndexedImage& edit = app_.edit().EditImage;
  const Point at = ClampToPicture({Scroll->horizontalScrollBar()->value(), Scroll->verticalScrollBar()->value()},
                                  SubPictureImage.ImageWidth(), SubPictureImage.ImageHeight());
  PickRect = {at.x, at.y, std::max(edit.ImageWidth(), 1), std::max(edit.ImageHeight(), 1)};
  ResetFrameCache();
  CopyImage(SubDisplayImage, SubViewImage, kNoTransparent);
  shownOutline_ = {};
  RepaintView();
}

void TTAVOSUBF::PickAt(int x, int y) {
  const IndexedImage& edit = app_.edit().EditImage;
  const int W = edit.ImageWidth(), H = edit.ImageHeight();
  const Point p = ClampToPicture({x, y}, SubPictureImage.ImageWidth(), SubPictureImage.ImageHeight());
  EditPreview(p.x, p.y, TransferTransparent(), H, W);
  const Rect next{p.x, p.y, W, H};
  if (FrameSize == 0) {
    const Rect changed = MovePickOutline(SubDisplayImage, SubViewImage, shownOutline_, next, kOutlineColour);
    shownOutline_ = next;
    PaintBox1->update(ToQRect(changed));
  }
  PickRect = next;
  setWindowTitle(kPickConfirmPrompt);
}

void TTAVOSUBF::EndTransfer() {
  TransferMode = 0;
  Tracking = false;
  UncheckTransferItems();
  ResetFrameCache();
  RepaintView();
}

void TTAVOSUBF::CancelTransfer() {
  EndTransfer();
  // The prompt to confirm no longer applies.
  setWindowTitle(kSubCaptionPrefix + FileName);
  EditRestoreView();
  EditSetTransferMode(0);
}

void TTAVOSUBF::MN_REALClick() {
  PaintBox1DblClick();
  setWindowTitle(kSubCaptionPrefix + FileName);
}

void TTAVOSUBF::PaintBox1DblClick() {
  if (TransferMode == 6 || TransferMode == 7)
    EditCopyInto(PickRect.x, PickRect.y, TransferTransparent(), PickRect.height, PickRect.width);
  EndTransfer();
}

void TTAVOSUBF::MN_EDITCOPYClick() { EditSetTransferMode(6); }

void TTAVOSUBF::MN_EDITCOPYRClick() { EditSetTransferMode(7); }

void TTAVOSUBF::MN_MAINCOPYClick() {
  Action(QStringLiteral("MN_EDITCOPY"))->setChecked(false);
  Action(QStringLiteral("MN_EDITCOPYR"))->setChecked(false);
  Action(QStringLiteral("MN_MAINCOPY"))->setChecked(true);
  TransferMode = 0;
  Tracking = false;
  MainExchange();
}

// ---- mouse ----

void TTAVOSUBF::PaintBox1MouseDown(Qt::MouseButton button, int x, int y) {
  if (mouseGate_ || Busy) return;
  mouseGate_ = true;
  if (TransferMode == 6 || TransferMode == 7) {
    if (button == Qt::RightButton) {
      CancelTransfer();
    } else {
      Tracking = true;
      PickAt(x, y);
    }
  }
  mouseGate_ = false;
}

void TTAVOSUBF::PaintBox1MouseMove(Qt::MouseButton button, int x, int y) {
  if (!Tracking || Busy || (TransferMode != 6 && TransferMode != 7)) return;
  PickAt(x, y);
}

void TTAVOSUBF::PaintBox1MouseUp(Qt::MouseButton button, int x, int y) {
  if (!Tracking) return;
  if (TransferMode == 6 || TransferMode == 7) PickAt(x, y);
  Tracking = false;
}

}  // namespace zudizar

#include "ui/sub/sub_window.h"

#include <QAction>
#include <QCoreApplication>
#include <QHideEvent>
#include <QMenu>
#include <QMenuBar>
#include <QScrollArea>
#include <functional>

#include "base/settings.h"
#include "core/frames.h"
#include "core/limits.h"
#include "core/pick_outline.h"
#include "core/region.h"
#include "core/transfer.h"
#include "formats/dispatch.h"
#include "ui/app/app.h"
#include "ui/common/canvas_view.h"
#include "ui/common/clipboard.h"
#include "ui/common/dialogs.h"
#include "ui/common/file_commands.h"
#include "ui/common/file_drop.h"
#include "ui/common/file_names.h"
#include "ui/common/file_progress.h"
#include "ui/common/history_colours.h"
#include "ui/common/mag_info_dialog.h"
#include "ui/common/menu_items.h"
#include "ui/common/paint_box.h"
#include "ui/common/recent_files.h"
#include "ui/common/reentry.h"
#include "ui/common/view_items.h"
#include "ui/common/window_settings.h"

namespace zudizar {

namespace {

const QString kPickConfirmPrompt = QStringLiteral("確定をマウスクリックして下さい");
// The sub canvas's half offsets stop one pixel short of the main canvas's.
constexpr int kHalfShortfall = 1;

}  // namespace

TTAVOSUBF::TTAVOSUBF(App& app) : QMainWindow(nullptr), app_(app), document_(app.session().budget) {
  setObjectName(QStringLiteral("TAVOSUBF"));
  setWindowTitle(QStringLiteral("ﾐﾗﾙｶ貼り絵ｻﾌﾞﾊﾟﾚｯﾄ"));
  view_ = new CanvasView(this, kHalfShortfall);
  view_->SetAreaSize(640, 400);
  view_->onPress = [this](Qt::MouseButton b, Point p) { PaintBox1MouseDown(b, p.x, p.y); };
  view_->onMove = [this](Qt::MouseButton b, Point p) { PaintBox1MouseMove(b, p.x, p.y); };
  view_->onRelease = [this](Qt::MouseButton b, Point p) { PaintBox1MouseUp(b, p.x, p.y); };
  view_->onDoubleClick = [this] { PaintBox1DblClick(); };
  setCentralWidget(view_->Widget());
  BuildMenu();
  AcceptPictureDrops(
      *this, app_.dialogs(), [this] { return busy_; },
      [this](const std::string& path) {
        if (CloseQuery()) OpenSubFile(path);
      });
  move(288, 301);
  resize(435, 272);
  connect(&app_.session(), &Session::canvasesBlanked, this, [this] { view_->Blank(); });
  connect(&app_.session(), &Session::paletteApplied, this, [this](const PaletteTable& table) {
    TakeFreeEntries(document_.Picture(), table);
    view_->TakePalette(table);
  });
  FormCreate();
}

const IndexedImage& TTAVOSUBF::SubViewImage() const { return view_->View(); }
IndexedImage TTAVOSUBF::SubDisplayImage() const { return view_->Shown(); }
int TTAVOSUBF::FrameSize() const { return view_->Frame(); }
PaintBox* TTAVOSUBF::PaintBox1() const { return view_->Box(); }

QAction* TTAVOSUBF::Action(const QString& name) const { return findChild<QAction*>(name); }

void TTAVOSUBF::BuildMenu() {
  QMenuBar* bar = menuBar();
  auto add = [this](QMenu* menu, const char* name, const QString& caption, const char* key = nullptr) {
    return AddMenuItem(this, menu, name, caption, key);
  };
  auto plain = [this](QAction* action, std::function<void()> handler) {
    ConnectHandlerOwnsMark(this, action, std::move(handler));
  };
  auto checkable = [&](QMenu* menu, const char* name, const QString& caption, const char* key,
                       std::function<void()> handler) {
    QAction* action = add(menu, name, caption, key);
    action->setCheckable(true);
    plain(action, std::move(handler));
  };
  auto separator = [this](QMenu* menu, const char* name) { AddMenuSeparator(this, menu, name); };

  QMenu* file = bar->addMenu(QStringLiteral("ﾌｧｲﾙ(&F)"));
  file->setObjectName(QStringLiteral("MN_FILE"));
  plain(add(file, "MN_NEW", QStringLiteral("新規作成(&N)"), "F2"), [this] { MN_NEWClick(); });
  plain(add(file, "MN_OPEN", QStringLiteral("開く(&O)"), "F5"), [this] { MN_OPENClick(); });
  QMenu* reopen = file->addMenu(QStringLiteral("開き直す(&R)"));
  reopen->setObjectName(QStringLiteral("MN_FILEREOPEN"));
  reopen->menuAction()->setObjectName(QStringLiteral("MN_FILEREOPEN"));
  recent_ = new RecentFileList(this, reopen, "Sname");
  recent_->onReopen = [this](int k, const std::string&) { MN_FILEREOPENClick(k); };
  plain(add(file, "MN_SAVE", QStringLiteral("上書き保存(&S)"), "F9"), [this] { MN_SAVEClick(); });
  plain(add(file, "MN_NEWSAVE", QStringLiteral("名前を付けて保存(&A)"), "F10"), [this] { MN_NEWSAVEClick(); });
  plain(add(file, "MN_MAGINFO", QStringLiteral("MAG情報(&I)...")), [this] { MN_MAGINFOClick(); });
  plain(add(file, "MN_SUBUNDO", QStringLiteral("元に戻す"), "Alt+Backspace"), [this] { MoveInHistory(false); });
  plain(add(file, "MN_SUBREDO", QStringLiteral("やり直し"), "Ctrl+Shift+Z"), [this] { MoveInHistory(true); });
  AddClipboardItems(
      this, file, [this] { MN_CLIPCOPYClick(); }, [this] { MN_CLIPPASTEClick(); });
  checkable(file, "MN_EDITCOPY", QStringLiteral("編集ﾊﾟﾚｯﾄへ複写(&S)"), "Ctrl+S", [this] { MN_EDITCOPYClick(); });
  checkable(file, "MN_EDITCOPYR", QStringLiteral("編集ﾊﾟﾚｯﾄへ複写(&O)縁ｶｯﾄ"), "Ctrl+O",
            [this] { MN_EDITCOPYRClick(); });
  checkable(file, "MN_MAINCOPY", QStringLiteral("ﾒｲﾝﾊﾟﾚｯﾄと交換(&X)"), "Ctrl+X", [this] { MN_MAINCOPYClick(); });
  separator(file, "MN_DUMMY1");
  plain(add(file, "MN_HIDE", QStringLiteral("閉じる(&C)"), "F3"), [this] { MN_HIDEClick(); });

  QMenu* frames = bar->addMenu(QStringLiteral("固定枠設定(&T)"));
  frames->setObjectName(QStringLiteral("MN_MODESET"));
  AddFrameItems(
      this, frames, [this](int size) { SetFrame(size); }, [this](bool left) { ToggleHalfOffset(left); });

  QMenu* view = bar->addMenu(QStringLiteral("表示(&V)"));
  view->setObjectName(QStringLiteral("MN_VIEW"));
  AddViewItems(this, view, *view_);

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
  ReflectFrame();
  ReflectHistory();
  connect(&app_.session(), &Session::historyChanged, this, [this] { ReflectHistory(); });
}

// ---- life cycle and settings ----

void TTAVOSUBF::FormCreate() {
  // Without saved values the window takes the edit palette's size.
  resize(app_.EditWindowSize());
  RestoreWindowGeometry(*this, "SUBLeft", "SUBTop", "SUBWidth", "SUBHeight");
  RestoreViewSettings(this, *view_, "Sub");
  recent_->Load();
  IndexedImage blank;
  CreateImage(640, 400, blank);
  FillImage(blank, 255);
  document_.Start(std::move(blank), {});
  view_->ShowPicture(document_.Picture());
  app_.CanvasPictureChanged();
  emit app_.session().historyChanged();
  transferMode_ = kTransferNone;
  pick_ = {0, 0, 1, 1};
}

// One measure in both places: the size restored at start is the size written,
// so the window does not grow by its frame at every start.
void TTAVOSUBF::SaveGeometry() {
  SaveWindowPosition(*this, "SUBLeft", "SUBTop");
  WriteSetting("SUBWidth", std::to_string(width()));
  WriteSetting("SUBHeight", std::to_string(height()));
  SaveViewSettings(*view_, "Sub");
}

void TTAVOSUBF::FormDestroy() {
  if (destroyed_) return;
  destroyed_ = true;
  try {
    SaveGeometry();
    recent_->Save();
  } catch (const SettingsWriteError& error) {
    app_.ShowSettingsError(error);
    return;
  }
  document_.Close();
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
    const QString name = progressName_.isEmpty() ? ShownName(document_.FileName()) : progressName_;
    setWindowTitle(phase + QString::number(progress->Percent()) + QStringLiteral("% ") + name);
    // Loads run on this thread: let the caption reach the screen now,
    // without taking user input in the middle of the load.
    QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
  }
  return QMainWindow::event(event);
}

// ---- pictures ----

void TTAVOSUBF::TakePicture(IndexedImage& picture, const std::string& name) {
  document_.Replace(std::move(picture), name);
  view_->ShowPicture(document_.Picture());
  app_.CanvasPictureChanged();
  emit app_.session().historyChanged();
}

bool TTAVOSUBF::SwapContent(CanvasContent& incoming, CanvasContent& outgoing) {
  // One exchange at a time; the user-interface thread is the only caller.
  ReentryGuard guard(busy_);
  if (!guard.Entered()) return false;
  CanvasContent own{{}, document_.FileName(), document_.Modified()};
  if (!CreateImage(document_.Picture().ImageWidth(), document_.Picture().ImageHeight(), own.picture)) return false;
  CopyImage(own.picture, document_.Picture(), kNoTransparent);
  own.picture.mag = document_.Picture().mag;
  TakePicture(incoming.picture, incoming.name);
  outgoing = std::move(own);
  document_.SetModified(incoming.modified);
  setWindowTitle(kSubCaptionPrefix + ShownName(document_.FileName()));
  UncheckTransferItems();
  transferMode_ = kTransferNone;
  view_->ResetScroll();
  return true;
}

void TTAVOSUBF::RestorePicture(IndexedImage& picture, const std::string& name) {
  TakePicture(picture, name);
  document_.MarkModified();
  setWindowTitle(kSubCaptionPrefix + ShownName(name));
}

void TTAVOSUBF::FillBackground(std::uint8_t colour) {
  FillImage(document_.Picture(), colour);
  document_.TouchAll();
  document_.Commit();
  app_.CanvasPictureChanged();
  emit app_.session().historyChanged();
  view_->RestoreAll(document_.Picture());
}

// ---- undo and redo ----

void TTAVOSUBF::ReflectHistory() {
  if (QAction* undo = Action(QStringLiteral("MN_SUBUNDO"))) undo->setEnabled(document_.CanUndo());
  if (QAction* redo = Action(QStringLiteral("MN_SUBREDO"))) redo->setEnabled(document_.CanRedo());
}

void TTAVOSUBF::MoveInHistory(bool forward) {
  ReentryGuard guard(busy_);
  if (!guard.Entered()) return;
  // A pick for the edit palette ends first.
  if (Picking()) CancelTransfer();
  tracking_ = false;
  const HistoryMove move = forward ? document_.Redo() : document_.Undo();
  if (move.moved) {
    const bool mapped = FollowMoveOnCanvas(app_.session(), document_, *view_, move,
                                           app_.EntriesInUseBeside(App::CanvasId::Sub), false);
    app_.CanvasPictureChanged();
    setWindowTitle(kSubCaptionPrefix + ShownName(document_.FileName()) +
                   (mapped ? QString::fromUtf8(kColoursMappedNote) : QString()));
  }
  emit app_.session().historyChanged();
}

// ---- frames ----

void TTAVOSUBF::ReflectFrame() { ReflectFrameItems(*this, view_->Frame(), view_->HalfLeft(), view_->HalfUp()); }

void TTAVOSUBF::SetFrame(int size) {
  view_->SetFrame(size);
  ReflectFrame();
}

void TTAVOSUBF::ToggleHalfOffset(bool left) {
  if (left)
    view_->SetHalfLeft(!view_->HalfLeft());
  else
    view_->SetHalfUp(!view_->HalfUp());
  ReflectFrame();
}

// ---- files ----

void TTAVOSUBF::MN_NEWClick() {
  if (!CloseQuery()) return;
  busy_ = true;
  view_->SetBusy(true);
  int width = 0, height = 0;
  // A size the picture limits refuse counts as Cancel: the picture stays.
  if (app_.AskCanvasSize(width, height) && ImageSizeAllowed(width, height)) {
    IndexedImage picture;
    bool ok = CreateImage(width, height, picture);
    if (ok) {
      FillImage(picture, 255);
      TakePicture(picture, {});
    }
    if (ok) {
      document_.SetModified(false);
      setWindowTitle(kSubCaptionPrefix);
      if (app_.dialogs().MessageBox(this, QStringLiteral("背景色を設定しますか。"), QStringLiteral("背景色選択"),
                                    BoxButtons::OkCancel, BoxIcon::Question) == BoxAnswer::Ok) {
        app_.session().SetBackground(BackgroundTarget::Sub);
        app_.ShowColourWindow();
      }
    } else {
      app_.ShowError(QStringLiteral("%1 x %2 の画像を作るメモリがありません").arg(width).arg(height));
    }
  }
  busy_ = false;
  view_->SetBusy(false);
  view_->ComposeAll();
}

void TTAVOSUBF::MN_OPENClick() {
  if (!CloseQuery()) return;
  const auto path = AskOpenName(this, app_.dialogs(), kPictureOpenFilter, document_.FileName());
  if (path) OpenSubFile(*path);
}

void TTAVOSUBF::OpenSubFile(const std::string& path) {
  if (!CheckOpenable(this, app_.dialogs(), path)) return;
  const QString caption = windowTitle();
  busy_ = true;
  view_->SetBusy(true);
  progressName_ = ShownName(path);
  IndexedImage loaded;
  QString note;
  bool ok = ReadPicture(this, app_.dialogs(), path, loaded, &note);
  progressName_.clear();
  if (ok) {
    // Only a picture that opened takes the window's name and the list's top.
    TakePicture(loaded, path);
  }
  if (ok) {
    document_.SetModified(false);
    setWindowTitle(kSubCaptionPrefix + ShownName(path) + note);
    recent_->Add(path);
  } else {
    setWindowTitle(caption);
  }
  busy_ = false;
  view_->SetBusy(false);
  view_->ComposeAll();
}

void TTAVOSUBF::MN_FILEREOPENClick(int k) {
  const std::string path = recent_->Path(k);
  if (!path.empty() && CloseQuery()) OpenSubFile(path);
}

bool TTAVOSUBF::SaveTo(const std::string& path) {
  progressName_ = ShownName(path);
  const bool saved = WritePicture(this, app_.dialogs(), path, document_.Picture());
  progressName_.clear();
  if (saved) {
    document_.SetFileName(path);
    document_.MarkSaved();
  }
  // Progress captions end with the window's name again: the new one, or the
  // one the picture kept when the save failed.
  setWindowTitle(kSubCaptionPrefix + ShownName(document_.FileName()));
  return saved;
}

void TTAVOSUBF::MN_SAVEClick() {
  if (document_.FileName().empty()) {
    MN_NEWSAVEClick();
    return;
  }
  SaveTo(document_.FileName());
}

void TTAVOSUBF::MN_NEWSAVEClick() {
  const auto path = AskSaveName(this, app_.dialogs(), kPictureSaveFilter, document_.FileName());
  if (!path) return;
  setWindowTitle(kSubCaptionPrefix + ShownName(*path));
  SaveTo(*path);
}

void TTAVOSUBF::MN_MAGINFOClick() {
  if (busy_ || !EditMagInfo(this, app_.dialogs(), document_)) return;
  emit app_.session().historyChanged();
}

bool TTAVOSUBF::CloseQuery() {
  return ConfirmDropping(
      this, app_.dialogs(), document_.Modified(),
      QStringLiteral("ｻﾌﾞﾊﾟﾚｯﾄの描画域が更新されています、内容を保存しますか？"), [this] { MN_SAVEClick(); },
      [this] { return !document_.Modified(); });
}

// ---- window ----

void TTAVOSUBF::MN_HIDEClick() { hide(); }

// ---- transfers to the edit palette ----

bool TTAVOSUBF::Picking() const { return transferMode_ == kCopyFromSub || transferMode_ == kCopyFromSubEdgeCut; }

void TTAVOSUBF::UncheckTransferItems() {
  for (const char* name : {"MN_EDITCOPY", "MN_EDITCOPYR", "MN_MAINCOPY"})
    Action(QString::fromLatin1(name))->setChecked(false);
}

int TTAVOSUBF::TransferTransparent() const {
  // Edge cut leaves out the colour of the whole picture's corners.
  return zudizar::TransferTransparent(transferMode_, document_.Picture());
}

void TTAVOSUBF::StartSubTransfer(int mode) {
  if (mode == kTransferNone) {
    PaintBox1DblClick();
    return;
  }
  if (mode != kCopyFromSub && mode != kCopyFromSubEdgeCut) return;
  transferMode_ = mode;
  Action(QStringLiteral("MN_EDITCOPY"))->setChecked(mode == kCopyFromSub);
  Action(QStringLiteral("MN_EDITCOPYR"))->setChecked(mode == kCopyFromSubEdgeCut);
  Action(QStringLiteral("MN_MAINCOPY"))->setChecked(false);
  tracking_ = false;
  // Until the first click the piece is the one at the top-left of the view,
  // so a confirm right away copies a defined region.
  const IndexedImage& edit = app_.EditPicture();
  const IndexedImage& picture = document_.Picture();
  const Point at = ClampToPicture({view_->ScrollX(), view_->ScrollY()}, picture.ImageWidth(), picture.ImageHeight());
  pick_ = {at.x, at.y, std::max(edit.ImageWidth(), 1), std::max(edit.ImageHeight(), 1)};
  view_->SetOutline({});
}

void TTAVOSUBF::PickAt(int x, int y) {
  const IndexedImage& edit = app_.EditPicture();
  const IndexedImage& picture = document_.Picture();
  const int w = edit.ImageWidth(), h = edit.ImageHeight();
  const Point p = ClampToPicture({x, y}, picture.ImageWidth(), picture.ImageHeight());
  app_.EditPreviewTransfer(p.x, p.y, TransferTransparent(), picture, h, w);
  const Rect next{p.x, p.y, w, h};
  // The outline is drawn only without a frame.
  view_->SetOutline(view_->Frame() == 0 ? next.Intersect(ImageRect(picture)) : Rect{});
  view_->SetGestureRect(next.Intersect(ImageRect(picture)));
  pick_ = next;
  setWindowTitle(kPickConfirmPrompt);
}

void TTAVOSUBF::EndTransfer() {
  transferMode_ = kTransferNone;
  tracking_ = false;
  UncheckTransferItems();
  view_->SetOutline({});
}

void TTAVOSUBF::CancelTransfer() {
  EndTransfer();
  // The prompt to confirm no longer applies.
  setWindowTitle(kSubCaptionPrefix + ShownName(document_.FileName()));
  app_.EditRestoreView();
  app_.EditSetTransferMode(kTransferNone);
}

void TTAVOSUBF::MN_REALClick() {
  PaintBox1DblClick();
  setWindowTitle(kSubCaptionPrefix + ShownName(document_.FileName()));
}

void TTAVOSUBF::PaintBox1DblClick() {
  if (Picking())
    app_.EditCopyIn(pick_.x, pick_.y, TransferTransparent(), document_.Picture(), pick_.height, pick_.width);
  EndTransfer();
}

void TTAVOSUBF::MN_EDITCOPYClick() { app_.EditSetTransferMode(kCopyFromSub); }

void TTAVOSUBF::MN_EDITCOPYRClick() { app_.EditSetTransferMode(kCopyFromSubEdgeCut); }

void TTAVOSUBF::MN_MAINCOPYClick() {
  Action(QStringLiteral("MN_EDITCOPY"))->setChecked(false);
  Action(QStringLiteral("MN_EDITCOPYR"))->setChecked(false);
  Action(QStringLiteral("MN_MAINCOPY"))->setChecked(true);
  transferMode_ = kTransferNone;
  tracking_ = false;
  view_->SetOutline({});
  app_.ExchangeCanvases();
}

// ---- mouse ----

void TTAVOSUBF::PaintBox1MouseDown(Qt::MouseButton button, int x, int y) {
  ReentryGuard guard(mouseGate_);
  if (!guard.Entered() || busy_ || !Picking()) return;
  if (button == Qt::RightButton) {
    CancelTransfer();
  } else {
    tracking_ = true;
    PickAt(x, y);
  }
}

void TTAVOSUBF::PaintBox1MouseMove(Qt::MouseButton, int x, int y) {
  if (!tracking_ || busy_ || !Picking()) return;
  PickAt(x, y);
}

void TTAVOSUBF::PaintBox1MouseUp(Qt::MouseButton, int x, int y) {
  if (!tracking_) return;
  if (Picking()) PickAt(x, y);
  tracking_ = false;
}

}  // namespace zudizar

#include "ui/main/main_window.h"

#include <QAction>
#include <QCloseEvent>
#include <QCoreApplication>
#include <QDialog>
#include <QDialogButtonBox>
#include <QFileInfo>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QScrollArea>
#include <QSpinBox>
#include <QUrl>
#include <QVBoxLayout>
#include <functional>

#include "base/settings.h"
#include "base/trace.h"
#include "core/frames.h"
#include "core/region.h"
#include "core/swatch_grid.h"
#include "core/transfer.h"
#include "palette/palette_load.h"
#include "ui/app/app.h"
#include "ui/common/canvas_view.h"
#include "ui/common/clipboard.h"
#include "ui/common/dialogs.h"
#include "ui/common/file_commands.h"
#include "ui/common/file_drop.h"
#include "ui/common/file_names.h"
#include "ui/common/file_progress.h"
#include "ui/common/history_colours.h"
#include "ui/common/menu_items.h"
#include "ui/common/paint_box.h"
#include "ui/common/program_folder.h"
#include "ui/common/recent_files.h"
#include "ui/common/reentry.h"
#include "ui/common/view_items.h"
#include "ui/common/window_settings.h"
#include "ui/main/about_box.h"

namespace zudizar {

namespace {

// The item each mode checks; the others are unchecked.
struct ModeItem {
  MainMode mode;
  const char* item;
};
constexpr ModeItem kModeItems[] = {
    {MainMode::CopyToEdit, "MN_EDITTOCOPY"},
    {MainMode::CopyToEditEdgeCut, "MN_EDITTOCOPYR"},
    {MainMode::MoveToEdit, "MN_EDITTOMOVE"},
    {MainMode::PasteFromEdit, "MN_EDITCOPY"},
    {MainMode::PasteFromEditEdgeCut, "MN_EDITCOPYR"},
    {MainMode::ExchangeWithSub, "MN_SUBCOPY"},
    {MainMode::CellCopy, "MN_MAINCOPY"},
    {MainMode::CellMove, "MN_MAINMOVE"},
    {MainMode::CellExchange, "MN_MAINCHANGE"},
    {MainMode::Edit, "MN_HensyuMode"},
};

}  // namespace

TForm1::TForm1(App& app) : QMainWindow(nullptr), app_(app), document_(app.session().budget) {
  setObjectName(QStringLiteral("Form1"));
  setWindowTitle(kMainCaption);
  view_ = new CanvasView(this, 0);
  view_->onPress = [this](Qt::MouseButton b, Point p) { PaintBox1MouseDown(b, p.x, p.y); };
  view_->onMove = [this](Qt::MouseButton b, Point p) { PaintBox1MouseMove(b, p.x, p.y); };
  view_->onRelease = [this](Qt::MouseButton b, Point p) { PaintBox1MouseUp(b, p.x, p.y); };
  view_->onDoubleClick = [this] { PaintBox1DblClick(); };
  setCentralWidget(view_->Widget());
  BuildMenu();
  AcceptPictureDrops(
      *this, app_.dialogs(), [this] { return busy_; },
      [this](const std::string& path) {
        if (CloseQuery()) OpenPictureFile(path);
      });
  move(240, 2);
  resize(435, 300);
  connect(&app_.session(), &Session::canvasesBlanked, this, [this] { view_->Blank(); });
  connect(&app_.session(), &Session::paletteApplied, this, [this](const PaletteTable& table) {
    TakeFreeEntries(document_.Picture(), table);
    view_->TakePalette(table);
  });
  FormCreate();
}

TForm1::~TForm1() = default;

const IndexedImage& TForm1::ViewImage() const { return view_->View(); }
IndexedImage TForm1::DisplayImage() const { return view_->Shown(); }
int TForm1::FrameSize() const { return view_->Frame(); }
PaintBox* TForm1::PaintBox1() const { return view_->Box(); }

QAction* TForm1::Action(const QString& name) const { return findChild<QAction*>(name); }

void TForm1::BuildMenu() {
  QMenuBar* bar = menuBar();
  auto add = [this](QMenu* menu, const char* name, const QString& caption, const char* key = nullptr) {
    return AddMenuItem(this, menu, name, caption, key);
  };
  auto plain = [this](QAction* action, std::function<void()> handler) {
    ConnectHandlerOwnsMark(this, action, std::move(handler));
  };
  auto separator = [this](QMenu* menu, const char* name) { AddMenuSeparator(this, menu, name); };
  // Items whose marks the window sets from its own state.
  auto checkable = [&](QMenu* menu, const char* name, const QString& caption, const char* key,
                       std::function<void()> handler) {
    QAction* action = add(menu, name, caption, key);
    action->setCheckable(true);
    plain(action, std::move(handler));
    return action;
  };

  QMenu* file = bar->addMenu(QStringLiteral("ﾌｧｲﾙ(&F)"));
  file->setObjectName(QStringLiteral("MN_FILE"));
  connect(add(file, "MN_NEW", QStringLiteral("新規作成(&N)"), "F2"), &QAction::triggered, this, &TForm1::MN_NEWClick);
  connect(add(file, "MN_OPEN", QStringLiteral("開く(&O)"), "F5"), &QAction::triggered, this, &TForm1::MN_OPENClick);
  QMenu* reopen = file->addMenu(QStringLiteral("開き直す(&R)"));
  reopen->setObjectName(QStringLiteral("MN_FILEREOPEN"));
  reopen->menuAction()->setObjectName(QStringLiteral("MN_FILEREOPEN"));
  recent_ = new RecentFileList(this, reopen, "Fname");
  recent_->onReopen = [this](int k, const std::string&) { MN_FILEREOPENClick(k); };
  connect(add(file, "MN_SAVE", QStringLiteral("上書き保存(&S)"), "F9"), &QAction::triggered, this,
          &TForm1::MN_SAVEClick);
  connect(add(file, "MN_NEWSAVE", QStringLiteral("名前を付けて保存(&A)"), "F10"), &QAction::triggered, this,
          &TForm1::MN_NEWSAVEClick);
  connect(add(file, "MN_MAGINFO", QStringLiteral("MAG情報(&I)...")), &QAction::triggered, this,
          &TForm1::MN_MAGINFOClick);
  separator(file, "MN_DUMMYUNDO");
  connect(add(file, "MN_MAINUNDO", QStringLiteral("元に戻す"), "Alt+Backspace"), &QAction::triggered, this,
          &TForm1::MN_MAINUNDOClick);
  connect(add(file, "MN_MAINREDO", QStringLiteral("やり直し"), "Ctrl+Shift+Z"), &QAction::triggered, this,
          &TForm1::MN_MAINREDOClick);
  AddClipboardItems(
      this, file, [this] { MN_CLIPCOPYClick(); }, [this] { MN_CLIPPASTEClick(); });
  // The edit palette starts the selections: it takes its undo copy first.
  checkable(file, "MN_EDITTOCOPY", QStringLiteral("編集ﾊﾟﾚｯﾄへ複写(&C)"), "Ctrl+C",
            [this] { app_.EditSetTransferMode(kCopyFromMain); });
  checkable(file, "MN_EDITTOCOPYR", QStringLiteral("編集ﾊﾟﾚｯﾄへ複写(&G)縁ｶｯﾄ"), "Ctrl+G",
            [this] { app_.EditSetTransferMode(kCopyFromMainEdgeCut); });
  checkable(file, "MN_EDITTOMOVE", QStringLiteral("編集ﾊﾟﾚｯﾄへ移動(&T)"), "Ctrl+T",
            [this] { app_.EditSetTransferMode(kCutFromMain); });
  checkable(file, "MN_EDITCOPY", QStringLiteral("編集ﾊﾟﾚｯﾄより複写(&U)"), "Ctrl+U",
            [this] { CanvasCommand(ModeNumber(MainMode::PasteFromEdit)); });
  checkable(file, "MN_EDITCOPYR", QStringLiteral("編集ﾊﾟﾚｯﾄより複写(&Q)縁ｶｯﾄ"), "Ctrl+Q",
            [this] { CanvasCommand(ModeNumber(MainMode::PasteFromEditEdgeCut)); });
  checkable(file, "MN_SUBCOPY", QStringLiteral("ｻﾌﾞﾊﾟﾚｯﾄと交換(&X)"), "Ctrl+X",
            [this] { CanvasCommand(ModeNumber(MainMode::ExchangeWithSub)); });
  connect(add(file, "MN_MAINTOCOPY", QStringLiteral("編集ﾊﾟﾚｯﾄより複写位置指定"), "Shift+F5"), &QAction::triggered,
          this, &TForm1::MN_MAINTOCOPYClick);
  connect(add(file, "MN_MAINTOCOPYR", QStringLiteral("編集ﾊﾟﾚｯﾄより複写位置指定縁"), "Shift+F6"), &QAction::triggered,
          this, &TForm1::MN_MAINTOCOPYRClick);
  separator(file, "MN_DUMMY1");
  checkable(file, "MN_MAINCOPY", QStringLiteral("ﾒｲﾝﾊﾟﾚｯﾄ内複写(&5)"), "Ctrl+F5",
            [this] { CanvasCommand(ModeNumber(MainMode::CellCopy)); });
  checkable(file, "MN_MAINMOVE", QStringLiteral("ﾒｲﾝﾊﾟﾚｯﾄ内移動(&6)"), "Ctrl+F6",
            [this] { CanvasCommand(ModeNumber(MainMode::CellMove)); });
  checkable(file, "MN_MAINCHANGE", QStringLiteral("ﾒｲﾝﾊﾟﾚｯﾄ内交換(&7)"), "Ctrl+F7",
            [this] { CanvasCommand(ModeNumber(MainMode::CellExchange)); });
  connect(add(file, "MN_MAINJIGS", QStringLiteral("ｼﾞｸﾞｿｰﾊﾟｽﾞﾙ"), "Ctrl+F10"), &QAction::triggered, this,
          &TForm1::MN_MAINJIGSClick);
  separator(file, "MN_DUMMY3");
  checkable(file, "MN_HensyuMode", QStringLiteral("編集ﾓｰﾄﾞ　"), "F8", [this] { MN_HensyuModeClick(); });
  separator(file, "DUMMYXX");
  connect(add(file, "MN_END", QStringLiteral("終了(&E)"), "F3"), &QAction::triggered, this, &TForm1::MN_ENDClick);

  QMenu* frames = bar->addMenu(QStringLiteral("固定枠設定(&T)"));
  frames->setObjectName(QStringLiteral("MN_MODESET"));
  AddFrameItems(
      this, frames, [this](int size) { SetFrame(size); }, [this](bool left) { ToggleHalfOffset(left); });

  QMenu* view = bar->addMenu(QStringLiteral("表示(&V)"));
  view->setObjectName(QStringLiteral("MN_VIEW"));
  checkable(view, "MN_EDIT", QStringLiteral("編集ﾊﾟﾚｯﾄ表示(&Y)"), "Ctrl+Y", [this] {
    MN_EDITClick();
  })->setChecked(true);
  checkable(view, "MN_SUB", QStringLiteral("ｻﾌﾞﾊﾟﾚｯﾄ表示(&Z)"), "Ctrl+Z", [this] { MN_SUBClick(); });
  connect(add(view, "MN_ROREZURU", QStringLiteral("ｶﾗｰﾊﾟﾚｯﾄ作成ﾂｰﾙ実行")), &QAction::triggered, this,
          &TForm1::MN_ROREZURUClick);
  connect(add(view, "MN_PALREINIT", QStringLiteral("INI　FILEからｶﾗｰﾊﾟﾚｯﾄの再読込")), &QAction::triggered, this,
          &TForm1::MN_PALREINITClick);
  connect(add(view, "MN_UNDOMEMORY", QStringLiteral("元に戻す履歴のメモリ(&M)...")), &QAction::triggered, this,
          &TForm1::MN_UNDOMEMORYClick);
  AddViewItems(this, view, *view_);
  QMenu* mouse = view->addMenu(QStringLiteral("ﾏｳｽ色変更"));
  mouse->setObjectName(QStringLiteral("MN_MouseColor"));
  mouse->menuAction()->setObjectName(QStringLiteral("MN_MouseColor"));
  connect(add(mouse, "MN_COLORNEXT", QStringLiteral("次の色"), "Ctrl+N"), &QAction::triggered, this,
          [this] { app_.StepColours(true); });
  connect(add(mouse, "MN_COLORBACK", QStringLiteral("前の色"), "Ctrl+B"), &QAction::triggered, this,
          [this] { app_.StepColours(false); });

  auto* confirm = new QAction(QStringLiteral("確定(&R)"), this);
  confirm->setObjectName(QStringLiteral("MN_REAL"));
  confirm->setShortcut(QKeySequence(QStringLiteral("Ctrl+R")));
  connect(confirm, &QAction::triggered, this, &TForm1::MN_REALClick);
  bar->addAction(confirm);

  QMenu* help = bar->addMenu(QStringLiteral("ﾍﾙﾌﾟ(&H)"));
  help->setObjectName(QStringLiteral("MN_HELP"));
  connect(add(help, "MN_HELPEX", QStringLiteral("ﾍﾙﾌﾟ(&H)"), "F1"), &QAction::triggered, this, &TForm1::MN_HELPEXClick);
  connect(add(help, "MN_VERSION", QStringLiteral("ﾊﾞｰｼﾞｮﾝ情報(&V)")), &QAction::triggered, this,
          &TForm1::MN_VERSIONClick);
  ReflectFrame();
  ReflectHistory();
  connect(&app_.session(), &Session::historyChanged, this, [this] { ReflectHistory(); });
}

// ---- life cycle ----

void TForm1::FormCreate() {
  StartTrace(app_.ProgramFile());
  InitSharedPalette();
  app_.session().SetLeftColour(249);
  app_.session().SetRightColour(252);
  WindowProgressSink sink(this);
  FileReport report;
  LoadStartupPalette(&report, &sink);
  ShowFileReport(this, app_.dialogs(), report);
  app_.session().ApplyPalette();

  RestoreWindowGeometry(*this, "CutLeft", "CutTop", "CutWidth", "CutHeight");
  RestoreViewSettings(this, *view_, "Main");
  recent_->Load();
  IndexedImage blank;
  CreateImage(640, 400, blank);
  FillImage(blank, 255);
  document_.Start(std::move(blank), {});
  view_->ShowPicture(document_.Picture());
  app_.CanvasPictureChanged();
  emit app_.session().historyChanged();
  app_.session().SetBackground(BackgroundTarget::None);
}

bool TForm1::CloseQuery() {
  return ConfirmDropping(
      this, app_.dialogs(), document_.Modified(), QStringLiteral("描画域が更新されています、内容を保存しますか？"),
      [this] { MN_SAVEClick(); }, [this] { return !document_.Modified(); });
}

void TForm1::FormDestroy() {
  if (destroyed_) return;
  destroyed_ = true;
  SetBusy(true);
  try {
    WriteSetting("CutLeft", std::to_string(x()));
    WriteSetting("CutTop", std::to_string(y()));
    WriteSetting("CutWidth", std::to_string(width()));
    WriteSetting("CutHeight", std::to_string(height()));
    SaveViewSettings(*view_, "Main");
    recent_->Save();
  } catch (const SettingsWriteError& error) {
    app_.ShowSettingsError(error);
    return;
  }
  mode_.reset();
  document_.Close();
}

void TForm1::closeEvent(QCloseEvent* event) {
  // A close that arrives while a load or save is running waits for it; every
  // canvas with unsaved work is asked about first.
  if (busy_ || !app_.QueryClose()) {
    event->ignore();
    return;
  }
  app_.Shutdown();
  event->accept();
  QCoreApplication::quit();
}

void TForm1::SetBusy(bool busy) {
  busy_ = busy;
  view_->SetBusy(busy);
}

// ---- palette ----

void TForm1::ApplyPalette() { app_.session().ApplyPalette(); }

void TForm1::BlankAllCanvases() { app_.session().BlankCanvases(); }

// ---- captions and progress ----

QString TForm1::FileCaption() const { return QStringLiteral("ﾒｲﾝﾊﾟﾚｯﾄ ") + ShownName(document_.FileName()); }

bool TForm1::event(QEvent* event) {
  if (event->type() == WM_FILEPROGRESS) {
    const auto* progress = static_cast<FileProgressEvent*>(event);
    QString phase;
    switch (progress->Phase()) {
      case 0: phase = QStringLiteral("ﾛｰﾄﾞ準備 "); break;
      case 1: phase = QStringLiteral("ﾃﾞｰﾀﾛｰﾄﾞ "); break;
      default: phase = QStringLiteral("ﾊﾟﾚｯﾄ減色 "); break;
    }
    const QString name = progressName_.isEmpty() ? ShownName(document_.FileName()) : progressName_;
    setWindowTitle(phase + QString::number(progress->Percent()) + QStringLiteral("% ") + name);
    // Loads run on this thread: let the new caption reach the screen now,
    // without taking user input in the middle of the load.
    QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
  }
  return QMainWindow::event(event);
}

// ---- window commands ----

void TForm1::MN_EDITClick() { app_.SetShown(WindowId::Edit, !Action(QStringLiteral("MN_EDIT"))->isChecked()); }

void TForm1::MN_SUBClick() { app_.SetShown(WindowId::Sub, !Action(QStringLiteral("MN_SUB"))->isChecked()); }

void TForm1::CanvasWindowShown(bool edit, bool shown) {
  Action(edit ? QStringLiteral("MN_EDIT") : QStringLiteral("MN_SUB"))->setChecked(shown);
}

void TForm1::MN_HELPEXClick() {
  const std::string name = kHelpFileName.toStdString();
  std::string path = ProgramFolder() + name;
  if (!IsPlainFileName(path)) path = ExecutableFolder() + '/' + name;
  // Installed, the manual is in <prefix>/share/doc/zudizar beside <prefix>/bin.
  if (!IsPlainFileName(path)) path = ExecutableFolder() + "/../share/doc/zudizar/" + name;
  if (!IsPlainFileName(path) || !app_.OpenUrl(UrlOfFile(path)))
    app_.dialogs().MessageBox(this, QStringLiteral("ﾍﾙﾌﾟﾌｧｲﾙ %1 を表示できません").arg(ShownName(path)),
                              QStringLiteral("ﾍﾙﾌﾟ"), BoxButtons::Ok, BoxIcon::Information);
}

void TForm1::MN_VERSIONClick() { app_.dialogs().Exec(app_.about()); }

void TForm1::MN_ENDClick() { close(); }

// ---- fixed frames ----

void TForm1::ReflectFrame() { ReflectFrameItems(*this, view_->Frame(), view_->HalfLeft(), view_->HalfUp()); }

void TForm1::SetFrame(int size) {
  if (mode_) mode_->FramesChanged();
  view_->SetFrame(size);
  ReflectFrame();
}

void TForm1::ToggleHalfOffset(bool left) {
  if (mode_) mode_->FramesChanged();
  if (left)
    view_->SetHalfLeft(!view_->HalfLeft());
  else
    view_->SetHalfUp(!view_->HalfUp());
  ReflectFrame();
}

// ---- modes ----

std::unique_ptr<CanvasMode> TForm1::MakeMode(MainMode kind) {
  switch (kind) {
    case MainMode::CopyToEdit:
    case MainMode::CopyToEditEdgeCut:
    case MainMode::MoveToEdit: return std::make_unique<SelectionMode>(*this, kind);
    case MainMode::PasteFromEdit:
    case MainMode::PasteFromEditEdgeCut: return std::make_unique<PasteMode>(*this, kind);
    case MainMode::PasteFromClipboard:
      // The piece goes on from the paste this one replaces.
      if (retired_ && retired_->Kind() == kind)
        return std::make_unique<PasteMode>(*this, static_cast<PasteMode&>(*retired_).TakePiece());
      break;
    case MainMode::CellCopy:
    case MainMode::CellMove:
    case MainMode::CellExchange: return std::make_unique<CellMode>(*this, kind);
    case MainMode::Edit: return std::make_unique<EditMode>(*this);
    case MainMode::None:
    case MainMode::ExchangeWithSub: break;
  }
  return nullptr;
}

void TForm1::ReflectMode() {
  const MainMode current = mode_ ? mode_->Kind() : MainMode::None;
  for (const ModeItem& item : kModeItems)
    if (QAction* action = Action(QString::fromLatin1(item.item))) action->setChecked(item.mode == current);
}

void TForm1::EnterMode(MainMode kind) {
  // Every mode starts from the committed picture: a preview, a dragged cell
  // or an unfinished gesture never survives a change of mode. A mode already
  // retired stays so (the clipboard's paste hands its piece on from there).
  if (mode_) retired_ = std::move(mode_);
  // The view's own copy belonged to the old mode's previews.
  view_->FollowPicture();
  view_->RestoreAll(document_.Picture());
  if (document_.Picture().HasPixels()) mode_ = MakeMode(kind);
  ReflectMode();
  if (mode_) mode_->Enter();
  DropRetiredMode();
}

void TForm1::DropRetiredMode() {
  // Inside a mode's own handler the old mode lives until the handler returns.
  if (!mouseDownRunning_ && !mouseMoveRunning_ && !mouseUpRunning_ && !historyRunning_) retired_.reset();
}

void TForm1::CanvasCommand(int kind) {
  MainMode next;
  if (!ModeFromNumber(kind, next)) return;
  switch (next) {
    case MainMode::None:
      if (mode_) mode_->Confirm();
      EnterMode(MainMode::None);
      break;
    case MainMode::ExchangeWithSub:
      if (mode_) mode_->Leave(false);
      EnterMode(MainMode::None);
      ExchangeWithSub();
      break;
    case MainMode::CellExchange:
      // The jigsaw goes on when its own mode is chosen again.
      if (mode_ && mode_->Kind() == next && static_cast<CellMode&>(*mode_).Playing()) {
        mode_->FramesChanged();
        view_->RestoreAll(document_.Picture());
        break;
      }
      [[fallthrough]];
    default:
      if (mode_) mode_->Leave(false);
      EnterMode(next);
      break;
  }
}

void TForm1::MN_REALClick() {
  CanvasCommand(ModeNumber(MainMode::None));
  setWindowTitle(FileCaption());
}

void TForm1::PaintBox1DblClick() { CanvasCommand(ModeNumber(MainMode::None)); }

void TForm1::MN_HensyuModeClick() {
  const MainMode current = mode_ ? mode_->Kind() : MainMode::None;
  if (current == MainMode::None)
    EnterMode(MainMode::Edit);
  else if (current == MainMode::Edit) {
    mode_->Leave(false);
    EnterMode(MainMode::None);
  }
}

void TForm1::PasteAtTypedPosition(bool edgeCut) {
  int x = 0, y = 0;
  if (!app_.AskPastePosition(x, y)) return;
  const MainMode remembered = mode_ ? mode_->Kind() : MainMode::None;
  retired_ = std::move(mode_);
  if (document_.Picture().HasPixels()) {
    PasteMode paste(*this, edgeCut ? MainMode::PasteFromEditEdgeCut : MainMode::PasteFromEdit);
    paste.PasteAt({x, y});
  }
  view_->RestoreAll(document_.Picture());
  // The mode the user was in goes on, with its item checked again; a paste
  // mode shows a fresh preview over the new picture.
  const bool paste = remembered == MainMode::PasteFromEdit || remembered == MainMode::PasteFromEditEdgeCut ||
                     remembered == MainMode::PasteFromClipboard;
  if (paste) {
    EnterMode(remembered);
    return;
  }
  if (document_.Picture().HasPixels()) mode_ = MakeMode(remembered);
  DropRetiredMode();
  ReflectMode();
}

void TForm1::GameSolved(int moves, const QString& duration) {
  CanvasCommand(ModeNumber(MainMode::None));
  setWindowTitle(FileCaption());
  app_.dialogs().MessageBox(this, QStringLiteral("完成です！　%1手、%2で並べ終えました。").arg(moves).arg(duration),
                            QStringLiteral("ゲームクリア"), BoxButtons::Ok, BoxIcon::Information);
}

// ---- mouse ----

void TForm1::PaintBox1MouseDown(Qt::MouseButton button, int x, int y) {
  ReentryGuard guard(mouseDownRunning_);
  if (!guard.Entered() || busy_ || !document_.Picture().HasPixels() || !mode_) return;
  if (mode_->Press(button, {x, y}) == PressResult::Cancel) {
    mode_->Leave(true);
    EnterMode(MainMode::None);
  }
  retired_.reset();
}

void TForm1::PaintBox1MouseMove(Qt::MouseButton, int x, int y) {
  ReentryGuard guard(mouseMoveRunning_);
  if (!guard.Entered() || busy_ || !mode_ || !mode_->Tracking()) return;
  mode_->Move({x, y});
  retired_.reset();
}

void TForm1::PaintBox1MouseUp(Qt::MouseButton button, int x, int y) {
  ReentryGuard guard(mouseUpRunning_);
  if (!guard.Entered() || busy_ || !mode_ || !mode_->Tracking()) return;
  mode_->Release(button, {x, y});
  retired_.reset();
}

// ---- the exchange with the sub canvas ----

void TForm1::Changed(const Rect& rect, const std::vector<PaletteChange>& palette) {
  document_.Touch(rect);
  document_.Commit(palette);
  app_.CanvasPictureChanged();
  emit app_.session().historyChanged();
}

void TForm1::TakePicture(IndexedImage& picture, const std::string& name, const std::vector<PaletteChange>& palette) {
  document_.Replace(std::move(picture), name, palette);
  view_->ShowPicture(document_.Picture());
  app_.CanvasPictureChanged();
  emit app_.session().historyChanged();
  // Nothing picked, drawn or previewed on the old picture goes on over the
  // new one; the mode itself stays, afresh.
  if (mode_) {
    const MainMode kind = mode_->Kind();
    retired_ = std::move(mode_);
    mode_ = MakeMode(kind);
    if (mode_) mode_->PictureChanged();
    DropRetiredMode();
  }
}

void TForm1::RestorePicture(IndexedImage& picture, const std::string& name) {
  TakePicture(picture, name);
  document_.MarkModified();
  setWindowTitle(FileCaption());
}

void TForm1::ExchangeWithSub() {
  // Both pictures must exist, or the exchange would leave one canvas empty.
  if (!app_.SubPicture().HasPixels() || !document_.Picture().HasPixels()) return;
  SetBusy(true);
  // A picture travels with its name and modified flag, so that a save after
  // the exchange writes each picture to its own file. On each canvas the
  // exchange is one step.
  CanvasContent outgoing{{}, document_.FileName(), document_.Modified()};
  bool ok = CreateImage(document_.Picture().ImageWidth(), document_.Picture().ImageHeight(), outgoing.picture);
  if (ok) {
    CopyImage(outgoing.picture, document_.Picture(), kNoTransparent);
    outgoing.picture.mag = document_.Picture().mag;
    CanvasContent incoming;
    ok = app_.SubSwapContent(outgoing, incoming);
    if (ok) {
      TakePicture(incoming.picture, incoming.name);
      document_.SetModified(incoming.modified);
      setWindowTitle(FileCaption());
    }
  }
  if (!ok) app_.ShowError(QStringLiteral("画像を交換するメモリがありません"));
  SetBusy(false);
  view_->ComposeAll();
}

void TForm1::FillBackground(std::uint8_t left, std::uint8_t right, bool horizontal, const SwatchArrangement& order) {
  IndexedImage& picture = document_.Picture();
  IndexedImage spare;
  CreateImage(picture.ImageWidth(), picture.ImageHeight(), spare);
  zudizar::FillBackground(picture, spare, left, right, horizontal, order);
  Changed(ImageRect(picture));
  // A running paste preview starts again from the filled picture.
  if (mode_) mode_->PictureChanged();
  view_->RestoreAll(picture);
}

// ---- undo and redo ----

void TForm1::ReflectHistory() {
  if (QAction* undo = Action(QStringLiteral("MN_MAINUNDO"))) undo->setEnabled(document_.CanUndo());
  if (QAction* redo = Action(QStringLiteral("MN_MAINREDO"))) redo->setEnabled(document_.CanRedo());
}

void TForm1::MoveInHistory(bool forward) {
  if (busy_ || mouseDownRunning_ || mouseMoveRunning_ || mouseUpRunning_) return;
  ReentryGuard guard(historyRunning_);
  if (!guard.Entered()) return;
  // A preview, a drag or a selection for the edit palette ends first.
  const bool overlay = mode_ && mode_->EndForHistory();
  HistoryMove move = forward ? document_.Redo() : document_.Undo();
  if (move.moved) {
    const bool mapped = FollowMoveOnCanvas(app_.session(), document_, *view_, move,
                                           app_.EntriesInUseBeside(App::CanvasId::Main), overlay);
    if (mode_) mode_->HistoryMoved(move.resized);
    app_.CanvasPictureChanged();
    QString caption = FileCaption();
    if (mapped) caption += QString::fromUtf8(kColoursMappedNote);
    if (!mode_ || mode_->Kind() != MainMode::CellExchange) setWindowTitle(caption);
  }
  emit app_.session().historyChanged();
  retired_.reset();
}

void TForm1::MN_UNDOMEMORYClick() {
  QDialog dialog(this);
  dialog.setObjectName(QStringLiteral("UndoMemoryDialog"));
  dialog.setWindowTitle(QStringLiteral("元に戻す履歴のメモリ"));
  auto* layout = new QVBoxLayout(&dialog);
  auto* label = new QLabel(QStringLiteral("メイン・編集・サブの履歴を合わせて、この大きさまで覚えます。\n"
                                          "超えると古い手順から忘れます。"),
                           &dialog);
  layout->addWidget(label);
  auto* spin = new QSpinBox(&dialog);
  spin->setObjectName(QStringLiteral("UndoMemorySpin"));
  spin->setRange(App::kUndoMemoryMinMB, App::kUndoMemoryMaxMB);
  spin->setSuffix(QStringLiteral(" MB"));
  spin->setValue(app_.UndoMemoryMB());
  layout->addWidget(spin);
  auto* used = new QLabel(
      QStringLiteral("使用中: %1 MB").arg(static_cast<double>(app_.session().budget.Used()) / (1 << 20), 0, 'f', 1),
      &dialog);
  used->setObjectName(QStringLiteral("UndoMemoryUsed"));
  layout->addWidget(used);
  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, &dialog);
  connect(buttons, &QDialogButtonBox::accepted, &dialog, &QDialog::accept);
  connect(buttons, &QDialogButtonBox::rejected, &dialog, &QDialog::reject);
  layout->addWidget(buttons);
  if (app_.dialogs().Exec(dialog) != QDialog::Accepted) return;
  app_.SetUndoMemoryMB(spin->value());
  // Steps the smaller budget dropped can no longer be taken.
  emit app_.session().historyChanged();
}

}  // namespace zudizar

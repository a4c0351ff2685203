// The main canvas at work: frames and snapping, the canvas modes with their
// mouse handling, the transfers with the edit and sub palettes, and the cell
// commands. Picture logic lives in core/frames and core/transfer; this file
// translates events and composes what the user sees.
#include <QAction>
#include <QEvent>
#include <QScrollArea>
#include <QScrollBar>

#include "core/frames.h"
#include "core/region.h"
#include "core/transfer.h"
#include "ui/app/app.h"
#include "ui/colour/colour_window.h"
#include "ui/common/dialogs.h"
#include "ui/common/paint_box.h"
#include "ui/edit/edit_window.h"
#include "ui/main/main_window.h"
#include "ui/main/position_dialog.h"
#include "ui/sub/sub_window.h"

namespace zudizar {

namespace {

constexpr std::uint8_t kOutlineColour = 248;
constexpr const char* kTransferItems[] = {"MN_EDITTOCOPY", "MN_EDITTOCOPYR", "MN_EDITTOMOVE", "MN_EDITCOPY",
                                          "MN_EDITCOPYR",  "MN_SUBCOPY",     "MN_MAINCOPY",   "MN_MAINMOVE",
                                          "MN_MAINCHANGE", "MN_HensyuMode"};

// Runs a handler once; a nested call while it runs returns at once.
class Reentry {
 public:
  explicit Reentry(bool& running) : running_(running), entered_(!running) { running_ = true; }
  ~Reentry() {
    if (entered_) running_ = false;
  }
  bool Entered() const { return entered_; }

 private:
  bool& running_;
  bool entered_;
};

QRect ToQRect(Rect r) { return {r.x, r.y, r.width, r.height}; }

bool IsSelectionMode(int mode) { return mode >= 1 && mode <= 3; }
bool IsPasteMode(int mode) { return mode == 4 || mode == 5; }
bool IsCellMode(int mode) { return mode >= 21 && mode <= 23; }

}  // namespace

// ---- composing ----

bool TForm1::HalfLeft() const { return Action(QStringLiteral("MN_MODEHALFLEFT"))->isChecked(); }
bool TForm1::HalfUp() const { return Action(QStringLiteral("MN_MODEHALFUP"))->isChecked(); }

Point TForm1::Snap(Point p) const { return SnapPoint(p, FrameSize, HalfLeft(), HalfUp()); }

void TForm1::ComposeRect(Rect r) { ComposeFrom(ViewImage, r); }

void TForm1::ComposeFrom(const IndexedImage& source, Rect r) {
  const Rect area = r.Intersect(ImageRect(DisplayImage)).Intersect(ImageRect(source));
  if (area.Empty()) return;
  CopyClipped(DisplayImage, {area.x, area.y}, source, area);
  if (FrameSize != 0)
    DrawFrameGridRect(DisplayImage, HalfLeft() ? FrameSize / 2 : 0, HalfUp() ? FrameSize / 2 : 0, FrameSize,
                      kOutlineColour, PictureImage.ImageWidth(), PictureImage.ImageHeight(), area);
  // The outline costs its perimeter; drawing it whole keeps it intact across the rectangle.
  if (!selection_.Empty() && !selection_.Intersect(area).Empty())
    DrawRectOutline(DisplayImage, selection_.x, selection_.y, selection_.Right() - 1, selection_.Bottom() - 1,
                    kOutlineColour);
  blanked_ = false;
  PaintBox1->update(ToQRect(area));
}

void TForm1::ComposeAll() {
  DrawnFrameSize = FrameSize;
  ComposeRect(ImageRect(DisplayImage));
}

void TForm1::RestoreViewRect(Rect r) {
  CopyClipped(ViewImage, {r.x, r.y}, PictureImage, r);
  ComposeRect(r);
}

void TForm1::RecreateWorkBuffers() {
  // Edit mode, the previews and the cell commands work on picture-sized copies.
  const int w = PictureImage.ImageWidth(), h = PictureImage.ImageHeight();
  for (IndexedImage* image : {&PieceImage, &ToolImage, &BackupImage}) {
    CreateImage(w, h, *image);
    CopyImage(*image, PictureImage, kNoTransparent);
  }
  // Nothing picked, drawn or previewed on the old picture goes on over the new one.
  selection_ = preview_ = {};
  Tracking = false;
  editTools_.Cancel();
  EndJigsaw();
}

// ---- CanvasCommand ----

void TForm1::CheckTransferItems(const char* checked) {
  for (const char* name : kTransferItems) {
    QAction* item = Action(QString::fromLatin1(name));
    if (item) item->setChecked(checked && qstrcmp(name, checked) == 0);
  }
}

void TForm1::StartEditTransfer(int mode) { app_.edit().SetTransferMode(mode); }

void TForm1::CanvasCommand(int kind) {
  Tracking = false;
  editTools_.Cancel();
  const int previousMode = Mode;
  // Every command starts from the committed picture: a preview, a dragged cell
  // or an unfinished edit-mode gesture never survives a change of mode.
  CopyImage(ViewImage, PictureImage, kNoTransparent);
  selection_ = preview_ = {};
  if (kind != 23 && kind != 0) EndJigsaw();

  if (kind >= 1 && kind <= 3) {
    PositionX = ScrollX();
    PositionY = ScrollY();
  } else if (kind == 4 || kind == 5) {
    Confirming = false;
    PositionX = ScrollX();
    PositionY = ScrollY();
    CopyImage(BackupImage, PictureImage, kNoTransparent);
  } else if (kind == 8) {
    ExchangeWithSub();
  }

  if (kind == 0) {
    Confirming = true;
    if (IsSelectionMode(Mode)) {
      const IndexedImage& edit = app_.edit().EditImage;
      RegionWidth = edit.ImageWidth();
      RegionHeight = edit.ImageHeight();
      const int transparent = TransferTransparent(Mode, PictureImage);
      app_.edit().CopyIntoEdit(PositionX, PositionY, transparent, PictureImage, RegionHeight, RegionWidth);
      if (Mode == 3) {
        // Exactly the region the edit palette took.
        const Rect taken = ClampTransfer(PositionX, PositionY, RegionHeight, RegionWidth, PictureImage.ImageWidth(),
                                         PictureImage.ImageHeight(), RegionWidth, RegionHeight);
        FillClipped(PictureImage, taken, BackgroundColour(PictureImage));
        CopyImage(ViewImage, PictureImage, kNoTransparent);
        MarkModified();
      }
    } else if (IsPasteMode(Mode)) {
      ShowPastePreview(PictureImage, PositionX, PositionY);
      CopyImage(ViewImage, PictureImage, kNoTransparent);
      MarkModified();
    }
    Confirming = false;
  }
  // A selection that ends other than by confirm or cancel leaves no stale preview in the edit palette.
  if (IsSelectionMode(previousMode) && kind != 0) app_.edit().RestoreView();

  switch (kind) {
    case 0:
    case 8:
      Mode = 0;
      CheckTransferItems(nullptr);
      if (kind == 0) EndJigsaw();
      break;
    case 1:
    case 2:
    case 3: {
      static constexpr const char* kItems[] = {"MN_EDITTOCOPY", "MN_EDITTOCOPYR", "MN_EDITTOMOVE"};
      Mode = kind;
      CheckTransferItems(kItems[kind - 1]);
      break;
    }
    case 4:
    case 5:
      Mode = kind;
      CheckTransferItems(kind == 4 ? "MN_EDITCOPY" : "MN_EDITCOPYR");
      break;
    case 21:
    case 22:
    case 23: {
      static constexpr const char* kItems[] = {"MN_MAINCOPY", "MN_MAINMOVE", "MN_MAINCHANGE"};
      Mode = kind;
      CheckTransferItems(kItems[kind - 21]);
      break;
    }
    default:
      break;
  }
  ComposeAll();
  if (kind == 4 || kind == 5) ShowPastePreview(DisplayImage, PositionX, PositionY);
}

void TForm1::MN_REALClick() {
  CanvasCommand(0);
  setWindowTitle(QStringLiteral("ﾒｲﾝﾊﾟﾚｯﾄ ") + CurrentFileName);
}

void TForm1::PaintBox1DblClick() { CanvasCommand(0); }

// ---- selection for the edit palette (modes 1–3) ----

void TForm1::TrackSelection(int x, int y) {
  if (!PictureImage.HasPixels()) return;
  const IndexedImage& edit = app_.edit().EditImage;
  RegionWidth = edit.ImageWidth();
  RegionHeight = edit.ImageHeight();
  x = std::clamp(x, 0, PictureImage.ImageWidth() - 1);
  y = std::clamp(y, 0, PictureImage.ImageHeight() - 1);
  const int transparent = Mode == 2 ? BackgroundColour(PictureImage) : kNoTransparent;
  app_.edit().PreviewTransfer(x, y, transparent, PictureImage, RegionHeight, RegionWidth);
  // The outline is drawn only without a frame; a frame set meanwhile takes an old one away.
  const Rect old = selection_;
  selection_ = FrameSize == 0 ? Rect{x, y, RegionWidth, RegionHeight}.Intersect(ImageRect(PictureImage)) : Rect{};
  ComposeRect(old.Union(selection_));
  PositionX = x;
  PositionY = y;
  setWindowTitle(QStringLiteral("確定をマウスクリックして下さい"));
}

// ---- paste preview (modes 4–5) ----

void TForm1::ShowPastePreview(IndexedImage& target, int x, int y) {
  Reentry guard(previewRunning_);
  if (!guard.Entered() || !PictureImage.HasPixels()) return;
  x = std::max(x, 0);
  y = std::max(y, 0);
  const IndexedImage& edit = app_.edit().EditImage;
  RegionWidth = edit.ImageWidth();
  RegionHeight = edit.ImageHeight();
  const int transparent = Mode == 5 ? BackgroundColour(edit) : kNoTransparent;
  if (&target == &PictureImage) {
    CopyRegion(PictureImage, x, y, edit, 0, 0, RegionWidth, RegionHeight, transparent);
  } else {
    // The preview lives in ViewImage, built from BackupImage (the picture when
    // the mode started), so every later composition keeps it and the grid is
    // drawn once, over it.
    const int w = PictureImage.ImageWidth(), h = PictureImage.ImageHeight();
    const Rect old = preview_;
    CopyClipped(ViewImage, {old.x, old.y}, BackupImage, old);
    CopyRegion(ViewImage, x, y, edit, 0, 0, RegionWidth, RegionHeight, transparent);
    // The area CopyRegion touches: its start is clamped onto the picture.
    preview_ = Rect{std::min(x, w - 1), std::min(y, h - 1), RegionWidth, RegionHeight}.Intersect(ImageRect(ViewImage));
    if (!Confirming && !preview_.Empty())
      DrawRectOutline(ViewImage, x, y, x + RegionWidth - 1, y + RegionHeight - 1, kOutlineColour);
    ComposeRect(old.Union(preview_));
  }
  PositionX = x;
  PositionY = y;
}

// ---- paste at a typed position ----

void TForm1::MN_MAINTOCOPYClick() { PasteAtTypedPosition(4); }
void TForm1::MN_MAINTOCOPYRClick() { PasteAtTypedPosition(5); }

void TForm1::PasteAtTypedPosition(int mode) {
  TITISITEF& dialog = app_.position();
  if (app_.dialogs().Exec(dialog) != QDialog::Accepted) return;
  PaintEnabled = false;
  PositionX = dialog.X;
  PositionY = dialog.Y;
  PaintEnabled = true;
  const int remembered = Mode;
  Mode = mode;
  Action(QStringLiteral("MN_HensyuMode"))->setChecked(false);
  CanvasCommand(0);
  // The mode the user was in goes on, with its item checked again.
  if (IsPasteMode(remembered)) {
    CanvasCommand(remembered);  // a fresh preview over the new picture
    return;
  }
  Mode = remembered;
  static constexpr std::pair<int, const char*> kItems[] = {
      {1, "MN_EDITTOCOPY"}, {2, "MN_EDITTOCOPYR"}, {3, "MN_EDITTOMOVE"}, {20, "MN_HensyuMode"},
      {21, "MN_MAINCOPY"},  {22, "MN_MAINMOVE"},   {23, "MN_MAINCHANGE"}};
  for (const auto& [value, name] : kItems)
    if (value == Mode) Action(QString::fromLatin1(name))->setChecked(true);
}

// ---- exchange with the sub palette (kind 8) ----

void TForm1::ExchangeWithSub() {
  Reentry guard(exchangeRunning_);
  if (!guard.Entered()) return;
  TTAVOSUBF& sub = app_.sub();
  // Both pictures must exist, or the exchange would leave one canvas empty.
  if (!sub.SubPictureImage.HasPixels() || !PictureImage.HasPixels()) return;
  Busy = true;
  CreateImage(sub.SubPictureImage.ImageWidth(), sub.SubPictureImage.ImageHeight(), BackupImage);
  CopyImage(BackupImage, sub.SubPictureImage, kNoTransparent);
  sub.ReceiveMainPicture();
  const int w = BackupImage.ImageWidth(), h = BackupImage.ImageHeight();
  CreateImage(w, h, PictureImage);
  CopyImage(PictureImage, BackupImage, kNoTransparent);
  for (IndexedImage* image : {&DisplayImage, &ViewImage}) {
    CreateImage(w, h, *image);
    CopyImage(*image, PictureImage, kNoTransparent);
  }
  RecreateWorkBuffers();
  Scroll->horizontalScrollBar()->setValue(0);
  Scroll->verticalScrollBar()->setValue(0);
  PaintEnabled = false;
  PaintBox1->SetAreaSize(w, h);
  PaintEnabled = true;
  Busy = false;
  MarkModified();
}

// ---- cells within the main palette (modes 21–23) ----

void TForm1::DropCellDrag() {
  if (!Tracking || !IsCellMode(Mode)) return;
  Tracking = false;
  CopyImage(ViewImage, PictureImage, kNoTransparent);
}

void TForm1::CellPress(Point p) {
  if (FrameSize == 0) {
    // Without a frame the whole picture follows the pointer with its centre.
    CopyImage(BackupImage, PictureImage, kNoTransparent);
    const int w = PictureImage.ImageWidth(), h = PictureImage.ImageHeight();
    ShiftPicture(DisplayImage, BackupImage, p.x - w / 2, p.y - h / 2, BackgroundColour(PictureImage));
    PaintBox1->update();
    DragStart = DragCurrent = p;
    Tracking = true;
    return;
  }
  const Point s = Snap(p);
  const Rect cell = CellRect(s, FrameSize, PictureImage.ImageWidth(), PictureImage.ImageHeight());
  TakeCell(carried_, PictureImage, cell, BackgroundColour(PictureImage));
  DragStart = DragCurrent = s;
  Tracking = true;
}

void TForm1::CellDrag(Point p) {
  const int w = PictureImage.ImageWidth(), h = PictureImage.ImageHeight();
  if (FrameSize == 0) {
    ShiftPicture(DisplayImage, BackupImage, p.x - w / 2, p.y - h / 2, BackgroundColour(PictureImage));
    PaintBox1->update();
    DragCurrent = p;
    return;
  }
  const Point s = Snap(p);
  const Rect next = CellRect(s, FrameSize, w, h);
  const Rect old = CellRect(DragCurrent, FrameSize, w, h);
  if (next == old) return;
  CopyClipped(ViewImage, {old.x, old.y}, PictureImage, old);
  PutCell(ViewImage, next, carried_);
  ComposeRect(old);
  ComposeRect(next);
  DragCurrent = s;
}

void TForm1::CellDrop(Point p) {
  Tracking = false;
  const int w = PictureImage.ImageWidth(), h = PictureImage.ImageHeight();
  if (FrameSize == 0) {
    const int dx = p.x - w / 2, dy = p.y - h / 2;
    ShiftPicture(PictureImage, BackupImage, dx, dy, BackgroundColour(BackupImage));
    CopyImage(ViewImage, PictureImage, kNoTransparent);
    ComposeAll();
    if (dx != 0 || dy != 0) MarkModified();
    return;
  }
  const Point s = Snap(p);
  const Rect cell = CellRect(s, FrameSize, w, h);
  const Rect start = CellRect(DragStart, FrameSize, w, h);
  const Rect shown = CellRect(DragCurrent, FrameSize, w, h);
  const bool moved = cell != start;
  if (Mode == 21) {
    PutCell(PictureImage, cell, carried_);
  } else if (Mode == 22) {
    PutCell(PictureImage, cell, carried_);
    if (moved) FillClipped(PictureImage, start, BackgroundColour(PictureImage));
  } else if (moved) {
    ExchangeCells(PictureImage, start, cell, BackgroundColour(PictureImage));
  }
  for (Rect r : {shown, start, cell}) RestoreViewRect(r);
  if (moved) {
    MarkModified();
    if (Mode == 23) JigsawMoveMade();
  }
}

void TForm1::TurnCellAt(Point p) {
  if (FrameSize == 0) return;
  const Rect cell = CellRect(Snap(p), FrameSize, PictureImage.ImageWidth(), PictureImage.ImageHeight());
  Busy = true;
  const bool turned = TurnCell(PictureImage, cell, 90, BackgroundColour(PictureImage));
  Busy = false;
  if (!turned) return;
  RestoreViewRect(cell);
  MarkModified();
  if (Mode == 23) JigsawMoveMade();
}

// ---- mouse ----

void TForm1::PaintBox1MouseDown(Qt::MouseButton button, int x, int y) {
  Reentry guard(mouseDownRunning_);
  if (!guard.Entered() || Busy || !PictureImage.HasPixels()) return;
  const Point p{x, y};
  if (button == Qt::RightButton) {
    if (IsSelectionMode(Mode)) {
      Tracking = false;
      Mode = 0;
      CanvasCommand(0);
      app_.edit().RestoreView();
      app_.edit().SetTransferMode(0);
    } else if (IsPasteMode(Mode)) {
      Tracking = false;
      Mode = 0;
      Action(QStringLiteral("MN_HensyuMode"))->setChecked(false);
      CanvasCommand(0);  // restores ViewImage from PictureImage: the preview is gone
    } else if (IsCellMode(Mode) && !Tracking) {
      TurnCellAt(p);
    } else if (Mode == 20 && !Tracking) {
      EditModePress(button, p);
    }
    return;
  }
  if (button != Qt::LeftButton) return;
  if (IsSelectionMode(Mode)) {
    Tracking = true;
    const Point s = Snap(p);
    TrackSelection(s.x, s.y);
  } else if (IsPasteMode(Mode)) {
    Tracking = true;
    const Point s = Snap(p);
    ShowPastePreview(DisplayImage, s.x, s.y);
  } else if (IsCellMode(Mode)) {
    CellPress(p);
  } else if (Mode == 20 && !Tracking) {
    EditModePress(button, p);
  }
}

void TForm1::PaintBox1MouseMove(Qt::MouseButton, int x, int y) {
  Reentry guard(mouseMoveRunning_);
  if (!guard.Entered() || Busy || !Tracking) return;
  const Point p{x, y};
  if (IsSelectionMode(Mode)) {
    const Point s = Snap(p);
    TrackSelection(s.x, s.y);
  } else if (IsPasteMode(Mode)) {
    const Point s = Snap(p);
    ShowPastePreview(DisplayImage, s.x, s.y);
  } else if (IsCellMode(Mode)) {
    CellDrag(p);
  } else if (Mode == 20) {
    EditModeMove(p);
  }
}

void TForm1::PaintBox1MouseUp(Qt::MouseButton button, int x, int y) {
  if (Busy || !Tracking) return;
  const Point p{x, y};
  // Edit-mode gestures end with the button that started them; everything else with the left one.
  if (Mode == 20) {
    if ((button == Qt::RightButton) == editTools_.RightDrag()) EditModeRelease(p);
    return;
  }
  if (button != Qt::LeftButton) return;
  if (IsSelectionMode(Mode)) {
    const Point s = Snap(p);
    TrackSelection(s.x, s.y);
    Tracking = false;
  } else if (IsPasteMode(Mode)) {
    const Point s = Snap(p);
    ShowPastePreview(DisplayImage, s.x, s.y);
    Tracking = false;
  } else if (IsCellMode(Mode)) {
    CellDrop(p);
  } else {
    Tracking = false;
  }
}

// ---- edit mode (20) ----

void TForm1::MN_HensyuModeClick() {
  QAction* item = Action(QStringLiteral("MN_HensyuMode"));
  if (Mode == 0 && !item->isChecked()) {
    // Edit mode starts from the committed picture.
    CopyImage(ViewImage, PictureImage, kNoTransparent);
    ComposeAll();
    item->setChecked(true);
    Mode = 20;
  } else if (Mode == 20) {
    Tracking = false;
    editTools_.Cancel();
    CopyImage(ViewImage, PictureImage, kNoTransparent);
    ComposeAll();
    item->setChecked(false);
    Mode = 0;
  }
}

// The shared tool and pen, the main window's colours.
ToolInk TForm1::EditModeInk() {
  app_.colour().GetSwatchArrangement(gradientOrder_);
  return {LeftColour, RightColour, &gradientOrder_};
}

void TForm1::ShowToolStep(const ToolStep& step) {
  switch (step.present) {
    case Present::FromWork: ComposeFrom(ToolImage, step.rect); break;
    case Present::FromPicture: ComposeRect(step.rect); break;
    case Present::WholeView: ComposeAll(); break;
    case Present::Nothing: break;
  }
  Tracking = editTools_.Dragging();
  if (!step.committed) return;
  CopyImage(PictureImage, ViewImage, kNoTransparent);
  MarkModified();
}

void TForm1::EditModePress(Qt::MouseButton button, Point p) {
  if (button != Qt::LeftButton && button != Qt::RightButton) return;
  // ViewImage is the picture being edited, ToolImage the work buffer, PieceImage the stamp.
  const ToolRow* row = FindTool(app_.session().tools.DrawingTool());
  const bool slow = row && row->joining == Joining::OnePoint;
  if (slow) app_.edit().setWindowTitle(QStringLiteral("しばらくお待ち下さい"));
  const ToolStep step = editTools_.Press({ViewImage, ToolImage, PieceImage}, EditModeInk(), p, button == Qt::RightButton);
  if (slow) app_.edit().setWindowTitle(QStringLiteral("編集ﾊﾟﾚｯﾄ ") + CurrentFileName);
  ShowToolStep(step);
}

void TForm1::EditModeMove(Point p) {
  ShowToolStep(editTools_.Move({ViewImage, ToolImage, PieceImage}, EditModeInk(), p));
}

void TForm1::EditModeRelease(Point p) {
  ShowToolStep(editTools_.Release({ViewImage, ToolImage, PieceImage}, EditModeInk(), p));
}

// ---- palettes shown and hidden ----

void TForm1::FollowPaletteVisibility() {
  app_.edit().installEventFilter(this);
  app_.sub().installEventFilter(this);
}

bool TForm1::eventFilter(QObject* watched, QEvent* event) {
  if (event->type() == QEvent::Show || event->type() == QEvent::Hide) {
    const bool shown = event->type() == QEvent::Show;
    // By type: the App may be dropping its windows while they announce their hiding.
    if (qobject_cast<TTAVOEDTF*>(watched)) Action(QStringLiteral("MN_EDIT"))->setChecked(shown);
    else if (qobject_cast<TTAVOSUBF*>(watched)) Action(QStringLiteral("MN_SUB"))->setChecked(shown);
  }
  return QMainWindow::eventFilter(watched, event);
}

}  // namespace zudizar

#include "ui/main/canvas_modes.h"

#include <QDateTime>
#include <algorithm>

#include "core/frames.h"
#include "core/region.h"
#include "core/transfer.h"
#include "ui/app/app.h"
#include "ui/common/canvas_view.h"
#include "ui/common/document.h"
#include "ui/common/file_names.h"
#include "ui/main/main_window.h"

namespace zudizar {

namespace {

const QString kPlayCaption = QStringLiteral("マウス左でマス移動、マウス右でマス回転です。");

QString DurationText(qint64 ms) {
  const qint64 seconds = ms / 1000;
  if (seconds < 60) return QStringLiteral("%1秒").arg(seconds);
  return QStringLiteral("%1分%2秒").arg(seconds / 60).arg(seconds % 60);
}

}  // namespace

bool ModeFromNumber(int number, MainMode& mode) {
  switch (number) {
    case 0:
    case 1:
    case 2:
    case 3:
    case 4:
    case 5:
    case 8:
    case 20:
    case 21:
    case 22:
    case 23: mode = static_cast<MainMode>(number); return true;
    default: return false;
  }
}

App& CanvasMode::app() const { return window_.app_; }
Document& CanvasMode::document() const { return window_.document_; }
CanvasView& CanvasMode::view() const { return *window_.view_; }
const IndexedImage& CanvasMode::picture() const { return window_.document_.Picture(); }
void CanvasMode::Caption(const QString& caption) const { window_.setWindowTitle(caption); }
void CanvasMode::Solved(int moves, const QString& duration) const { window_.GameSolved(moves, duration); }

// ---- the transfer modes' gesture ----

PressResult FollowingMode::Press(Qt::MouseButton button, Point p) {
  if (button == Qt::RightButton) return PressResult::Cancel;
  if (button != Qt::LeftButton) return PressResult::Stay;
  tracking_ = true;
  Follow(view().Snap(p));
  return PressResult::Stay;
}

void FollowingMode::Move(Point p) { Follow(view().Snap(p)); }

void FollowingMode::Release(Qt::MouseButton button, Point p) {
  if (button != Qt::LeftButton) return;
  Follow(view().Snap(p));
  tracking_ = false;
}

// ---- selection for the edit palette ----

SelectionMode::SelectionMode(TForm1& window, MainMode kind) : FollowingMode(window), kind_(kind) {
  position_ = {view().ScrollX(), view().ScrollY()};
}

void SelectionMode::Follow(Point p) {
  const IndexedImage& source = picture();
  if (!source.HasPixels()) return;
  const IndexedImage& edit = app().EditPicture();
  const int w = edit.ImageWidth(), h = edit.ImageHeight();
  p.x = std::clamp(p.x, 0, source.ImageWidth() - 1);
  p.y = std::clamp(p.y, 0, source.ImageHeight() - 1);
  const int transparent = kind_ == MainMode::CopyToEditEdgeCut ? BackgroundColour(source) : kNoTransparent;
  app().EditPreviewTransfer(p.x, p.y, transparent, source, h, w);
  // The outline is drawn only without a frame.
  const Rect region = Rect{p.x, p.y, w, h}.Intersect(ImageRect(source));
  view().SetOutline(view().Frame() == 0 ? region : Rect{});
  view().SetGestureRect(region);
  position_ = p;
  Caption(QStringLiteral("確定をマウスクリックして下さい"));
}

void SelectionMode::Confirm() {
  const IndexedImage& edit = app().EditPicture();
  const int w = edit.ImageWidth(), h = edit.ImageHeight();
  IndexedImage& source = document().Picture();
  const int transparent = TransferTransparent(ModeNumber(kind_), source);
  app().EditCopyIn(position_.x, position_.y, transparent, source, h, w);
  if (kind_ != MainMode::MoveToEdit) return;
  // Exactly the region the edit palette took.
  const Rect taken = ClampTransfer(position_.x, position_.y, h, w, source.ImageWidth(), source.ImageHeight(), w, h);
  FillClipped(source, taken, BackgroundColour(source));
  window().Changed(taken);
}

Rect SelectionMode::Region() const {
  const IndexedImage& edit = app().EditPicture();
  const int w = edit.ImageWidth(), h = edit.ImageHeight();
  return ClampTransfer(position_.x, position_.y, h, w, picture().ImageWidth(), picture().ImageHeight(), w, h);
}

bool SelectionMode::EndForHistory() {
  // No stale preview stays in the edit palette, and no outline here.
  app().EditRestoreView();
  view().SetOutline({});
  return false;
}

void SelectionMode::Leave(bool byUser) {
  // No stale preview stays in the edit palette.
  app().EditRestoreView();
  if (byUser) app().EditSetTransferMode(kTransferNone);
}

// ---- paste from the edit palette ----

PasteMode::PasteMode(TForm1& window, MainMode kind) : FollowingMode(window), kind_(kind) {
  position_ = {view().ScrollX(), view().ScrollY()};
}

PasteMode::PasteMode(TForm1& window, ClipboardPiece piece) : PasteMode(window, MainMode::PasteFromClipboard) {
  clip_ = std::move(piece);
}

const IndexedImage& PasteMode::Piece() {
  if (kind_ != MainMode::PasteFromClipboard) return app().EditPicture();
  // Another load may have taken the entries the piece's colours were put in.
  FollowSharedPalette(clip_);
  return clip_.picture;
}

void PasteMode::Enter() {
  PictureChanged();
  ShowPreview(position_);
}

bool PasteMode::EndForHistory() {
  const bool shown = !preview_.Empty();
  preview_ = {};
  return shown;
}

void PasteMode::PictureChanged() {
  // The picture stays as it is while the preview moves: it is what a
  // preview's old place is restored from.
  preview_ = {};
}

int PasteMode::Transparent() const {
  return kind_ == MainMode::PasteFromEditEdgeCut ? BackgroundColour(app().EditPicture()) : kNoTransparent;
}

void PasteMode::ShowPreview(Point p) {
  if (!picture().HasPixels()) return;
  p.x = std::max(p.x, 0);
  p.y = std::max(p.y, 0);
  const IndexedImage& edit = Piece();
  const int w = edit.ImageWidth(), h = edit.ImageHeight();
  // The preview lives in the view, built over the picture as it was when the
  // mode started, so every later composition keeps it; its frame is the
  // view's outline, drawn thin at every zoom.
  IndexedImage* drawn = view().DrawView();
  if (!drawn) return;
  IndexedImage& shown = *drawn;
  const Rect old = preview_;
  const Rect oldOutline = view().Outline();
  CopyClipped(shown, {old.x, old.y}, picture(), old);
  CopyRegion(shown, p.x, p.y, edit, 0, 0, w, h, Transparent());
  // The area CopyRegion touches: its start is clamped onto the picture.
  preview_ = Rect{std::min(p.x, shown.ImageWidth() - 1), std::min(p.y, shown.ImageHeight() - 1), w, h}.Intersect(
      ImageRect(shown));
  const Rect outline = preview_.Empty() ? Rect{} : Rect{p.x, p.y, w, h};
  view().SetOutline(outline, false);
  view().Compose(old.Union(preview_).Union(oldOutline.Intersect(ImageRect(shown))));
  position_ = p;
}

void PasteMode::PasteAt(Point p) {
  position_ = {std::max(p.x, 0), std::max(p.y, 0)};
  Confirm();
}

void PasteMode::Confirm() {
  IndexedImage& target = document().Picture();
  if (!target.HasPixels()) return;
  const IndexedImage& edit = Piece();
  const Point at{std::max(position_.x, 0), std::max(position_.y, 0)};
  CopyRegion(target, at.x, at.y, edit, 0, 0, edit.ImageWidth(), edit.ImageHeight(), Transparent());
  // CopyRegion clamps the start onto the picture.
  window().Changed(Rect{std::min(at.x, target.ImageWidth() - 1), std::min(at.y, target.ImageHeight() - 1),
                        edit.ImageWidth(), edit.ImageHeight()},
                   clip_.palette);
}

// ---- cells ----

CellMode::CellMode(TForm1& window, MainMode kind) : CanvasMode(window), kind_(kind) {
  // A dragged cell is drawn in the view's own copy, taken now rather than
  // during the drag.
  view().DrawView();
}

PressResult CellMode::Press(Qt::MouseButton button, Point p) {
  if (button == Qt::RightButton) {
    if (!tracking_) Turn(p);
    return PressResult::Stay;
  }
  if (button != Qt::LeftButton) return PressResult::Stay;
  const IndexedImage& source = picture();
  const int frame = view().Frame();
  if (frame == 0) {
    // Without a frame the whole picture follows the pointer with its centre.
    // The picture stays as it is until the drop: the view shows it shifted.
    view().ShowShifted(source, p.x - source.ImageWidth() / 2, p.y - source.ImageHeight() / 2,
                       BackgroundColour(source));
    start_ = current_ = p;
    tracking_ = true;
    return PressResult::Stay;
  }
  const Point s = view().Snap(p);
  TakeCell(carried_, source, CellRect(s, frame, source.ImageWidth(), source.ImageHeight()), BackgroundColour(source));
  start_ = current_ = s;
  tracking_ = true;
  return PressResult::Stay;
}

void CellMode::Move(Point p) {
  const IndexedImage& source = picture();
  const int w = source.ImageWidth(), h = source.ImageHeight();
  const int frame = view().Frame();
  if (frame == 0) {
    view().ShowShifted(source, p.x - w / 2, p.y - h / 2, BackgroundColour(source));
    current_ = p;
    return;
  }
  const Point s = view().Snap(p);
  const Rect next = CellRect(s, frame, w, h);
  const Rect old = CellRect(current_, frame, w, h);
  if (next == old) return;
  IndexedImage* shown = view().DrawView();
  if (!shown) return;
  CopyClipped(*shown, {old.x, old.y}, source, old);
  PutCell(*shown, next, carried_);
  view().Compose(old);
  view().Compose(next);
  current_ = s;
}

void CellMode::Release(Qt::MouseButton button, Point p) {
  if (button == Qt::LeftButton) Drop(p);
}

void CellMode::Drop(Point p) {
  // A release whose press went elsewhere (another mode) carries nothing.
  if (!tracking_) return;
  tracking_ = false;
  IndexedImage& target = document().Picture();
  const int w = target.ImageWidth(), h = target.ImageHeight();
  const int frame = view().Frame();
  if (frame == 0) {
    const int dx = p.x - w / 2, dy = p.y - h / 2;
    if (dx != 0 || dy != 0) {
      IndexedImage before;
      if (!CreateImage(w, h, before)) {
        view().RestoreAll(target);
        return;
      }
      CopyImage(before, target, kNoTransparent);
      ShiftPicture(target, before, dx, dy, BackgroundColour(before));
    }
    view().RestoreAll(target);
    if (dx != 0 || dy != 0) window().Changed(ImageRect(target));
    return;
  }
  const Point s = view().Snap(p);
  const Rect cell = CellRect(s, frame, w, h);
  const Rect start = CellRect(start_, frame, w, h);
  const Rect shown = CellRect(current_, frame, w, h);
  const bool moved = cell != start;
  if (kind_ == MainMode::CellCopy) {
    PutCell(target, cell, carried_);
  } else if (kind_ == MainMode::CellMove) {
    PutCell(target, cell, carried_);
    if (moved) FillClipped(target, start, BackgroundColour(target));
  } else if (moved) {
    ExchangeCells(target, start, cell, BackgroundColour(target));
  }
  for (Rect r : {shown, start, cell}) view().Restore(target, r);
  if (moved) {
    // Two cells, however far apart: only they are compared and kept.
    document().Touch(start);
    window().Changed(cell);
    MoveMade();
  }
}

void CellMode::Turn(Point p) {
  const int frame = view().Frame();
  if (frame == 0) return;
  IndexedImage& target = document().Picture();
  const Rect cell = CellRect(view().Snap(p), frame, target.ImageWidth(), target.ImageHeight());
  if (!TurnCell(target, cell, 90, BackgroundColour(target))) return;
  view().Restore(target, cell);
  window().Changed(cell);
  MoveMade();
}

void CellMode::FramesChanged() {
  // A drag cannot go on over a changed grid: it is dropped unchanged.
  if (!tracking_) return;
  tracking_ = false;
  view().RestoreAll(picture());
}

bool CellMode::EndForHistory() {
  if (!tracking_) return false;
  // The carried cell or the shifted picture goes back where it was.
  tracking_ = false;
  return true;
}

void CellMode::HistoryMoved(bool resized) {
  if (resized) view().DrawView();
  if (!game_.active) return;
  if (resized) {
    // Another picture altogether: no game goes on over it.
    game_ = {};
    return;
  }
  // Taking a move back is a move too, and may solve the puzzle.
  MoveMade();
}

void CellMode::StartGame(IndexedImage solution) {
  game_.solution = std::move(solution);
  game_.active = game_.solution.HasPixels();
  game_.moves = 0;
  game_.startedMs = QDateTime::currentMSecsSinceEpoch();
}

void CellMode::MoveMade() {
  if (kind_ != MainMode::CellExchange || !game_.active) return;
  ++game_.moves;
  Caption(kPlayCaption + QStringLiteral("　%1手").arg(game_.moves));
  if (!SamePixels(picture(), game_.solution)) return;
  const int moves = game_.moves;
  const qint64 taken = QDateTime::currentMSecsSinceEpoch() - game_.startedMs;
  game_ = {};
  // The window ends the game as a confirm would; it keeps this object alive
  // until the mouse handler that got here returns.
  Solved(moves, DurationText(taken));
}

// ---- edit mode ----

EditMode::EditMode(TForm1& window) : CanvasMode(window), tools_(app().session().tools, &app().textStamper()) {
  TakeSize();
}

// The view is the picture being drawn; previews are drawn in it too and
// taken back from the document's picture, which stays as it was until a step
// commits.
ToolTarget EditMode::Target(IndexedImage& shown) { return {shown, unusedWork_, stamp_, &document().Picture()}; }

ToolInk EditMode::Ink() {
  order_ = app().session().SwatchOrder();
  return {app().session().LeftColour(), app().session().RightColour(), &order_};
}

void EditMode::Show(const ToolStep& step) {
  // The marks are drawn in the view; the document takes the tiles they
  // touched when the gesture commits, and records them as one step.
  switch (step.present) {
    case Present::FromWork: view().Compose(step.rect); break;
    case Present::FromPicture:
      touched_.Add(step.rect);
      view().Compose(step.rect);
      break;
    case Present::WholeView:
      touched_.AddAll();
      view().ComposeAll();
      break;
    case Present::Nothing: break;
  }
  tracking_ = tools_.Dragging();
  // The stamp is held for a gesture only, not while the mode is on.
  if (!tracking_) FreeImage(stamp_);
  if (!step.committed) return;
  IndexedImage& target = document().Picture();
  const IndexedImage& drawn = view().View();
  touched_.ForEachSpan([&](int y, int x0, int x1) {
    std::copy(drawn.Row(y) + x0, drawn.Row(y) + x1, target.Row(y) + x0);
    document().Touch({x0, y, x1 - x0, 1});
  });
  touched_.Reset(target.ImageWidth(), target.ImageHeight());
  window().Changed({});
}

bool EditMode::EndForHistory() {
  if (!tools_.Dragging()) return false;
  // An unfinished stroke is dropped, as a change of mode drops it.
  tools_.Cancel();
  tracking_ = false;
  FreeImage(stamp_);
  touched_.Reset(picture().ImageWidth(), picture().ImageHeight());
  // Its marks and preview leave the view even when there is nothing to undo.
  view().RestoreAll(document().Picture());
  return true;
}

void EditMode::HistoryMoved(bool resized) {
  if (resized) TakeSize();
}

void EditMode::TakeSize() {
  // The marks are drawn in the view's own copy, taken when the mode starts
  // or the picture changes size rather than at a press.
  view().DrawView();
  FreeImage(stamp_);
  touched_.Reset(picture().ImageWidth(), picture().ImageHeight());
}

PressResult EditMode::Press(Qt::MouseButton button, Point p) {
  if (tracking_ || (button != Qt::LeftButton && button != Qt::RightButton)) return PressResult::Stay;
  IndexedImage* shown = view().DrawView();
  if (!shown) return PressResult::Stay;
  const ToolRow* row = FindTool(app().session().tools.DrawingTool());
  // A tool that acts on the whole picture at once says so in the edit palette's caption.
  const bool slow = row && row->joining == Joining::OnePoint;
  if (slow) app().SetCaption(WindowId::Edit, QStringLiteral("しばらくお待ち下さい"));
  const ToolStep step = tools_.Press(Target(*shown), Ink(), p, button == Qt::RightButton);
  if (slow) app().SetCaption(WindowId::Edit, QStringLiteral("編集ﾊﾟﾚｯﾄ ") + ShownName(document().FileName()));
  Show(step);
  return PressResult::Stay;
}

void EditMode::Move(Point p) {
  IndexedImage* shown = tools_.Dragging() ? view().DrawView() : nullptr;
  if (shown) Show(tools_.Move(Target(*shown), Ink(), p));
}

void EditMode::Release(Qt::MouseButton button, Point p) {
  // A gesture ends with the button that started it.
  if ((button == Qt::RightButton) != tools_.RightDrag()) return;
  IndexedImage* shown = tools_.Dragging() ? view().DrawView() : nullptr;
  if (shown) Show(tools_.Release(Target(*shown), Ink(), p));
}

}  // namespace zudizar

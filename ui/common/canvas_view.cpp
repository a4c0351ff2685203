#include "ui/common/canvas_view.h"

#include <QPaintEvent>
#include <QPainter>
#include <QScrollArea>
#include <QScrollBar>

#include "core/frames.h"
#include "core/region.h"
#include "ui/common/draw_image.h"
#include "ui/common/paint_box.h"

namespace zudizar {

namespace {

constexpr std::uint8_t kOutlineColour = 248;

QRect ToQRect(Rect r) { return {r.x, r.y, r.width, r.height}; }

}  // namespace

CanvasView::CanvasView(QWidget* window, int halfShortfall) : QObject(window), shortfall_(halfShortfall) {
  scroll_ = new QScrollArea(window);
  scroll_->setObjectName(QStringLiteral("ScrollBox"));
  scroll_->setWidgetResizable(false);
  scroll_->setAlignment(Qt::AlignLeft | Qt::AlignTop);
  box_ = new PaintBox;
  box_->setObjectName(QStringLiteral("PaintBox1"));
  box_->onPaint = [this](QPainter& painter, const QRect& exposed) { Present(painter, exposed); };
  box_->onMouseDown = [this](Qt::MouseButton b, int x, int y) {
    if (onPress) onPress(b, {x, y});
  };
  box_->onMouseMove = [this](Qt::MouseButton b, int x, int y) {
    if (onMove) onMove(b, {x, y});
  };
  box_->onMouseUp = [this](Qt::MouseButton b, int x, int y) {
    if (onRelease) onRelease(b, {x, y});
  };
  box_->onDoubleClick = [this] {
    if (onDoubleClick) onDoubleClick();
  };
  scroll_->setWidget(box_);
}

bool CanvasView::ShowPicture(const IndexedImage& picture) {
  IndexedImage view, screen;
  if (!CreateImage(picture.ImageWidth(), picture.ImageHeight(), view) ||
      !CreateImage(picture.ImageWidth(), picture.ImageHeight(), screen))
    return false;
  CopyImage(view, picture, kNoTransparent);
  view_ = std::move(view);
  screen_ = std::move(screen);
  outline_ = {};
  ResetScroll();
  box_->SetAreaSize(picture.ImageWidth(), picture.ImageHeight());
  ComposeAll();
  return true;
}

void CanvasView::SetAreaSize(int width, int height) { box_->SetAreaSize(width, height); }

void CanvasView::SetFrame(int frame) {
  frame_ = frame;
  ComposeAll();
}

void CanvasView::SetHalfLeft(bool on) {
  halfLeft_ = on;
  ComposeAll();
}

void CanvasView::SetHalfUp(bool on) {
  halfUp_ = on;
  ComposeAll();
}

Point CanvasView::Snap(Point p) const { return SnapPoint(p, frame_, halfLeft_, halfUp_); }

void CanvasView::SetOutline(Rect outline) {
  const Rect old = outline_;
  outline_ = outline;
  if (old == outline_) return;
  Compose(old);
  Compose(outline_);
}

void CanvasView::Compose(Rect r) { ComposeFrom(view_, r); }

void CanvasView::ComposeFrom(const IndexedImage& source, Rect r) {
  const Rect area = r.Intersect(ImageRect(screen_)).Intersect(ImageRect(source));
  if (area.Empty()) return;
  CopyClipped(screen_, {area.x, area.y}, source, area);
  if (frame_ != 0)
    DrawFrameGridRect(screen_, HalfOffset(halfLeft_), HalfOffset(halfUp_), frame_, kOutlineColour, view_.ImageWidth(),
                      view_.ImageHeight(), area);
  // Drawn whole, the outline costs its perimeter and stays intact across the rectangle.
  if (!outline_.Empty() && !outline_.Intersect(area).Empty())
    DrawRectOutline(screen_, outline_.x, outline_.y, outline_.Right() - 1, outline_.Bottom() - 1, kOutlineColour);
  blanked_ = false;
  box_->update(ToQRect(area));
}

void CanvasView::ComposeAll() { Compose(ImageRect(screen_)); }

void CanvasView::Restore(const IndexedImage& picture, Rect r) {
  CopyClipped(view_, {r.x, r.y}, picture, r);
  Compose(r);
}

void CanvasView::RestoreAll(const IndexedImage& picture) {
  CopyImage(view_, picture, kNoTransparent);
  outline_ = {};
  ComposeAll();
}

void CanvasView::ShowShifted(const IndexedImage& source, int dx, int dy, std::uint8_t background) {
  if (source.ImageWidth() != screen_.ImageWidth() || source.ImageHeight() != screen_.ImageHeight()) return;
  ShiftPicture(screen_, source, dx, dy, background);
  box_->update();
}

void CanvasView::Blank() {
  FillImage(screen_, 255);
  blanked_ = true;
  box_->repaint();
}

void CanvasView::TakePalette(const PaletteTable& table) {
  for (IndexedImage* image : {&view_, &screen_}) TakeFreeEntries(*image, table);
  ComposeAll();
}

void CanvasView::Present(QPainter& painter, const QRect& exposed) {
  if (!screen_.HasPixels()) return;
  // The blank display is drawn even while busy: it is what a palette load shows.
  if (busy_ && !blanked_) return;
  DrawImageRegion(screen_, painter, exposed.x(), exposed.y(), exposed.x(), exposed.y(), exposed.width(),
                  exposed.height(), box_->AreaWidth(), box_->AreaHeight());
}

int CanvasView::ScrollX() const {
  const QScrollBar* bar = scroll_->horizontalScrollBar();
  return bar->isVisible() ? bar->value() : 0;
}

int CanvasView::ScrollY() const {
  const QScrollBar* bar = scroll_->verticalScrollBar();
  return bar->isVisible() ? bar->value() : 0;
}

void CanvasView::ResetScroll() {
  scroll_->horizontalScrollBar()->setValue(0);
  scroll_->verticalScrollBar()->setValue(0);
}

}  // namespace zudizar

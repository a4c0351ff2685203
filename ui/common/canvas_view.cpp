#include "ui/common/canvas_view.h"

#include <QCursor>
#include <QEvent>
#include <QPaintEvent>
#include <QPainter>
#include <QScrollArea>
#include <QScrollBar>
#include <QVBoxLayout>
#include <QWheelEvent>
#include <algorithm>
#include <cmath>

#include "core/frames.h"
#include "core/region.h"
#include "ui/common/draw_image.h"
#include "ui/common/paint_box.h"
#include "ui/common/status_line.h"

namespace zudizar {

namespace {

constexpr std::uint8_t kOutlineColour = 248;

QRect ToQRect(Rect r) { return {r.x, r.y, r.width, r.height}; }

bool SameSize(const IndexedImage& a, const IndexedImage& b) {
  return a.ImageWidth() == b.ImageWidth() && a.ImageHeight() == b.ImageHeight();
}

QString ZoomText(Zoom zoom) {
  return zoom.div > 1 ? QStringLiteral("1/%1").arg(zoom.div) : QString::number(zoom.mul);
}

}  // namespace

CanvasView::CanvasView(QWidget* window, int halfShortfall) : QObject(window), shortfall_(halfShortfall) {
  widget_ = new QWidget(window);
  auto* layout = new QVBoxLayout(widget_);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->setSpacing(0);
  scroll_ = new QScrollArea(widget_);
  scroll_->setObjectName(QStringLiteral("ScrollBox"));
  scroll_->setWidgetResizable(false);
  scroll_->setAlignment(Qt::AlignLeft | Qt::AlignTop);
  layout->addWidget(scroll_, 1);
  status_ = new StatusLine(widget_);
  status_->setObjectName(QStringLiteral("StatusLine"));
  layout->addWidget(status_);
  box_ = new PaintBox;
  box_->setObjectName(QStringLiteral("PaintBox1"));
  box_->onPaint = [this](QPainter& painter, const QRect& exposed) { Present(painter, exposed); };
  auto toPicture = [this](int x, int y) { return Point{scale_.LogicalToPicture(x), scale_.LogicalToPicture(y)}; };
  // Above 1:1 several screen points show one picture pixel. A move that stays
  // on the pixel last handed on is not handed on again, so a gesture sees the
  // same points at every zoom (a spray would otherwise spray more the more it
  // is magnified) and a magnified drag does no work the picture cannot show.
  box_->onMouseDown = [this, toPicture](Qt::MouseButton b, int x, int y) {
    lastMove_ = toPicture(x, y);
    if (onPress) onPress(b, lastMove_);
  };
  box_->onMouseMove = [this, toPicture](Qt::MouseButton b, int x, int y) {
    const Point p = toPicture(x, y);
    if (p == lastMove_) return;
    lastMove_ = p;
    Pointer(p, true);
    if (onMove) onMove(b, p);
  };
  box_->onMouseUp = [this, toPicture](Qt::MouseButton b, int x, int y) {
    lastMove_ = kNoPoint;
    if (onRelease) onRelease(b, toPicture(x, y));
  };
  box_->onDoubleClick = [this] {
    if (onDoubleClick) onDoubleClick();
  };
  box_->installEventFilter(this);
  scroll_->setWidget(box_);
  scroll_->viewport()->installEventFilter(this);
  // What comes into view is composed before it is painted.
  for (QScrollBar* bar : {scroll_->horizontalScrollBar(), scroll_->verticalScrollBar()})
    connect(bar, &QScrollBar::valueChanged, this, [this] { Rebase(); });
  UpdateStatus();
}

bool CanvasView::eventFilter(QObject* watched, QEvent* event) {
  if (watched == box_ && event->type() == QEvent::Wheel) {
    auto* wheel = static_cast<QWheelEvent*>(event);
    if (!(wheel->modifiers() & Qt::ControlModifier)) return false;
    const int steps = wheel->angleDelta().y();
    if (steps == 0) return true;
    const QPoint anchor = box_->mapTo(scroll_->viewport(), wheel->position().toPoint());
    if (steps > 0)
      ZoomIn(anchor);
    else
      ZoomOut(anchor);
    return true;
  }
  if (watched == box_ && event->type() == QEvent::Leave) {
    lastMove_ = kNoPoint;
    Pointer(pointer_, false);
  }
  if (watched == scroll_->viewport() && event->type() == QEvent::Resize) Rebase();
  return false;
}

// ---- the picture and its area ----

void CanvasView::ShowPicture(const IndexedImage& picture) {
  picture_ = &picture;
  FreeImage(own_);
  // The colours the screen is painted with: the shared palette as it is now,
  // later palette changes through TakePalette.
  IndexedImage colours;
  LoadColourTableFromShared(colours);
  colours_ = colours.colourTable;
  shifted_ = false;
  outline_ = {};
  pictureWidth_ = picture.ImageWidth();
  pictureHeight_ = picture.ImageHeight();
  SizeArea();
  ResetScroll();
  Rebase();
  ComposeAll();
  UpdateStatus();
}

const IndexedImage& CanvasView::View() const {
  static const IndexedImage kNone;
  if (own_.HasPixels()) return own_;
  return picture_ ? *picture_ : kNone;
}

IndexedImage* CanvasView::DrawView() {
  if (own_.HasPixels()) return &own_;
  if (!picture_ || !picture_->HasPixels()) return nullptr;
  IndexedImage copy;
  if (!CreateImage(picture_->ImageWidth(), picture_->ImageHeight(), copy)) return nullptr;
  CopyImage(copy, *picture_, kNoTransparent);
  own_ = std::move(copy);
  return &own_;
}

void CanvasView::FollowPicture() { FreeImage(own_); }

void CanvasView::SetAreaSize(int width, int height) {
  pictureWidth_ = width;
  pictureHeight_ = height;
  SizeArea();
}

void CanvasView::SizeArea() {
  box_->SetAreaSize(std::max(scale_.LogicalSize(pictureWidth_), 1), std::max(scale_.LogicalSize(pictureHeight_), 1));
}

// ---- zoom ----

void CanvasView::SetZoom(Zoom zoom, QPoint anchor) {
  const ViewScale next(zoom, box_->devicePixelRatioF());
  if (next.GetZoom() == scale_.GetZoom()) return;
  QWidget* viewport = scroll_->viewport();
  if (anchor.x() < 0 || anchor.y() < 0) anchor = QPoint(viewport->width() / 2, viewport->height() / 2);
  QScrollBar* bars[] = {scroll_->horizontalScrollBar(), scroll_->verticalScrollBar()};
  // The picture point under the anchor, in picture pixels (fractional).
  const Zoom old = scale_.GetZoom();
  const double at[] = {(bars[0]->value() + anchor.x()) * static_cast<double>(old.div) / old.mul,
                       (bars[1]->value() + anchor.y()) * static_cast<double>(old.div) / old.mul};
  scale_ = next;
  SizeArea();
  const int area[] = {box_->width(), box_->height()};
  const int room[] = {viewport->width(), viewport->height()};
  const int anchors[] = {anchor.x(), anchor.y()};
  for (int k = 0; k < 2; ++k) {
    // The range the scroll area will set; set now so the value is not cut to the old one.
    bars[k]->setRange(0, std::max(0, area[k] - room[k]));
    const double wanted = at[k] * next.GetZoom().mul / next.GetZoom().div - anchors[k];
    bars[k]->setValue(static_cast<int>(std::lround(wanted)));
  }
  Rebase();
  ComposeAll();
  // The pixel under a pointer that stayed put is another one now.
  if (pointerInside_) {
    const QPoint at = box_->mapFromGlobal(QCursor::pos());
    pointer_ = {scale_.LogicalToPicture(at.x()), scale_.LogicalToPicture(at.y())};
  }
  UpdateStatus();
  if (onZoomChanged) onZoomChanged(scale_.GetZoom());
}

void CanvasView::ZoomIn(QPoint anchor) {
  SetZoom(kZoomLevels[std::min(ZoomLevel(GetZoom()) + 1, kZoomLevelCount - 1)], anchor);
}

void CanvasView::ZoomOut(QPoint anchor) { SetZoom(kZoomLevels[std::max(ZoomLevel(GetZoom()) - 1, 0)], anchor); }

void CanvasView::ZoomToFit() {
  // Room for the picture without scroll bars.
  const QSize room = scroll_->maximumViewportSize();
  SetZoom(FitZoom(pictureWidth_, pictureHeight_, room.width(), room.height()), QPoint(0, 0));
}

// ---- frames and outline ----

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

void CanvasView::SetGestureRect(Rect r) {
  if (r == gestureRect_) return;
  gestureRect_ = r;
  UpdateStatus();
}

void CanvasView::SetOutline(Rect outline, bool compose) {
  const Rect old = outline_;
  outline_ = outline;
  if (outline_.Empty()) gestureRect_ = {};
  if (old == outline_) return;
  UpdateStatus();
  if (!compose) return;
  Compose(old);
  Compose(outline_);
}

// ---- compose ----

ShownLayers CanvasView::Layers() const {
  ShownLayers layers;
  layers.source = shifted_ ? shiftSource_ : &View();
  layers.shifted = shifted_;
  layers.dx = shiftX_;
  layers.dy = shiftY_;
  layers.background = shiftBackground_;
  layers.frame = frame_;
  layers.xOffset = HalfOffset(halfLeft_);
  layers.yOffset = HalfOffset(halfUp_);
  layers.outline = outline_;
  layers.lineColour = kOutlineColour;
  return layers;
}

Rect CanvasView::VisibleDeviceRect() const {
  const QWidget* viewport = scroll_->viewport();
  // The box lies at minus the scroll offset in the viewport.
  const Rect logical =
      Rect{-box_->x(), -box_->y(), viewport->width(), viewport->height()}.Intersect({0, 0, box_->width(), box_->height()});
  return scale_.LogicalToDeviceRect(logical).Intersect(scale_.PictureToDeviceRect({0, 0, pictureWidth_, pictureHeight_}));
}

void CanvasView::Rebase() {
  // The ratio follows the screen the window is on.
  const double ratio = box_->devicePixelRatioF();
  if (std::lround(ratio * 4) != scale_.RatioQuarters()) {
    // Other device pixels: nothing of the old buffer can be kept.
    scale_ = ViewScale(scale_.GetZoom(), ratio);
    screen_ = {};
    screenRect_ = {};
  }
  const Rect visible = View().HasPixels() ? VisibleDeviceRect() : Rect{};
  if (visible == screenRect_ && screen_.HasPixels() == !visible.Empty()) return;
  IndexedImage next;
  if (!visible.Empty() && !CreateImage(visible.width, visible.height, next)) return;
  if (next.HasPixels()) next.colourTable = colours_;
  const Rect kept = visible.Intersect(screenRect_);
  if (blanked_) {
    if (next.HasPixels()) FillImage(next, 255);
  } else if (!kept.Empty()) {
    // What stays in view is moved, not composed again.
    for (int y = kept.y; y < kept.Bottom(); ++y)
      std::copy_n(screen_.Row(y - screenRect_.y) + (kept.x - screenRect_.x), kept.width,
                  next.Row(y - visible.y) + (kept.x - visible.x));
  }
  screen_ = std::move(next);
  const Rect old = kept;
  screenRect_ = visible;
  if (blanked_ || visible.Empty()) return;
  // Compose the strips around what was kept.
  if (old.Empty()) {
    ComposeDevice(visible);
    return;
  }
  ComposeDevice(Rect::FromEdges(visible.x, visible.y, visible.Right(), old.y));
  ComposeDevice(Rect::FromEdges(visible.x, old.Bottom(), visible.Right(), visible.Bottom()));
  ComposeDevice(Rect::FromEdges(visible.x, old.y, old.x, old.Bottom()));
  ComposeDevice(Rect::FromEdges(old.Right(), old.y, visible.Right(), old.Bottom()));
}

void CanvasView::ComposeDevice(Rect device) {
  const Rect area = device.Intersect(screenRect_);
  if (area.Empty()) return;
  // A picture the window replaced but has not shown yet waits for ShowPicture.
  const IndexedImage& view = View();
  if (view.ImageWidth() != pictureWidth_ || view.ImageHeight() != pictureHeight_) return;
  ComposeScaled(screen_, {screenRect_.x, screenRect_.y}, area, Layers(), scale_);
  blanked_ = false;
  if (!presenting_) box_->update(ToQRect(scale_.DeviceToLogicalRect(area)));
}

void CanvasView::Compose(Rect r) {
  const Rect area = r.Intersect(ImageRect(View()));
  if (area.Empty()) return;
  ComposeDevice(scale_.PictureToDeviceRect(area));
}

void CanvasView::ComposeAll() {
  shifted_ = false;
  Rebase();
  ComposeDevice(screenRect_);
}

void CanvasView::Restore(const IndexedImage& picture, Rect r) {
  shifted_ = false;
  if (own_.HasPixels()) CopyClipped(own_, {r.x, r.y}, picture, r);
  Compose(r);
}

void CanvasView::RestoreAll(const IndexedImage& picture) {
  // A view that keeps its own copy for a mode's previews takes the picture
  // into it; otherwise it follows the picture.
  if (own_.HasPixels() && SameSize(own_, picture)) {
    CopyImage(own_, picture, kNoTransparent);
  } else {
    FreeImage(own_);
  }
  picture_ = &picture;
  outline_ = {};
  gestureRect_ = {};
  ComposeAll();
  UpdateStatus();
}

void CanvasView::ShowShifted(const IndexedImage& source, int dx, int dy, std::uint8_t background) {
  if (!SameSize(source, View())) return;
  shifted_ = true;
  shiftSource_ = &source;
  shiftX_ = dx;
  shiftY_ = dy;
  shiftBackground_ = background;
  ComposeDevice(screenRect_);
}

IndexedImage CanvasView::Shown() const {
  IndexedImage shown;
  const IndexedImage& view = View();
  if (!view.HasPixels() || !CreateImage(view.ImageWidth(), view.ImageHeight(), shown)) return shown;
  // The colours the screen is painted with.
  shown.colourTable = screen_.HasPixels() ? screen_.colourTable : colours_;
  if (blanked_) {
    FillImage(shown, 255);
    return shown;
  }
  ComposeScaled(shown, {0, 0}, ImageRect(shown), Layers(), ViewScale());
  return shown;
}

void CanvasView::Blank() {
  if (screen_.HasPixels()) FillImage(screen_, 255);
  blanked_ = true;
  box_->repaint();
}

void CanvasView::TakePalette(const PaletteTable& table) {
  IndexedImage colours;
  colours.colourTable = colours_;
  TakeFreeEntries(colours, table);
  colours_ = colours.colourTable;
  TakeFreeEntries(screen_, table);
  ComposeAll();
}

// ---- present ----

void CanvasView::Present(QPainter& painter, const QRect& exposed) {
  if (!View().HasPixels()) return;
  // The blank display is drawn even while busy: it is what a palette load shows.
  if (busy_ && !blanked_) return;
  const Rect logical = Rect{exposed.x(), exposed.y(), exposed.width(), exposed.height()}.Intersect(
      {0, 0, box_->width(), box_->height()});
  const Rect device =
      scale_.LogicalToDeviceRect(logical).Intersect(scale_.PictureToDeviceRect({0, 0, pictureWidth_, pictureHeight_}));
  if (device.Empty()) return;
  if (device.Intersect(screenRect_) != device) {
    // The view moved without a scroll signal (a resize): follow it, no new paints.
    presenting_ = true;
    Rebase();
    presenting_ = false;
  }
  const double ratio = scale_.RatioQuarters() / 4.0;
  auto draw = [&](const IndexedImage& image, Point origin, const Rect& part) {
    QImage piece = ToQImage(image, part.x - origin.x, part.y - origin.y, part.width, part.height);
    piece.setDevicePixelRatio(ratio);
    painter.save();
    painter.setRenderHint(QPainter::SmoothPixmapTransform, false);
    painter.drawImage(QPointF(part.x / ratio, part.y / ratio), piece);
    painter.restore();
  };
  const Rect inScreen = device.Intersect(screenRect_);
  if (inScreen == device) {
    draw(screen_, {screenRect_.x, screenRect_.y}, device);
    return;
  }
  // Outside the screen buffer (a grab of the whole area, a paint before the
  // scroll reached us): composed for this paint only.
  IndexedImage spare;
  if (!CreateImage(device.width, device.height, spare)) return;
  spare.colourTable = colours_;
  if (blanked_)
    FillImage(spare, 255);
  else
    ComposeScaled(spare, {device.x, device.y}, device, Layers(), scale_);
  draw(spare, {device.x, device.y}, device);
}

// ---- scrolling ----

int CanvasView::ScrollX() const {
  const QScrollBar* bar = scroll_->horizontalScrollBar();
  const Zoom zoom = scale_.GetZoom();
  return bar->isVisible() ? bar->value() * zoom.div / zoom.mul : 0;
}

int CanvasView::ScrollY() const {
  const QScrollBar* bar = scroll_->verticalScrollBar();
  const Zoom zoom = scale_.GetZoom();
  return bar->isVisible() ? bar->value() * zoom.div / zoom.mul : 0;
}

void CanvasView::ResetScroll() {
  scroll_->horizontalScrollBar()->setValue(0);
  scroll_->verticalScrollBar()->setValue(0);
}

// ---- status line ----

void CanvasView::SetStatusLineShown(bool shown) {
  statusShown_ = shown;
  status_->setVisible(shown);
  UpdateStatus();
}

void CanvasView::Pointer(Point picture, bool inside) {
  pointer_ = picture;
  pointerInside_ = inside;
  UpdateStatus();
}

void CanvasView::UpdateStatus() {
  if (!statusShown_) return;
  QString text;
  const IndexedImage& view = View();
  const bool onPicture = pointerInside_ && view.HasPixels() && pointer_.x >= 0 && pointer_.y >= 0 &&
                         pointer_.x < view.ImageWidth() && pointer_.y < view.ImageHeight();
  if (onPicture) {
    const std::uint8_t index = view.At(pointer_.x, pointer_.y);
    const ColourTableEntry& e = colours_[index];
    text += QStringLiteral("(%1, %2)  色 %3 (%4, %5, %6)  ")
                .arg(pointer_.x)
                .arg(pointer_.y)
                .arg(index)
                .arg(e.red)
                .arg(e.green)
                .arg(e.blue);
  }
  text += QStringLiteral("%1×%2  倍率 %3").arg(pictureWidth_).arg(pictureHeight_).arg(ZoomText(GetZoom()));
  const Rect region = gestureRect_.Empty() ? outline_ : gestureRect_;
  if (!region.Empty())
    text += QStringLiteral("  範囲 %1×%2 (%3, %4)").arg(region.width).arg(region.height).arg(region.x).arg(region.y);
  status_->setText(text);
}

}  // namespace zudizar

// One canvas on screen, for the main and sub canvases: the scroll area and
// its paint box, the status line, the picture as shown (the picture itself,
// or the view's own copy while previews are drawn in it), the screen buffer composed from it with the frame
// grid and an outline, the zoom, the frame size and half offsets, and
// snapping. The window owns the document and the modes; this owns what the
// user sees of them, and maps the mouse to picture pixels, so every gesture
// works in picture pixels at every zoom.
//
// Compose, then present: every change composes the changed rectangle of the
// screen buffer and asks for that rectangle to be painted; painting only
// copies the exposed rectangle to the screen, so an expose never recomposes
// and never wipes a preview. The screen buffer holds the visible part of the
// canvas in device pixels; a scroll composes what comes into view.
#pragma once

#include <QObject>
#include <QPoint>
#include <array>
#include <functional>

#include "core/geometry.h"
#include "core/indexed_image.h"
#include "core/shared_palette.h"
#include "core/view_scale.h"

class QScrollArea;
class QPainter;
class QWidget;

namespace zudizar {

class PaintBox;
class StatusLine;

class CanvasView : public QObject {
  Q_OBJECT
 public:
  // `halfShortfall` is how many pixels short of half a frame the half
  // offsets move the grid (the sub canvas draws its grid one pixel short).
  CanvasView(QWidget* window, int halfShortfall);

  // The scroll area and the status line under it, for the window's centre.
  QWidget* Widget() const { return widget_; }
  QScrollArea* Scroll() const { return scroll_; }
  PaintBox* Box() const { return box_; }
  StatusLine* Status() const { return status_; }

  // The picture as shown, previews included: the picture itself, or the
  // view's own copy while a mode draws previews. Empty before any picture.
  const IndexedImage& View() const;
  // The view to draw previews in: its own copy of the picture, made now when
  // it follows the picture (a mode that draws previews takes it when it
  // starts, so that no gesture step pays for the copy). Null when memory
  // runs out.
  IndexedImage* DrawView();
  // No mode draws previews any more: the view follows the picture again and
  // drops its copy (the caller composes what changed).
  void FollowPicture();
  // The screen buffer: the visible part, in device pixels.
  const IndexedImage& Screen() const { return screen_; }
  Rect ScreenRect() const { return screenRect_; }  // the device pixels it holds
  // What the canvas shows, at 1:1 over the whole picture.
  IndexedImage Shown() const;

  // The zoom; a new one keeps the picture point under `anchor` (viewport
  // pixels; the viewport's centre when null) where it is.
  Zoom GetZoom() const { return scale_.GetZoom(); }
  void SetZoom(Zoom zoom, QPoint anchor = QPoint(-1, -1));
  void ZoomIn(QPoint anchor = QPoint(-1, -1));
  void ZoomOut(QPoint anchor = QPoint(-1, -1));
  // The largest level at which the whole picture fits the viewport.
  void ZoomToFit();
  const ViewScale& Scale() const { return scale_; }

  void SetStatusLineShown(bool shown);
  bool StatusLineShown() const { return statusShown_; }

  // Shows `picture`, which must outlive the view or the next ShowPicture or
  // RestoreAll (the window's document's picture): sizes the paint area,
  // scrolls to the top left and composes what is visible. No picture-sized
  // buffer is made: a picture is shown as it is until a mode draws over it.
  void ShowPicture(const IndexedImage& picture);
  // Only the paint area's size (no buffers), for a canvas being made.
  void SetAreaSize(int width, int height);

  int Frame() const { return frame_; }
  bool HalfLeft() const { return halfLeft_; }
  bool HalfUp() const { return halfUp_; }
  void SetFrame(int frame);
  void SetHalfLeft(bool on);
  void SetHalfUp(bool on);
  // The pointer snapped to the frame and half offsets.
  Point Snap(Point p) const;

  // The outline drawn over the view (a selection, a pick, a preview's
  // frame); empty for none.
  Rect Outline() const { return outline_; }
  // The region a gesture covers, for the status line when no outline shows
  // it (a selection over a frame grid); an empty outline ends it.
  void SetGestureRect(Rect r);
  // Moves the outline and composes where it was and where it is (or leaves
  // that to the caller, who composes a rectangle holding both).
  void SetOutline(Rect outline, bool compose = true);

  // Screen := view with grid and outline over `r`, then presented.
  void Compose(Rect r);
  void ComposeAll();
  // View := picture over `r` (the picture the view follows, as it is now),
  // then composed.
  void Restore(const IndexedImage& picture, Rect r);
  // View := `picture` everywhere (into the view's own copy while it keeps
  // one, else the view follows it), outline dropped, everything composed.
  void RestoreAll(const IndexedImage& picture);
  // Screen := `source` displaced by (dx, dy), the rest in `background`, as
  // it is (the whole-picture shift follows the pointer this way, no grid),
  // until the next ComposeAll or Restore.
  void ShowShifted(const IndexedImage& source, int dx, int dy, std::uint8_t background);

  // Palette changes: the blank display, then the new free entries.
  void Blank();
  bool Blanked() const { return blanked_; }
  void TakePalette(const PaletteTable& table);

  // While busy the screen is not painted (but for the blank display).
  void SetBusy(bool busy) { busy_ = busy; }
  bool Busy() const { return busy_; }

  // The top-left picture pixel visible (0 for a hidden bar).
  int ScrollX() const;
  int ScrollY() const;
  void ResetScroll();

  // Mouse events in picture pixels; double clicks of the left button.
  std::function<void(Qt::MouseButton, Point)> onPress, onMove, onRelease;
  std::function<void()> onDoubleClick;
  // The zoom changed (by a key, an item or the wheel).
  std::function<void(Zoom)> onZoomChanged;

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void Present(QPainter& painter, const QRect& exposed);
  int HalfOffset(bool on) const { return on ? frame_ / 2 - shortfall_ : 0; }
  ShownLayers Layers() const;
  // The screen buffer follows the visible part of the paint area.
  void Rebase();
  Rect VisibleDeviceRect() const;
  void ComposeDevice(Rect device);
  void SizeArea();
  void Pointer(Point picture, bool inside);
  void UpdateStatus();

  QWidget* widget_ = nullptr;
  QScrollArea* scroll_ = nullptr;
  PaintBox* box_ = nullptr;
  StatusLine* status_ = nullptr;
  bool statusShown_ = true;
  const IndexedImage* picture_ = nullptr;  // the picture shown
  IndexedImage own_;                       // the view's copy, while previews are drawn
  std::array<ColourTableEntry, 256> colours_{};  // what the screen is painted with
  IndexedImage screen_;
  Rect screenRect_;  // the device pixels the screen buffer holds
  ViewScale scale_;
  int pictureWidth_ = 0, pictureHeight_ = 0;  // the paint area's picture size
  bool shifted_ = false;
  const IndexedImage* shiftSource_ = nullptr;
  int shiftX_ = 0, shiftY_ = 0;
  std::uint8_t shiftBackground_ = 0;
  bool presenting_ = false;
  static constexpr Point kNoPoint{-(1 << 30), -(1 << 30)};
  Point lastMove_ = kNoPoint;  // the picture pixel the last press or move handed on
  Point pointer_{-1, -1};
  bool pointerInside_ = false;
  int shortfall_ = 0;
  int frame_ = 0;
  bool halfLeft_ = false;
  bool halfUp_ = false;
  Rect outline_;
  Rect gestureRect_;
  bool blanked_ = false;
  bool busy_ = false;
};

}  // namespace zudizar

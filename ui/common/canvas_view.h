// One canvas on screen, for the main and sub canvases: the scroll area and
// its paint box, the picture as shown (the view buffer, where previews live),
// the screen buffer composed from it with the frame grid and an outline, the
// frame size and half offsets, and snapping. The window owns the document
// and the modes; this owns what the user sees of them.
//
// Compose, then present: every change composes the changed rectangle of the
// screen buffer and asks for that rectangle to be painted; painting only
// copies the exposed rectangle to the screen, so an expose never recomposes
// and never wipes a preview.
#pragma once

#include <QObject>
#include <functional>

#include "core/geometry.h"
#include "core/indexed_image.h"
#include "core/shared_palette.h"

class QScrollArea;
class QPainter;
class QWidget;

namespace zudizar {

class PaintBox;

class CanvasView : public QObject {
  Q_OBJECT
 public:
  // `halfShortfall` is how many pixels short of half a frame the half
  // offsets move the grid (the sub canvas draws its grid one pixel short).
  CanvasView(QWidget* window, int halfShortfall);

  QScrollArea* Scroll() const { return scroll_; }
  PaintBox* Box() const { return box_; }

  // The picture as shown, previews included, and the screen buffer.
  const IndexedImage& View() const { return view_; }
  IndexedImage& View() { return view_; }
  const IndexedImage& Screen() const { return screen_; }

  // Makes both buffers the picture's size with the picture in them, sizes the
  // paint area and scrolls to the top left. False, nothing changed, when
  // memory runs out.
  bool ShowPicture(const IndexedImage& picture);
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

  // The outline drawn over the view (a selection, a pick); empty for none.
  Rect Outline() const { return outline_; }
  // Moves the outline and composes where it was and where it is.
  void SetOutline(Rect outline);

  // Screen := view (or `source`, a picture-sized preview buffer) with grid
  // and outline over `r`, then presented.
  void Compose(Rect r);
  void ComposeFrom(const IndexedImage& source, Rect r);
  void ComposeAll();
  // View := picture over `r`, then composed.
  void Restore(const IndexedImage& picture, Rect r);
  // View := picture everywhere, outline dropped, everything composed.
  void RestoreAll(const IndexedImage& picture);
  // Screen := `source` displaced by (dx, dy), the rest in `background`, as
  // it is (the whole-picture shift follows the pointer this way, no grid).
  void ShowShifted(const IndexedImage& source, int dx, int dy, std::uint8_t background);

  // Palette changes: the blank display, then the new free entries.
  void Blank();
  bool Blanked() const { return blanked_; }
  void TakePalette(const PaletteTable& table);

  // While busy the screen is not painted (but for the blank display).
  void SetBusy(bool busy) { busy_ = busy; }
  bool Busy() const { return busy_; }

  // The top-left canvas pixel visible (0 for a hidden bar).
  int ScrollX() const;
  int ScrollY() const;
  void ResetScroll();

  // Mouse events in picture pixels; double clicks of the left button.
  std::function<void(Qt::MouseButton, Point)> onPress, onMove, onRelease;
  std::function<void()> onDoubleClick;

 private:
  void Present(QPainter& painter, const QRect& exposed);
  int HalfOffset(bool on) const { return on ? frame_ / 2 - shortfall_ : 0; }

  QScrollArea* scroll_ = nullptr;
  PaintBox* box_ = nullptr;
  IndexedImage view_;
  IndexedImage screen_;
  int shortfall_ = 0;
  int frame_ = 0;
  bool halfLeft_ = false;
  bool halfUp_ = false;
  Rect outline_;
  bool blanked_ = false;
  bool busy_ = false;
};

}  // namespace zudizar

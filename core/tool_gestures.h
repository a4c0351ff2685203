// The drawing tools of the pixel editor as press / move / release steps on a
// picture. A step draws into the picture (or, for rubber bands, into a work
// buffer of the picture's size) and reports what to show: the changed
// rectangle and the buffer to show it from, or the whole view. The edit
// palette and the main palette's edit mode both drive these with their own
// buffers; nothing here knows a window.
#pragma once

#include <array>
#include <cstdint>

#include "core/geometry.h"
#include "core/indexed_image.h"
#include "core/pixel_ops.h"
#include "core/spray.h"

namespace zudizar {

// Tool numbers, as the edit palette keeps them in `Tool`.
inline constexpr int kToolSpray = 10;
inline constexpr int kToolFree = 11;
inline constexpr int kToolLine = 12;
inline constexpr int kToolBox = 13;
inline constexpr int kToolFill = 14;
inline constexpr int kToolEraser = 15;
inline constexpr int kToolMove = 16;
inline constexpr int kToolText = 17;
inline constexpr int kToolGradientVertical = 18;
inline constexpr int kToolGradientHorizontal = 19;
// While a display-start click for 4× or 8× is awaited.
inline constexpr int kToolStartFrame4 = 34;
inline constexpr int kToolStartFrame8 = 38;

// How a tool joins the points of a gesture.
enum class Joining : std::uint8_t {
  None,       // the tool's own code handles the mouse (text)
  PerPoint,   // one stamp at every point, nothing between them (spray)
  Freehand,   // a stroke from the previous point to the current one
  Anchored,   // a shape from the press point to the current one, redrawn each move
  Once,       // acts on the press only, no gesture
  Drag,       // the whole picture follows the pointer (move)
};

// What the tool puts on the picture.
enum class Shape : std::uint8_t { None, Spray, Pen, Line, Box, Fill, GradientVertical, GradientHorizontal, Erase, Move };

struct ToolRow {
  int tool;
  Joining joining;
  Shape shape;
  bool previewInWork;  // the gesture draws into the work buffer until release
};

inline constexpr std::array<ToolRow, 10> kToolTable{{
    {kToolSpray, Joining::PerPoint, Shape::Spray, false},
    {kToolFree, Joining::Freehand, Shape::Pen, false},
    {kToolLine, Joining::Anchored, Shape::Line, true},
    {kToolBox, Joining::Anchored, Shape::Box, true},
    {kToolFill, Joining::Once, Shape::Fill, false},
    {kToolEraser, Joining::Freehand, Shape::Erase, false},
    {kToolMove, Joining::Drag, Shape::Move, false},
    {kToolText, Joining::None, Shape::None, false},
    {kToolGradientVertical, Joining::Once, Shape::GradientVertical, false},
    {kToolGradientHorizontal, Joining::Once, Shape::GradientHorizontal, false},
}};

// The row of a tool number, or null.
const ToolRow* FindTool(int tool);

// The buffers a gesture works on. `work` and `stamp` have the picture's size.
struct ToolTarget {
  IndexedImage& picture;
  IndexedImage& work;   // rubber-band previews and scratch
  IndexedImage& stamp;  // the picture picked up by the move tool
};

// The colours and pen. The left button draws with `left`, the right with `right`.
struct ToolInk {
  std::uint8_t left = 249;
  std::uint8_t right = 252;
  std::uint8_t penCode = 3;
  const SwatchArrangement* order = nullptr;  // gradient colour order; identity when null
  SprayGenerator* spray = nullptr;       // needed by the spray tool
};

struct GestureState {
  bool Dragging = false;
  bool RightDrag = false;
  Point LastPoint;
  Rect BandRect;
};

enum class Present : std::uint8_t {
  Nothing,
  FromPicture,  // show `rect` of the picture
  FromWork,     // show `rect` of the work buffer (a preview)
  WholeView,    // recompose the whole view
};

struct ToolStep {
  Present present = Present::Nothing;
  Rect rect;  // picture pixels, clipped to the picture
};

// Mouse down at picture point p with the left or right button. A point outside
// the picture does nothing. Text and unknown tools do nothing. The move tool's
// right button does nothing here: its owner runs the quarter turn.
ToolStep ToolPress(int tool, const ToolTarget& target, const ToolInk& ink, GestureState& state, Point p,
                   bool right);
// Mouse move during a gesture; a point outside the picture is ignored.
ToolStep ToolMove(int tool, const ToolTarget& target, const ToolInk& ink, GestureState& state, Point p);
// Mouse up: ends the gesture. Outside the picture nothing is committed; a
// rubber band's preview is then taken back from the picture.
ToolStep ToolRelease(int tool, const ToolTarget& target, const ToolInk& ink, GestureState& state, Point p);

// The rectangle a pen stamp at (x, y) covers, clipped to the picture (the
// point clamped into it first, as the stamp does).
Rect PenStampRect(const IndexedImage& image, int x, int y, std::uint8_t penCode);
// The rectangle a stroke between two points covers: both end stamps' union.
Rect PenSegmentRect(const IndexedImage& image, Point a, Point b, std::uint8_t penCode);

// Places `stamp` on `picture` with the stamp's centre pixel (W div 2, H div 2)
// on p, opaque; the rest of the picture is left as it is.
void PlaceCentred(IndexedImage& picture, const IndexedImage& stamp, Point p);

// The quarter of the centre-line view under p: (W div 2) × (H div 2) at origin
// (0 or W div 2, 0 or H div 2).
Rect QuarterUnder(const IndexedImage& picture, Point p);
// Turns a quarter a quarter clockwise in place: the quarter is cleared to the
// picture's background colour, then the largest square at its origin is
// turned from the picture as it was. `work` is scratch of the picture's size.
void TurnQuarter(IndexedImage& picture, IndexedImage& work, const Rect& quarter);

}  // namespace zudizar

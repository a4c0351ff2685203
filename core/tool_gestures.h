// The drawing tools' numbers and the geometry their strokes share: the
// rectangles a pen covers, the move tool's centred placement and the
// centre-line view's quarters. The gesture driver is in tool_session.h.
#pragma once

#include <cstdint>

#include "core/geometry.h"
#include "core/indexed_image.h"

namespace zudizar {

// Tool numbers, as the tool settings keep them.
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

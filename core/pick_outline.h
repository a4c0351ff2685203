// The pick rectangle that a source canvas outlines while the user chooses the
// piece for the edit palette. Each pointer step touches the two outlines only,
// whatever the canvas size.
#pragma once

#include <array>

#include "core/geometry.h"
#include "core/indexed_image.h"

namespace zudizar {

// The pointer moved onto the picture: 0 ≤ x ≤ width − 1, 0 ≤ y ≤ height − 1.
Point ClampToPicture(Point p, int width, int height);

// The outline DrawRectOutline draws for `rect` on a width × height picture:
// its corners clamped onto the picture. Empty for an empty rectangle or picture.
Rect OutlineArea(const Rect& rect, int width, int height);

// The four edges (top, bottom, left, right) of an outline area: the only
// pixels an outline covers.
std::array<Rect, 4> OutlineEdges(const Rect& area);

// Moves the outline in `display` from `previous` to `next`: the previous
// outline's pixels are restored from `view` (same size as `display`), the next
// one is drawn in `colour`. An empty `previous` restores nothing, an empty
// `next` draws nothing. Returns the rectangle covering both outlines, the
// only part of the display that changed.
Rect MovePickOutline(IndexedImage& display, const IndexedImage& view, const Rect& previous, const Rect& next,
                     std::uint8_t colour);

}  // namespace zudizar

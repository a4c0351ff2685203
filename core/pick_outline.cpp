#include "core/pick_outline.h"

#include <algorithm>

#include "core/region.h"

namespace zudizar {

Point ClampToPicture(Point p, int width, int height) {
  return {std::clamp(p.x, 0, std::max(width - 1, 0)), std::clamp(p.y, 0, std::max(height - 1, 0))};
}

Rect OutlineArea(const Rect& rect, int width, int height) {
  if (rect.Empty() || width <= 0 || height <= 0) return {};
  const Point a = ClampToPicture({rect.x, rect.y}, width, height);
  const Point b = ClampToPicture({rect.Right() - 1, rect.Bottom() - 1}, width, height);
  return Rect::FromCorners(a, b);
}

std::array<Rect, 4> OutlineEdges(const Rect& area) {
  if (area.Empty()) return {};
  return {Rect{area.x, area.y, area.width, 1}, Rect{area.x, area.Bottom() - 1, area.width, 1},
          Rect{area.x, area.y, 1, area.height}, Rect{area.Right() - 1, area.y, 1, area.height}};
}

Rect MovePickOutline(IndexedImage& display, const IndexedImage& view, const Rect& previous, const Rect& next,
                     std::uint8_t colour) {
  if (!display.HasPixels()) return {};
  const int width = display.ImageWidth();
  const int height = display.ImageHeight();
  const Rect old = OutlineArea(previous, width, height);
  if (!old.Empty()) {
    // Only the four edges were drawn: restoring them restores the outline.
    for (const Rect& e : OutlineEdges(old))
      CopyRegion(display, e.x, e.y, view, e.x, e.y, e.width, e.height, kNoTransparent);
  }
  const Rect now = OutlineArea(next, width, height);
  if (!now.Empty()) DrawRectOutline(display, now.x, now.y, now.Right() - 1, now.Bottom() - 1, colour);
  return old.Union(now);
}

}  // namespace zudizar

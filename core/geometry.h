// Points and rectangles as values. Selections, previews, cells and transfers
// pass rectangles between windows; one shape stops the argument-order mistakes
// (corners against sizes, height before width) that compile silently.
#pragma once

#include <algorithm>

namespace zudizar {

struct Point {
  int x = 0, y = 0;
  friend bool operator==(const Point&, const Point&) = default;
};

// Half-open: covers columns x … x + width − 1 and rows y … y + height − 1.
struct Rect {
  int x = 0, y = 0, width = 0, height = 0;

  // The rectangle spanned by two corners, in either order, both included.
  static constexpr Rect FromCorners(Point a, Point b) {
    const int left = std::min(a.x, b.x), top = std::min(a.y, b.y);
    return {left, top, std::max(a.x, b.x) - left + 1, std::max(a.y, b.y) - top + 1};
  }
  // The rectangle from (left, top) up to but not including (right, bottom).
  static constexpr Rect FromEdges(int left, int top, int right, int bottom) {
    return {left, top, right - left, bottom - top};
  }

  constexpr int Right() const { return x + width; }    // one past the last column
  constexpr int Bottom() const { return y + height; }  // one past the last row
  constexpr bool Empty() const { return width <= 0 || height <= 0; }
  constexpr bool Contains(Point p) const { return p.x >= x && p.x < Right() && p.y >= y && p.y < Bottom(); }
  constexpr Rect Intersect(const Rect& o) const {
    const int l = std::max(x, o.x), t = std::max(y, o.y);
    const int r = std::min(Right(), o.Right()), b = std::min(Bottom(), o.Bottom());
    if (r <= l || b <= t) return {};
    return {l, t, r - l, b - t};
  }
  // The smallest rectangle holding both; an empty side is ignored.
  constexpr Rect Union(const Rect& o) const {
    if (Empty()) return o;
    if (o.Empty()) return *this;
    const int l = std::min(x, o.x), t = std::min(y, o.y);
    return {l, t, std::max(Right(), o.Right()) - l, std::max(Bottom(), o.Bottom()) - t};
  }
  constexpr Rect Translated(int dx, int dy) const { return {x + dx, y + dy, width, height}; }
  friend bool operator==(const Rect&, const Rect&) = default;
};

}  // namespace zudizar

#include "core/tool_gestures.h"

#include <algorithm>
#include <cstdlib>

#include "core/pens.h"
#include "core/pixel_ops.h"
#include "core/region.h"

namespace zudizar {

namespace {
Rect PictureRect(const IndexedImage& image) {
  return image.HasPixels() ? Rect{0, 0, image.ImageWidth(), image.ImageHeight()} : Rect{};
}
}  // namespace

Rect PenStampRect(const IndexedImage& image, int x, int y, std::uint8_t penCode) {
  if (!image.HasPixels()) return {};
  const PenBox box = PenFootprintBox(penCode);
  if (box.size <= 0) return {};
  x = std::clamp(x, 0, image.ImageWidth() - 1);
  y = std::clamp(y, 0, image.ImageHeight() - 1);
  return Rect{x + box.left, y + box.top, box.size, box.size}.Intersect(PictureRect(image));
}

Rect PenSegmentRect(const IndexedImage& image, Point a, Point b, std::uint8_t penCode) {
  return PenStampRect(image, a.x, a.y, penCode).Union(PenStampRect(image, b.x, b.y, penCode));
}

void PlaceCentred(IndexedImage& picture, const IndexedImage& stamp, Point p) {
  if (!picture.HasPixels() || !stamp.HasPixels()) return;
  const int w = stamp.ImageWidth(), h = stamp.ImageHeight();
  const int cx = w / 2, cy = h / 2;
  const int width = w - std::abs(p.x - cx);
  const int height = h - std::abs(p.y - cy);
  if (width <= 0 || height <= 0) return;
  CopyRegion(picture, std::max(0, p.x - cx), std::max(0, p.y - cy), stamp, std::max(0, cx - p.x), std::max(0, cy - p.y),
             width, height, kNoTransparent);
}

Rect QuarterUnder(const IndexedImage& picture, Point p) {
  const int qw = picture.ImageWidth() / 2, qh = picture.ImageHeight() / 2;
  return {p.x < qw ? 0 : qw, p.y < qh ? 0 : qh, qw, qh};
}

void TurnQuarter(IndexedImage& picture, IndexedImage& work, const Rect& quarter) {
  if (!picture.HasPixels() || quarter.Empty()) return;
  CopyImage(work, picture, kNoTransparent);
  FillRect(picture, quarter.x, quarter.y, quarter.width, quarter.height, BackgroundColour(picture));
  RotateRegion(picture, quarter.x, quarter.y, work, std::min(quarter.width, quarter.height), 90);
}

}  // namespace zudizar

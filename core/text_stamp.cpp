#include "core/text_stamp.h"

#include <algorithm>

#include "core/region.h"

namespace zudizar {

Point FixedTextOrigin(int position, int W, int H, int tw, int th) {
  switch (position) {
    case kTextCentre: return {std::max(0, W / 2 - tw / 2), std::max(0, H / 2 - th / 2)};
    case kTextUpperRight: return {W - tw, 0};
    case kTextLowerLeft: return {0, H - th};
    case kTextLowerRight: return {W - tw, H - th};
    default: return {0, 0};
  }
}

Rect StampText(IndexedImage& destination, Point at, const IndexedImage& stamp, int tw, int th, int transparent) {
  if (!destination.HasPixels() || !stamp.HasPixels() || tw <= 0 || th <= 0) return {};
  const Rect area = Rect{at.x, at.y, tw, th}.Intersect({0, 0, destination.ImageWidth(), destination.ImageHeight()});
  if (area.Empty()) return {};
  // A stamp partly left of or above the picture keeps its letters in place.
  CopyRegion(destination, area.x, area.y, stamp, area.x - at.x, area.y - at.y, area.width, area.height, transparent);
  return area;
}

Rect MoveTextStamp(IndexedImage& work, const IndexedImage& picture, Rect& band, Point to, const IndexedImage& stamp,
                   int tw, int th, int transparent) {
  const Rect whole{0, 0, work.ImageWidth(), work.ImageHeight()};
  const Rect old = band.Intersect(whole);
  if (!old.Empty()) CopyRegion(work, old.x, old.y, picture, old.x, old.y, old.width, old.height, kNoTransparent);
  const Rect now = StampText(work, to, stamp, tw, th, transparent);
  band = {to.x, to.y, tw, th};
  return old.Union(now);
}

}  // namespace zudizar

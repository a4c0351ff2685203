#include "core/swatch_grid.h"

#include <algorithm>
#include <utility>

#include "core/pixel_ops.h"
#include "core/region.h"

namespace zudizar {

void DrawSwatchGrid(IndexedImage& grid, const SwatchArrangement& arrangement) {
  for (int p = 0; p < 256; ++p)
    FillRect(grid, (p % kSwatchColumns) * kSwatchSide, (p / kSwatchColumns) * kSwatchSide, kSwatchSide, kSwatchSide,
             SwatchColour(arrangement, p));
}

ColourRing StartLeftRing(std::uint8_t current) { return {{current, 250, 251, 255, 248, 1, 2, 3}, 0}; }

// 7 stands at two places of the right ring.
ColourRing StartRightRing(std::uint8_t current) { return {{current, 254, 7, 0, 7, 4, 5, 6}, 0}; }

Point DragImageCorner(int x, int y, int areaWidth, int areaHeight) {
  auto axis = [](int v, int extent) {
    int corner = v + kSwatchSide / 2 > extent ? extent - kSwatchSide : v - kSwatchSide / 2;
    return std::max(corner, 0);
  };
  return {axis(x, areaWidth), axis(y, areaHeight)};
}

Rect MoveSwatchDrag(IndexedImage& display, const IndexedImage& grid, const IndexedImage& swatch, Point& dragPoint,
                    int x, int y) {
  if (!display.HasPixels()) return {};
  const Point corner = DragImageCorner(x, y, display.ImageWidth(), display.ImageHeight());
  CopyRegion(display, dragPoint.x, dragPoint.y, grid, dragPoint.x, dragPoint.y, kSwatchSide, kSwatchSide,
             kNoTransparent);
  CopyRegion(display, corner.x, corner.y, swatch, 0, 0, kSwatchSide, kSwatchSide, kNoTransparent);
  const Rect covered =
      Rect::FromEdges(std::min(dragPoint.x, corner.x), std::min(dragPoint.y, corner.y),
                      std::max(dragPoint.x, corner.x) + kSwatchSide, std::max(dragPoint.y, corner.y) + kSwatchSide);
  dragPoint = corner;
  return covered.Intersect({0, 0, display.ImageWidth(), display.ImageHeight()});
}

bool DropSwatch(SwatchArrangement& arrangement, int source, Point dragPoint, int x, int y) {
  if (Point{x, y} == dragPoint) return false;
  const int target = SwatchPositionAt(x, y);
  if (target < 0 || source < 0 || source > 255 || target == source) return false;
  std::swap(arrangement[static_cast<std::size_t>(source)], arrangement[static_cast<std::size_t>(target)]);
  return true;
}

void FillBackground(IndexedImage& picture, IndexedImage& spare, std::uint8_t left, std::uint8_t right, bool horizontal,
                    const SwatchArrangement& arrangement) {
  FillImage(picture, left);
  if (left == right || !picture.HasPixels()) return;
  // The gradient covers the region of R at the top-left; on the uniform
  // picture its extent, measured by a fill, is the whole picture.
  FillImage(picture, right);
  CopyImage(spare, picture, kNoTransparent);
  int xLeft = 0, bottom = picture.ImageHeight() - 1, xRight = picture.ImageWidth() - 1, top = 0;
  FloodFillExtent(picture, 0, 0, left, xLeft, bottom, xRight, top);
  // A spare of another size cannot hold the whole picture: refill instead.
  const bool spareHoldsAll =
      spare.HasPixels() && spare.ImageWidth() == picture.ImageWidth() && spare.ImageHeight() == picture.ImageHeight();
  if (spareHoldsAll)
    CopyImage(picture, spare, kNoTransparent);
  else
    FillImage(picture, right);
  if (horizontal)
    GradientFill(picture, 0, 0, left, right, xLeft, bottom, xRight, bottom, arrangement);
  else
    GradientFill(picture, 0, 0, left, right, xLeft, bottom, xLeft, top, arrangement);
}

}  // namespace zudizar

#include "core/edit_view.h"

#include <algorithm>
#include <cstring>

#include "core/frames.h"
#include "core/region.h"

namespace zudizar {

namespace {
int FloorDiv(int a, int b) { return a >= 0 ? a / b : -((-a + b - 1) / b); }
Rect Bounds(const IndexedImage& image) {
  return image.HasPixels() ? Rect{0, 0, image.ImageWidth(), image.ImageHeight()} : Rect{};
}
}  // namespace

Point EditView::ToPicture(int x, int y) const { return {FloorDiv(x, zoom) + originX, FloorDiv(y, zoom) + originY}; }

Rect EditView::ToScreen(const Rect& r) const {
  return {(r.x - originX) * zoom, (r.y - originY) * zoom, r.width * zoom, r.height * zoom};
}

int ScrollMaximum(int areaSide, int pictureSide, int zoom) {
  if (areaSide >= pictureSide * zoom) return 0;
  return ((pictureSide * zoom - areaSide) / zoom + 1) / 2;
}

EditView ComputeEditView(int pictureWidth, int pictureHeight, int areaWidth, int areaHeight, int zoom, int scrollX,
                         int scrollY) {
  EditView view;
  view.zoom = std::max(zoom, 1);
  view.shownWidth = std::min(pictureWidth * view.zoom, view.zoom * (areaWidth / view.zoom));
  view.shownHeight = std::min(pictureHeight * view.zoom, view.zoom * (areaHeight / view.zoom));
  // An odd side at 4× or 8× would let the last scroll step pass the edge.
  const int maxX = std::max(0, pictureWidth - view.shownWidth / view.zoom);
  const int maxY = std::max(0, pictureHeight - view.shownHeight / view.zoom);
  view.originX = std::clamp(2 * scrollX, 0, maxX);
  view.originY = std::clamp(2 * scrollY, 0, maxY);
  return view;
}

void MagnifyRegion(IndexedImage& destination, int dx, int dy, const IndexedImage& source, Rect r, int zoom) {
  if (!destination.HasPixels() || !source.HasPixels() || zoom < 1) return;
  // Clip the source to its image and to what lands inside the destination.
  r = r.Intersect(Bounds(source));
  if (r.Empty()) return;
  const int dw = destination.ImageWidth(), dh = destination.ImageHeight();
  const int cFrom = std::max(0, dx), cTo = std::min(dw, dx + r.width * zoom);
  if (cFrom >= cTo) return;
  for (int v = 0; v < r.height; ++v) {
    const std::uint8_t* in = source.Row(r.y + v) + r.x;
    const int row0 = dy + v * zoom;
    if (row0 >= dh) break;
    if (row0 + zoom <= 0) continue;
    // Magnify one row, then copy it to the block's other rows.
    std::uint8_t* first = nullptr;
    for (int k = 0; k < zoom; ++k) {
      const int row = row0 + k;
      if (row < 0 || row >= dh) continue;
      std::uint8_t* out = destination.Row(row);
      if (first) {
        std::memcpy(out + cFrom, first + cFrom, static_cast<std::size_t>(cTo - cFrom));
        continue;
      }
      if (zoom == 1) {
        std::memcpy(out + cFrom, in + (cFrom - dx), static_cast<std::size_t>(cTo - cFrom));
      } else {
        for (int c = cFrom; c < cTo; ++c) out[c] = in[(c - dx) / zoom];
      }
      first = out;
    }
  }
}

void DrawGridOver(IndexedImage& image, int spacing, int areaWidth, int areaHeight, const Rect& clip) {
  DrawFrameGridRect(image, 0, 0, spacing, 7, areaWidth, areaHeight, clip);
}

Rect PresentPictureRect(const EditView& view, int viewMode, bool grid, const IndexedImage& source, const Rect& rect,
                        IndexedImage& magnified, IndexedImage& screen) {
  const Rect visible = rect.Intersect(view.PictureArea()).Intersect(Bounds(source));
  if (visible.Empty()) return {};
  const Rect onScreen = view.ToScreen(visible).Intersect(Bounds(screen));
  if (onScreen.Empty()) return {};
  const int dx = (visible.x - view.originX) * view.zoom, dy = (visible.y - view.originY) * view.zoom;
  if (viewMode == 0) {
    MagnifyRegion(screen, dx, dy, source, visible, view.zoom);
    return onScreen;
  }
  MagnifyRegion(magnified, dx, dy, source, visible, view.zoom);
  CopyRegion(screen, onScreen.x, onScreen.y, magnified, onScreen.x, onScreen.y, onScreen.width, onScreen.height,
             kNoTransparent);
  if (grid) {
    const int pw = source.ImageWidth(), ph = source.ImageHeight();
    DrawGridOver(screen, GridSpacing(viewMode), pw * view.zoom, ph * view.zoom, onScreen);
  }
  return onScreen;
}

}  // namespace zudizar

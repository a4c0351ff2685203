#include "core/region.h"

#include <algorithm>

namespace zudizar {

int CopyRegion(IndexedImage& destination, int dx, int dy, const IndexedImage& source, int sx, int sy,
               int width, int height, int transparent) {
  if (!destination.HasPixels() || !source.HasPixels()) return 0;
  const int dw = destination.ImageWidth();
  const int dh = destination.ImageHeight();
  const int sw = source.ImageWidth();
  const int shgt = source.ImageHeight();
  // Destination clipping as for FillRect.
  const int left = std::clamp(dx, 0, dw - 1);
  const int right = static_cast<int>(std::min<long long>(static_cast<long long>(dx) + width - 1, dw - 1));
  const int top = std::max(dy, 0);
  const int bottom =
      static_cast<int>(std::clamp<long long>(static_cast<long long>(dy) + height - 1, 0, dh - 1));
  if (right < left || bottom < top) return 1;
  const int firstColumn = std::min(std::max(sx, 0), sw - 1);
  const int firstRow = sy;
  // Never read outside the source: only the part of the clipped rectangle that
  // the source can back is copied.
  int columns = right - left + 1;
  int rows = bottom - top + 1;
  columns = std::min(columns, sw - firstColumn);
  if (firstRow < 0) {
    // Rows above the source are skipped, as if clamped to the source.
    return 1;
  }
  rows = std::min(rows, shgt - firstRow);
  if (columns <= 0 || rows <= 0) return 1;
  for (int r = 0; r < rows; ++r) {
    const std::uint8_t* in = source.Row(firstRow + r) + firstColumn;
    std::uint8_t* out = destination.Row(top + r) + left;
    if (transparent < 0 || transparent > 255) {
      std::copy(in, in + columns, out);
    } else {
      const auto t = static_cast<std::uint8_t>(transparent);
      for (int c = 0; c < columns; ++c)
        if (in[c] != t) out[c] = in[c];
    }
  }
  return 1;
}

}  // namespace zudizar

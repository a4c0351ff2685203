#include "core/region.h"

#include <algorithm>
#include <cstring>
#include <vector>

#include "core/frames.h"
#include "core/pixel_block.h"

namespace zudizar {

using detail::ClipColumns;
using detail::ClipRows;
using detail::HasUsableBlock;
using detail::Range;

namespace {

// Read-only rows of a source picture. When source and destination are the
// same image, the rows come from a snapshot so that a copy never reads what
// it has already written.
class SourceRows {
 public:
  SourceRows(const IndexedImage& source, const IndexedImage& destination)
      : width_(source.ImageWidth()), height_(source.ImageHeight()) {
    if (&source == &destination) {
      snapshot_.assign(source.pixels.begin(), source.pixels.begin() + static_cast<std::ptrdiff_t>(Bytes()));
      base_ = snapshot_.data();
    } else {
      base_ = source.pixels.data();
    }
  }
  int Width() const { return width_; }
  int Height() const { return height_; }
  const std::uint8_t* Row(int y) const {
    return base_ + static_cast<std::size_t>(height_ - 1 - y) * static_cast<std::size_t>(width_);
  }

 private:
  std::size_t Bytes() const { return static_cast<std::size_t>(width_) * static_cast<std::size_t>(height_); }
  int width_, height_;
  std::vector<std::uint8_t> snapshot_;
  const std::uint8_t* base_ = nullptr;
};

bool IsTransparentIndex(int transparent) { return transparent >= 0 && transparent <= 255; }

// Copies n pixels, skipping those equal to the transparent index.
void CopyPixels(std::uint8_t* out, const std::uint8_t* in, int n, int transparent) {
  if (!IsTransparentIndex(transparent)) {
    std::memcpy(out, in, static_cast<std::size_t>(n));
    return;
  }
  const auto t = static_cast<std::uint8_t>(transparent);
  for (int i = 0; i < n; ++i)
    if (in[i] != t) out[i] = in[i];
}

// Source position of a turned square: (u, v) is the destination pixel inside
// the square, the result the source pixel it shows. Quarter turns as
// RotateImage defines them: 90 counter-clockwise, 270 clockwise.
struct Turn {
  int side;
  int angle;
  // For the destination pixel (u, v), the source pixel of RotateImage's angle.
  void SourceOf(int u, int v, int& su, int& sv) const {
    switch (angle) {
      case 90:  // source (x, y) -> (y, N − 1 − x)
        su = side - 1 - v;
        sv = u;
        break;
      case 180:
        su = side - 1 - u;
        sv = side - 1 - v;
        break;
      case 270:  // source (x, y) -> (N − 1 − y, x)
        su = v;
        sv = side - 1 - u;
        break;
      default:
        su = u;
        sv = v;
        break;
    }
  }
};

}  // namespace

int CopyRegion(IndexedImage& destination, int dx, int dy, const IndexedImage& source, int sx, int sy, int width,
               int height, int transparent) {
  if (!HasUsableBlock(destination) || !HasUsableBlock(source)) return 0;
  const Range cols = ClipColumns(dx, std::int64_t{dx} + width - 1, destination.ImageWidth());
  const Range rows = ClipRows(dy, std::int64_t{dy} + height - 1, destination.ImageHeight());
  if (cols.Empty() || rows.Empty()) return 1;
  const SourceRows in(source, destination);
  // The source start is clamped into the source (callers never ask for more);
  // the copy then stops where the source ends.
  const int firstColumn = std::clamp(sx, 0, in.Width() - 1);
  const int firstRow = std::clamp(sy, 0, in.Height() - 1);
  const int columns = std::min(cols.Count(), in.Width() - firstColumn);
  const int count = std::min(rows.Count(), in.Height() - firstRow);
  for (int r = 0; r < count; ++r)
    CopyPixels(destination.Row(rows.first + r) + cols.first, in.Row(firstRow + r) + firstColumn, columns, transparent);
  return 1;
}

int StretchRegion(IndexedImage& destination, int dx, int dy, int dwidth, int dheight, const IndexedImage& source,
                  int sx, int sy, int swidth, int sheight, int transparent) {
  if (!HasUsableBlock(destination) || !HasUsableBlock(source)) return 0;
  // A mirrored rectangle reaches from dx + dwidth − 1 to dx.
  const std::int64_t colA = dwidth >= 0 ? std::int64_t{dx} : std::int64_t{dx} + dwidth - 1;
  const std::int64_t colB = dwidth >= 0 ? std::int64_t{dx} + dwidth - 1 : std::int64_t{dx};
  const std::int64_t rowA = dheight >= 0 ? std::int64_t{dy} : std::int64_t{dy} + dheight - 1;
  const std::int64_t rowB = dheight >= 0 ? std::int64_t{dy} + dheight - 1 : std::int64_t{dy};
  const Range cols = ClipColumns(colA, colB, destination.ImageWidth());
  const Range rows = ClipRows(rowA, rowB, destination.ImageHeight());
  if (cols.Empty() || rows.Empty() || swidth <= 0 || sheight <= 0) return 1;

  const SourceRows in(source, destination);
  const int c0 = std::clamp(sx, 0, in.Width() - 1);
  const int c1 = static_cast<int>(std::clamp<std::int64_t>(std::int64_t{sx} + swidth - 1, 0, in.Width() - 1));
  const int r0 = std::clamp(sy, 0, in.Height() - 1);
  const int r1 = static_cast<int>(std::clamp<std::int64_t>(std::int64_t{sy} + sheight - 1, 0, in.Height() - 1));
  if (c1 < c0 || r1 < r0) return 1;
  const std::int64_t sourceCols = c1 - c0 + 1;
  const std::int64_t sourceRows = r1 - r0 + 1;
  const int C = cols.Count();
  const int R = rows.Count();

  std::vector<int> columnOf(static_cast<std::size_t>(C));
  for (int k = 0; k < C; ++k) {
    const int step = static_cast<int>(sourceCols * k / C);
    columnOf[static_cast<std::size_t>(k)] = dwidth >= 0 ? c0 + step : c1 - step;
  }
  const bool keyed = IsTransparentIndex(transparent);
  const auto t = static_cast<std::uint8_t>(transparent);
  // Rows are counted upward from the bottom of both rectangles (downward from
  // the source's top when mirrored), as the bottom-up block lays them out.
  for (int k = 0; k < R; ++k) {
    const int step = static_cast<int>(sourceRows * k / R);
    const std::uint8_t* src = in.Row(dheight >= 0 ? r1 - step : r0 + step);
    std::uint8_t* out = destination.Row(rows.last - k) + cols.first;
    if (keyed) {
      for (int c = 0; c < C; ++c) {
        const std::uint8_t v = src[columnOf[static_cast<std::size_t>(c)]];
        if (v != t) out[c] = v;
      }
    } else {
      for (int c = 0; c < C; ++c) out[c] = src[columnOf[static_cast<std::size_t>(c)]];
    }
  }
  return 1;
}

int RotateImage(IndexedImage& destination, const IndexedImage& source, int angle) {
  if (!HasUsableBlock(destination) || !HasUsableBlock(source)) return 0;
  // Unequal or oblong images: turn the largest top-left square both hold.
  const int n =
      std::min({destination.ImageWidth(), destination.ImageHeight(), source.ImageWidth(), source.ImageHeight()});
  const SourceRows in(source, destination);
  const Turn turn{n, angle};
  // Tiles keep both the rows read and the rows written in cache for the
  // column-wise half of a quarter turn.
  constexpr int kTile = 32;
  for (int v0 = 0; v0 < n; v0 += kTile) {
    const int v1 = std::min(n, v0 + kTile);
    for (int u0 = 0; u0 < n; u0 += kTile) {
      const int u1 = std::min(n, u0 + kTile);
      for (int v = v0; v < v1; ++v) {
        std::uint8_t* out = destination.Row(v);
        for (int u = u0; u < u1; ++u) {
          int su, sv;
          turn.SourceOf(u, v, su, sv);
          out[u] = in.Row(sv)[su];
        }
      }
    }
  }
  return 1;
}

int RotateRegion(IndexedImage& destination, int x, int y, const IndexedImage& source, int size, int angle) {
  if (!HasUsableBlock(destination) || !HasUsableBlock(source)) return 0;
  if (size <= 0) return 1;
  const SourceRows in(source, destination);
  const int dw = destination.ImageWidth();
  const int dh = destination.ImageHeight();
  // RotateRegion's 90 is clockwise: RotateImage's 270, and the other way round.
  const int turnAngle = angle == 90 ? 270 : angle == 270 ? 90 : angle;
  const Turn turn{size, turnAngle};
  // Destination pixels of the square that lie inside the destination.
  const std::int64_t u0 = std::max<std::int64_t>(0, -std::int64_t{x});
  const std::int64_t u1 = std::min<std::int64_t>(size - 1, std::int64_t{dw} - 1 - x);
  const std::int64_t v0 = std::max<std::int64_t>(0, -std::int64_t{y});
  const std::int64_t v1 = std::min<std::int64_t>(size - 1, std::int64_t{dh} - 1 - y);
  for (std::int64_t v = v0; v <= v1; ++v) {
    std::uint8_t* out = destination.Row(static_cast<int>(y + v));
    for (std::int64_t u = u0; u <= u1; ++u) {
      int su, sv;
      turn.SourceOf(static_cast<int>(u), static_cast<int>(v), su, sv);
      const std::int64_t px = std::int64_t{x} + su;
      const std::int64_t py = std::int64_t{y} + sv;
      if (px < 0 || py < 0 || px >= in.Width() || py >= in.Height()) continue;
      out[x + u] = in.Row(static_cast<int>(py))[px];
    }
  }
  return 1;
}

std::uint8_t BackgroundColour(const IndexedImage& image) {
  if (!HasUsableBlock(image)) return 0;
  const int w = image.ImageWidth();
  const int h = image.ImageHeight();
  const std::uint8_t tl = image.At(0, 0);
  const std::uint8_t bl = image.At(0, h - 1);
  const std::uint8_t br = image.At(w - 1, h - 1);
  const std::uint8_t tr = image.At(w - 1, 0);
  if (bl == tl || br == tl || tr == tl) return tl;
  if (bl == tr || bl == br) return bl;
  if (br == tr) return br;
  return tl;
}

void DrawFrameGrid(IndexedImage& image, int xOffset, int yOffset, int spacing, std::uint8_t colour, int areaWidth,
                   int areaHeight) {
  // One grid drawer: the whole grid is the clipped one over the whole picture.
  DrawFrameGridRect(image, xOffset, yOffset, spacing, colour, areaWidth, areaHeight,
                    {0, 0, image.ImageWidth(), image.ImageHeight()});
}

}  // namespace zudizar

#include "core/frames.h"

#include <algorithm>
#include <cstring>
#include <utility>
#include <vector>

#include "core/pixel_block.h"
#include "core/region.h"

namespace zudizar {

int SnapCoordinate(int v, int frame, int offset) { return frame * ((v + offset) / frame) - offset; }

Point SnapPoint(Point p, int frame, bool halfLeft, bool halfUp) {
  if (frame < 2) return p;
  return {SnapCoordinate(p.x, frame, halfLeft ? frame / 2 : 0), SnapCoordinate(p.y, frame, halfUp ? frame / 2 : 0)};
}

Rect CellRect(Point snapped, int frame, int width, int height) {
  if (frame == 1) {
    const int w = width / 2, h = height / 2;
    return {snapped.x < w ? 0 : w, snapped.y < h ? 0 : h, w, h};
  }
  return {snapped.x, snapped.y, frame, frame};
}

void CopyClipped(IndexedImage& destination, Point to, const IndexedImage& source, Rect from, int transparent) {
  if (!detail::HasUsableBlock(destination) || !detail::HasUsableBlock(source)) return;
  // The part of `from` inside the source, then the part of its image inside the destination.
  Rect src = from.Intersect(ImageRect(source));
  const int dx = to.x - from.x, dy = to.y - from.y;
  const Rect dst = src.Translated(dx, dy).Intersect(ImageRect(destination));
  if (dst.Empty()) return;
  const bool keyed = transparent >= 0 && transparent <= 255;
  const auto key = static_cast<std::uint8_t>(transparent);
  for (int row = dst.y; row < dst.Bottom(); ++row) {
    std::uint8_t* out = destination.Row(row) + dst.x;
    const std::uint8_t* in = source.Row(row - dy) + (dst.x - dx);
    if (!keyed) {
      std::memcpy(out, in, static_cast<std::size_t>(dst.width));
    } else {
      for (int i = 0; i < dst.width; ++i)
        if (in[i] != key) out[i] = in[i];
    }
  }
}

void FillClipped(IndexedImage& image, Rect r, std::uint8_t colour) {
  if (!detail::HasUsableBlock(image)) return;
  const Rect c = r.Intersect(ImageRect(image));
  for (int row = c.y; row < c.Bottom(); ++row)
    std::memset(image.Row(row) + c.x, colour, static_cast<std::size_t>(c.width));
}

void TakeCell(IndexedImage& piece, const IndexedImage& picture, Rect cell, std::uint8_t background) {
  if (cell.Empty() || !CreateImage(cell.width, cell.height, piece)) return;
  FillImage(piece, background);
  CopyClipped(piece, {0, 0}, picture, cell);
}

void PutCell(IndexedImage& picture, Rect cell, const IndexedImage& piece) {
  CopyClipped(picture, {cell.x, cell.y}, piece,
              {0, 0, std::min(cell.width, piece.ImageWidth()), std::min(cell.height, piece.ImageHeight())});
}

void ExchangeCells(IndexedImage& picture, Rect a, Rect b, std::uint8_t background) {
  if (a == b) return;
  IndexedImage pieceA, pieceB;
  TakeCell(pieceA, picture, a, background);
  TakeCell(pieceB, picture, b, background);
  PutCell(picture, b, pieceA);
  PutCell(picture, a, pieceB);
}

bool TurnCell(IndexedImage& picture, Rect cell, int angle, std::uint8_t background) {
  if (cell.width != cell.height || cell.Empty()) return false;
  IndexedImage piece, turned;
  TakeCell(piece, picture, cell, background);
  if (!CreateImage(cell.width, cell.height, turned)) return false;
  RotateImage(turned, piece, angle);
  PutCell(picture, cell, turned);
  return true;
}

void ShiftPicture(IndexedImage& destination, const IndexedImage& source, int dx, int dy, std::uint8_t background) {
  if (!detail::HasUsableBlock(destination) || !detail::HasUsableBlock(source)) return;
  const int w = destination.ImageWidth(), h = destination.ImageHeight();
  if (source.ImageWidth() != w || source.ImageHeight() != h) return;
  // Columns of the destination that receive source pixels: [left, right).
  const int left = std::clamp(dx, 0, w), right = std::clamp(w + dx, 0, w);
  for (int row = 0; row < h; ++row) {
    std::uint8_t* out = destination.Row(row);
    const int from = row - dy;
    if (from < 0 || from >= h || right <= left) {
      std::memset(out, background, static_cast<std::size_t>(w));
      continue;
    }
    const std::uint8_t* in = source.Row(from);
    std::memset(out, background, static_cast<std::size_t>(left));
    std::memcpy(out + left, in + (left - dx), static_cast<std::size_t>(right - left));
    std::memset(out + right, background, static_cast<std::size_t>(w - right));
  }
}

void DrawFrameGridRect(IndexedImage& image, int xOffset, int yOffset, int spacing, std::uint8_t colour, int areaWidth,
                       int areaHeight, Rect clip) {
  if (!detail::HasUsableBlock(image) || spacing == 0) return;
  if (spacing < 0) spacing = 4;
  const int rowsCovered = std::min(areaHeight, image.ImageHeight());
  const int columnsCovered = std::min(areaWidth, image.ImageWidth());
  if (rowsCovered <= 0 || columnsCovered <= 0) return;
  const Rect c = clip.Intersect({0, 0, columnsCovered, rowsCovered});
  if (c.Empty()) return;
  const int last = columnsCovered - 1;
  const int cs = spacing == 1 ? areaWidth / 2 : spacing;
  const int rs = spacing == 1 ? areaHeight / 2 : spacing;

  // Vertical-line columns inside the clip: x0 + k × cs, strictly left of `last`.
  std::vector<int> lineColumns;
  if (cs > 0) {
    std::int64_t x0 = std::int64_t{xOffset} - 1;
    if (x0 < 0) x0 += ((-x0 + cs - 1) / cs) * cs;
    if (x0 < c.x) x0 += ((c.x - x0 + cs - 1) / cs) * cs;
    for (std::int64_t col = x0; col < last && col < c.Right(); col += cs) lineColumns.push_back(static_cast<int>(col));
  }
  const int rowPhase = rs > 0 ? ((yOffset % rs) + rs) % rs : 0;
  const auto over = static_cast<std::uint8_t>(255 - colour);
  for (int row = c.y; row < c.Bottom(); ++row) {
    std::uint8_t* line = image.Row(row);
    const bool horizontal = rs > 0 && row != 0 && row != rowsCovered - 1 && row % rs == rowPhase;
    if (horizontal) {
      for (int col = c.x; col < c.Right(); ++col) line[col] = line[col] == colour ? over : colour;
    } else {
      for (int col : lineColumns) line[col] = colour;
    }
  }
}

}  // namespace zudizar

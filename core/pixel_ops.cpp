#include "core/pixel_ops.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <new>
#include <vector>

#include "core/pixel_block.h"

namespace zudizar {

using detail::HasUsableBlock;

namespace {

// Bounding box of the pixels a fill has painted.
struct Extent {
  int left, right, top, bottom;
};

// A run of pixels on the row `y` that has been filled; the fill still has to
// look at the row y + dy under the same columns.
struct Segment {
  int y, left, right, dy;
};

// Scanline seed fill over the 4-connected pixels that `region.Candidate`
// accepts, painting runs with `region.Paint`. Each run is scanned once and
// looks only at the rows next to it, so the cost grows with the filled area
// (plus the runs' borders), never with the picture or a bounding box. Paint
// must make the pixels it is given fail Candidate.
//
// Region interface:
//   bool Candidate(const std::uint8_t* row, std::size_t rowOffset, int x);
//   void Paint(std::uint8_t* row, std::size_t rowOffset, int y, int first, int last);
template <class Region>
Extent ScanlineFill(IndexedImage& image, int startX, int startY, Region& region) {
  const int w = image.ImageWidth();
  const int h = image.ImageHeight();
  std::uint8_t* const base = image.pixels.data();
  const auto offsetOf = [&](int y) {
    return static_cast<std::size_t>(h - 1 - y) * static_cast<std::size_t>(w);
  };
  Extent extent{startX, startX, startY, startY};
  const auto paint = [&](std::uint8_t* row, std::size_t offset, int y, int a, int b) {
    region.Paint(row, offset, y, a, b);
    extent.left = std::min(extent.left, a);
    extent.right = std::max(extent.right, b);
    extent.top = std::min(extent.top, y);
    extent.bottom = std::max(extent.bottom, y);
  };

  std::vector<Segment> stack;
  stack.reserve(256);
  const auto push = [&](int y, int a, int b, int dy) {
    const int next = y + dy;
    if (next >= 0 && next < h) stack.push_back({y, a, b, dy});
  };
  // The seed is a one-pixel run below/above itself: popping the second entry
  // explores the start row, the first the row below the seed.
  push(startY, startX, startX, 1);
  push(startY + 1, startX, startX, -1);

  while (!stack.empty()) {
    const Segment s = stack.back();
    stack.pop_back();
    const int y = s.y + s.dy;
    const int x1 = s.left;
    const int x2 = s.right;
    const int dy = s.dy;
    const std::size_t offset = offsetOf(y);
    std::uint8_t* const row = base + offset;
    const auto candidate = [&](int x) { return region.Candidate(row, offset, x); };

    int x = x1;
    int runStart = 0;
    bool inRun = false;
    if (candidate(x1)) {
      int a = x1;
      while (a > 0 && candidate(a - 1)) --a;
      paint(row, offset, y, a, x1);
      runStart = a;
      // A run reaching left past the parent leaks back into the parent's row.
      if (a < x1) push(y, a, x1 - 1, -dy);
      x = x1 + 1;
      inRun = true;
    }
    for (;;) {
      if (inRun) {
        const int from = x;
        while (x < w && candidate(x)) ++x;
        if (x > from) paint(row, offset, y, from, x - 1);
        push(y, runStart, x - 1, dy);
        if (x > x2 + 1) push(y, x2 + 1, x - 1, -dy);
      }
      // Skip to the next candidate under the parent run.
      ++x;
      while (x <= x2 && !candidate(x)) ++x;
      if (x > x2) break;
      runStart = x;
      inRun = true;
    }
  }
  return extent;
}

// Plain recolouring: the new colour differs from v, so painted pixels stop
// being candidates by themselves and no mark map is needed.
struct SolidRegion {
  std::uint8_t from, to;
  bool Candidate(const std::uint8_t* row, std::size_t, int x) const { return row[x] == from; }
  void Paint(std::uint8_t* row, std::size_t, int, int a, int b) const {
    std::memset(row + a, to, static_cast<std::size_t>(b - a + 1));
  }
};

// Gradient colours: each pixel's position is the larger (or smaller) of a
// column position and a row position, both tabulated once per fill.
struct GradientColours {
  std::vector<std::uint8_t> columnPosition, rowPosition;
  std::array<std::uint8_t, 256> colourAt{};
  bool rising = true;

  std::uint8_t Position(int x, int y) const {
    const std::uint8_t px = columnPosition[static_cast<std::size_t>(x)];
    const std::uint8_t py = rowPosition[static_cast<std::size_t>(y)];
    return rising ? std::max(px, py) : std::min(px, py);
  }
  void PaintRun(std::uint8_t* row, int y, int a, int b) const {
    const std::uint8_t py = rowPosition[static_cast<std::size_t>(y)];
    const std::uint8_t* px = columnPosition.data();
    if (rising) {
      for (int c = a; c <= b; ++c) row[c] = colourAt[std::max(px[c], py)];
    } else {
      for (int c = a; c <= b; ++c) row[c] = colourAt[std::min(px[c], py)];
    }
  }
};

// Gradient whose colours never equal v: painted pixels leave the region by
// their colour alone.
struct GradientRegion {
  const GradientColours& colours;
  std::uint8_t from;
  bool Candidate(const std::uint8_t* row, std::size_t, int x) const { return row[x] == from; }
  void Paint(std::uint8_t* row, std::size_t, int y, int a, int b) const { colours.PaintRun(row, y, a, b); }
};

// Gradient that paints some pixels in v: a mark map keeps them from being
// taken for unfilled pixels, so the region stays the one before the fill.
struct MarkedGradientRegion {
  const GradientColours& colours;
  std::uint8_t from;
  std::uint8_t* marks;
  bool Candidate(const std::uint8_t* row, std::size_t offset, int x) const {
    return row[x] == from && marks[offset + static_cast<std::size_t>(x)] == 0;
  }
  void Paint(std::uint8_t* row, std::size_t offset, int y, int a, int b) const {
    colours.PaintRun(row, y, a, b);
    std::memset(marks + offset + static_cast<std::size_t>(a), 1, static_cast<std::size_t>(b - a + 1));
  }
};

// Position along one axis: pL + (w × distance) / divisor, truncated toward
// zero, clamped to the arrangement.
std::uint8_t AxisPosition(int pL, std::int64_t w, std::int64_t distance, std::int64_t divisor, bool steps) {
  std::int64_t p = pL;
  if (steps) p += w * distance / divisor;
  return static_cast<std::uint8_t>(std::clamp<std::int64_t>(p, 0, 255));
}

int PositionOf(const GradientOrder& arrangement, std::uint8_t colour) {
  for (int i = 0; i < 256; ++i)
    if (arrangement[static_cast<std::size_t>(i)] == colour) return i;
  return 0;
}

}  // namespace

std::uint8_t ReadPixel(const IndexedImage& image, int x, int y) {
  if (!HasUsableBlock(image)) return 0;
  return image.At(std::clamp(x, 0, image.ImageWidth() - 1), std::clamp(y, 0, image.ImageHeight() - 1));
}

void WritePixel(IndexedImage& image, int x, int y, std::uint8_t colour) {
  if (!HasUsableBlock(image)) return;
  image.At(std::clamp(x, 0, image.ImageWidth() - 1), std::clamp(y, 0, image.ImageHeight() - 1)) = colour;
}

namespace {

// Runs a solid fill; returns false when nothing was filled.
bool SolidFill(IndexedImage& image, int x, int y, std::uint8_t colour, Extent& extent) {
  if (!HasUsableBlock(image)) return false;
  x = std::clamp(x, 0, image.ImageWidth() - 1);
  y = std::clamp(y, 0, image.ImageHeight() - 1);
  const std::uint8_t v = image.At(x, y);
  if (v == colour) return false;
  SolidRegion region{v, colour};
  try {
    extent = ScanlineFill(image, x, y, region);
  } catch (const std::bad_alloc&) {
    // The run stack could not grow: the fill stops where it got to.
    return false;
  }
  return true;
}

}  // namespace

void FloodFill(IndexedImage& image, int x, int y, std::uint8_t colour) {
  Extent extent{};
  SolidFill(image, x, y, colour, extent);
}

void FloodFillExtent(IndexedImage& image, int x, int y, std::uint8_t colour, int& left, int& bottom,
                     int& right, int& top) {
  Extent extent{};
  if (!SolidFill(image, x, y, colour, extent)) return;
  left = extent.left;
  bottom = extent.bottom;
  right = extent.right;
  top = extent.top;
}

void GradientFill(IndexedImage& image, int x, int y, std::uint8_t startColour, std::uint8_t endColour,
                  int xFrom, int yFrom, int xTo, int yTo, const GradientOrder& arrangement) {
  if (!HasUsableBlock(image)) return;
  const int width = image.ImageWidth();
  const int height = image.ImageHeight();
  x = std::clamp(x, 0, width - 1);
  y = std::clamp(y, 0, height - 1);
  const std::uint8_t v = image.At(x, y);
  if (startColour == v) return;

  const int pL = PositionOf(arrangement, startColour);
  const int pR = PositionOf(arrangement, endColour);
  const std::int64_t w = pR - pL >= 0 ? pR - pL + 1 : pR - pL - 1;

  GradientColours colours;
  colours.rising = w >= 0;
  for (int i = 0; i < 256; ++i)
    colours.colourAt[static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(arrangement[static_cast<std::size_t>(i)] & 0xFF);
  try {
    colours.columnPosition.resize(static_cast<std::size_t>(width));
    colours.rowPosition.resize(static_cast<std::size_t>(height));
  } catch (const std::bad_alloc&) {
    return;
  }
  const std::int64_t xDivisor = std::int64_t{xTo} - xFrom + 1;
  const std::int64_t yDivisor = std::int64_t{yFrom} - yTo + 1;
  const bool xSteps = xTo != xFrom && w != 1 && xDivisor != 0;
  const bool ySteps = yTo != yFrom && w != 1 && yDivisor != 0;
  // Clamping to the arrangement commutes with the larger/smaller choice, so
  // both axes can be clamped before they are combined.
  for (int c = 0; c < width; ++c)
    colours.columnPosition[static_cast<std::size_t>(c)] =
        AxisPosition(pL, w, std::int64_t{c} - xFrom, xDivisor, xSteps);
  for (int r = 0; r < height; ++r)
    colours.rowPosition[static_cast<std::size_t>(r)] =
        AxisPosition(pL, w, std::int64_t{yFrom} - r, yDivisor, ySteps);

  // Only positions that occur on either axis can be chosen; a mark map is
  // needed only when one of them shows v.
  std::array<bool, 256> used{};
  for (std::uint8_t p : colours.columnPosition) used[p] = true;
  for (std::uint8_t p : colours.rowPosition) used[p] = true;
  bool paintsV = false;
  for (int p = 0; p < 256; ++p) paintsV = paintsV || (used[static_cast<std::size_t>(p)] && colours.colourAt[static_cast<std::size_t>(p)] == v);

  try {
    if (!paintsV) {
      GradientRegion region{colours, v};
      ScanlineFill(image, x, y, region);
      return;
    }
    // calloc: the pages of a large map are zeroed as they are first touched,
    // so a small fill in a large picture pays only for what it uses.
    const std::size_t bytes = static_cast<std::size_t>(width) * static_cast<std::size_t>(height);
    const std::unique_ptr<std::uint8_t, decltype(&std::free)> marks(
        static_cast<std::uint8_t*>(std::calloc(bytes, 1)), &std::free);
    if (!marks) return;  // no mark map: nothing is filled
    MarkedGradientRegion region{colours, v, marks.get()};
    ScanlineFill(image, x, y, region);
  } catch (const std::bad_alloc&) {
    // The run stack could not grow: the fill stops where it got to.
  }
}

}  // namespace zudizar

#include "core/pixel_ops.h"

#include <algorithm>
#include <bit>
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

// Scans for runs of one byte value, eight bytes at a time where the
// machine's byte order allows it.
constexpr bool kWordScan = std::endian::native == std::endian::little;

// First index in [x, end) whose byte differs from v, or end.
int SkipEqual(const std::uint8_t* row, int x, int end, std::uint8_t v) {
  // Most runs in a busy picture are short: settle those on the first byte
  // before loading words, which may reach into the next cache line.
  if (x >= end || row[x] != v) return x;
  ++x;
  if constexpr (kWordScan) {
    const std::uint64_t pattern = 0x0101010101010101ULL * v;
    for (; x + 8 <= end; x += 8) {
      std::uint64_t word;
      std::memcpy(&word, row + x, 8);
      if (const std::uint64_t diff = word ^ pattern) return x + std::countr_zero(diff) / 8;
    }
  }
  while (x < end && row[x] == v) ++x;
  return x;
}

// Smallest index i ≥ begin such that the bytes i … x − 1 all equal v.
int SkipEqualBackward(const std::uint8_t* row, int x, int begin, std::uint8_t v) {
  if (x <= begin || row[x - 1] != v) return x;
  --x;
  if constexpr (kWordScan) {
    const std::uint64_t pattern = 0x0101010101010101ULL * v;
    for (; x - 8 >= begin; x -= 8) {
      std::uint64_t word;
      std::memcpy(&word, row + x - 8, 8);
      if (const std::uint64_t diff = word ^ pattern) return x - 8 + (63 - std::countl_zero(diff)) / 8 + 1;
    }
  }
  while (x > begin && row[x - 1] == v) --x;
  return x;
}

// First index in [x, end) whose byte equals v, or end (x when x ≥ end).
int FindEqual(const std::uint8_t* row, int x, int end, std::uint8_t v) {
  if (x >= end) return x;
  const void* hit = std::memchr(row + x, v, static_cast<std::size_t>(end - x));
  return hit ? static_cast<int>(static_cast<const std::uint8_t*>(hit) - row) : end;
}

// Scanline seed fill over the 4-connected pixels a region accepts. Each run
// is scanned once and looks only at the rows next to it, so the cost grows
// with the filled area (plus the runs' borders), never with the picture or a
// bounding box. Paint must make the pixels it is given unacceptable.
//
// Region interface (x counted in the row, offset the row's place in the block):
//   bool Accepts(row, offset, x);
//   int RunEnd(row, offset, x, end): first index in [x, end) not accepted, or end;
//   int RunStart(row, offset, x, begin): smallest i ≥ begin with i … x − 1 accepted;
//   int NextAccepted(row, offset, x, end): first accepted index in [x, end), or
//       a value ≥ end;
//   void Paint(row, offset, y, first, last).
template <class Region>
Extent ScanlineFill(IndexedImage& image, int startX, int startY, Region& region) {
  const int w = image.ImageWidth();
  const int h = image.ImageHeight();
  std::uint8_t* const base = image.pixels.data();
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
  // The seed is a one-pixel run seen from the rows around it: popping the
  // second entry explores the start row, the first the row below the seed.
  push(startY, startX, startX, 1);
  push(startY + 1, startX, startX, -1);

  while (!stack.empty()) {
    const Segment s = stack.back();
    stack.pop_back();
    const int y = s.y + s.dy;
    const int x1 = s.left;
    const int x2 = s.right;
    const int dy = s.dy;
    const std::size_t offset = static_cast<std::size_t>(h - 1 - y) * static_cast<std::size_t>(w);
    std::uint8_t* const row = base + offset;

    int x = x1;
    int runStart = 0;
    bool inRun = false;
    if (region.Accepts(row, offset, x1)) {
      const int a = region.RunStart(row, offset, x1, 0);
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
        x = region.RunEnd(row, offset, x, w);
        if (x > from) paint(row, offset, y, from, x - 1);
        push(y, runStart, x - 1, dy);
        if (x > x2 + 1) push(y, x2 + 1, x - 1, -dy);
      }
      // The next run that starts under the parent run.
      x = region.NextAccepted(row, offset, x + 1, x2 + 1);
      if (x > x2) break;
      runStart = x;
      inRun = true;
    }
  }
  return extent;
}

// Regions whose pixels are exactly those of value v: painted pixels leave the
// region by their new colour, so no mark map is needed, and runs are found by
// the fast byte scans.
struct ByValue {
  std::uint8_t from;
  bool Accepts(const std::uint8_t* row, std::size_t, int x) const { return row[x] == from; }
  int RunEnd(const std::uint8_t* row, std::size_t, int x, int end) const { return SkipEqual(row, x, end, from); }
  int RunStart(const std::uint8_t* row, std::size_t, int x, int begin) const {
    return SkipEqualBackward(row, x, begin, from);
  }
  int NextAccepted(const std::uint8_t* row, std::size_t, int x, int end) const { return FindEqual(row, x, end, from); }
};

// Plain recolouring; the new colour differs from v.
struct SolidRegion : ByValue {
  std::uint8_t to;
  void Paint(std::uint8_t* row, std::size_t, int, int a, int b) const {
    std::memset(row + a, to, static_cast<std::size_t>(b - a + 1));
  }
};

// Gradient colours: each pixel's position is the larger (or smaller) of a
// column position and a row position, both tabulated once per fill, so a run
// is painted by a select between the column's colour and the row's colour.
struct GradientColours {
  std::vector<std::uint8_t> columnPosition, rowPosition, columnColour;
  std::array<std::uint8_t, 256> colourAt{};
  bool rising = true;

  void PaintRun(std::uint8_t* row, int y, int a, int b) const {
    const std::uint8_t py = rowPosition[static_cast<std::size_t>(y)];
    const std::uint8_t rowColour = colourAt[py];
    // Plain selects over separate arrays, so the compiler can vectorise them.
    const std::uint8_t* __restrict px = columnPosition.data() + a;
    const std::uint8_t* __restrict cx = columnColour.data() + a;
    std::uint8_t* __restrict out = row + a;
    const int n = b - a + 1;
    if (rising) {
      for (int i = 0; i < n; ++i) {
        const std::uint8_t fromColumn = cx[i];
        out[i] = px[i] >= py ? fromColumn : rowColour;
      }
    } else {
      for (int i = 0; i < n; ++i) {
        const std::uint8_t fromColumn = cx[i];
        out[i] = px[i] <= py ? fromColumn : rowColour;
      }
    }
  }
};

// Gradient whose colours never equal v.
struct GradientRegion : ByValue {
  const GradientColours* colours;
  void Paint(std::uint8_t* row, std::size_t, int y, int a, int b) const { colours->PaintRun(row, y, a, b); }
};

// Gradient that paints some pixels in v: a mark map, one bit per pixel of the
// block, keeps them from being taken for unfilled pixels, so the region stays
// the one before the fill. Runs are found by the byte scans of ByValue and then
// cut at the first marked pixel, which the map yields 57 pixels at a time.
struct MarkedGradientRegion {
  const GradientColours* colours;
  std::uint8_t from;
  std::uint8_t* marks;  // kMarkPadding bytes longer than the bits need

  static constexpr std::size_t kMarkPadding = 8;

  bool Marked(std::size_t i) const { return (marks[i >> 3] >> (i & 7)) & 1; }
  bool Accepts(const std::uint8_t* row, std::size_t offset, int x) const {
    return row[x] == from && !Marked(offset + static_cast<std::size_t>(x));
  }
  // The mark bits of the n ≤ 57 pixels from i on, pixel i in bit 0; inverted
  // (unmarked pixels set) when `unmarked`.
  std::uint64_t MarkBits(std::size_t i, std::size_t n, bool unmarked) const {
    std::uint64_t word = 0;
    if constexpr (kWordScan) {
      std::memcpy(&word, marks + (i >> 3), 8);
      word >>= i & 7;
    } else {
      for (std::size_t k = 0; k < n; ++k) word |= std::uint64_t{Marked(i + k)} << k;
    }
    if (unmarked) word = ~word;
    return word & ((std::uint64_t{1} << n) - 1);
  }
  // First index in [i, e) that is marked (or, with `unmarked`, not marked), or e.
  std::size_t FirstMark(std::size_t i, std::size_t e, bool unmarked) const {
    while (i < e) {
      const std::size_t n = std::min<std::size_t>(57, e - i);
      if (const std::uint64_t bits = MarkBits(i, n, unmarked)) return i + std::countr_zero(bits);
      i += n;
    }
    return e;
  }
  // One past the last marked index in [b, x), or b.
  std::size_t AfterLastMark(std::size_t b, std::size_t x) const {
    while (x > b) {
      const std::size_t n = std::min<std::size_t>(57, x - b);
      const std::size_t low = x - n;
      if (const std::uint64_t bits = MarkBits(low, n, false)) return low + 64 - std::countl_zero(bits);
      x = low;
    }
    return b;
  }
  int RunEnd(const std::uint8_t* row, std::size_t offset, int x, int end) const {
    if (x >= end || !Accepts(row, offset, x)) return x;
    const int sameColour = SkipEqual(row, x + 1, end, from);
    return static_cast<int>(
        FirstMark(offset + static_cast<std::size_t>(x) + 1, offset + static_cast<std::size_t>(sameColour), false) -
        offset);
  }
  int RunStart(const std::uint8_t* row, std::size_t offset, int x, int begin) const {
    if (x <= begin || !Accepts(row, offset, x - 1)) return x;
    const int sameColour = SkipEqualBackward(row, x - 1, begin, from);
    return static_cast<int>(
        AfterLastMark(offset + static_cast<std::size_t>(sameColour), offset + static_cast<std::size_t>(x) - 1) -
        offset);
  }
  int NextAccepted(const std::uint8_t* row, std::size_t offset, int x, int end) const {
    for (;;) {
      x = FindEqual(row, x, end, from);
      if (x >= end || !Marked(offset + static_cast<std::size_t>(x))) return x;
      x = static_cast<int>(
          FirstMark(offset + static_cast<std::size_t>(x), offset + static_cast<std::size_t>(end), true) - offset);
    }
  }
  void Paint(std::uint8_t* row, std::size_t offset, int y, int a, int b) const {
    colours->PaintRun(row, y, a, b);
    std::size_t i = offset + static_cast<std::size_t>(a);
    const std::size_t end = offset + static_cast<std::size_t>(b) + 1;
    for (; i < end && (i & 7) != 0; ++i) marks[i >> 3] |= static_cast<std::uint8_t>(1U << (i & 7));
    const std::size_t wholeBytes = (end - i) / 8;
    std::memset(marks + (i >> 3), 0xFF, wholeBytes);
    for (i += 8 * wholeBytes; i < end; ++i) marks[i >> 3] |= static_cast<std::uint8_t>(1U << (i & 7));
  }
};

// Position along one axis: pL + (w × distance) / divisor, truncated toward
// zero, clamped to the arrangement.
std::uint8_t AxisPosition(int pL, std::int64_t w, std::int64_t distance, std::int64_t divisor, bool steps) {
  std::int64_t p = pL;
  if (steps) p += w * distance / divisor;
  return static_cast<std::uint8_t>(std::clamp<std::int64_t>(p, 0, 255));
}

int PositionOf(const SwatchArrangement& arrangement, std::uint8_t colour) {
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
  SolidRegion region{{v}, colour};
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

void FloodFillExtent(IndexedImage& image, int x, int y, std::uint8_t colour, int& left, int& bottom, int& right,
                     int& top) {
  Extent extent{};
  if (!SolidFill(image, x, y, colour, extent)) return;
  left = extent.left;
  bottom = extent.bottom;
  right = extent.right;
  top = extent.top;
}

void GradientFill(IndexedImage& image, int x, int y, std::uint8_t startColour, std::uint8_t endColour, int xFrom,
                  int yFrom, int xTo, int yTo, const SwatchArrangement& arrangement) {
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
  for (std::size_t i = 0; i < 256; ++i) colours.colourAt[i] = static_cast<std::uint8_t>(arrangement[i] & 0xFF);
  try {
    colours.columnPosition.resize(static_cast<std::size_t>(width));
    colours.columnColour.resize(static_cast<std::size_t>(width));
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
  for (std::size_t c = 0; c < colours.columnPosition.size(); ++c) {
    const std::uint8_t p = AxisPosition(pL, w, static_cast<std::int64_t>(c) - xFrom, xDivisor, xSteps);
    colours.columnPosition[c] = p;
    colours.columnColour[c] = colours.colourAt[p];
  }
  for (std::size_t r = 0; r < colours.rowPosition.size(); ++r)
    colours.rowPosition[r] = AxisPosition(pL, w, yFrom - static_cast<std::int64_t>(r), yDivisor, ySteps);

  // Only positions that occur on either axis can be chosen; a mark map is
  // needed only when one of them shows v.
  std::array<bool, 256> used{};
  for (std::uint8_t p : colours.columnPosition) used[p] = true;
  for (std::uint8_t p : colours.rowPosition) used[p] = true;
  bool paintsV = false;
  for (std::size_t p = 0; p < 256; ++p) paintsV = paintsV || (used[p] && colours.colourAt[p] == v);

  try {
    if (!paintsV) {
      GradientRegion region{{v}, &colours};
      ScanlineFill(image, x, y, region);
      return;
    }
    // calloc: the pages of a large map are zeroed as they are first touched,
    // so a small fill in a large picture pays only for what it uses.
    const std::size_t pixels = static_cast<std::size_t>(width) * static_cast<std::size_t>(height);
    const std::unique_ptr<std::uint8_t, decltype(&std::free)> marks(
        static_cast<std::uint8_t*>(std::calloc(pixels / 8 + MarkedGradientRegion::kMarkPadding, 1)), &std::free);
    if (!marks) return;  // no mark map: nothing is filled
    MarkedGradientRegion region{&colours, v, marks.get()};
    ScanlineFill(image, x, y, region);
  } catch (const std::bad_alloc&) {
    // The run stack could not grow: the fill stops where it got to.
  }
}

}  // namespace zudizar

#include "core/pens.h"

#include <algorithm>
#include <array>
#include <cstdlib>
#include <cstring>

#include "core/pixel_block.h"

namespace zudizar {

namespace {

// Disc insets per row, top row first, for sizes 4, 8, 16, 24 and 32.
constexpr int kDisc4[] = {1, 0, 0, 1};
constexpr int kDisc8[] = {2, 1, 0, 0, 0, 0, 1, 2};
constexpr int kDisc16[] = {5, 3, 2, 1, 1, 0, 0, 0, 0, 0, 0, 1, 1, 2, 3, 5};
constexpr int kDisc24[] = {8, 6, 5, 4, 3, 2, 1, 1, 0, 0, 0, 0, 0, 0, 0, 0, 1, 1, 2, 3, 4, 5, 6, 8};
constexpr int kDisc32[] = {12, 9, 8, 6, 5, 4, 3, 3, 2, 1, 1, 1, 0, 0, 0, 0,
                           0,  0, 0, 0, 1, 1, 1, 2, 3, 3, 4, 5, 6, 8, 9, 12};

struct LargeSize {
  int n;
  const int* insets;
  int rowFirst, rowLast;        // rows of the horizontal bar
  int columnFirst, columnLast;  // columns of the vertical bar (differ from the rows at n = 4)
  int bandLow, bandHigh;        // u − t range of the diagonal band
};

constexpr LargeSize kLargeSizes[] = {
    {4, kDisc4, 2, 2, 1, 1, 0, 1},      {8, kDisc8, 3, 4, 3, 4, -1, 1},       {16, kDisc16, 6, 9, 6, 9, -1, 1},
    {24, kDisc24, 9, 14, 9, 14, -2, 2}, {32, kDisc32, 12, 19, 12, 19, -3, 3},
};

struct Pen {
  std::array<PenSpan, 32> rows{};  // top row first, no empty rows
  int count = 0;
  PenBox box{0, 0, 0};
  // Bounds of the pixels the pen can touch, relative to its point.
  int minDy = 0, maxDy = -1, minDx = 0, maxDx = -1;

  std::span<const PenSpan> Spans() const { return {rows.data(), static_cast<std::size_t>(count)}; }
  bool Empty() const { return count == 0; }

  void Add(int dy, int left, int right) {
    if (right < left) return;
    rows[static_cast<std::size_t>(count++)] = {dy, left, right};
    if (count == 1) {
      minDy = maxDy = dy;
      minDx = left;
      maxDx = right;
    } else {
      minDy = std::min(minDy, dy);
      maxDy = std::max(maxDy, dy);
      minDx = std::min(minDx, left);
      maxDx = std::max(maxDx, right);
    }
  }
};

using PenTable = std::array<Pen, 256>;

PenTable BuildPens() {
  PenTable pens;
  // The small pens.
  pens[0].Add(0, 0, 0);
  pens[0].box = {1, 0, 0};
  pens[1].Add(-1, 0, 1);
  pens[1].Add(0, 0, 1);
  pens[17].Add(0, 0, 1);
  pens[33].Add(-1, 0, 0);
  pens[33].Add(0, 0, 1);
  pens[49].Add(-1, 0, 0);  // the point itself is not part of this pen
  pens[49].Add(0, 1, 1);
  for (int code : {1, 17, 33, 49}) pens[code].box = {2, 0, -1};

  // Sizes 4 … 32: an n × n square with columns x − (n/2 − 1) … x + n/2 and
  // rows y − n/2 … y + n/2 − 1; (u, t) are the column and row inside it.
  for (int s = 0; s < 5; ++s) {
    const LargeSize& size = kLargeSizes[s];
    const int n = size.n;
    const int left = -(n / 2 - 1);
    const int top = -(n / 2);
    Pen& disc = pens[2 + s];
    Pen& hbar = pens[18 + s];
    Pen& vbar = pens[34 + s];
    Pen& band = pens[50 + s];
    for (int t = 0; t < n; ++t) {
      const int dy = top + t;
      disc.Add(dy, left + size.insets[t], left + n - 1 - size.insets[t]);
      if (t >= size.rowFirst && t <= size.rowLast) hbar.Add(dy, left, left + n - 1);
      vbar.Add(dy, left + size.columnFirst, left + size.columnLast);
      const int u0 = std::max(0, t + size.bandLow);
      const int u1 = std::min(n - 1, t + size.bandHigh);
      band.Add(dy, left + u0, left + u1);
    }
    for (Pen* pen : {&disc, &hbar, &vbar, &band}) pen->box = {n, left, top};
  }
  return pens;
}

const Pen& PenFor(std::uint8_t code) {
  static const PenTable pens = BuildPens();
  return pens[code];
}

// Applies op(row pointer, first column, last column) to every row of the pen
// at (x, y). The clipping is settled once per stamp: a footprint wholly inside
// the image takes the unclipped path.
template <class Op>
[[gnu::always_inline]] inline void ForEachPenRow(std::uint8_t* base, int width, int height, const Pen& pen, int x,
                                                 int y, Op op) {
  const auto rowAt = [&](int row) {
    return base + static_cast<std::size_t>(height - 1 - row) * static_cast<std::size_t>(width);
  };
  if (x + pen.minDx >= 0 && x + pen.maxDx < width && y + pen.minDy >= 0 && y + pen.maxDy < height) {
    for (const PenSpan& s : pen.Spans()) op(rowAt(y + s.dy), x + s.left, x + s.right);
    return;
  }
  for (const PenSpan& s : pen.Spans()) {
    const int row = y + s.dy;
    if (row < 0) continue;
    if (row >= height) break;  // rows are in top-down order
    const int a = std::max(x + s.left, 0);
    const int b = std::min(x + s.right, width - 1);
    if (a <= b) op(rowAt(row), a, b);
  }
}

// Pen rows are at most 32 pixels: a few overlapping word stores are cheaper
// than a call to memset for each row of each stamp.
struct SetOp {
  std::uint8_t colour;
  void operator()(std::uint8_t* row, int a, int b) const {
    std::uint8_t* out = row + a;
    const int n = b - a + 1;
    if (n >= 8) {
      const std::uint64_t word = 0x0101010101010101ULL * colour;
      for (int i = 0; i + 8 < n; i += 8) std::memcpy(out + i, &word, 8);
      std::memcpy(out + n - 8, &word, 8);
    } else if (n >= 4) {
      const std::uint32_t word = 0x01010101U * colour;
      std::memcpy(out, &word, 4);
      std::memcpy(out + n - 4, &word, 4);
    } else {
      out[0] = colour;
      out[n / 2] = colour;
      out[n - 1] = colour;
    }
  }
};

struct EraseOp {
  std::uint8_t oldColour, newColour;
  void operator()(std::uint8_t* row, int a, int b) const {
    // An unconditional store of the selected value lets the loop vectorise.
    for (int c = a; c <= b; ++c) {
      const std::uint8_t v = row[c];
      row[c] = v == oldColour ? newColour : v;
    }
  }
};

template <class Op>
void StampAt(IndexedImage& image, int x, int y, std::uint8_t penCode, Op op) {
  if (!detail::HasUsableBlock(image)) return;
  const Pen& pen = PenFor(penCode);
  if (pen.Empty()) return;
  const int w = image.ImageWidth();
  const int h = image.ImageHeight();
  ForEachPenRow(image.pixels.data(), w, h, pen, std::clamp(x, 0, w - 1), std::clamp(y, 0, h - 1), op);
}

// The stroke's stepping: from the lower end point towards the other, one
// stamp per column (when there are more columns than rows) or per row.
template <class Op>
void StrokeWith(IndexedImage& image, int x1, int y1, int x2, int y2, std::uint8_t penCode, Op op) {
  if (!detail::HasUsableBlock(image)) return;
  // A local copy: the pixel stores cannot alias it, so the pen stays in
  // registers and cache-friendly locals across the stamps.
  const Pen pen = PenFor(penCode);
  if (pen.Empty()) return;
  const int w = image.ImageWidth();
  const int h = image.ImageHeight();
  int xs = x2, ys = y2, xe = x1, ye = y1;
  if (y1 > y2) {
    xs = x1;
    ys = y1;
    xe = x2;
    ye = y2;
  }
  xs = std::clamp(xs, 0, w - 1);
  xe = std::clamp(xe, 0, w - 1);
  ys = std::clamp(ys, 0, h - 1);
  ye = std::clamp(ye, 0, h - 1);
  const int cx = std::abs(xe - xs) + 1;
  const int cy = std::abs(ye - ys) + 1;
  const int sx = xe >= xs ? 1 : -1;
  std::uint8_t* base = image.pixels.data();
  // The minor axis steps by (minor × k) div major, kept as a running quotient
  // and remainder instead of a division per stamp.
  const int major = std::max(cx, cy);
  const int minor = std::min(cx, cy);
  int quotient = 0, remainder = 0;
  for (int k = 0; k < major; ++k) {
    if (cy < cx)
      ForEachPenRow(base, w, h, pen, xs + sx * k, ys - quotient, op);
    else
      ForEachPenRow(base, w, h, pen, xs + sx * quotient, ys - k, op);
    remainder += minor;
    if (remainder >= major) {  // minor ≤ major: at most one step
      remainder -= major;
      ++quotient;
    }
  }
}

}  // namespace

std::span<const PenSpan> PenSpans(std::uint8_t penCode) { return PenFor(penCode).Spans(); }

PenBox PenFootprintBox(std::uint8_t penCode) { return PenFor(penCode).box; }

void StampPen(IndexedImage& image, int x, int y, std::uint8_t colour, std::uint8_t penCode) {
  StampAt(image, x, y, penCode, SetOp{colour});
}

void ErasePen(IndexedImage& image, int x, int y, std::uint8_t oldColour, std::uint8_t newColour, std::uint8_t penCode) {
  if (oldColour == newColour) return;
  StampAt(image, x, y, penCode, EraseOp{oldColour, newColour});
}

void StrokePen(IndexedImage& image, int x1, int y1, int x2, int y2, std::uint8_t colour, std::uint8_t penCode) {
  StrokeWith(image, x1, y1, x2, y2, penCode, SetOp{colour});
}

void StrokeErase(IndexedImage& image, int x1, int y1, int x2, int y2, std::uint8_t oldColour, std::uint8_t newColour,
                 std::uint8_t penCode) {
  if (oldColour == newColour) return;
  StrokeWith(image, x1, y1, x2, y2, penCode, EraseOp{oldColour, newColour});
}

}  // namespace zudizar

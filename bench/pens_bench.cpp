// A stroke of 10 000 stamps with each pen, against a plain per-pixel stamp
// (every cell of the footprint square tested against a mask and the picture's
// bounds) along the same points.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <vector>

#include "core/indexed_image.h"
#include "core/pens.h"

using namespace zudizar;

namespace {

// A shallow line with exactly 10 000 columns, so 10 000 stamps; it runs 8
// pixels from the picture's top so large pens are clipped at some stamps.
constexpr int kWidth = 10048;
constexpr int kHeight = 96;
constexpr int kX1 = 24, kY1 = 80, kX2 = kX1 + 9999, kY2 = 8;
constexpr int kStamps = 10000;

IndexedImage& Canvas() {
  static IndexedImage image;
  if (!image.HasPixels()) CreateImage(kWidth, kHeight, image);
  return image;
}

// The pen as a mask over its footprint square, for the per-pixel reference.
struct MaskPen {
  PenBox box;
  std::vector<std::uint8_t> mask;
};

MaskPen MaskOf(std::uint8_t code) {
  MaskPen pen{PenFootprintBox(code), {}};
  pen.mask.assign(static_cast<std::size_t>(pen.box.size * pen.box.size), 0);
  for (const PenSpan& s : PenSpans(code))
    for (int c = s.left; c <= s.right; ++c)
      pen.mask[static_cast<std::size_t>((s.dy - pen.box.top) * pen.box.size + (c - pen.box.left))] = 1;
  return pen;
}

// Reference: the same stepping, each stamp a per-pixel loop over the square.
void PlainStroke(IndexedImage& image, int x1, int y1, int x2, int y2, std::uint8_t colour, const MaskPen& pen) {
  const int w = image.ImageWidth();
  const int h = image.ImageHeight();
  const int xs = x1, ys = y1, xe = x2, ye = y2;  // already ordered and inside
  const long long cx = std::abs(xe - xs) + 1, cy = std::abs(ye - ys) + 1;
  const int sx = xe >= xs ? 1 : -1;
  const long long steps = cy < cx ? cx : cy;
  for (long long k = 0; k < steps; ++k) {
    const int x = cy < cx ? xs + sx * static_cast<int>(k) : xs + sx * static_cast<int>(cx * k / cy);
    const int y = cy < cx ? ys - static_cast<int>(cy * k / cx) : ys - static_cast<int>(k);
    for (int t = 0; t < pen.box.size; ++t)
      for (int u = 0; u < pen.box.size; ++u) {
        if (!pen.mask[static_cast<std::size_t>(t * pen.box.size + u)]) continue;
        const int px = x + pen.box.left + u;
        const int py = y + pen.box.top + t;
        if (px < 0 || py < 0 || px >= w || py >= h) continue;
        image.At(px, py) = colour;
      }
  }
}

void BM_PlainStroke(benchmark::State& state) {
  const auto code = static_cast<std::uint8_t>(state.range(0));
  const MaskPen pen = MaskOf(code);
  IndexedImage& image = Canvas();
  std::uint8_t colour = 0;
  for (auto _ : state) {
    PlainStroke(image, kX1, kY1, kX2, kY2, ++colour, pen);
    benchmark::DoNotOptimize(image.pixels.data());
  }
  state.counters["ns_per_stamp"] =
      benchmark::Counter(kStamps, benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
}

void BM_StrokePen(benchmark::State& state) {
  const auto code = static_cast<std::uint8_t>(state.range(0));
  IndexedImage& image = Canvas();
  std::uint8_t colour = 0;
  for (auto _ : state) {
    StrokePen(image, kX1, kY1, kX2, kY2, ++colour, code);
    benchmark::DoNotOptimize(image.pixels.data());
  }
  state.counters["ns_per_stamp"] =
      benchmark::Counter(kStamps, benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
}

void BM_StrokeErase(benchmark::State& state) {
  const auto code = static_cast<std::uint8_t>(state.range(0));
  IndexedImage& image = Canvas();
  FillImage(image, 1);
  for (auto _ : state) {
    // Alternate, so that every stamp finds pixels to change.
    StrokeErase(image, kX1, kY1, kX2, kY2, 1, 2, code);
    StrokeErase(image, kX1, kY1, kX2, kY2, 2, 1, code);
    benchmark::DoNotOptimize(image.pixels.data());
  }
  state.counters["ns_per_stamp"] =
      benchmark::Counter(2 * kStamps, benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
}

// Times the reference once for the ratio, outside the benchmark's own loop.
void BM_StrokePenVsPlain(benchmark::State& state) {
  const auto code = static_cast<std::uint8_t>(state.range(0));
  const MaskPen pen = MaskOf(code);
  IndexedImage& image = Canvas();
  std::uint8_t colour = 0;
  const auto time = [&](auto&& stroke) {
    double best = 1e30;
    for (int round = 0; round < 15; ++round) {
      const auto start = std::chrono::steady_clock::now();
      stroke();
      const auto stop = std::chrono::steady_clock::now();
      benchmark::DoNotOptimize(image.pixels.data());
      best = std::min(best, std::chrono::duration<double, std::nano>(stop - start).count());
    }
    return best;
  };
  double ours = 0, plain = 0;
  for (auto _ : state) {
    ours = time([&] { StrokePen(image, kX1, kY1, kX2, kY2, ++colour, code); });
    plain = time([&] { PlainStroke(image, kX1, kY1, kX2, kY2, ++colour, pen); });
  }
  state.counters["ns_per_stamp"] = ours / kStamps;
  state.counters["plain_ns_per_stamp"] = plain / kStamps;
  state.counters["x_plain"] = ours / plain;
}

void AllPens(benchmark::internal::Benchmark* b) {
  for (int code : {0, 1, 17, 33, 49}) b->Arg(code);
  for (int size = 0; size < 5; ++size)
    for (int family : {2, 18, 34, 50}) b->Arg(family + size);
}

}  // namespace

BENCHMARK(BM_StrokePen)->Apply(AllPens)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_PlainStroke)->Apply(AllPens)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_StrokeErase)->Apply(AllPens)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_StrokePenVsPlain)->Apply(AllPens)->Iterations(1)->Unit(benchmark::kMicrosecond);

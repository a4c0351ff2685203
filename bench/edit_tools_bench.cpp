// The pixel editor's gesture steps on a 256 × 240 picture:
//  - a free-line drag at 8× with the grid and the round pen 32: the stroke,
//    magnifying the changed rectangle and its grid, per mouse move, against
//    recomposing the whole view per move;
//  - one spray stamp with pen 32;
//  - a solid fill and a gradient over the whole picture on a winding region.
// The per-step figures are printed as "us_per_step"; the conversion of the
// changed rectangle to screen pixels is measured in edit_present_bench.
#include <benchmark/benchmark.h>

#include <cstdlib>

#include "core/edit_view.h"
#include "core/pens.h"
#include "core/region.h"
#include "core/spray.h"
#include "core/tool_session.h"

using namespace zudizar;

namespace {

constexpr int kW = 256, kH = 240;

struct Buffers {
  IndexedImage picture, work, stamp, magnified, screen;
  Buffers() {
    for (IndexedImage* image : {&picture, &work, &stamp}) CreateImage(kW, kH, *image);
    for (IndexedImage* image : {&magnified, &screen}) CreateImage(kW, kH, *image);
    FillImage(picture, 255);
  }
};

// Mouse points of a drag across the visible 32 × 30 part at 8×: steps of a
// few pixels, as mouse events arrive.
Point DragPoint(int k) {
  const int t = k % 200;
  return {64 + (t < 100 ? t / 4 : (200 - t) / 4), 60 + (t % 50) / 3};
}

void BM_FreeLineStep8x(benchmark::State& state) {
  Buffers b;
  const EditView view = ComputeEditView(kW, kH, kW, kH, 8, 32, 30);
  const ToolSettings settings{kToolFree, kToolFree, 6, {}};
  ToolSession session(settings);
  const ToolInk ink{249, 252};
  const ToolTarget target{b.picture, b.work, b.stamp};
  session.Press(target, ink, DragPoint(0), false);
  int k = 1;
  for (auto _ : state) {
    const ToolStep step = session.Move(target, ink, DragPoint(k++));
    benchmark::DoNotOptimize(PresentPictureRect(view, 8, true, b.picture, step.rect, b.magnified, b.screen));
  }
  state.counters["us_per_step"] =
      benchmark::Counter(static_cast<double>(state.iterations()),
                         benchmark::Counter::kIsRate | benchmark::Counter::kInvert, benchmark::Counter::kIs1000);
}
BENCHMARK(BM_FreeLineStep8x)->Unit(benchmark::kMicrosecond);

// Reference: the same stroke, then the whole view recomposed with its grid.
void BM_FreeLineStep8xWholeView(benchmark::State& state) {
  Buffers b;
  const EditView view = ComputeEditView(kW, kH, kW, kH, 8, 32, 30);
  const ToolSettings settings{kToolFree, kToolFree, 6, {}};
  ToolSession session(settings);
  const ToolInk ink{249, 252};
  const ToolTarget target{b.picture, b.work, b.stamp};
  session.Press(target, ink, DragPoint(0), false);
  int k = 1;
  for (auto _ : state) {
    session.Move(target, ink, DragPoint(k++));
    StretchRegion(b.magnified, 0, 0, view.shownWidth, view.shownHeight, b.picture, view.originX, view.originY,
                  view.shownWidth / 8, view.shownHeight / 8, kNoTransparent);
    CopyImage(b.screen, b.magnified, kNoTransparent);
    DrawFrameGrid(b.screen, 0, 0, 8, 7, kW * 8, kH * 8);
    benchmark::DoNotOptimize(b.screen.pixels.data());
  }
}
BENCHMARK(BM_FreeLineStep8xWholeView)->Unit(benchmark::kMicrosecond);

void BM_SprayStampPen32(benchmark::State& state) {
  Buffers b;
  SprayGenerator generator;
  int k = 0;
  for (auto _ : state) {
    StampSpray(b.picture, 40 + (k & 127), 40 + (k & 63), 249, 6, generator);
    ++k;
  }
}
BENCHMARK(BM_SprayStampPen32)->Unit(benchmark::kMicrosecond);

// A one-pixel corridor that winds up and down through every column pair:
// the worst case for a scanline fill, every row segment one pixel long in
// the turns and every column visited.
void MakeWindingRegion(IndexedImage& image) {
  FillImage(image, 1);
  for (int x = 0; x < kW; x += 2) {
    for (int y = 0; y < kH; ++y) image.At(x, y) = 2;
    if (x + 1 < kW) image.At(x + 1, (x / 2) % 2 ? 0 : kH - 1) = 2;
  }
}

void BM_FillWholeWinding(benchmark::State& state) {
  Buffers b;
  MakeWindingRegion(b.picture);
  const ToolSettings settings{kToolFill, kToolFill, 3, {}};
  ToolSession session(settings);
  const ToolTarget target{b.picture, b.work, b.stamp};
  std::uint8_t colour = 3;
  for (auto _ : state) {
    // Alternating colours refill the same corridor every time.
    session.Press(target, ToolInk{colour, 0}, {0, 0}, false);
    colour = colour == 3 ? 2 : 3;
  }
}
BENCHMARK(BM_FillWholeWinding)->Unit(benchmark::kMicrosecond);

void BM_GradientWholeWinding(benchmark::State& state) {
  Buffers b;
  IndexedImage pristine;
  CreateImage(kW, kH, pristine);
  MakeWindingRegion(pristine);
  const ToolSettings settings{kToolGradientVertical, kToolGradientVertical, 3, {}};
  ToolSession session(settings);
  const ToolTarget target{b.picture, b.work, b.stamp};
  for (auto _ : state) {
    CopyImage(b.picture, pristine, kNoTransparent);
    session.Press(target, ToolInk{20, 200}, {0, 0}, false);
  }
}
BENCHMARK(BM_GradientWholeWinding)->Unit(benchmark::kMicrosecond);

}  // namespace

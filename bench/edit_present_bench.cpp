// Converting the edit palette's changed screen rectangle to screen pixels, as
// its paint event does: the 256 × 240 rectangle that a pen-32 step at 8×
// changes at most, and a 64 × 64 one, drawn into a true-colour surface.
#include <benchmark/benchmark.h>

#include <QImage>
#include <QPainter>

#include "core/indexed_image.h"
#include "ui/common/draw_image.h"

using namespace zudizar;

namespace {

void BM_PresentRect(benchmark::State& state) {
  const int side = static_cast<int>(state.range(0));
  IndexedImage screen;
  CreateImage(256, 240, screen);
  for (std::size_t i = 0; i < screen.pixels.size(); ++i) screen.pixels[i] = static_cast<std::uint8_t>(i * 7);
  QImage surface(256, 240, QImage::Format_RGB32);
  for (auto _ : state) {
    QPainter painter(&surface);
    DrawImageRegion(screen, painter, 0, 0, 0, 0, side, side, 256, 240);
  }
}
BENCHMARK(BM_PresentRect)->Arg(64)->Arg(256)->Unit(benchmark::kMicrosecond);

}  // namespace

// Whole-image operations of the indexed image buffer, against plain byte loops.
#include <benchmark/benchmark.h>

#include <cstring>
#include <vector>

#include "core/indexed_image.h"

using namespace zudizar;

namespace {

void BM_FillImage(benchmark::State& state) {
  IndexedImage image;
  CreateImage(static_cast<int>(state.range(0)), static_cast<int>(state.range(0)), image);
  std::uint8_t v = 0;
  for (auto _ : state) {
    FillImage(image, ++v);
    benchmark::DoNotOptimize(image.pixels.data());
  }
  state.SetItemsProcessed(state.iterations() * image.pixelBlockSize);
}
BENCHMARK(BM_FillImage)->Arg(640)->Arg(2048);

void BM_InvertImageColours(benchmark::State& state) {
  IndexedImage image;
  CreateImage(static_cast<int>(state.range(0)), static_cast<int>(state.range(0)), image);
  for (std::size_t i = 0; i < image.pixels.size(); ++i) image.pixels[i] = static_cast<std::uint8_t>(i * 7);
  for (auto _ : state) {
    InvertImageColours(image);
    benchmark::DoNotOptimize(image.pixels.data());
  }
  state.SetItemsProcessed(state.iterations() * image.pixelBlockSize);
}
BENCHMARK(BM_InvertImageColours)->Arg(640)->Arg(2048);

// Reference: a plain byte copy of the same size, the floor for CopyImage.
void BM_PlainCopy(benchmark::State& state) {
  const auto n = static_cast<std::size_t>(state.range(0) * state.range(0));
  std::vector<std::uint8_t> a(n, 1), b(n, 2);
  for (auto _ : state) {
    std::memcpy(b.data(), a.data(), n);
    benchmark::DoNotOptimize(b.data());
  }
  state.SetItemsProcessed(state.iterations() * static_cast<long>(n));
}
BENCHMARK(BM_PlainCopy)->Arg(640)->Arg(2048);

void BM_CopyImageEqual(benchmark::State& state) {
  IndexedImage a, b;
  const int side = static_cast<int>(state.range(0));
  CreateImage(side, side, a);
  CreateImage(side, side, b);
  for (auto _ : state) {
    CopyImage(b, a, kNoTransparent);
    benchmark::DoNotOptimize(b.pixels.data());
  }
  state.SetItemsProcessed(state.iterations() * a.pixelBlockSize);
}
BENCHMARK(BM_CopyImageEqual)->Arg(640)->Arg(2048);

void BM_CopyImageTransparent(benchmark::State& state) {
  IndexedImage a, b;
  const int side = static_cast<int>(state.range(0));
  CreateImage(side, side, a);
  CreateImage(side + 1, side, b);  // different sizes: the pixel-wise path
  for (std::size_t i = 0; i < a.pixels.size(); ++i) a.pixels[i] = static_cast<std::uint8_t>(i);
  for (auto _ : state) {
    CopyImage(b, a, 5);
    benchmark::DoNotOptimize(b.pixels.data());
  }
  state.SetItemsProcessed(state.iterations() * a.pixelBlockSize);
}
BENCHMARK(BM_CopyImageTransparent)->Arg(640)->Arg(2048);

}  // namespace

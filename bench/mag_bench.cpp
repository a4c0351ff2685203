// MAG writing and reading of typical collage pictures (large flat areas and
// some noise), in megapixels per second. Each run also times a plain copy of
// the same pixels as the reference floor and reports the codec's cost as a
// multiple of it ("x_copy").
#include <benchmark/benchmark.h>

#include <cstring>
#include <ctime>
#include <random>
#include <vector>

#include "core/indexed_image.h"
#include "formats/mag.h"

using namespace zudizar;

namespace {

void MakeCollage(IndexedImage& image, int w, int h, int colours) {
  CreateImage(w, h, image);
  std::mt19937 random(1234);
  auto pick = [&] { return static_cast<std::uint8_t>(10 + random() % colours); };
  FillImage(image, pick());
  for (int r = 0; r < 40; ++r) {
    const int x = random() % w, y = random() % h;
    FillRect(image, x, y, 1 + random() % (w / 3), 1 + random() % (h / 3), pick());
  }
  for (int k = 0; k < w * h / 50; ++k) image.At(random() % w, random() % h) = pick();
}

// Processor time in seconds: steadier than the wall clock on a busy machine,
// and what Google Benchmark's rates use.
double CpuSeconds() { return static_cast<double>(std::clock()) / CLOCKS_PER_SEC; }

// Seconds for `iterations` plain copies of the picture's pixel block.
double PlainCopySeconds(const IndexedImage& image, std::int64_t iterations) {
  std::vector<std::uint8_t> target(image.pixels.size());
  const double start = CpuSeconds();
  for (std::int64_t i = 0; i < iterations; ++i) {
    std::memcpy(target.data(), image.pixels.data(), target.size());
    benchmark::DoNotOptimize(target.data());
    benchmark::ClobberMemory();
  }
  return CpuSeconds() - start;
}

void Report(benchmark::State& state, const IndexedImage& image, double seconds, std::size_t fileBytes) {
  const double pixels = static_cast<double>(image.pixels.size());
  state.counters["MP/s"] =
      benchmark::Counter(pixels / 1e6 * static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
  state.counters["x_copy"] = seconds / PlainCopySeconds(image, state.iterations());
  state.counters["file_KB"] = static_cast<double>(fileBytes) / 1024.0;
}

void BM_MagWrite(benchmark::State& state) {
  IndexedImage image;
  MakeCollage(image, static_cast<int>(state.range(0)), static_cast<int>(state.range(1)),
              static_cast<int>(state.range(2)));
  std::vector<std::uint8_t> bytes;
  const double start = CpuSeconds();
  for (auto _ : state) {
    if (!EncodeMag(image, bytes)) state.SkipWithError("encode failed");
    benchmark::DoNotOptimize(bytes.data());
  }
  Report(state, image, CpuSeconds() - start, bytes.size());
}

void BM_MagRead(benchmark::State& state) {
  IndexedImage image, decoded;
  MakeCollage(image, static_cast<int>(state.range(0)), static_cast<int>(state.range(1)),
              static_cast<int>(state.range(2)));
  std::vector<std::uint8_t> bytes;
  EncodeMag(image, bytes);
  const double start = CpuSeconds();
  for (auto _ : state) {
    if (!DecodeMag(bytes, decoded)) state.SkipWithError("decode failed");
    benchmark::DoNotOptimize(decoded.pixels.data());
  }
  Report(state, image, CpuSeconds() - start, bytes.size());
}

// Width, height, colours: 12 colours take the 16-colour layout, 60 the
// 256-colour one.
void Sizes(benchmark::internal::Benchmark* b) {
  for (const int colours : {12, 60}) {
    b->Args({640, 400, colours});
    b->Args({1024, 1024, colours});
  }
  b->Unit(benchmark::kMillisecond);
}
BENCHMARK(BM_MagWrite)->Apply(Sizes);
BENCHMARK(BM_MagRead)->Apply(Sizes);

}  // namespace

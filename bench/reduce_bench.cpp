// Nearest shared colour for every pixel of a photo-like picture: the map
// against the plain scan of 256 entries, in the same run.
#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdio>
#include <ctime>
#include <random>
#include <unordered_set>
#include <vector>

#include "formats/reduce.h"

using namespace zudizar;

namespace {

constexpr int kSide = 2048;

// Smooth shapes with fine noise, like a scanned photo: about a million
// distinct colours in 4 megapixels (the count is printed).
const std::vector<std::uint8_t>& Photo() {
  static const std::vector<std::uint8_t> rgb = [] {
    std::vector<std::uint8_t> out(static_cast<std::size_t>(kSide) * kSide * 3);
    std::mt19937 random(1234);
    std::normal_distribution<float> noise(0.0f, 3.5f);
    auto clamp = [](float v) { return static_cast<std::uint8_t>(std::min(255.0f, std::max(0.0f, v))); };
    std::size_t k = 0;
    for (int y = 0; y < kSide; ++y)
      for (int x = 0; x < kSide; ++x) {
        const float fx = static_cast<float>(x) / kSide, fy = static_cast<float>(y) / kSide;
        const float r = 128 + 100 * std::sin(6.1f * fx + 2.3f * fy) * std::cos(3.7f * fy);
        const float g = 120 + 90 * std::sin(4.3f * fy - 1.9f * fx + 0.5f);
        const float b = 110 + 80 * std::cos(5.2f * fx * fy + 3.1f * fx);
        out[k++] = clamp(r + noise(random));
        out[k++] = clamp(g + noise(random));
        out[k++] = clamp(b + noise(random));
      }
    return out;
  }();
  return rgb;
}

std::size_t DistinctColours() {
  const auto& rgb = Photo();
  std::unordered_set<std::uint32_t> seen;
  for (std::size_t i = 0; i < rgb.size(); i += 3)
    seen.insert((std::uint32_t{rgb[i]} << 16) | (std::uint32_t{rgb[i + 1]} << 8) | rgb[i + 2]);
  return seen.size();
}

// The default palette with 236 of the photo's own colours in the free
// entries, as an Open leaves it.
PaletteTable PhotoPalette() {
  PaletteTable table = DefaultPalette;
  const auto& rgb = Photo();
  const std::size_t pixels = rgb.size() / 3;
  for (int i = 10; i < 246; ++i) {
    const std::size_t p = (static_cast<std::size_t>(i) * 7919 * 131) % pixels * 3;
    table[i] = {rgb[p], rgb[p + 1], rgb[p + 2], 0};
  }
  return table;
}

// Processor time of this thread, so that other work on a busy machine does
// not blur the ratio.
double ThreadSeconds() {
  timespec t{};
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
  return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) * 1e-9;
}

// Pixels per second of the plain scan over every 61st pixel.
double ScanRate(const PaletteTable& table) {
  const auto& rgb = Photo();
  const double start = ThreadSeconds();
  long sum = 0, count = 0;
  for (std::size_t i = 0; i < rgb.size(); i += 3 * 61, ++count)
    sum += NearestColourByScan(table, rgb[i], rgb[i + 1], rgb[i + 2]);
  benchmark::DoNotOptimize(sum);
  return static_cast<double>(count) / (ThreadSeconds() - start);
}

void MapWholePhoto(const NearestColourMap& map, std::vector<std::uint8_t>& out) {
  const auto& rgb = Photo();
  const std::uint8_t* p = rgb.data();
  for (std::size_t i = 0; i < out.size(); ++i, p += 3)
    out[i] = static_cast<std::uint8_t>(map.Nearest(p[0], p[1], p[2]));
}

// Cold: every iteration starts from a freshly built map, so the lazily filled
// answers are paid for in the measurement, as in one picture load.
void BM_NearestMapCold(benchmark::State& state) {
  const PaletteTable table = state.range(0) ? PhotoPalette() : DefaultPalette;
  NearestColourMap map(table);
  std::vector<std::uint8_t> out(Photo().size() / 3);
  const double start = ThreadSeconds();
  for (auto _ : state) {
    map.Rebuild(table);
    MapWholePhoto(map, out);
    benchmark::DoNotOptimize(out.data());
  }
  const double seconds = ThreadSeconds() - start;
  state.SetItemsProcessed(state.iterations() * static_cast<long>(out.size()));
  const double mapRate = static_cast<double>(state.iterations()) * static_cast<double>(out.size()) / seconds;
  const double scan = ScanRate(table);
  state.counters["Mpx_per_s"] = mapRate / 1e6;
  state.counters["scan_Mpx_per_s"] = scan / 1e6;
  state.counters["speedup_vs_scan"] = mapRate / scan;
  state.counters["distinct_colours"] = static_cast<double>(DistinctColours());
  state.SetLabel(state.range(0) ? "photo palette" : "default palette");
  // Bit-identical to the scan on a sample.
  long wrong = 0;
  for (std::size_t i = 0; i < out.size(); i += 97) {
    const std::uint8_t* p = Photo().data() + 3 * i;
    wrong += out[i] != NearestColourByScan(table, p[0], p[1], p[2]);
  }
  state.counters["mismatches"] = static_cast<double>(wrong);
}
BENCHMARK(BM_NearestMapCold)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

// Warm: a second picture on the same palette.
void BM_NearestMapWarm(benchmark::State& state) {
  const PaletteTable table = state.range(0) ? PhotoPalette() : DefaultPalette;
  NearestColourMap map(table);
  std::vector<std::uint8_t> out(Photo().size() / 3);
  MapWholePhoto(map, out);
  for (auto _ : state) {
    MapWholePhoto(map, out);
    benchmark::DoNotOptimize(out.data());
  }
  state.SetItemsProcessed(state.iterations() * static_cast<long>(out.size()));
  state.SetLabel(state.range(0) ? "photo palette" : "default palette");
}
BENCHMARK(BM_NearestMapWarm)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

// Warm, in batches of 64 colours held as three planes, as the JPEG reader
// hands over its blocks; the one-by-one look-up of the same pixels is timed in
// the same run for the ratio.
void BM_NearestMapManyWarm(benchmark::State& state) {
  const PaletteTable table = state.range(0) ? PhotoPalette() : DefaultPalette;
  NearestColourMap map(table);
  const auto& rgb = Photo();
  const std::size_t pixels = rgb.size() / 3 / 64 * 64;
  std::vector<std::uint8_t> planes(pixels * 3);  // per batch: 64 red, 64 green, 64 blue
  for (std::size_t i = 0; i < pixels; ++i)
    for (int c = 0; c < 3; ++c) planes[(i / 64) * 192 + static_cast<std::size_t>(c) * 64 + i % 64] = rgb[3 * i + c];
  std::vector<std::uint8_t> one(rgb.size() / 3), many(pixels);
  MapWholePhoto(map, one);
  double oneByOne = ThreadSeconds();
  MapWholePhoto(map, one);
  oneByOne = ThreadSeconds() - oneByOne;
  const double start = ThreadSeconds();
  for (auto _ : state) {
    for (std::size_t b = 0; b < pixels / 64; ++b) {
      const std::uint8_t* p = planes.data() + b * 192;
      map.NearestMany(p, p + 64, p + 128, 64, many.data() + b * 64);
    }
    benchmark::DoNotOptimize(many.data());
  }
  const double perIteration = (ThreadSeconds() - start) / static_cast<double>(state.iterations());
  long wrong = 0;
  for (std::size_t i = 0; i < pixels; ++i) wrong += many[i] != one[i];
  state.SetItemsProcessed(state.iterations() * static_cast<long>(pixels));
  state.counters["mismatches"] = static_cast<double>(wrong);
  state.counters["speedup_vs_one_by_one"] =
      oneByOne * static_cast<double>(pixels) / static_cast<double>(one.size()) / perIteration;
  state.SetLabel(state.range(0) ? "photo palette" : "default palette");
}
BENCHMARK(BM_NearestMapManyWarm)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

// The reference: the plain scan per pixel (on every 61st pixel, to keep the
// run short; items are the pixels actually mapped).
void BM_PlainScan(benchmark::State& state) {
  const PaletteTable table = state.range(0) ? PhotoPalette() : DefaultPalette;
  const auto& rgb = Photo();
  long count = 0;
  for (auto _ : state) {
    long sum = 0;
    for (std::size_t i = 0; i < rgb.size(); i += 3 * 61, ++count)
      sum += NearestColourByScan(table, rgb[i], rgb[i + 1], rgb[i + 2]);
    benchmark::DoNotOptimize(sum);
  }
  state.SetItemsProcessed(count);
  state.SetLabel(state.range(0) ? "photo palette" : "default palette");
}
BENCHMARK(BM_PlainScan)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

// Building the map for a new palette (the eager part; blocks fill on use).
void BM_Rebuild(benchmark::State& state) {
  const PaletteTable a = DefaultPalette, b = PhotoPalette();
  NearestColourMap map(a);
  bool flip = false;
  for (auto _ : state) {
    map.Rebuild((flip = !flip) ? b : a);
    benchmark::ClobberMemory();
  }
}
BENCHMARK(BM_Rebuild)->Unit(benchmark::kMicrosecond);

}  // namespace

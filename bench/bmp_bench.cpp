// Reading a 3072 x 3072 photo as a 24-bit and as an 8-bit BMP, against
// ImageMagick's plain read of the same file (`convert photo.bmp null:`) timed
// in the same run.
#include <benchmark/benchmark.h>

#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <random>
#include <string>
#include <vector>

#include "base/file_io.h"
#include "formats/bmp.h"
#include "formats/reduce.h"

using namespace zudizar;

namespace {

constexpr int kSide = 3072;

struct Photo {
  std::string truecolour, indexed;
  PaletteTable palette;
};

// A photo-like picture (smooth shapes and fine noise) written once as a
// 24-bit file, and as the 8-bit file our writer makes of it.
const Photo& Files() {
  static const Photo photo = [] {
    Photo p;
    const auto dir = std::filesystem::temp_directory_path();
    p.truecolour = (dir / "zudizar-bench-photo24.bmp").string();
    p.indexed = (dir / "zudizar-bench-photo8.bmp").string();
    const std::size_t stride = kSide * 3;
    std::vector<std::uint8_t> file(54 + stride * kSide);
    auto put32 = [&](std::size_t at, std::uint32_t v) {
      for (int i = 0; i < 4; ++i) file[at + i] = static_cast<std::uint8_t>(v >> (8 * i));
    };
    file[0] = 'B';
    file[1] = 'M';
    put32(2, static_cast<std::uint32_t>(file.size()));
    put32(10, 54);
    put32(14, 40);
    put32(18, kSide);
    put32(22, kSide);
    file[26] = 1;
    file[28] = 24;
    std::mt19937 random(1234);
    std::normal_distribution<float> noise(0.0f, 3.5f);
    auto clamp = [](float v) { return static_cast<std::uint8_t>(std::min(255.0f, std::max(0.0f, v))); };
    std::size_t k = 54;
    for (int y = 0; y < kSide; ++y)
      for (int x = 0; x < kSide; ++x) {
        const float fx = static_cast<float>(x) / kSide, fy = static_cast<float>(y) / kSide;
        file[k++] = clamp(110 + 80 * std::cos(5.2f * fx * fy + 3.1f * fx) + noise(random));
        file[k++] = clamp(120 + 90 * std::sin(4.3f * fy - 1.9f * fx + 0.5f) + noise(random));
        file[k++] = clamp(128 + 100 * std::sin(6.1f * fx + 2.3f * fy) * std::cos(3.7f * fy) + noise(random));
      }
    // The palette an Open of it would give: the default one with 236 of its colours.
    p.palette = DefaultPalette;
    for (int i = 10; i < 246; ++i) {
      const std::size_t at =
          54 + (static_cast<std::size_t>(i) * 7919 * 131) % (static_cast<std::size_t>(kSide) * kSide) * 3;
      p.palette[i] = {file[at + 2], file[at + 1], file[at], 0};
    }
    WriteFileSafely(p.truecolour, file);
    SetCurrentTable(p.palette);
    IndexedImage image;
    std::string reason;
    ReadBmpBytes(file, image, reason);
    WriteFileSafely(p.indexed, EncodeBmp(image));
    return p;
  }();
  return photo;
}

// ImageMagick's read of the file, best of three; 0 when it is not installed.
double ImageMagickSeconds(const std::string& file) {
  if (std::system("convert -version > /dev/null 2>&1") != 0) return 0;
  const std::string command = "convert '" + file + "' null: 2>/dev/null";
  double best = 1e9;
  for (int i = 0; i < 3; ++i) {
    const auto start = std::chrono::steady_clock::now();
    if (std::system(command.c_str()) != 0) return 0;
    best = std::min(best, std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
  }
  return best;
}

void ReadBench(benchmark::State& state, const std::string& file) {
  const Photo& photo = Files();
  // Each load starts with a map of a palette it has not seen, as the first
  // load after an Open does.
  PaletteTable other = photo.palette;
  other[245].red ^= 1;
  bool flip = false;
  IndexedImage image;
  double seconds = 0;
  for (auto _ : state) {
    SetCurrentTable((flip = !flip) ? photo.palette : other);
    const auto start = std::chrono::steady_clock::now();
    if (!ReadBmpFile(file, image)) state.SkipWithError("read failed");
    seconds += std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    benchmark::DoNotOptimize(image.pixels.data());
  }
  state.SetItemsProcessed(state.iterations() * static_cast<long>(kSide) * kSide);
  const double ours = seconds / static_cast<double>(state.iterations());
  const double magick = ImageMagickSeconds(file);
  state.counters["ours_ms"] = ours * 1e3;
  if (magick > 0) {
    state.counters["imagemagick_ms"] = magick * 1e3;
    state.counters["time_vs_imagemagick"] = ours / magick;
  }
}

void BM_ReadBmp24(benchmark::State& state) { ReadBench(state, Files().truecolour); }
BENCHMARK(BM_ReadBmp24)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_ReadBmp8(benchmark::State& state) { ReadBench(state, Files().indexed); }
BENCHMARK(BM_ReadBmp8)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace

// The JPEG codec on a photo-like 3072 x 3072 picture, against libjpeg-turbo
// (SIMD) doing the same job in the same run:
//  - ReadJpegFile (both passes, every pixel mapped to the shared palette) of
//    a 4:2:0 file, against libjpeg-turbo decoding that file to RGB;
//  - the same with the nearest-colour map rebuilt first, as after the
//    palette change that opening a picture brings;
//  - ReadJpegColours (both passes, colour counting) of the same file;
//  - EncodeJpeg (counting run and writing run) of the decoded picture,
//    against libjpeg-turbo encoding its colours with 2 x 1 sampling.
// The ratios are printed at the end: by clock time per benchmark, and as the
// median of interleaved pairs of processor time (the figures the goals
// are judged by).
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cmath>
#include <ctime>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <random>
#include <string>
#include <vector>

#include <jpeglib.h>
#include <unistd.h>

#include "core/shared_palette.h"
#include "formats/jpeg/jpeg.h"
#include "formats/reduce.h"

using namespace zudizar;

namespace {

constexpr int kSide = 3072;

// Seconds per iteration of each benchmark, for the closing summary (defined
// before the summary object, so that it outlives it).
std::map<std::string, double> timings;
std::map<std::string, double>& Timings() { return timings; }

void Record(benchmark::State& state, const std::string& name, double seconds) {
  if (state.iterations() > 0) Timings()[name] = seconds / static_cast<double>(state.iterations());
  state.counters["MP/s"] =
      benchmark::Counter(static_cast<double>(kSide) * kSide / 1e6 * state.iterations(), benchmark::Counter::kIsRate);
}

// A picture with what photographs have: smooth shading, textures of several
// scales, hard edges and sensor noise.
std::vector<std::uint8_t> PhotoLikeRgb() {
  std::vector<std::uint8_t> rgb(static_cast<std::size_t>(kSide) * kSide * 3);
  std::mt19937 random(20240601);
  std::normal_distribution<float> noise(0.0f, 3.0f);
  for (int y = 0; y < kSide; ++y) {
    for (int x = 0; x < kSide; ++x) {
      const float fx = x / static_cast<float>(kSide), fy = y / static_cast<float>(kSide);
      const float sky = 1.0f - fy;
      float r = 70 + 120 * sky + 30 * std::sin(fx * 7 + fy * 3);
      float g = 90 + 90 * sky + 40 * std::sin(fx * 5 - fy * 9);
      float b = 110 + 130 * sky * sky + 25 * std::cos(fx * 11);
      // Foliage-like texture in the lower half.
      if (fy > 0.55f) {
        const float t = std::sin(x * 0.21f + std::sin(y * 0.13f) * 4) * std::cos(y * 0.17f + x * 0.05f);
        r = 60 + 40 * t;
        g = 110 + 60 * t + 20 * std::sin(x * 0.031f);
        b = 50 + 30 * t;
      }
      // A few objects with hard edges.
      const float dx = fx - 0.3f, dy = fy - 0.4f;
      if (dx * dx + dy * dy < 0.02f) r = 220, g = 60 + 40 * fy, b = 40;
      if (fx > 0.6f && fx < 0.85f && fy > 0.2f && fy < 0.7f) {
        const float stripe = ((x / 24) % 2) ? 1.0f : 0.85f;
        r = 200 * stripe, g = 190 * stripe, b = 170 * stripe;
      }
      const std::size_t i = (static_cast<std::size_t>(y) * kSide + x) * 3;
      const float v[3] = {r, g, b};
      for (int c = 0; c < 3; ++c)
        rgb[i + c] = static_cast<std::uint8_t>(std::clamp(v[c] + noise(random), 0.0f, 255.0f));
    }
  }
  return rgb;
}

std::vector<std::uint8_t> LibjpegEncode(const std::uint8_t* rgb, int quality, int hSampling, int vSampling) {
  jpeg_compress_struct cinfo;
  jpeg_error_mgr error;
  cinfo.err = jpeg_std_error(&error);
  jpeg_create_compress(&cinfo);
  unsigned char* buffer = nullptr;
  unsigned long size = 0;
  jpeg_mem_dest(&cinfo, &buffer, &size);
  cinfo.image_width = kSide;
  cinfo.image_height = kSide;
  cinfo.input_components = 3;
  cinfo.in_color_space = JCS_RGB;
  jpeg_set_defaults(&cinfo);
  jpeg_set_quality(&cinfo, quality, TRUE);
  cinfo.comp_info[0].h_samp_factor = hSampling;
  cinfo.comp_info[0].v_samp_factor = vSampling;
  jpeg_start_compress(&cinfo, TRUE);
  while (cinfo.next_scanline < cinfo.image_height) {
    JSAMPROW row = const_cast<JSAMPROW>(rgb + static_cast<std::size_t>(cinfo.next_scanline) * kSide * 3);
    jpeg_write_scanlines(&cinfo, &row, 1);
  }
  jpeg_finish_compress(&cinfo);
  std::vector<std::uint8_t> bytes(buffer, buffer + size);
  std::free(buffer);
  jpeg_destroy_compress(&cinfo);
  return bytes;
}

struct Fixture {
  std::string path;
  std::size_t fileBytes = 0;
  IndexedImage decoded;
  std::vector<std::uint8_t> decodedRgb;  // the decoded picture's colours, for libjpeg's encoder

  Fixture() {
    SetCurrentTable(DefaultPalette);
    SharedPalette.pending = DefaultPalette;
    const auto rgb = PhotoLikeRgb();
    const auto bytes = LibjpegEncode(rgb.data(), 85, 2, 2);
    fileBytes = bytes.size();
    // A name of this run's own: two runs at once must not remove each
    // other's file.
    path = (std::filesystem::temp_directory_path() /
            ("zudizar-jpeg-bench-photo-" + std::to_string(::getpid()) + ".jpg"))
               .string();
    std::FILE* f = std::fopen(path.c_str(), "wb");
    std::fwrite(bytes.data(), 1, bytes.size(), f);
    std::fclose(f);
    ReadJpegFile(path, decoded);
    decodedRgb.resize(static_cast<std::size_t>(kSide) * kSide * 3);
    for (int y = 0; y < kSide; ++y)
      for (int x = 0; x < kSide; ++x) {
        const PaletteEntry& e = SharedPalette.current[decoded.At(x, y)];
        std::uint8_t* p = &decodedRgb[(static_cast<std::size_t>(y) * kSide + x) * 3];
        p[0] = e.red, p[1] = e.green, p[2] = e.blue;
      }
    std::printf("photo-like %dx%d 4:2:0 file: %zu bytes\n", kSide, kSide, fileBytes);
  }
  ~Fixture() { std::filesystem::remove(path); }
};

Fixture& TheFixture() {
  static Fixture fixture;
  return fixture;
}

double Now() { return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count(); }

// libjpeg-turbo's decode of the kSide x kSide file to RGB rows.
void LibjpegDecodeToRgb(const std::string& path, std::vector<std::uint8_t>& rgb) {
  std::FILE* file = std::fopen(path.c_str(), "rb");
  jpeg_decompress_struct cinfo;
  jpeg_error_mgr error;
  cinfo.err = jpeg_std_error(&error);
  jpeg_create_decompress(&cinfo);
  jpeg_stdio_src(&cinfo, file);
  jpeg_read_header(&cinfo, TRUE);
  cinfo.out_color_space = JCS_RGB;
  jpeg_start_decompress(&cinfo);
  while (cinfo.output_scanline < cinfo.output_height) {
    JSAMPROW row = rgb.data() + static_cast<std::size_t>(cinfo.output_scanline) * kSide * 3;
    jpeg_read_scanlines(&cinfo, &row, 1);
  }
  jpeg_finish_decompress(&cinfo);
  jpeg_destroy_decompress(&cinfo);
  std::fclose(file);
}

void BM_ReadJpegFile(benchmark::State& state) {
  Fixture& f = TheFixture();
  IndexedImage image;
  const double start = Now();
  for (auto _ : state) {
    ReadJpegFile(f.path, image);
    benchmark::DoNotOptimize(image.pixels.data());
  }
  Record(state, "ReadJpegFile", Now() - start);
}
BENCHMARK(BM_ReadJpegFile)->Unit(benchmark::kMillisecond)->MinTime(3);

void BM_ReadJpegFileAfterPaletteChange(benchmark::State& state) {
  Fixture& f = TheFixture();
  IndexedImage image;
  double total = 0;
  for (auto _ : state) {
    // A changed table makes the nearest-colour map start over.
    PaletteEntry changed = SharedPalette.current[100];
    changed.red ^= 1;
    SetCurrentEntry(100, changed);
    const double start = Now();
    ReadJpegFile(f.path, image);
    total += Now() - start;
    benchmark::DoNotOptimize(image.pixels.data());
  }
  SetCurrentTable(DefaultPalette);
  Record(state, "ReadJpegFile after a palette change", total);
}
BENCHMARK(BM_ReadJpegFileAfterPaletteChange)->Unit(benchmark::kMillisecond)->MinTime(3);

void BM_ReadJpegColours(benchmark::State& state) {
  Fixture& f = TheFixture();
  IndexedImage colours;
  const double start = Now();
  for (auto _ : state) {
    ReadJpegColours(f.path, colours);
    benchmark::DoNotOptimize(colours.colourTable.data());
  }
  Record(state, "ReadJpegColours", Now() - start);
}
BENCHMARK(BM_ReadJpegColours)->Unit(benchmark::kMillisecond)->MinTime(3);

void BM_LibjpegTurboDecodeToRgb(benchmark::State& state) {
  Fixture& f = TheFixture();
  std::vector<std::uint8_t> rgb(static_cast<std::size_t>(kSide) * kSide * 3);
  const double start = Now();
  for (auto _ : state) {
    LibjpegDecodeToRgb(f.path, rgb);
    benchmark::DoNotOptimize(rgb.data());
  }
  Record(state, "libjpeg-turbo decode to RGB", Now() - start);
}
BENCHMARK(BM_LibjpegTurboDecodeToRgb)->Unit(benchmark::kMillisecond)->MinTime(3);

void BM_EncodeJpeg(benchmark::State& state) {
  Fixture& f = TheFixture();
  std::size_t size = 0;
  const double start = Now();
  for (auto _ : state) {
    const auto bytes = EncodeJpeg(f.decoded, SharedPalette.current);
    size = bytes.size();
    benchmark::DoNotOptimize(bytes.data());
  }
  Record(state, "EncodeJpeg (both runs)", Now() - start);
  state.counters["bytes"] = static_cast<double>(size);
}
BENCHMARK(BM_EncodeJpeg)->Unit(benchmark::kMillisecond)->MinTime(3);

void BM_LibjpegTurboEncode2x1(benchmark::State& state) {
  Fixture& f = TheFixture();
  std::size_t size = 0;
  const double start = Now();
  for (auto _ : state) {
    // Quality 50 uses the Annex K tables unscaled, as EncodeJpeg does.
    const auto bytes = LibjpegEncode(f.decodedRgb.data(), 50, 2, 1);
    size = bytes.size();
    benchmark::DoNotOptimize(bytes.data());
  }
  Record(state, "libjpeg-turbo encode 2x1", Now() - start);
  state.counters["bytes"] = static_cast<double>(size);
}
BENCHMARK(BM_LibjpegTurboEncode2x1)->Unit(benchmark::kMillisecond)->MinTime(3);

// One colour at a time, as a caller that maps pixels one by one does: every
// pixel of the decoded photo through NearestSharedColour, against the plain
// scan of 256 entries (on every 61st pixel) in the same run, answers compared.
void BM_NearestSharedColourOneByOne(benchmark::State& state) {
  Fixture& f = TheFixture();
  std::vector<std::uint8_t> rgb(static_cast<std::size_t>(kSide) * kSide * 3);
  LibjpegDecodeToRgb(f.path, rgb);
  std::vector<std::uint8_t> out(rgb.size() / 3);
  const double start = Now();
  for (auto _ : state) {
    for (std::size_t i = 0; i < out.size(); ++i) {
      ColourTableEntry c{rgb[3 * i + 2], rgb[3 * i + 1], rgb[3 * i], 0};
      out[i] = static_cast<std::uint8_t>(NearestSharedColour(c));
    }
    benchmark::DoNotOptimize(out.data());
  }
  const double perPixel = (Now() - start) / static_cast<double>(state.iterations()) / static_cast<double>(out.size());
  long wrong = 0, sampled = 0;
  const double scanStart = Now();
  for (std::size_t i = 0; i < out.size(); i += 61, ++sampled)
    wrong += out[i] != NearestColourByScan(SharedPalette.current, rgb[3 * i], rgb[3 * i + 1], rgb[3 * i + 2]);
  const double scanPerPixel = (Now() - scanStart) / static_cast<double>(sampled);
  state.counters["mismatches"] = static_cast<double>(wrong);
  state.counters["Mpx_per_s"] = 1e-6 / perPixel;
  state.counters["speedup_vs_scan"] = scanPerPixel / perPixel;
  Timings()["NearestSharedColour one by one, per pixel"] = perPixel;
  Timings()["plain scan, per pixel"] = scanPerPixel;
}
BENCHMARK(BM_NearestSharedColourOneByOne)->Unit(benchmark::kMillisecond)->Iterations(3);

// Thread processor time, which other work on the machine does not inflate
// as much as the clock.
double CpuNow() {
  timespec t{};
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
  return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) * 1e-9;
}

template <typename Job>
double CpuSeconds(Job&& job) {
  const double start = CpuNow();
  job();
  return CpuNow() - start;
}

// Lines for the closing summary (defined before the summary object, so that
// they outlive it).
std::vector<std::string> pairLines;

// `goal`: the ratio the job must stay within (0: no goal). The job and its
// reference run one after the other, kPairs times (the pairs interleaved, so
// a busy spell on the machine hits both), and the median of the per-pair
// ratios is kept with its spread.
constexpr int kPairs = 15;
template <typename Ours, typename Reference>
void Pair(const char* ours, Ours&& runOurs, const char* reference, Reference&& runReference, double goal) {
  runOurs();  // warm: the nearest-colour map and the caches
  runReference();
  std::vector<double> ratios, mine, theirs;
  for (int i = 0; i < kPairs; ++i) {
    mine.push_back(CpuSeconds(runOurs));
    theirs.push_back(CpuSeconds(runReference));
    ratios.push_back(mine.back() / theirs.back());
  }
  const auto median = [](std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
  };
  const auto [low, high] = std::minmax_element(ratios.begin(), ratios.end());
  char line[320];
  int n = std::snprintf(line, sizeof line, "%-16s %7.1f ms = %5.2f x %s (%.1f ms), spread %.2f .. %.2f", ours,
                        median(mine) * 1e3, median(ratios), reference, median(theirs) * 1e3, *low, *high);
  if (goal > 0 && n > 0 && n < static_cast<int>(sizeof line))
    std::snprintf(line + n, sizeof line - n, ", goal <= %.2f: %s", goal, median(ratios) <= goal ? "met" : "NOT met");
  pairLines.push_back(line);
}

// The ratios of the goals, last: interleaved pairs of thread processor time.
void BM_InterleavedPairs(benchmark::State& state) {
  Fixture& f = TheFixture();
  IndexedImage image, colours;
  std::vector<std::uint8_t> rgb(static_cast<std::size_t>(kSide) * kSide * 3);
  const auto decodeRef = [&] { LibjpegDecodeToRgb(f.path, rgb); };
  const auto encodeRef = [&] { benchmark::DoNotOptimize(LibjpegEncode(f.decodedRgb.data(), 50, 2, 1).size()); };
  for (auto _ : state) {
    pairLines.clear();
    Pair("ReadJpegFile", [&] { ReadJpegFile(f.path, image); }, "libjpeg-turbo decode to RGB", decodeRef, 1.25);
    Pair("ReadJpegColours", [&] { ReadJpegColours(f.path, colours); }, "libjpeg-turbo decode to RGB", decodeRef, 0);
    Pair("EncodeJpeg", [&] { benchmark::DoNotOptimize(EncodeJpeg(f.decoded, SharedPalette.current).size()); },
         "libjpeg-turbo encode 2x1", encodeRef, 1.5);
  }
}
BENCHMARK(BM_InterleavedPairs)->Unit(benchmark::kMillisecond)->Iterations(1);

struct Summary {
  ~Summary() {
    auto& t = Timings();
    auto ratio = [&](const char* ours, const char* reference) {
      if (!t.count(ours) || !t.count(reference)) return;
      std::printf("%-38s %8.1f ms = %5.2f x %s (%.1f ms)\n", ours, t[ours] * 1e3, t[ours] / t[reference], reference,
                  t[reference] * 1e3);
    };
    std::printf("\nClock time per iteration of each benchmark:\n");
    ratio("ReadJpegFile", "libjpeg-turbo decode to RGB");
    ratio("ReadJpegFile after a palette change", "libjpeg-turbo decode to RGB");
    ratio("ReadJpegColours", "libjpeg-turbo decode to RGB");
    ratio("EncodeJpeg (both runs)", "libjpeg-turbo encode 2x1");
    if (t.count("plain scan, per pixel") && t.count("NearestSharedColour one by one, per pixel"))
      std::printf("NearestSharedColour one by one: %.1f ns per pixel, %.1f x faster than the plain scan (%.1f ns)\n",
                  t["NearestSharedColour one by one, per pixel"] * 1e9,
                  t["plain scan, per pixel"] / t["NearestSharedColour one by one, per pixel"],
                  t["plain scan, per pixel"] * 1e9);
    if (!pairLines.empty())
      std::printf("\nInterleaved pairs, thread processor time, median of %d (spread: lowest .. highest ratio):\n",
                  kPairs);
    for (const std::string& line : pairLines) std::printf("%s\n", line.c_str());
  }
} summary;

}  // namespace

// Flood and gradient fills on a one-pixel serpentine maze, per filled pixel,
// against a plain scanline fill written here and, at 256 × 256, against the
// pass-by-pass fill that rescans the growing bounding box until nothing moves.
//
// The maze has one-pixel paths between one-pixel walls. "rows" runs the paths
// along the rows (long runs, the good case for scanline fills); "columns" is
// the same maze turned, so every run is a single pixel.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <map>
#include <string>
#include <utility>
#include <vector>

#include "core/indexed_image.h"
#include "core/pixel_ops.h"

using namespace zudizar;

namespace {

constexpr std::uint8_t kPath = 10;
constexpr std::uint8_t kWall = 20;
constexpr std::uint8_t kFill = 30;

enum Orientation { kRows = 0, kColumns = 1 };

// Reference: a plain scanline fill. Pop a seed, widen it to its run, fill the
// run, and push one seed per run of the old colour in the rows above and below.
void PlainScanlineFill(IndexedImage& image, int x, int y, std::uint8_t colour) {
  const int w = image.ImageWidth();
  const int h = image.ImageHeight();
  const std::uint8_t old = image.At(x, y);
  if (old == colour) return;
  std::vector<std::pair<int, int>> seeds{{x, y}};
  while (!seeds.empty()) {
    const auto [sx, sy] = seeds.back();
    seeds.pop_back();
    std::uint8_t* row = image.Row(sy);
    if (row[sx] != old) continue;
    int l = sx, r = sx;
    while (l > 0 && row[l - 1] == old) --l;
    while (r < w - 1 && row[r + 1] == old) ++r;
    std::memset(row + l, colour, static_cast<std::size_t>(r - l + 1));
    for (const int ny : {sy - 1, sy + 1}) {
      if (ny < 0 || ny >= h) continue;
      const std::uint8_t* next = image.Row(ny);
      bool inRun = false;
      for (int i = l; i <= r; ++i) {
        if (next[i] == old) {
          if (!inRun) seeds.push_back({i, ny});
          inRun = true;
        } else {
          inRun = false;
        }
      }
    }
  }
}

// The maze, built once per size and orientation, with its filled-pixel count.
struct Maze {
  IndexedImage image;
  std::vector<std::uint8_t> pristine;
  long long filled = 0;
  int left = 0, bottom = 0, right = 0, top = 0;
};

Maze& GetMaze(int side, int orientation) {
  static std::map<std::pair<int, int>, Maze> mazes;
  auto [it, added] = mazes.try_emplace({side, orientation});
  Maze& maze = it->second;
  if (!added) return maze;
  CreateImage(side, side, maze.image);
  for (int y = 0; y < side; ++y)
    for (int x = 0; x < side; ++x) {
      // Paths on even rows; each wall row has one gap, alternately at the
      // right and the left end, so the path winds down the picture.
      const int along = orientation == kRows ? x : y;
      const int across = orientation == kRows ? y : x;
      std::uint8_t value = kPath;
      if (across % 2 == 1) {
        const int gap = (across / 2) % 2 == 0 ? side - 1 : 0;
        value = along == gap ? kPath : kWall;
      }
      maze.image.At(x, y) = value;
    }
  maze.pristine = maze.image.pixels;
  // The filled area as the reference fill sees it; our fill must agree.
  PlainScanlineFill(maze.image, 0, 0, kFill);
  const std::vector<std::uint8_t> expected = maze.image.pixels;
  for (std::uint8_t p : expected) maze.filled += p == kFill;
  maze.image.pixels = maze.pristine;
  FloodFillExtent(maze.image, 0, 0, kFill, maze.left, maze.bottom, maze.right, maze.top);
  if (maze.image.pixels != expected) {
    std::fprintf(stderr, "flood fill and reference fill differ on the %d maze\n", side);
    std::abort();
  }
  maze.image.pixels = maze.pristine;
  return maze;
}

// Results per benchmark name, for the summary printed at the end.
std::map<std::string, double>& Results() {
  // Never destroyed: the summary reads it when the program ends.
  static auto* results = new std::map<std::string, double>;
  return *results;
}

std::string Key(const char* what, int side, int orientation) {
  return std::string(what) + "/" + std::to_string(side) + (orientation == kRows ? "/rows" : "/columns");
}

// CPU time of this thread: the machine is shared, and wall time would count
// whatever else runs at the same time.
double ThreadSeconds() {
  timespec t{};
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
  return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) * 1e-9;
}

// Times `fill` on a fresh copy of the maze in each iteration (only the fill
// itself is timed, in thread CPU time), reports ns per filled pixel and keeps it for the ratios.
template <class Fill>
double RunFill(benchmark::State& state, const char* what, Fill fill) {
  const int side = static_cast<int>(state.range(0));
  const int orientation = static_cast<int>(state.range(1));
  Maze& maze = GetMaze(side, orientation);
  double seconds = 0;
  for (auto _ : state) {
    std::memcpy(maze.image.pixels.data(), maze.pristine.data(), maze.pristine.size());
    const double start = ThreadSeconds();
    fill(maze);
    const double s = ThreadSeconds() - start;
    benchmark::DoNotOptimize(maze.image.pixels.data());
    seconds += s;
    state.SetIterationTime(s);
  }
  maze.image.pixels = maze.pristine;
  const double nsPerPixel = seconds * 1e9 / static_cast<double>(state.iterations()) / static_cast<double>(maze.filled);
  state.counters["filled_px"] = static_cast<double>(maze.filled);
  state.counters["ns_per_px"] = nsPerPixel;
  Results()[Key(what, side, orientation)] = nsPerPixel;
  return nsPerPixel;
}

// Adds counter `name` = value / the recorded result `what` (when that ran).
void Ratio(benchmark::State& state, const char* name, double value, const std::string& reference) {
  const auto it = Results().find(reference);
  if (it != Results().end() && it->second > 0) state.counters[name] = value / it->second;
}

// The pass-by-pass fill: a mark map, and passes over the rectangle of the
// extent found so far until a pass meets no newly marked pixel.
void PassByPassFill(IndexedImage& image, int x, int y, std::uint8_t colour) {
  const int w = image.ImageWidth();
  const int h = image.ImageHeight();
  const std::uint8_t old = image.At(x, y);
  if (old == colour) return;
  std::vector<std::uint8_t> mark(static_cast<std::size_t>(w) * static_cast<std::size_t>(h), 0);
  const auto markAt = [&](int px, int py) -> std::uint8_t& {
    return mark[static_cast<std::size_t>(py) * static_cast<std::size_t>(w) + static_cast<std::size_t>(px)];
  };
  image.At(x, y) = colour;
  markAt(x, y) = 1;
  int left = x, right = x, top = y, bottom = y;
  bool moved = true;
  while (moved) {
    moved = false;
    const int l = left, r = right, t = top, b = bottom;
    for (int py = t; py <= b; ++py)
      for (int px = l; px <= r; ++px) {
        if (markAt(px, py) != 1) continue;
        moved = true;
        markAt(px, py) = 2;
        const int nx[] = {px, px, px - 1, px + 1};
        const int ny[] = {py + 1, py - 1, py, py};
        for (int i = 0; i < 4; ++i) {
          if (nx[i] < 0 || ny[i] < 0 || nx[i] >= w || ny[i] >= h) continue;
          if (image.At(nx[i], ny[i]) != old || markAt(nx[i], ny[i]) != 0) continue;
          image.At(nx[i], ny[i]) = colour;
          markAt(nx[i], ny[i]) = 1;
          left = std::min(left, nx[i]);
          right = std::max(right, nx[i]);
          top = std::min(top, ny[i]);
          bottom = std::max(bottom, ny[i]);
        }
      }
  }
}

}  // namespace

// ---- the benchmarks, in the order the ratios need them ----

void BM_PlainScanlineFill(benchmark::State& state) {
  RunFill(state, "plain", [](Maze& m) { PlainScanlineFill(m.image, 0, 0, kFill); });
}

void BM_FloodFill(benchmark::State& state) {
  const double ns = RunFill(state, "flood", [](Maze& m) { FloodFill(m.image, 0, 0, kFill); });
  const int orientation = static_cast<int>(state.range(1));
  Ratio(state, "x_plain", ns, Key("plain", static_cast<int>(state.range(0)), orientation));
  if (state.range(0) != 1024) Ratio(state, "x_1024", ns, Key("flood", 1024, orientation));
}

// A horizontal gradient over the region's extent, as the gradient tools call
// it. Colours 16 … 250 never equal the path's colour, so no mark map is needed.
void BM_GradientFill(benchmark::State& state) {
  static const SwatchArrangement order = IdentityArrangement();
  const double ns = RunFill(state, "gradient", [](Maze& m) {
    GradientFill(m.image, 0, 0, 16, 250, m.left, m.bottom, m.right, m.bottom, order);
  });
  Ratio(state, "x_flood", ns, Key("flood", static_cast<int>(state.range(0)), static_cast<int>(state.range(1))));
}

// The same gradient from colour 0: it passes through the path's colour, so
// the fill keeps a mark map.
void BM_GradientFillMarked(benchmark::State& state) {
  static const SwatchArrangement order = IdentityArrangement();
  const double ns = RunFill(state, "gradient_marked", [](Maze& m) {
    GradientFill(m.image, 0, 0, 0, 250, m.left, m.bottom, m.right, m.bottom, order);
  });
  Ratio(state, "x_flood", ns, Key("flood", static_cast<int>(state.range(0)), static_cast<int>(state.range(1))));
}

void BM_PassByPassFill(benchmark::State& state) {
  const double ns = RunFill(state, "pass_by_pass", [](Maze& m) { PassByPassFill(m.image, 0, 0, kFill); });
  Ratio(state, "x_flood", ns, Key("flood", static_cast<int>(state.range(0)), static_cast<int>(state.range(1))));
}

void MazeSizes(benchmark::internal::Benchmark* b) {
  for (int side : {1024, 4096})
    for (int orientation : {kRows, kColumns}) b->Args({side, orientation});
}

BENCHMARK(BM_PlainScanlineFill)->Apply(MazeSizes)->Args({256, kRows})->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_FloodFill)->Apply(MazeSizes)->Args({256, kRows})->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_GradientFill)->Apply(MazeSizes)->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_GradientFillMarked)->Apply(MazeSizes)->UseManualTime()->Unit(benchmark::kMillisecond);
// About 0.4 s a run at 256 × 256 (its cost grows with the fourth power of the side).
BENCHMARK(BM_PassByPassFill)->Args({256, kRows})->Iterations(3)->UseManualTime()->Unit(benchmark::kMillisecond);

namespace {

// Printed when the program ends, after every benchmark has reported.
struct Summary {
  ~Summary() {
    const auto& r = Results();
    if (r.empty()) return;
    const auto get = [&](const std::string& key) {
      const auto it = r.find(key);
      return it == r.end() ? 0.0 : it->second;
    };
    std::printf("\nfill summary, ns per filled pixel (ratios: lower is better)\n");
    std::printf("%-14s %8s %8s %9s %9s %11s %14s %16s\n", "maze", "plain", "flood", "gradient", "grad+mark",
                "flood/plain", "gradient/flood", "grad+mark/flood");
    for (int side : {256, 1024, 4096})
      for (int orientation : {kRows, kColumns}) {
        const double plain = get(Key("plain", side, orientation));
        const double flood = get(Key("flood", side, orientation));
        if (plain == 0 || flood == 0) continue;
        const double gradient = get(Key("gradient", side, orientation));
        const double marked = get(Key("gradient_marked", side, orientation));
        const auto figure = [](double value) {
          char text[32];
          std::snprintf(text, sizeof text, "%.2f", value);
          return value > 0 ? std::string(text) : std::string("-");
        };
        const auto ratio = [&](double a, double b) { return b > 0 && a > 0 ? figure(a / b) : std::string("-"); };
        std::printf("%-14s %8s %8s %9s %9s %11s %14s %16s\n",
                    (std::to_string(side) + (orientation == kRows ? " rows" : " columns")).c_str(),
                    figure(plain).c_str(), figure(flood).c_str(), figure(gradient).c_str(), figure(marked).c_str(),
                    ratio(flood, plain).c_str(), ratio(gradient, flood).c_str(), ratio(marked, flood).c_str());
      }
    for (int orientation : {kRows, kColumns}) {
      const double small = get(Key("flood", 1024, orientation));
      const double large = get(Key("flood", 4096, orientation));
      if (small > 0 && large > 0)
        std::printf("flood per pixel 4096 / 1024 (%s): %.2f\n", orientation == kRows ? "rows" : "columns",
                    large / small);
    }
    const double passes = get(Key("pass_by_pass", 256, kRows));
    const double flood256 = get(Key("flood", 256, kRows));
    if (passes > 0 && flood256 > 0)
      std::printf("pass-by-pass fill at 256 x 256: %.0f ns per pixel, %.0f x the scanline flood fill\n", passes,
                  passes / flood256);
  }
};
Summary summary;

}  // namespace

// The undo history on one pen stroke: undo and redo of the stroke on a large
// and a small picture (the cost should follow the stroke, not the picture),
// the cost of marking and recording the stroke against drawing it, and the
// memory a thousand one-pixel steps hold on a large picture. References in
// the same run: a whole-picture copy for undo and redo, and a plain read of
// the marked tiles for recording.
//
// The stroke: 1000 stamps of the round 8-pixel pen along a wavy, mostly
// diagonal line about a pixel between stamps, inside 640 × 400, so the same
// stroke runs on both pictures.
#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <map>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "core/history.h"
#include "core/indexed_image.h"
#include "core/pens.h"

using namespace zudizar;

namespace {

constexpr std::uint8_t kRound8 = 3;
constexpr int kStamps = 1000;

const std::vector<Point>& StrokePoints() {
  static const std::vector<Point> points = [] {
    std::vector<Point> p;
    for (int i = 0; i < kStamps; ++i)
      p.push_back({20 + i * 6 / 10, 200 + static_cast<int>(std::lround(150 * std::sin(i / 90.0)))});
    return p;
  }();
  return points;
}

void DrawStroke(IndexedImage& picture, std::uint8_t colour) {
  for (const Point p : StrokePoints()) StampPen(picture, p.x, p.y, colour, kRound8);
}

// Marks what each stamp touched, as the pen tool would.
void TouchStroke(History& history) {
  const PenBox box = PenFootprintBox(kRound8);
  for (const Point p : StrokePoints()) history.Touch({p.x + box.left, p.y + box.top, box.size, box.size});
}

// A picture and its history, one per size, kept for the whole run.
struct Canvas {
  Canvas(int width, int height) : history(budget) {
    CreateImage(width, height, picture);
    history.Reset(picture, "bench");
  }
  IndexedImage picture;
  HistoryBudget budget;
  History history;
  std::uint8_t colour = 0;
};

Canvas& GetCanvas(int width, int height) {
  static std::map<std::pair<int, int>, std::unique_ptr<Canvas>> canvases;
  auto& canvas = canvases[{width, height}];
  if (!canvas) canvas = std::make_unique<Canvas>(width, height);
  return *canvas;
}

// Results per benchmark name, for the ratios and the summary at the end.
std::map<std::string, double>& Results() {
  // Never destroyed: the summary reads it when the program ends.
  static auto* results = new std::map<std::string, double>;
  return *results;
}

std::string Key(const char* what, int width, int height) {
  return std::string(what) + "/" + std::to_string(width) + "x" + std::to_string(height);
}

// CPU time of this thread: the machine is shared, and wall time would count
// whatever else runs at the same time.
double ThreadSeconds() {
  timespec t{};
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
  return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) * 1e-9;
}

// Adds counter `name` = value / the recorded result `reference` (when that ran).
void Ratio(benchmark::State& state, const char* name, double value, const std::string& reference) {
  const auto it = Results().find(reference);
  if (it != Results().end() && it->second > 0) state.counters[name] = value / it->second;
}

}  // namespace

// Reference for undo and redo: a copy of the whole picture, what a history
// of snapshots would pay for each.
void BM_CopyPicture(benchmark::State& state) {
  const int w = static_cast<int>(state.range(0)), h = static_cast<int>(state.range(1));
  const Canvas& canvas = GetCanvas(w, h);
  std::vector<std::uint8_t> copy(canvas.picture.pixels.size());
  double seconds = 0;
  for (auto _ : state) {
    const double start = ThreadSeconds();
    std::memcpy(copy.data(), canvas.picture.pixels.data(), copy.size());
    const double s = ThreadSeconds() - start;
    benchmark::DoNotOptimize(copy.data());
    seconds += s;
    state.SetIterationTime(s);
  }
  const double us = seconds * 1e6 / static_cast<double>(state.iterations());
  state.counters["us"] = us;
  Results()[Key("copy", w, h)] = us;
}

// Reference for recording: reading the tiles the stroke marks, picture
// against base, as one memcmp a span, the least a tile comparison reads.
void BM_CompareMarkedTiles(benchmark::State& state) {
  const int w = static_cast<int>(state.range(0)), h = static_cast<int>(state.range(1));
  const Canvas& canvas = GetCanvas(w, h);
  IndexedImage base;
  CreateImage(w, h, base);
  std::memcpy(base.pixels.data(), canvas.picture.pixels.data(), base.pixels.size());
  DirtyTiles tiles;
  tiles.Reset(w, h);
  const PenBox box = PenFootprintBox(kRound8);
  for (const Point p : StrokePoints()) tiles.Add({p.x + box.left, p.y + box.top, box.size, box.size});
  double seconds = 0;
  std::size_t bytes = 0;
  for (auto _ : state) {
    int differing = 0;
    bytes = 0;
    const double start = ThreadSeconds();
    tiles.ForEachSpan([&](int y, int x0, int x1) {
      const auto n = static_cast<std::size_t>(x1 - x0);
      differing += std::memcmp(canvas.picture.Row(y) + x0, base.Row(y) + x0, n) != 0;
      bytes += n;
    });
    const double s = ThreadSeconds() - start;
    benchmark::DoNotOptimize(differing);
    seconds += s;
    state.SetIterationTime(s);
  }
  const double us = seconds * 1e6 / static_cast<double>(state.iterations());
  state.counters["us"] = us;
  state.counters["marked_bytes"] = static_cast<double>(bytes);
  Results()[Key("compare", w, h)] = us;
}

// Drawing the stroke, the gesture the recording is measured against.
void BM_DrawStroke(benchmark::State& state) {
  const int w = static_cast<int>(state.range(0)), h = static_cast<int>(state.range(1));
  Canvas& canvas = GetCanvas(w, h);
  double seconds = 0;
  for (auto _ : state) {
    const double start = ThreadSeconds();
    DrawStroke(canvas.picture, ++canvas.colour);
    const double s = ThreadSeconds() - start;
    benchmark::DoNotOptimize(canvas.picture.pixels.data());
    seconds += s;
    state.SetIterationTime(s);
  }
  // Leaves the picture as the history has it for the benchmarks after this.
  canvas.history.TouchAll();
  canvas.history.Record(canvas.picture);
  canvas.history.Clear();
  const double us = seconds * 1e6 / static_cast<double>(state.iterations());
  state.counters["us"] = us;
  Results()[Key("draw", w, h)] = us;
}

// Marking each stamp and recording the stroke as one step, after it was drawn.
void BM_RecordStroke(benchmark::State& state) {
  const int w = static_cast<int>(state.range(0)), h = static_cast<int>(state.range(1));
  Canvas& canvas = GetCanvas(w, h);
  double touchSeconds = 0, recordSeconds = 0;
  std::size_t stepBytes = 0;
  for (auto _ : state) {
    DrawStroke(canvas.picture, ++canvas.colour);
    const double start = ThreadSeconds();
    TouchStroke(canvas.history);
    const double touched = ThreadSeconds();
    if (!canvas.history.Record(canvas.picture)) state.SkipWithError("the stroke was not recorded");
    const double recorded = ThreadSeconds();
    stepBytes = canvas.history.Bytes();
    canvas.history.Clear();
    touchSeconds += touched - start;
    recordSeconds += recorded - touched;
    state.SetIterationTime(recorded - start);
  }
  const double n = static_cast<double>(state.iterations());
  const double us = (touchSeconds + recordSeconds) * 1e6 / n;
  state.counters["touch_us"] = touchSeconds * 1e6 / n;
  state.counters["record_us"] = recordSeconds * 1e6 / n;
  state.counters["step_bytes"] = static_cast<double>(stepBytes);
  Results()[Key("record", w, h)] = us;
  Ratio(state, "x_draw", us, Key("draw", w, h));
  Ratio(state, "x_compare", us, Key("compare", w, h));
}

// Undo and redo of the stroke, one step on a history of one.
void BM_UndoRedoStroke(benchmark::State& state) {
  const int w = static_cast<int>(state.range(0)), h = static_cast<int>(state.range(1));
  Canvas& canvas = GetCanvas(w, h);
  DrawStroke(canvas.picture, ++canvas.colour);
  TouchStroke(canvas.history);
  canvas.history.Record(canvas.picture);
  double seconds = 0;
  for (auto _ : state) {
    const double start = ThreadSeconds();
    const bool undone = canvas.history.Undo(canvas.picture).moved;
    const bool redone = canvas.history.Redo(canvas.picture).moved;
    const double s = ThreadSeconds() - start;
    if (!undone || !redone) state.SkipWithError("nothing to undo or redo");
    benchmark::DoNotOptimize(canvas.picture.pixels.data());
    seconds += s;
    state.SetIterationTime(s);
  }
  canvas.history.Clear();
  const double us = seconds * 1e6 / static_cast<double>(state.iterations());
  state.counters["us"] = us;
  Results()[Key("undo_redo", w, h)] = us;
  Ratio(state, "x_copy", us, Key("copy", w, h));
  if (w != 4096) Ratio(state, "x_4096", us, Key("undo_redo", 4096, 4096));
}

// A thousand one-pixel steps on the large picture: the memory they hold, and
// the time of each Touch and Record.
void BM_OnePixelSteps(benchmark::State& state) {
  Canvas& canvas = GetCanvas(4096, 4096);
  double seconds = 0;
  std::size_t bytes = 0;
  for (auto _ : state) {
    canvas.history.Clear();
    std::uint32_t random = 12345;
    const double start = ThreadSeconds();
    for (int i = 0; i < 1000; ++i) {
      random = random * 1664525u + 1013904223u;
      const int x = static_cast<int>(random >> 20), y = static_cast<int>((random >> 8) & 4095);
      ++canvas.picture.At(x, y);
      canvas.history.Touch({x, y, 1, 1});
      canvas.history.Record(canvas.picture);
    }
    const double s = ThreadSeconds() - start;
    bytes = canvas.history.Bytes();
    seconds += s;
    state.SetIterationTime(s);
  }
  canvas.history.Clear();
  state.counters["bytes"] = static_cast<double>(bytes);
  state.counters["bytes_per_step"] = static_cast<double>(bytes) / 1000;
  state.counters["us_per_step"] = seconds * 1e6 / static_cast<double>(state.iterations()) / 1000;
  Results()["one_pixel_bytes"] = static_cast<double>(bytes);
}

void Sizes(benchmark::internal::Benchmark* b) { b->Args({4096, 4096})->Args({640, 400}); }

BENCHMARK(BM_CopyPicture)->Apply(Sizes)->UseManualTime()->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_CompareMarkedTiles)->Apply(Sizes)->UseManualTime()->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_DrawStroke)->Apply(Sizes)->UseManualTime()->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_RecordStroke)->Apply(Sizes)->UseManualTime()->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_UndoRedoStroke)->Apply(Sizes)->UseManualTime()->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_OnePixelSteps)->UseManualTime()->Unit(benchmark::kMicrosecond);

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
    std::printf(
        "\nhistory summary (goals: undo+redo <= 1000 us and within 2x across sizes; recording <= 10%% of "
        "drawing)\n");
    std::printf("%-10s %9s %11s %10s %12s %13s %10s\n", "picture", "draw us", "compare us", "record us", "record/draw",
                "undo+redo us", "copy us");
    for (const auto& [w, h] : {std::pair{4096, 4096}, std::pair{640, 400}}) {
      const double draw = get(Key("draw", w, h)), record = get(Key("record", w, h));
      std::printf("%-10s %9.1f %11.1f %10.1f %11.0f%% %13.1f %10.1f\n",
                  (std::to_string(w) + "x" + std::to_string(h)).c_str(), draw, get(Key("compare", w, h)), record,
                  draw > 0 ? 100 * record / draw : 0.0, get(Key("undo_redo", w, h)), get(Key("copy", w, h)));
    }
    const double large = get(Key("undo_redo", 4096, 4096)), small = get(Key("undo_redo", 640, 400));
    if (large > 0 && small > 0) std::printf("undo+redo 4096x4096 / 640x400: %.2f\n", large / small);
    const double bytes = get("one_pixel_bytes");
    if (bytes > 0) std::printf("1000 one-pixel steps on 4096x4096 hold %.0f bytes (goal < 2 MB)\n", bytes);
  }
};
Summary summary;

}  // namespace

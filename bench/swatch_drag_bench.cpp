// One mouse move of a swatch drag in the colour palette, against presenting
// the whole grid for every move.
//
// "step": the drag step alone (restore the old 16 × 16 place, draw the drag
// image, return the union to present). "move": the whole move as the window
// handles it offscreen — the mouse event, the step, and the paint of the
// presented rectangle. "move_full": the same move followed by a present of the
// whole 512 × 128 grid, the reference. Target: "move" under 0.2 ms.
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QFile>
#include <QMouseEvent>
#include <QTemporaryDir>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <memory>

#include "core/swatch_grid.h"
#include "ui/app/app.h"
#include "ui/colour/colour_window.h"
#include "ui/common/dialogs.h"
#include "ui/common/paint_box.h"

using namespace zudizar;

namespace {

// Pointer positions that sweep the grid, so each move lands somewhere new.
Point PointerAt(std::int64_t i) {
  const int x = static_cast<int>((i * 7) % 540) - 10;
  const int y = static_cast<int>((i * 3) % 150) - 10;
  return {x, y};
}

void BM_step(benchmark::State& state) {
  IndexedImage grid, display, swatch;
  CreateImage(kSwatchGridWidth, kSwatchGridHeight, grid);
  DrawSwatchGrid(grid, IdentityArrangement());
  CreateImage(kSwatchGridWidth, kSwatchGridHeight, display);
  CopyImage(display, grid, kNoTransparent);
  CreateImage(kSwatchSide, kSwatchSide, swatch);
  FillImage(swatch, 77);
  Point drag{0, 0};
  std::int64_t i = 0;
  for (auto _ : state) {
    const Point p = PointerAt(i++);
    benchmark::DoNotOptimize(MoveSwatchDrag(display, grid, swatch, drag, p.x, p.y));
  }
}
BENCHMARK(BM_step);

// One application and one colour palette window, shown offscreen.
struct Window {
  QTemporaryDir folder;
  QtDialogs dialogs;
  std::unique_ptr<App> app;

  static Window& Get() {
    static Window* window = [] {
      qputenv("QT_QPA_PLATFORM", "offscreen");
      static int argc = 1;
      static char name[] = "swatch_drag_bench";
      static char* argv[] = {name, nullptr};
      new QApplication(argc, argv);
      auto* w = new Window;
      w->app = std::make_unique<App>(w->dialogs, QFile::encodeName(w->folder.filePath(QStringLiteral("zudizar"))).toStdString());
      w->app->Start();
      w->app->colour().show();
      QCoreApplication::processEvents();
      return w;
    }();
    return *window;
  }
};

void Move(PaintBox& box, Point p) {
  QMouseEvent event(QEvent::MouseMove, QPointF(p.x, p.y), box.mapToGlobal(QPointF(p.x, p.y)), Qt::NoButton,
                    Qt::LeftButton, Qt::NoModifier);
  QCoreApplication::sendEvent(&box, &event);
}

// Per-move times of the last run of each, printed with their ratio at exit.
struct Figures {
  double move = 0, full = 0;
  ~Figures() {
    if (move > 0 && full > 0)
      std::printf("per mouse move: %.1f us presenting the union, %.1f us presenting the grid, ratio %.2f\n", move, full,
                  move / full);
  }
} figures;

void DragMoves(benchmark::State& state, bool presentAll) {
  TPALETTEF& colour = Window::Get().app->colour();
  PaintBox& box = *colour.PaintBox1;
  colour.PaintBox1MouseDown(Qt::LeftButton, 8, 8);
  std::int64_t i = 0;
  const auto start = std::chrono::steady_clock::now();
  for (auto _ : state) {
    Move(box, PointerAt(i++));
    if (presentAll) box.update();
    // Delivers the paint of what the move asked to present.
    QCoreApplication::processEvents();
  }
  const std::chrono::duration<double, std::micro> spent = std::chrono::steady_clock::now() - start;
  (presentAll ? figures.full : figures.move) = spent.count() / static_cast<double>(std::max<std::int64_t>(i, 1));
  colour.PaintBox1MouseUp(Qt::LeftButton, 8, 8);
}

void BM_move(benchmark::State& state) { DragMoves(state, false); }
void BM_move_full(benchmark::State& state) { DragMoves(state, true); }
BENCHMARK(BM_move)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_move_full)->Unit(benchmark::kMicrosecond);

}  // namespace

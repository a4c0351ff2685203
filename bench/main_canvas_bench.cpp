// Gestures of the main canvas per mouse move, in the real window on the
// offscreen platform, composition and presentation of the exposed area
// included: a paste preview drag, a selection drag and a cell drag on a
// 640 × 400 canvas and on a 4096 × 4096 one in the same run (the ratio shows
// that a step costs its rectangle, not the canvas); the whole-picture shift
// per move; the jigsaw shuffle of 800 × 600 with the 24 frame, repaints
// included.
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QFile>
#include <QDir>
#include <QTemporaryDir>
#include <chrono>
#include <functional>
#include <memory>

#include "core/geometry.h"
#include "core/indexed_image.h"
#include "core/tool_gestures.h"
#include "support/ui/scripted_dialogs.h"
#include "support/ui/window_probe.h"
#include "core/view_scale.h"
#include "ui/app/app.h"
#include "ui/common/canvas_view.h"
#include "ui/common/paint_box.h"
#include "ui/edit/edit_window.h"
#include "ui/main/main_window.h"
#include "ui/sub/sub_window.h"

using namespace zudizar;

namespace {

struct Bench {
  Bench() {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    static int argc = 1;
    static char name[] = "main_canvas_bench";
    static char* argv[] = {name, nullptr};
    qt = std::make_unique<QApplication>(argc, argv);
    dialogs = std::make_unique<ScriptedDialogs>([](const QString&) {});
    app = std::make_unique<App>(*dialogs, QFile::encodeName(folder.path() + QStringLiteral("/zudizar")).toStdString());
    app->Start();
    app->main().show();
    QApplication::processEvents();
  }
  ~Bench() {
    WindowProbe::Doc(app->main()).MarkSaved();
    app->Shutdown();
  }
  // A patterned w × h picture on the main canvas, through the sub palette's exchange.
  void Canvas(int w, int h) {
    TForm1& main = app->main();
    main.CanvasCommand(0);
    IndexedImage& sub = WindowProbe::Doc(app->sub()).Picture();
    CreateImage(w, h, sub);
    for (int y = 0; y < h; ++y)
      for (int x = 0; x < w; ++x) sub.At(x, y) = static_cast<std::uint8_t>((x / 7 + y / 5) % 240);
    main.CanvasCommand(8);
    QApplication::processEvents();
  }
  // Microseconds per call of `move`, each followed by the paint it asks for.
  double PerMove(int moves, const std::function<void(int)>& move) {
    const auto start = std::chrono::steady_clock::now();
    for (int i = 0; i < moves; ++i) {
      move(i);
      QApplication::processEvents();
    }
    return std::chrono::duration<double, std::micro>(std::chrono::steady_clock::now() - start).count() / moves;
  }

  QTemporaryDir folder;
  std::unique_ptr<QApplication> qt;
  std::unique_ptr<ScriptedDialogs> dialogs;
  std::unique_ptr<App> app;
};

Bench& Shared() {
  static Bench bench;
  return bench;
}

constexpr int kMoves = 400;

// A drag that wanders over the visible top-left of the canvas.
Point Wander(int i) { return {40 + (i * 3) % 150, 30 + (i * 2) % 120}; }

void Report(benchmark::State& state, double small, double large) {
  state.counters["us_per_move_640x400"] = small;
  state.counters["us_per_move_4096x4096"] = large;
  state.counters["ratio"] = large / small;
}

void RunSizes(benchmark::State& state, const std::function<void(TForm1&)>& start,
              const std::function<void(TForm1&, int)>& move) {
  Bench& b = Shared();
  TForm1& main = b.app->main();
  for (auto _ : state) {
    double figures[2];
    const int sizes[2][2] = {{640, 400}, {4096, 4096}};
    for (int s = 0; s < 2; ++s) {
      b.Canvas(sizes[s][0], sizes[s][1]);
      start(main);
      figures[s] = b.PerMove(kMoves, [&](int i) { move(main, i); });
      main.PaintBox1MouseUp(Qt::LeftButton, 100, 100);
      main.CanvasCommand(0);
    }
    Report(state, figures[0], figures[1]);
  }
}

void BM_PastePreviewDrag(benchmark::State& state) {
  Bench& b = Shared();
  CreateImage(256, 240, WindowProbe::Doc(b.app->edit()).Picture());
  FillImage(WindowProbe::Doc(b.app->edit()).Picture(), 249);
  RunSizes(
      state,
      [](TForm1& main) {
        main.SetFrame(32);
        main.CanvasCommand(4);
        main.PaintBox1MouseDown(Qt::LeftButton, 40, 30);
      },
      [](TForm1& main, int i) { main.PaintBox1MouseMove(Qt::LeftButton, Wander(i).x, Wander(i).y); });
  b.app->main().SetFrame(0);
}
BENCHMARK(BM_PastePreviewDrag)->Iterations(1)->Unit(benchmark::kMillisecond);

void BM_SelectionDrag(benchmark::State& state) {
  Bench& b = Shared();
  CreateImage(256, 240, WindowProbe::Doc(b.app->edit()).Picture());
  RunSizes(
      state,
      [](TForm1& main) {
        main.CanvasCommand(1);
        main.PaintBox1MouseDown(Qt::LeftButton, 40, 30);
      },
      [](TForm1& main, int i) { main.PaintBox1MouseMove(Qt::LeftButton, Wander(i).x, Wander(i).y); });
}
BENCHMARK(BM_SelectionDrag)->Iterations(1)->Unit(benchmark::kMillisecond);

void BM_CellDrag(benchmark::State& state) {
  RunSizes(
      state,
      [](TForm1& main) {
        main.SetFrame(64);
        main.CanvasCommand(23);
        main.PaintBox1MouseDown(Qt::LeftButton, 10, 10);
      },
      // Every move lands on another cell.
      [](TForm1& main, int i) { main.PaintBox1MouseMove(Qt::LeftButton, 10 + 64 * (i % 4), 10 + 64 * (i / 4 % 3)); });
  Shared().app->main().SetFrame(0);
}
BENCHMARK(BM_CellDrag)->Iterations(1)->Unit(benchmark::kMillisecond);

void BM_WholePictureShift(benchmark::State& state) {
  Bench& b = Shared();
  TForm1& main = b.app->main();
  for (auto _ : state) {
    b.Canvas(640, 400);
    main.SetFrame(0);
    main.CanvasCommand(22);
    main.PaintBox1MouseDown(Qt::LeftButton, 320, 200);
    state.counters["us_per_move_640x400"] =
        b.PerMove(kMoves, [&](int i) { main.PaintBox1MouseMove(Qt::LeftButton, 300 + i % 40, 190 + i % 20); });
    main.PaintBox1MouseUp(Qt::LeftButton, 320, 200);
    main.CanvasCommand(0);
  }
}
BENCHMARK(BM_WholePictureShift)->Iterations(1)->Unit(benchmark::kMillisecond);

void BM_JigsawShuffle800x600Frame24(benchmark::State& state) {
  Bench& b = Shared();
  TForm1& main = b.app->main();
  for (auto _ : state) {
    b.Canvas(800, 600);
    main.SetFrame(24);
    b.dialogs->QueueAnswer(BoxAnswer::Yes);
    b.dialogs->QueueAnswer(BoxAnswer::Ok);
    const auto start = std::chrono::steady_clock::now();
    main.MN_MAINJIGSClick();
    QApplication::processEvents();
    state.counters["ms_825_cells"] =
        std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
    main.CanvasCommand(0);
  }
}
BENCHMARK(BM_JigsawShuffle800x600Frame24)->Iterations(1)->Unit(benchmark::kMillisecond);

// Undo and redo of one 8 x 8 pen stroke drawn in edit mode, per pair, the
// view's update and the paint included, on 640 x 400 and on 4096 x 4096:
// the history costs the stroke, not the canvas. Also the share of the
// stroke's gesture that its commit (copy into the picture and recording)
// takes: the release is timed against the whole gesture.
void BM_UndoRedoPenStroke(benchmark::State& state) {
  Bench& b = Shared();
  TForm1& main = b.app->main();
  Session& session = b.app->session();
  for (auto _ : state) {
    double pairs[2] = {}, releaseShare[2] = {};
    const int sizes[2][2] = {{640, 400}, {4096, 4096}};
    for (int s = 0; s < 2; ++s) {
      b.Canvas(sizes[s][0], sizes[s][1]);
      session.tools.tool = kToolFree;
      session.tools.penCode = 3;  // the round pen of size 8
      main.MN_HensyuModeClick();
      const auto gestureStart = std::chrono::steady_clock::now();
      main.PaintBox1MouseDown(Qt::LeftButton, 20, 20);
      for (int i = 0; i < kMoves; ++i) {
        main.PaintBox1MouseMove(Qt::LeftButton, 20 + i % 300, 20 + (i * 7) % 350);
        QApplication::processEvents();
      }
      const auto releaseStart = std::chrono::steady_clock::now();
      main.PaintBox1MouseUp(Qt::LeftButton, 320, 370);
      QApplication::processEvents();
      const auto end = std::chrono::steady_clock::now();
      releaseShare[s] = std::chrono::duration<double>(end - releaseStart).count() /
                        std::chrono::duration<double>(end - gestureStart).count();
      pairs[s] = b.PerMove(50, [&](int) {
        main.MN_MAINUNDOClick();
        main.MN_MAINREDOClick();
      });
      main.MN_HensyuModeClick();
    }
    state.counters["us_per_undo_redo_640x400"] = pairs[0];
    state.counters["us_per_undo_redo_4096x4096"] = pairs[1];
    state.counters["ratio"] = pairs[1] / pairs[0];
    state.counters["commit_share_of_stroke_640x400"] = releaseShare[0];
    state.counters["commit_share_of_stroke_4096x4096"] = releaseShare[1];
  }
}
BENCHMARK(BM_UndoRedoPenStroke)->Iterations(1)->Unit(benchmark::kMillisecond);

// What recording costs against the gesture it records, on 4096 x 4096: a
// paste confirm of a 256 x 240 piece and a cell move of 128 x 128 dragged two
// cells on, each timed whole (the commands, moves and their paints), then the
// same change recorded alone.
void BM_RecordShareOfPasteAndCellMove(benchmark::State& state) {
  Bench& b = Shared();
  TForm1& main = b.app->main();
  Document& document = WindowProbe::Doc(main);
  IndexedImage& edit = WindowProbe::Doc(b.app->edit()).Picture();
  CreateImage(256, 240, edit);
  for (int y = 0; y < 240; ++y)
    for (int x = 0; x < 256; ++x) edit.At(x, y) = static_cast<std::uint8_t>(10 + (x + y) % 200);
  using Clock = std::chrono::steady_clock;
  auto seconds = [](Clock::time_point a, Clock::time_point b) { return std::chrono::duration<double>(b - a).count(); };
  // The recording alone: the same rectangle changed again and recorded.
  auto recordAlone = [&](std::initializer_list<Rect> rects) {
    IndexedImage& picture = document.Picture();
    for (const Rect& r : rects)
      for (int y = r.y; y < r.Bottom(); ++y)
        for (int x = r.x; x < r.Right(); ++x) picture.At(x, y) = static_cast<std::uint8_t>(picture.At(x, y) ^ 1);
    const auto start = Clock::now();
    for (const Rect& r : rects) document.Touch(r);
    document.Commit();
    return seconds(start, Clock::now());
  };
  for (auto _ : state) {
    b.Canvas(4096, 4096);
    main.SetFrame(0);
    main.CanvasCommand(4);
    main.PaintBox1MouseDown(Qt::LeftButton, 100, 100);
    main.PaintBox1MouseUp(Qt::LeftButton, 100, 100);
    QApplication::processEvents();
    auto start = Clock::now();
    main.MN_REALClick();
    QApplication::processEvents();
    const double paste = seconds(start, Clock::now());
    const double pasteRecord = recordAlone({Rect{100, 100, 256, 240}});
    state.counters["paste_us"] = paste * 1e6;
    state.counters["paste_record_us"] = pasteRecord * 1e6;
    state.counters["paste_record_share"] = pasteRecord / paste;

    main.SetFrame(128);
    main.CanvasCommand(22);
    QApplication::processEvents();
    // A drag as the pointer reports it: a move every 16 pixels, each painted.
    start = Clock::now();
    main.PaintBox1MouseDown(Qt::LeftButton, 10, 10);
    for (int x = 26; x <= 298; x += 16) {
      main.PaintBox1MouseMove(Qt::LeftButton, x, 10);
      QApplication::processEvents();
    }
    main.PaintBox1MouseUp(Qt::LeftButton, 300, 10);
    QApplication::processEvents();
    const double cell = seconds(start, Clock::now());
    const double cellRecord = recordAlone({Rect{0, 0, 128, 128}, Rect{256, 0, 128, 128}});
    state.counters["cell_move_us"] = cell * 1e6;
    state.counters["cell_move_record_us"] = cellRecord * 1e6;
    state.counters["cell_move_record_share"] = cellRecord / cell;
    main.CanvasCommand(0);
    main.SetFrame(0);
  }
}
BENCHMARK(BM_RecordShareOfPasteAndCellMove)->Iterations(1)->Unit(benchmark::kMillisecond);

// Gesture steps at zoom 1/8, 1 and 8 on 4096 x 4096 against the same step at
// 1:1 on 640 x 400 (selection, paste preview, cell drag, edit-mode pen and
// rubber band; the press on its own too), each
// move wandering over what the window shows; the expose of a 100 x 100 corner
// at 1/8 against 1:1; and the one full repaint of zooming from 1 to 1/8.
void BM_GesturesAtZoom(benchmark::State& state) {
  Bench& b = Shared();
  TForm1& main = b.app->main();
  CanvasView& view = WindowProbe::View(main);
  Session& session = b.app->session();
  CreateImage(256, 240, WindowProbe::Doc(b.app->edit()).Picture());
  FillImage(WindowProbe::Doc(b.app->edit()).Picture(), 249);
  struct Gesture {
    const char* name;
    std::function<void()> start;
  };
  const Gesture gestures[] = {
      {"selection", [&] { main.CanvasCommand(1); }},
      {"paste", [&] { main.CanvasCommand(4); }},
      {"cell", [&] {
         main.SetFrame(64);
         main.CanvasCommand(23);
       }},
      {"pen", [&] {
         session.tools.tool = kToolFree;
         session.tools.penCode = 3;
         main.MN_HensyuModeClick();
       }},
      {"box", [&] {
         session.tools.tool = kToolBox;
         main.MN_HensyuModeClick();
       }},
  };
  for (auto _ : state) {
    for (const Gesture& g : gestures) {
      double reference = 0, worst = 0;
      for (int k = -1; k < 3; ++k) {
        const Zoom zoom = k < 0 ? Zoom{} : (Zoom[]){{1, 8}, {1, 1}, {8, 1}}[k];
        b.Canvas(k < 0 ? 640 : 4096, k < 0 ? 400 : 4096);
        view.SetZoom(zoom);
        view.ResetScroll();
        g.start();
        // The wander over what the window shows, through the view's own
        // mapping, as the mouse gives it.
        PaintBox& box = *view.Box();
        const Point first = Wander(0), last = Wander(kMoves - 1);
        const auto pressed = std::chrono::steady_clock::now();
        box.onMouseDown(Qt::LeftButton, first.x, first.y);
        const double pressUs =
            std::chrono::duration<double, std::micro>(std::chrono::steady_clock::now() - pressed).count();
        const double us = b.PerMove(kMoves, [&](int i) { box.onMouseMove(Qt::LeftButton, Wander(i).x, Wander(i).y); });
        box.onMouseUp(Qt::LeftButton, last.x, last.y);
        if (main.Mode() == 20)
          main.MN_HensyuModeClick();
        else
          main.CanvasCommand(0);
        main.SetFrame(0);
        view.SetZoom({});
        if (k < 0) {
          reference = us;
          continue;
        }
        const std::string name = std::string(g.name) + (k == 0 ? "_1/8" : k == 1 ? "_1" : "_8");
        state.counters["us_" + name] = us;
        state.counters["us_press_" + name] = pressUs;
        worst = std::max(worst, us);
      }
      state.counters[std::string("us_") + g.name + "_640x400"] = reference;
      state.counters[std::string("ratio_worst_") + g.name] = worst / reference;
    }
    // Exposing a corner: the paint copies what the screen holds.
    b.Canvas(4096, 4096);
    double expose[2];
    const Zoom zooms[2] = {{1, 8}, {1, 1}};
    for (int k = 0; k < 2; ++k) {
      view.SetZoom(zooms[k]);
      view.ResetScroll();  // the corner in view at both zooms
      QApplication::processEvents();
      expose[k] = b.PerMove(200, [&](int) { main.PaintBox1()->repaint(0, 0, 100, 100); });
    }
    state.counters["us_expose_corner_1/8"] = expose[0];
    state.counters["us_expose_corner_1"] = expose[1];
    state.counters["ratio_expose"] = expose[0] / expose[1];
    view.SetZoom({});
    QApplication::processEvents();
    const auto start = std::chrono::steady_clock::now();
    view.SetZoom({1, 8});
    main.PaintBox1()->repaint();
    const auto end = std::chrono::steady_clock::now();
    state.counters["ms_zoom_1_to_1/8"] = std::chrono::duration<double, std::milli>(end - start).count();
    view.SetZoom({});
  }
}
BENCHMARK(BM_GesturesAtZoom)->Iterations(1)->Unit(benchmark::kMillisecond);

}  // namespace

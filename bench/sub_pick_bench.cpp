// One pointer step while the sub palette picks a piece: the outline moves in
// the screen buffer and the rectangle covering the old and new outlines is converted
// for the screen. The 4096 × 4096 canvas should cost what 640 × 400 costs
// (ratio near 1); each step should stay far below 1 ms. Also: rendering and
// stamping a 20-character line of text.
#include <benchmark/benchmark.h>

#include <QGuiApplication>

#include "core/pick_outline.h"
#include "core/text_stamp.h"
#include "ui/common/draw_image.h"
#include "ui/edit/text_render.h"

using namespace zudizar;

namespace {

void BM_PickStep(benchmark::State& state) {
  const int w = static_cast<int>(state.range(0)), h = static_cast<int>(state.range(1));
  IndexedImage view, display;
  CreateImage(w, h, view);
  CreateImage(w, h, display);
  FillImage(view, 255);
  CopyImage(display, view, kNoTransparent);
  Rect previous{};
  int step = 0;
  for (auto _ : state) {
    // A wandering pointer, a few pixels per step as a hand moves.
    const Point p{(step * 3) % (w - 300) + 20, (step * 2) % (h - 260) + 10};
    const Rect next{p.x, p.y, 256, 240};
    // The window presents the rectangle covering both outlines.
    const Rect changed = MovePickOutline(display, view, previous, next, 248);
    QImage shown = ToQImage(display, changed.x, changed.y, changed.width, changed.height);
    benchmark::DoNotOptimize(shown.constBits());
    previous = next;
    ++step;
  }
}
BENCHMARK(BM_PickStep)->Args({640, 400})->Args({4096, 4096})->Unit(benchmark::kMicrosecond);

void BM_TextStamp20(benchmark::State& state) {
  static int argc = 1;
  static char name[] = "bench";
  static char* argv[] = {name, nullptr};
  if (!QGuiApplication::instance()) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    new QGuiApplication(argc, argv);
  }
  IndexedImage stamp, picture;
  CreateImage(256, 240, stamp);
  CreateImage(256, 240, picture);
  FillImage(picture, 255);
  const QFont font = DefinedFont(QStringLiteral("System"), -13);
  const QString line = QStringLiteral("ﾐﾗﾙｶ貼り絵の文字入力テスト12345");
  for (auto _ : state) {
    int transparent = 0;
    const QSize size = PrepareTextStamp(stamp, 249, line.left(20), font, state.range(0) != 0, transparent);
    StampText(picture, {10, 10}, stamp, size.width(), size.height(), transparent);
    benchmark::DoNotOptimize(picture.pixels.data());
  }
}
BENCHMARK(BM_TextStamp20)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

}  // namespace

// The canvas view composes only what changed: whatever rectangles it is asked
// to compose, with any frame, half offsets and outline, the screen holds what
// composing the whole canvas from scratch gives, and a paint presents it.
#include <QPainter>
#include <random>

#include "core/frames.h"
#include "core/region.h"
#include "ui/common/canvas_view.h"
#include "ui/common/paint_box.h"
#include "ui_support.h"

namespace zudizar::testing {
namespace {

// The plain model: the view, the whole grid, the whole outline.
IndexedImage ComposedFromScratch(const IndexedImage& view, int frame, bool halfLeft, bool halfUp, int shortfall,
                                 Rect outline) {
  IndexedImage screen;
  CreateImage(view.ImageWidth(), view.ImageHeight(), screen);
  CopyImage(screen, view, kNoTransparent);
  if (frame != 0)
    DrawFrameGrid(screen, halfLeft ? frame / 2 - shortfall : 0, halfUp ? frame / 2 - shortfall : 0, frame, 248,
                  view.ImageWidth(), view.ImageHeight());
  if (!outline.Empty()) DrawRectOutline(screen, outline.x, outline.y, outline.Right() - 1, outline.Bottom() - 1, 248);
  return screen;
}

TEST(CanvasViewTest, ComposingPiecesEqualsComposingTheWholeAtAnyFrameAndOffset) {
  EnsureQtApplication();
  std::mt19937 random(1883);
  for (int shortfall : {0, 1}) {
    QWidget window;
    CanvasView view(&window, shortfall);
    IndexedImage picture;
    ASSERT_EQ(CreateImage(97, 61, picture), 1);
    for (int y = 0; y < 61; ++y)
      for (int x = 0; x < 97; ++x) picture.At(x, y) = static_cast<std::uint8_t>((x * 7 + y * 3) % 200);
    ASSERT_TRUE(view.ShowPicture(picture));
    for (int round = 0; round < 60; ++round) {
      const int frames[] = {0, 1, 24, 32, 48};
      view.SetFrame(frames[random() % 5]);
      view.SetHalfLeft(random() % 2);
      view.SetHalfUp(random() % 2);
      const Rect outline{static_cast<int>(random() % 110) - 5, static_cast<int>(random() % 70) - 5,
                         static_cast<int>(random() % 40), static_cast<int>(random() % 40)};
      view.SetOutline(outline.Intersect({0, 0, 97, 61}));
      // Change the view under some rectangles, composing only those.
      for (int k = 0; k < 4; ++k) {
        const Rect r{static_cast<int>(random() % 120) - 10, static_cast<int>(random() % 80) - 10,
                     static_cast<int>(random() % 50), static_cast<int>(random() % 50)};
        FillClipped(view.View(), r, static_cast<std::uint8_t>(random() % 256));
        view.Compose(r);
      }
      const IndexedImage expected =
          ComposedFromScratch(view.View(), view.Frame(), view.HalfLeft(), view.HalfUp(), shortfall, view.Outline());
      ASSERT_EQ(view.Screen().pixels, expected.pixels) << "round " << round << " shortfall " << shortfall;
    }
    // What is painted is the screen buffer, pixel for pixel.
    const QImage shot = view.Box()->grab().toImage();
    const IndexedImage& screen = view.Screen();
    for (int y = 0; y < 61; y += 5)
      for (int x = 0; x < 97; x += 7) {
        const ColourTableEntry& e = screen.colourTable[screen.At(x, y)];
        ASSERT_EQ(shot.pixelColor(x, y), QColor(e.red, e.green, e.blue)) << x << "," << y;
      }
  }
}

}  // namespace
}  // namespace zudizar::testing

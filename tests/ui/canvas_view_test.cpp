// The canvas view composes only what changed: whatever rectangles it is asked
// to compose, at any zoom, frame, half offsets, outline and scroll, the screen
// buffer holds what composing its part of the canvas from scratch gives, and
// a paint presents it.
#include <QPainter>
#include <QScrollArea>
#include <QScrollBar>
#include <QApplication>
#include <QMouseEvent>
#include <QTest>
#include <random>

#include "core/frames.h"
#include "core/region.h"
#include "core/view_scale.h"
#include "ui/common/canvas_view.h"
#include "ui/common/paint_box.h"
#include "ui_support.h"

namespace zudizar::testing {
namespace {

// What the view shows, from its own state.
ShownLayers LayersOf(const CanvasView& view, int shortfall) {
  ShownLayers layers;
  layers.source = &view.View();
  layers.frame = view.Frame();
  layers.xOffset = view.HalfLeft() ? view.Frame() / 2 - shortfall : 0;
  layers.yOffset = view.HalfUp() ? view.Frame() / 2 - shortfall : 0;
  layers.outline = view.Outline();
  return layers;
}

// The plain model: the screen's part of the canvas composed whole.
IndexedImage ComposedFromScratch(const CanvasView& view, int shortfall) {
  IndexedImage expected;
  const Rect r = view.ScreenRect();
  CreateImage(r.width, r.height, expected);
  ComposeScaled(expected, {r.x, r.y}, r, LayersOf(view, shortfall), view.Scale());
  return expected;
}

TEST(CanvasViewTest, ComposingPiecesEqualsComposingTheWholeAtAnyZoomFrameAndScroll) {
  EnsureQtApplication();
  std::mt19937 random(1883);
  for (int shortfall : {0, 1}) {
    QWidget window;
    CanvasView view(&window, shortfall);
    view.Widget()->resize(230, 170);
    window.resize(230, 170);
    window.show();
    IndexedImage picture;
    ASSERT_EQ(CreateImage(197, 161, picture), 1);
    for (int y = 0; y < 161; ++y)
      for (int x = 0; x < 197; ++x) picture.At(x, y) = static_cast<std::uint8_t>((x * 7 + y * 3) % 200);
    view.ShowPicture(picture);
    for (int round = 0; round < 60; ++round) {
      if (round % 10 == 0) view.SetZoom(kZoomLevels[1 + random() % 5]);
      if (round % 10 == 5) {
        // The previews are taken back into the view's own copy, or, with no
        // mode drawing any more, the view shows the picture itself again.
        if (round % 20 == 5) view.FollowPicture();
        view.RestoreAll(picture);
        ASSERT_EQ(view.View().pixels, picture.pixels);
        if (round % 20 == 5) {
          ASSERT_EQ(&view.View(), &picture);
        }
      }
      const int frames[] = {0, 1, 24, 32, 48};
      view.SetFrame(frames[random() % 5]);
      view.SetHalfLeft(random() % 2);
      view.SetHalfUp(random() % 2);
      const Rect outline{static_cast<int>(random() % 210) - 5, static_cast<int>(random() % 170) - 5,
                         static_cast<int>(random() % 40), static_cast<int>(random() % 40)};
      view.SetOutline(outline.Intersect({0, 0, 197, 161}));
      // Scrolling composes only what comes into view.
      for (QScrollBar* bar : {view.Scroll()->horizontalScrollBar(), view.Scroll()->verticalScrollBar()})
        bar->setValue(static_cast<int>(random() % (bar->maximum() + 1)));
      // Change the picture, or draw a preview in the view, under some
      // rectangles, composing only those.
      for (int k = 0; k < 4; ++k) {
        const Rect r{static_cast<int>(random() % 220) - 10, static_cast<int>(random() % 180) - 10,
                     static_cast<int>(random() % 50), static_cast<int>(random() % 50)};
        const auto colour = static_cast<std::uint8_t>(random() % 256);
        if (random() % 2) {
          FillClipped(picture, r, colour);
          view.Restore(picture, r);
        } else {
          FillClipped(*view.DrawView(), r, colour);
          view.Compose(r);
        }
      }
      ASSERT_FALSE(view.ScreenRect().Empty());
      ASSERT_EQ(view.Screen().pixels, ComposedFromScratch(view, shortfall).pixels)
          << "round " << round << " shortfall " << shortfall;
    }
    // What is painted is the screen buffer, pixel for pixel, wherever the
    // paint asks for it (a grab paints the whole area).
    view.SetZoom({2, 1});
    const QImage shot = view.Box()->grab().toImage();
    IndexedImage whole;
    const Rect span = view.Scale().PictureToDeviceRect({0, 0, 197, 161});
    ASSERT_EQ(CreateImage(span.width, span.height, whole), 1);
    ComposeScaled(whole, {0, 0}, span, LayersOf(view, shortfall), view.Scale());
    ASSERT_EQ(shot.width(), span.width);
    for (int y = 0; y < shot.height(); y += 3)
      for (int x = 0; x < shot.width(); x += 5) {
        const ColourTableEntry& e = view.Screen().colourTable[whole.At(x, y)];
        ASSERT_EQ(shot.pixelColor(x, y), QColor(e.red, e.green, e.blue)) << x << "," << y;
      }
  }
}

// A magnified drag hands on each picture pixel it crosses once, as the same
// drag at 1:1 would, whatever the zoom and however finely the pointer moves.
TEST(CanvasViewTest, AMoveHandsOnANewPicturePixelOnly) {
  EnsureQtApplication();
  std::mt19937 random(20);
  QWidget window;
  CanvasView view(&window, 0);
  view.Widget()->resize(300, 200);
  window.resize(300, 200);
  window.show();
  IndexedImage picture;
  ASSERT_EQ(CreateImage(120, 90, picture), 1);
  view.ShowPicture(picture);
  std::vector<Point> got;
  view.onPress = [&](Qt::MouseButton, Point p) { got.push_back(p); };
  view.onMove = [&](Qt::MouseButton, Point p) { got.push_back(p); };
  for (const Zoom zoom : kZoomLevels) {
    view.SetZoom(zoom);
    view.ResetScroll();
    const ViewScale& scale = view.Scale();
    QPoint at(static_cast<int>(random() % 60), static_cast<int>(random() % 60));
    std::vector<Point> expected{{scale.LogicalToPicture(at.x()), scale.LogicalToPicture(at.y())}};
    got.clear();
    QTest::mousePress(view.Box(), Qt::LeftButton, {}, at);
    for (int k = 0; k < 40; ++k) {
      at += QPoint(static_cast<int>(random() % 3), static_cast<int>(random() % 2));
      QTest::mouseMove(view.Box(), at);
      const Point p{scale.LogicalToPicture(at.x()), scale.LogicalToPicture(at.y())};
      if (p != expected.back()) expected.push_back(p);
    }
    QTest::mouseRelease(view.Box(), Qt::LeftButton, {}, at);
    ASSERT_EQ(got, expected) << zoom.mul << "/" << zoom.div;
    // After the release the same pixel counts as new again.
    QMouseEvent again(QEvent::MouseMove, QPointF(at), view.Box()->mapToGlobal(QPointF(at)), Qt::NoButton,
                      Qt::NoButton, Qt::NoModifier);
    QApplication::sendEvent(view.Box(), &again);
    ASSERT_EQ(got.size(), expected.size() + 1);
  }
}

}  // namespace
}  // namespace zudizar::testing

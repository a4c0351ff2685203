// Gestures at every zoom: the real mouse events on the paint area, mapped to
// picture pixels in one place, give exactly the picture the same gesture
// gives at 1:1 on the picture pixels under the pointer.
#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QLabel>
#include <QMouseEvent>
#include <QTest>
#include <random>

#include "core/frames.h"
#include "core/region.h"
#include "ui/common/canvas_view.h"
#include "ui/common/paint_box.h"
#include "ui/common/status_line.h"
#include "ui/edit/edit_window.h"
#include "ui/sub/sub_window.h"
#include "ui_support.h"

namespace zudizar {
namespace {

using testing::Pattern;

class ZoomTest : public testing::CanvasAppTest {
 protected:
  CanvasView& view() { return WindowProbe::View(main()); }

  void Reset() {
    Pattern(WindowProbe::Doc(main()).Picture());
    view().RestoreAll(main().PictureImage());
  }
  // A drag through logical points of the paint area, with real mouse events.
  void DragOnScreen(const std::vector<QPoint>& points, Qt::MouseButton button) {
    QTest::mousePress(main().PaintBox1(), button, {}, points.front());
    for (const QPoint& p : points) QTest::mouseMove(main().PaintBox1(), p);
    QTest::mouseRelease(main().PaintBox1(), button, {}, points.back());
  }
  void DragInPicture(const std::vector<Point>& points, Qt::MouseButton button) {
    main().PaintBox1MouseDown(button, points.front().x, points.front().y);
    for (const Point& p : points) main().PaintBox1MouseMove(button, p.x, p.y);
    main().PaintBox1MouseUp(button, points.back().x, points.back().y);
  }
};

TEST_F(ZoomTest, EveryGestureAtEveryZoomGivesThePictureItGivesAtOneToOne) {
  std::mt19937 random(22);
  main().SetFrame(32);
  for (const Zoom zoom : kZoomLevels) {
    view().SetZoom(zoom);
    const ViewScale& scale = view().Scale();
    const int w = scale.LogicalSize(640), h = scale.LogicalSize(400);
    for (int gesture = 0; gesture < 3; ++gesture) {
      std::vector<QPoint> screen;
      std::vector<Point> picture;
      for (int k = 0; k < 3; ++k) {
        const QPoint s(static_cast<int>(random() % w), static_cast<int>(random() % h));
        screen.push_back(s);
        picture.push_back({scale.LogicalToPicture(s.x()), scale.LogicalToPicture(s.y())});
      }
      // Cell exchange, a pen stroke in edit mode, a paste from the edit palette.
      const int modes[] = {23, 20, 4};
      auto run = [&](bool onScreen) {
        Reset();
        if (modes[gesture] == 20)
          main().MN_HensyuModeClick();
        else
          main().CanvasCommand(modes[gesture]);
        if (modes[gesture] == 20) app->edit().MN_EDITFREEClick();
        if (onScreen)
          DragOnScreen(screen, Qt::LeftButton);
        else
          DragInPicture(picture, Qt::LeftButton);
        main().CanvasCommand(0);  // confirms a paste; leaves the other modes
        IndexedImage result;
        CreateImage(640, 400, result);
        CopyImage(result, main().PictureImage(), kNoTransparent);
        return result;
      };
      const IndexedImage zoomed = run(true);
      const Zoom kept = view().GetZoom();
      view().SetZoom({});
      const IndexedImage plain = run(false);
      view().SetZoom(kept);
      ASSERT_TRUE(SamePixels(zoomed, plain)) << "zoom " << zoom.mul << "/" << zoom.div << " gesture " << gesture;
      if (gesture == 1) {
        IndexedImage start;
        CreateImage(640, 400, start);
        Pattern(start);
        ASSERT_FALSE(SamePixels(zoomed, start)) << "the stroke drew nothing";
      }
    }
  }
}

TEST_F(ZoomTest, ItemsStepThroughTheLevelsAndTheStatusLineNamesThePixel) {
  auto item = [&](const char* name) { return main().findChild<QAction*>(QString::fromLatin1(name)); };
  item("MN_ZOOM100")->trigger();
  item("MN_ZOOMOUT")->trigger();
  EXPECT_EQ(view().GetZoom(), (Zoom{1, 2}));
  for (int k = 0; k < 5; ++k) item("MN_ZOOMOUT")->trigger();
  EXPECT_EQ(view().GetZoom(), (Zoom{1, 8}));  // the smallest stays
  for (int k = 0; k < 9; ++k) item("MN_ZOOMIN")->trigger();
  EXPECT_EQ(view().GetZoom(), (Zoom{8, 1}));
  EXPECT_EQ(main().PaintBox1()->AreaWidth(), 640 * 8);
  item("MN_ZOOM100")->trigger();
  EXPECT_EQ(main().PaintBox1()->AreaWidth(), 640);
  // The pointer over a pixel names it, its index and colour; the size and zoom follow.
  view().SetZoom({4, 1});
  Reset();
  QMouseEvent hover(QEvent::MouseMove, QPointF(4 * 13 + 2, 4 * 7 + 3), QPointF(), Qt::NoButton, Qt::NoButton,
                    Qt::NoModifier);
  QApplication::sendEvent(main().PaintBox1(), &hover);
  const int index = main().PictureImage().At(13, 7);
  const QString status = view().Status()->text();
  EXPECT_TRUE(status.startsWith(QStringLiteral("(13, 7)  色 %1 ").arg(index))) << status.toStdString();
  EXPECT_TRUE(status.contains(QStringLiteral("640×400  倍率 4"))) << status.toStdString();
  // A selection over a frame grid has no outline; the status line gives its region all the same.
  main().SetFrame(32);
  main().CanvasCommand(1);
  main().PaintBox1MouseDown(Qt::LeftButton, 40, 30);
  EXPECT_TRUE(view().Outline().Empty());
  const QString selecting = view().Status()->text();
  EXPECT_TRUE(selecting.contains(QStringLiteral("範囲 %1×%2 (32, 0)")
                                     .arg(app->edit().EditImage().ImageWidth())
                                     .arg(app->edit().EditImage().ImageHeight())))
      << selecting.toStdString();
  main().PaintBox1MouseDown(Qt::RightButton, 40, 30);
  main().SetFrame(0);
  // The status line's item hides it, and the choice is kept with the zoom.
  item("MN_STATUSBAR")->trigger();
  EXPECT_FALSE(view().Status()->isVisibleTo(&main()));
  EXPECT_FALSE(item("MN_STATUSBAR")->isChecked());
  app.reset();
  StartApp();
  EXPECT_EQ(view().GetZoom(), (Zoom{4, 1}));
  EXPECT_FALSE(view().StatusLineShown());
  EXPECT_FALSE(main().findChild<QAction*>(QStringLiteral("MN_STATUSBAR"))->isChecked());
}

TEST_F(ZoomTest, TheSubCanvasPicksThePieceUnderThePointerAtAnyZoom) {
  TTAVOSUBF& sub = app->sub();
  CanvasView& subView = WindowProbe::View(sub);
  for (const Zoom zoom : {Zoom{1, 4}, Zoom{2, 1}}) {
    subView.SetZoom(zoom);
    sub.StartSubTransfer(6);
    const QPoint at(subView.Scale().PictureToLogical(100) + 1, subView.Scale().PictureToLogical(60));
    QTest::mousePress(sub.PaintBox1(), Qt::LeftButton, {}, at);
    QTest::mouseRelease(sub.PaintBox1(), Qt::LeftButton, {}, at);
    const Point p{subView.Scale().LogicalToPicture(at.x()), subView.Scale().LogicalToPicture(at.y())};
    EXPECT_EQ(sub.PickRect().x, p.x);
    EXPECT_EQ(sub.PickRect().y, p.y);
    EXPECT_EQ(subView.Outline(), sub.PickRect().Intersect({0, 0, 640, 400}));
    sub.PaintBox1MouseDown(Qt::RightButton, 5, 5);
  }
}

}  // namespace
}  // namespace zudizar

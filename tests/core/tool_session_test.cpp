// The tool session against plain models: strokes drawn segment by segment,
// shapes drawn once on the untouched picture, a text stamp from a fake
// stamper.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <random>
#include <vector>

#include "core/pens.h"
#include "core/region.h"
#include "core/tool_session.h"

namespace zudizar {
namespace {

struct Canvas {
  IndexedImage picture, work, stamp;
  Canvas(int w, int h) {
    for (IndexedImage* image : {&picture, &work, &stamp}) CreateImage(w, h, *image);
    FillImage(picture, 255);
    for (int y = 0; y < h; y += 3)
      for (int x = 0; x < w; x += 2) picture.At(x, y) = 1;  // something for the eraser
  }
  ToolTarget Target() { return {picture, work, stamp}; }
};

IndexedImage Copy(const IndexedImage& image) {
  IndexedImage copy;
  CreateImage(image.ImageWidth(), image.ImageHeight(), copy);
  CopyImage(copy, image, kNoTransparent);
  return copy;
}

std::vector<Point> RandomPoints(std::mt19937& random, int count, int w, int h) {
  // Some points fall outside, as a pointer leaving the canvas does.
  std::uniform_int_distribution<int> x(-5, w + 4), y(-5, h + 4);
  std::vector<Point> points;
  for (int k = 0; k < count; ++k) points.push_back({x(random), y(random)});
  return points;
}

bool Inside(const IndexedImage& image, Point p) {
  return Rect{0, 0, image.ImageWidth(), image.ImageHeight()}.Contains(p);
}

TEST(ToolSessionTest, FreehandAndSprayDragsEqualTheirPlainMarks) {
  std::mt19937 random(7);
  const std::uint8_t pens[] = {0, 1, 3, 6, 18, 35, 52};
  for (int round = 0; round < 30; ++round) {
    const int tool = round % 3 == 0 ? kToolFree : round % 3 == 1 ? kToolEraser : kToolSpray;
    const std::uint8_t pen = pens[round % 7];
    const bool right = round % 2;
    Canvas c(37, 29);
    IndexedImage model = Copy(c.picture);
    ToolSettings settings{tool, tool, pen, {}};
    auto clock = [n = std::uint64_t{100}]() mutable { return n++; };
    ToolSession session(settings, nullptr, SprayGenerator(clock));
    SprayGenerator modelSpray(clock);
    const ToolInk ink{1, 2};
    const std::uint8_t colour = right ? 2 : 1, other = right ? 1 : 2;
    std::vector<Point> points = RandomPoints(random, 12, 37, 29);
    points.front() = {18, 14};
    auto mark = [&](Point a, Point b) {
      if (tool == kToolFree)
        StrokePen(model, a.x, a.y, b.x, b.y, colour, pen);
      else if (tool == kToolEraser)
        StrokeErase(model, a.x, a.y, b.x, b.y, colour, other, pen);
      else
        StampSpray(model, b.x, b.y, colour, pen, modelSpray);
    };
    session.Press(c.Target(), ink, points.front(), right);
    Point last = points.front();
    if (tool == kToolFree)
      StampPen(model, last.x, last.y, colour, pen);
    else if (tool == kToolEraser)
      ErasePen(model, last.x, last.y, colour, other, pen);
    else
      StampSpray(model, last.x, last.y, colour, pen, modelSpray);
    for (std::size_t k = 1; k < points.size(); ++k) {
      const Point p = points[k];
      const IndexedImage before = Copy(c.picture);
      const ToolStep step =
          k + 1 < points.size() ? session.Move(c.Target(), ink, p) : session.Release(c.Target(), ink, p);
      if (Inside(model, p)) {
        mark(last, p);
        last = p;
      }
      ASSERT_EQ(c.picture.pixels, model.pixels) << "tool " << tool << " round " << round << " point " << k;
      // Every changed pixel lies in the rectangle the step reports.
      for (int y = 0; y < 29; ++y)
        for (int x = 0; x < 37; ++x)
          if (before.At(x, y) != c.picture.At(x, y)) {
            ASSERT_TRUE(step.rect.Contains({x, y})) << x << "," << y;
          }
    }
    EXPECT_FALSE(session.Dragging());
  }
}

TEST(ToolSessionTest, ShapesPreviewInTheWorkBufferAndCommitOnlyOverThePicture) {
  std::mt19937 random(11);
  for (int round = 0; round < 20; ++round) {
    const int tool = round % 2 ? kToolLine : kToolBox;
    Canvas c(31, 23);
    const IndexedImage original = Copy(c.picture);
    // The display-start wait draws with the tool it returns to.
    ToolSettings settings{kToolStartFrame8, tool, static_cast<std::uint8_t>(round % 4), {}};
    ToolSession session(settings);
    const ToolInk ink{5, 6};
    const Point anchor{15, 11};
    auto shape = [&](Point to) {
      IndexedImage model = Copy(original);
      if (tool == kToolLine)
        StrokePen(model, anchor.x, anchor.y, to.x, to.y, 5, settings.penCode);
      else
        FillRect(model, std::min(anchor.x, to.x), std::min(anchor.y, to.y), std::abs(to.x - anchor.x) + 1,
                 std::abs(to.y - anchor.y) + 1, 5);
      return model;
    };
    session.Press(c.Target(), ink, anchor, false);
    settings.tool = kToolFill;  // a new choice does not change the running gesture
    Point shown = anchor;
    for (Point p : RandomPoints(random, 8, 31, 23)) {
      session.Move(c.Target(), ink, p);
      if (Inside(c.picture, p)) shown = p;
      ASSERT_EQ(c.picture.pixels, original.pixels);
      if (shown != anchor) {
        ASSERT_EQ(c.work.pixels, shape(shown).pixels) << round;
      }
    }
    const Point end = round % 4 < 2 ? Point{3, 4} : Point{-1, 4};
    const ToolStep step = session.Release(c.Target(), ink, end);
    EXPECT_EQ(step.committed, Inside(c.picture, end));
    EXPECT_EQ(c.picture.pixels, step.committed ? shape(end).pixels : original.pixels) << round;
  }
}

// Letters as a solid w × h block; the background is StampBackground.
class BlockStamper : public TextStamper {
 public:
  TextStampBox Measure(const TextSettings& text) override {
    return {static_cast<int>(text.text.size()) * 3, text.vertical ? 9 : 4};
  }
  TextStampBox RenderStamp(IndexedImage& stamp, std::uint8_t colour, const TextSettings& text) override {
    const std::uint8_t background = StampBackground(colour);
    FillImage(stamp, background);
    const TextStampBox box = Measure(text);
    const int w = std::min(box.width, stamp.ImageWidth()), h = std::min(box.height, stamp.ImageHeight());
    FillRect(stamp, 0, 0, w, h, colour);
    return {w, h, background};
  }
};

int Count(const IndexedImage& image, std::uint8_t colour) {
  int n = 0;
  for (std::uint8_t p : image.pixels) n += p == colour;
  return n;
}

TEST(ToolSessionTest, TextGoesToAFixedPlaceAtOnceOrWhereItIsReleased) {
  BlockStamper stamper;
  ToolSettings settings;
  settings.tool = kToolText;
  settings.text.text = "abcd";  // a 12 × 4 block
  ToolSession session(settings, &stamper);
  const ToolInk ink{0, 7};
  for (int place = kTextCentre; place <= kTextLowerRight; ++place) {
    Canvas c(40, 30);
    settings.text.fixedPlace = place;
    EXPECT_EQ(session.Press(c.Target(), ink, {-1, 3}, false).present, Present::Nothing);
    const ToolStep step = session.Press(c.Target(), ink, {5, 5}, false);
    const Point at = FixedTextOrigin(place, 40, 30, 12, 4);
    EXPECT_TRUE(step.committed);
    EXPECT_EQ(step.rect, (Rect{at.x, at.y, 12, 4}));
    EXPECT_EQ(Count(c.picture, 0), 48);
    EXPECT_EQ(c.picture.At(at.x + 11, at.y + 3), 0);
    EXPECT_EQ(session.TextStamp().transparent, 255);  // letters of colour 0
    EXPECT_FALSE(session.Dragging());
  }
  // Free: a preview that follows the pointer, even outside, then the stamp.
  settings.text.fixedPlace = kTextFree;
  Canvas c(40, 30);
  const IndexedImage original = Copy(c.picture);
  session.Press(c.Target(), ink, {-3, -1}, true);
  EXPECT_EQ(Count(c.work, 7), 9 * 3);
  session.Move(c.Target(), ink, {36, 28});
  EXPECT_EQ(Count(c.work, 7), 4 * 2);
  EXPECT_EQ(c.picture.pixels, original.pixels);
  ToolStep step = session.Release(c.Target(), ink, {50, 3});
  EXPECT_FALSE(step.committed);
  EXPECT_EQ(step.rect, (Rect{36, 28, 4, 2}));  // the preview is taken back
  EXPECT_EQ(c.picture.pixels, original.pixels);
  session.Press(c.Target(), ink, {1, 1}, true);
  session.Move(c.Target(), ink, {20, 10});
  step = session.Release(c.Target(), ink, {2, 20});
  EXPECT_TRUE(step.committed);
  EXPECT_EQ(step.rect, (Rect{2, 10, 30, 14}));
  EXPECT_EQ(Count(c.picture, 7), 48);
  EXPECT_EQ(c.picture.At(13, 23), 7);
}

}  // namespace
}  // namespace zudizar

namespace zudizar {
namespace {

// A canvas that draws previews in the shown picture and keeps the original
// beside it gets, step by step, what a canvas with a work buffer shows.
TEST(ToolSessionTest, PreviewsInThePictureShowWhatTheWorkBufferShows) {
  std::mt19937 random(23);
  BlockStamper stamper;
  const int tools[] = {kToolLine, kToolBox, kToolText, kToolMove, kToolGradientVertical, kToolGradientHorizontal};
  for (int round = 0; round < 36; ++round) {
    const int tool = tools[round % 6];
    const int w = 20 + round % 7, h = 15 + round % 5;
    ToolSettings settings{tool, tool, static_cast<std::uint8_t>(round % 5), {}};
    settings.text.text = std::string(1 + round % 9, 'a');  // up to 27 wide: cut on narrow pictures
    settings.text.vertical = round % 4 == 2;
    ToolSession withWork(settings, &stamper), inPicture(settings, &stamper);
    Canvas a(w, h);
    for (int k = 0; k < 12; ++k) FillRect(a.picture, random() % w, random() % h, 4, 3, 9);  // regions for gradients
    IndexedImage original = Copy(a.picture), shown = Copy(a.picture), noWork, stamp;
    const ToolTarget b{shown, noWork, stamp, &original};
    const ToolInk ink{5, 9};
    const std::vector<Point> points = RandomPoints(random, 6, w, h);
    const bool right = round % 3 == 1 && tool != kToolMove;
    for (std::size_t k = 0; k < points.size(); ++k) {
      const Point p = points[k];
      const ToolStep expected = k == 0                     ? withWork.Press(a.Target(), ink, p, right)
                                : k + 1 < points.size() ? withWork.Move(a.Target(), ink, p)
                                                           : withWork.Release(a.Target(), ink, p);
      const ToolStep got = k == 0                     ? inPicture.Press(b, ink, p, right)
                           : k + 1 < points.size() ? inPicture.Move(b, ink, p)
                                                      : inPicture.Release(b, ink, p);
      // While a preview runs the work buffer shows it, even after a step that changed nothing.
      const bool preview = withWork.Dragging() && FindTool(tool)->draws == Draws::InWork;
      ASSERT_EQ(got.present, expected.present) << "tool " << tool << " step " << k;
      ASSERT_EQ(got.rect, expected.rect) << "tool " << tool << " step " << k;
      ASSERT_EQ(got.committed, expected.committed);
      ASSERT_EQ(shown.pixels, (preview ? a.work : a.picture).pixels) << "tool " << tool << " step " << k;
    }
    // Only what the gesture carries was made: the picture for the move tool,
    // the text's box cut to the picture for text.
    if (tool == kToolMove && stamp.HasPixels()) {
      EXPECT_EQ(stamp.ImageWidth(), w);
      EXPECT_EQ(stamp.ImageHeight(), h);
    }
    if (tool == kToolText && stamp.HasPixels()) {
      const TextStampBox box = stamper.Measure(settings.text);
      EXPECT_EQ(stamp.ImageWidth(), std::min(box.width, w));
      EXPECT_EQ(stamp.ImageHeight(), std::min(box.height, h));
    }
    if (tool != kToolMove && tool != kToolText) {
      EXPECT_FALSE(stamp.HasPixels());
    }
  }
}

}  // namespace
}  // namespace zudizar

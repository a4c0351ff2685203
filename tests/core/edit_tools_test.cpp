// The pixel editor's Qt-free parts: tool gestures, the spray, the view
// mapping with its partial grid, and the whole-picture commands.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "core/edit_commands.h"
#include "core/edit_view.h"
#include "core/region.h"
#include "core/tool_session.h"

namespace zudizar {
namespace {

// A picture with its work and stamp buffers, and a session drawing on it.
struct Canvas {
  IndexedImage picture, work, stamp;
  ToolSettings settings;
  ToolSession session{settings};
  ToolInk ink;
  Canvas(int w, int h, std::uint8_t fill = 255) {
    for (IndexedImage* image : {&picture, &work, &stamp}) CreateImage(w, h, *image);
    FillImage(picture, fill);
  }
  ToolTarget Target() { return {picture, work, stamp}; }
  void Use(int tool, std::uint8_t left, std::uint8_t right, std::uint8_t pen = 3) {
    settings.tool = tool;
    settings.penCode = pen;
    ink.left = left;
    ink.right = right;
  }
  ToolStep Press(Point p, bool right = false) { return session.Press(Target(), ink, p, right); }
  ToolStep Move(Point p) { return session.Move(Target(), ink, p); }
  ToolStep Release(Point p) { return session.Release(Target(), ink, p); }
};

// Row y as a list of indices.
std::vector<int> RowOf(const IndexedImage& image, int y) {
  std::vector<int> row;
  for (int x = 0; x < image.ImageWidth(); ++x) row.push_back(image.At(x, y));
  return row;
}

std::vector<Point> PixelsOf(const IndexedImage& image, std::uint8_t colour) {
  std::vector<Point> points;
  for (int y = 0; y < image.ImageHeight(); ++y)
    for (int x = 0; x < image.ImageWidth(); ++x)
      if (image.At(x, y) == colour) points.push_back({x, y});
  return points;
}

TEST(EditToolsTest, FreeLineStampsThePenAndReportsTheChangedRectangle) {
  Canvas c(40, 30);
  c.Use(kToolFree, 1, 2, 3);
  // Round pen 8 at (10, 10): columns 7 … 14, rows 6 … 13; the top row 9 … 12.
  ToolStep step = c.Press({10, 10});
  EXPECT_EQ(step.present, Present::FromPicture);
  EXPECT_EQ(step.rect, (Rect{7, 6, 8, 8}));
  EXPECT_EQ(RowOf(c.picture, 6)[8], 255);
  for (int x = 9; x <= 12; ++x) EXPECT_EQ(c.picture.At(x, 6), 1);
  EXPECT_EQ(PixelsOf(c.picture, 1).size(), 52u);
  EXPECT_TRUE(c.Release({10, 10}).committed);

  // Pen 1, one move from (0, 10) to (3, 8), right button: the right colour.
  Canvas d(8, 12);
  d.Use(kToolFree, 1, 2, 0);
  d.Press({0, 10}, true);
  EXPECT_EQ(PixelsOf(d.picture, 2), (std::vector<Point>{{0, 10}}));
  step = d.Move({3, 8});
  EXPECT_EQ(step.rect, (Rect{0, 8, 4, 3}));
  EXPECT_EQ(PixelsOf(d.picture, 2), (std::vector<Point>{{3, 8}, {2, 9}, {0, 10}, {1, 10}}));
  // Moves and releases outside the picture change nothing; what the stroke
  // drew is still the gesture's change.
  EXPECT_EQ(d.Move({-5, 40}).present, Present::Nothing);
  step = d.Release({100, 3});
  EXPECT_EQ(step.present, Present::Nothing);
  EXPECT_TRUE(step.committed);
  EXPECT_FALSE(d.session.Dragging());
  EXPECT_EQ(PixelsOf(d.picture, 2).size(), 4u);
  EXPECT_EQ(d.Press({8, 0}).present, Present::Nothing);
  EXPECT_FALSE(d.session.Dragging());
}

TEST(EditToolsTest, RubberBandsPreviewInTheWorkBufferAndCommitOnRelease) {
  for (int tool : {kToolLine, kToolBox}) {
    Canvas c(20, 20);
    c.Use(tool, 5, 6, 0);
    c.Press({2, 2});
    c.Move({12, 12});
    const ToolStep back = c.Move({4, 4});
    // The picture is untouched; the shown rectangle holds the old band.
    EXPECT_TRUE(PixelsOf(c.picture, 5).empty()) << tool;
    EXPECT_EQ(back.present, Present::FromWork);
    EXPECT_EQ(back.rect, (Rect{2, 2, 11, 11})) << tool;
    EXPECT_EQ(c.work.At(12, 12), 255) << tool;
    // The release shows the union of the last preview and the final shape.
    const ToolStep done = c.Release({6, 3});
    EXPECT_EQ(done.present, Present::FromPicture);
    EXPECT_TRUE(done.committed);
    EXPECT_EQ(done.rect, (Rect{2, 2, 5, 3})) << tool;
    EXPECT_EQ(c.picture.At(6, 3), 5) << tool;
    EXPECT_EQ(c.picture.At(4, 4), 255) << tool;
  }
  // A release outside commits nothing but takes the preview back.
  Canvas c(20, 20);
  c.Use(kToolBox, 5, 6, 0);
  c.Press({2, 2});
  c.Move({9, 9});
  const ToolStep dropped = c.Release({30, 30});
  EXPECT_EQ(dropped.present, Present::FromPicture);
  EXPECT_FALSE(dropped.committed);
  EXPECT_EQ(dropped.rect, (Rect{2, 2, 8, 8}));
  EXPECT_TRUE(PixelsOf(c.picture, 5).empty());
}

TEST(EditToolsTest, EraserAndFillsChangeOnlyTheirColours) {
  Canvas c(6, 1);
  for (int x = 0; x < 6; ++x) c.picture.At(x, 0) = x % 2 ? 1 : 2;
  c.Use(kToolEraser, 1, 2, 6);  // pen 32 covers the row
  c.Press({3, 0});
  EXPECT_EQ(RowOf(c.picture, 0), (std::vector<int>{2, 2, 2, 2, 2, 2}));
  c.Release({3, 0});
  // The left button over right-colour pixels leaves them.
  c.Press({3, 0});
  EXPECT_EQ(RowOf(c.picture, 0), (std::vector<int>{2, 2, 2, 2, 2, 2}));

  Canvas checker(4, 4);
  for (int y = 0; y < 4; ++y)
    for (int x = 0; x < 4; ++x) checker.picture.At(x, y) = (x + y) % 2 ? 10 : 20;
  checker.Use(kToolFill, 30, 40);
  const ToolStep fill = checker.Press({1, 1});
  EXPECT_EQ(fill.present, Present::WholeView);
  EXPECT_TRUE(fill.committed);
  EXPECT_FALSE(checker.session.Dragging());
  EXPECT_EQ(PixelsOf(checker.picture, 30), (std::vector<Point>{{1, 1}}));
}

TEST(EditToolsTest, GradientsStepThroughTheArrangement) {
  SwatchArrangement order{};
  for (int i = 0; i < 256; ++i) order[i] = (i * 7) % 256;  // a permutation
  struct Case {
    int startPosition, endPosition;
    std::vector<int> positions;
  };
  const Case cases[] = {{20, 24, {20, 20, 21, 21, 22, 22, 23, 23, 24, 24}},
                        {24, 20, {24, 24, 23, 23, 22, 22, 21, 21, 20, 20}}};
  for (const Case& k : cases) {
    Canvas c(10, 3, 1);
    c.Use(kToolGradientHorizontal, static_cast<std::uint8_t>(order[k.startPosition]),
          static_cast<std::uint8_t>(order[k.endPosition]));
    c.ink.order = &order;
    c.Press({4, 1});
    for (int x = 0; x < 10; ++x) EXPECT_EQ(c.picture.At(x, 0), order[k.positions[x]]) << x;
  }
  // Vertical: the left colour on the bottom row, the right one at the top.
  Canvas v(3, 10, 1);
  v.Use(kToolGradientVertical, 20, 24);
  v.Press({1, 1});
  EXPECT_EQ(v.picture.At(0, 9), 20);
  EXPECT_EQ(v.picture.At(0, 0), 24);
  // A seed that already has the colour changes nothing.
  Canvas same(5, 5, 20);
  same.Use(kToolGradientVertical, 20, 24);
  const ToolStep none = same.Press({1, 1});
  EXPECT_EQ(none.present, Present::Nothing);
  EXPECT_FALSE(none.committed);
  EXPECT_EQ(PixelsOf(same.picture, 20).size(), 25u);
}

TEST(EditToolsTest, MoveToolPlacesThePictureCentredOnThePointer) {
  Canvas c(100, 80, 9);  // corners 9: the background colour
  for (int y = 40; y < 80; ++y)
    for (int x = 50; x < 100; ++x) c.picture.At(x, y) = static_cast<std::uint8_t>(x + y);
  c.picture.At(99, 79) = 9;
  c.Use(kToolMove, 249, 252);
  c.Press({50, 40});
  c.Move({0, 0});
  EXPECT_TRUE(c.Release({0, 0}).committed);
  EXPECT_EQ(c.picture.At(0, 0), 90);
  EXPECT_EQ(c.picture.At(48, 38), 98 + 78);
  EXPECT_EQ(c.picture.At(50, 0), 9);
  EXPECT_EQ(c.picture.At(0, 40), 9);
  // The right button does nothing here (its owner turns the picture).
  EXPECT_EQ(c.Press({5, 5}, true).present, Present::Nothing);
  EXPECT_FALSE(c.session.Dragging());
}

TEST(EditToolsTest, SprayPaintsAboutOneCellInEightAndFollowsItsSeed) {
  std::uint64_t tick = 0;
  auto clock = [&tick] { return tick++; };
  auto spray = [&](std::uint64_t start) {
    tick = start;
    SprayGenerator generator(clock);
    IndexedImage image;
    CreateImage(64, 64, image);
    FillImage(image, 0);
    for (int k = 0; k < 50; ++k) StampSpray(image, 32, 32, 1, 6, generator);
    return image;
  };
  const IndexedImage a = spray(1), b = spray(1), c = spray(1000);
  EXPECT_EQ(a.pixels, b.pixels);
  EXPECT_NE(a.pixels, c.pixels);
  // 50 stamps at 513/4096 cover 1 − (1 − 0.125)^50 ≈ 99.9 % of the disc.
  int painted = 0;
  for (auto p : a.pixels) painted += p;
  EXPECT_GT(painted, 700);
  EXPECT_LE(painted, 804);
  // One stamp paints about 513/4096 of the cells.
  tick = 7;
  SprayGenerator one(clock);
  IndexedImage image;
  CreateImage(64, 64, image);
  FillImage(image, 0);
  StampSpray(image, 32, 32, 1, 6, one);
  int once = 0;
  for (auto p : image.pixels) once += p;
  EXPECT_GT(once, 60);
  EXPECT_LT(once, 150);
  // A clock stuck on one value still ends the reseeding loop.
  SprayGenerator stuck([] { return std::uint64_t{42}; });
  StampSpray(image, 3, 3, 2, 6, stuck);
  StampSpray(image, 3, 3, 2, 6, stuck);
  SprayGenerator reference;
  reference.Seed(42);
  EXPECT_EQ(stuck.Kept(), reference.Draw());
}

TEST(EditViewTest, ScrollMaximaAndTheCappedOrigin) {
  EXPECT_EQ(ScrollMaximum(256, 100, 4), 18);
  EXPECT_EQ(ScrollMaximum(240, 50, 4), 0);
  EXPECT_EQ(ScrollMaximum(256, 256, 8), 112);
  EXPECT_EQ(ScrollMaximum(240, 240, 8), 105);
  EditView view = ComputeEditView(256, 240, 256, 240, 8, 112, 105);
  EXPECT_EQ(view.PictureArea(), (Rect{224, 210, 32, 30}));
  // An odd width: the last step would pass the edge; the origin stops there.
  view = ComputeEditView(33, 31, 256, 240, 8, ScrollMaximum(256, 33, 8), ScrollMaximum(240, 31, 8));
  EXPECT_EQ(view.PictureArea(), (Rect{1, 1, 32, 30}));
  EXPECT_EQ(view.ToPicture(-1, -9), (Point{0, -1}));
  EXPECT_EQ(view.ToPicture(255, 239), (Point{32, 30}));
}

TEST(EditViewTest, PartialPresentsMatchAWholeRecompose) {
  IndexedImage picture;
  CreateImage(37, 29, picture);
  for (int y = 0; y < 29; ++y)
    for (int x = 0; x < 37; ++x) picture.At(x, y) = static_cast<std::uint8_t>((x * 3 + y * 5) % 11 == 0 ? 7 : x + y);
  for (int zoom : {4, 8}) {
    const EditView view = ComputeEditView(37, 29, 256, 240, zoom, 1, 2);
    IndexedImage magnified, screen, wholeScreen;
    for (IndexedImage* image : {&magnified, &screen, &wholeScreen}) {
      CreateImage(256, 240, *image);
      FillImage(*image, 7);
    }
    // The whole view: a scaled copy and the full grid.
    StretchRegion(wholeScreen, 0, 0, view.shownWidth, view.shownHeight, picture, view.originX, view.originY,
                  view.shownWidth / zoom, view.shownHeight / zoom, kNoTransparent);
    DrawFrameGrid(wholeScreen, 0, 0, zoom, 7, 37 * zoom, 29 * zoom);
    // The same view built from small rectangles, each with its grid.
    for (int y = 0; y < 29; y += 3)
      for (int x = 0; x < 37; x += 5) PresentPictureRect(view, zoom, true, picture, {x, y, 5, 3}, magnified, screen);
    EXPECT_EQ(screen.pixels, wholeScreen.pixels) << zoom;
  }
  // Centre lines over a rectangle only.
  IndexedImage full, parts;
  for (IndexedImage* image : {&full, &parts}) {
    CreateImage(64, 48, *image);
    FillImage(*image, 7);
  }
  DrawFrameGrid(full, 0, 0, 1, 7, 60, 40);
  for (int y = 0; y < 48; y += 7)
    for (int x = 0; x < 64; x += 9) DrawGridOver(parts, 1, 60, 40, {x, y, 9, 7});
  EXPECT_EQ(parts.pixels, full.pixels);
}

TEST(EditCommandsTest, TransformsGiveTheirPixels) {
  auto make = [](std::initializer_list<std::initializer_list<int>> rows) {
    IndexedImage image;
    CreateImage(static_cast<int>(rows.begin()->size()), static_cast<int>(rows.size()), image);
    int y = 0;
    for (auto row : rows) {
      int x = 0;
      for (int v : row) image.At(x++, y) = static_cast<std::uint8_t>(v);
      ++y;
    }
    return image;
  };
  IndexedImage work;
  struct Case {
    const char* name;
    std::function<void(IndexedImage&)> command;
    std::vector<int> before, after;
  };
  const Case rows[] = {
      {"mirror 5", [&](IndexedImage& i) { MirrorLeftToRight(i, work); }, {1, 2, 3, 4, 5}, {1, 2, 3, 2, 5}},
      {"mirror 4", [&](IndexedImage& i) { MirrorLeftToRight(i, work); }, {1, 2, 3, 4}, {1, 2, 2, 1}},
      {"shift left",
       [&](IndexedImage& i) { ShiftOnePixel(i, work, ShiftDirection::Left); },
       {1, 2, 3, 4},
       {2, 3, 4, 4}},
      {"shift right",
       [&](IndexedImage& i) { ShiftOnePixel(i, work, ShiftDirection::Right); },
       {1, 2, 3, 4},
       {1, 1, 2, 3}},
      {"flip", [&](IndexedImage& i) { FlipPictureLeftRight(i, work); }, {1, 2, 3, 4}, {4, 3, 2, 1}},
  };
  for (const Case& k : rows) {
    IndexedImage image;
    CreateImage(static_cast<int>(k.before.size()), 1, image);
    for (std::size_t x = 0; x < k.before.size(); ++x)
      image.At(static_cast<int>(x), 0) = static_cast<std::uint8_t>(k.before[x]);
    k.command(image);
    EXPECT_EQ(RowOf(image, 0), k.after) << k.name;
  }
  // Rotate 4 × 2: the left square turns clockwise, the rest is background.
  IndexedImage r = make({{1, 2, 5, 5}, {3, 4, 6, 5}});
  RotatePictureQuarter(r, work);
  EXPECT_EQ(RowOf(r, 0), (std::vector<int>{3, 1, 5, 5}));
  EXPECT_EQ(RowOf(r, 1), (std::vector<int>{4, 2, 5, 5}));
  // Four quarter turns restore an odd square.
  IndexedImage square = make({{1, 2, 3}, {4, 5, 6}, {7, 8, 9}});
  for (int k = 0; k < 4; ++k) RotatePictureQuarter(square, work);
  EXPECT_EQ(RowOf(square, 1), (std::vector<int>{4, 5, 6}));
  // Up and down: the top half mirrored onto the bottom half.
  IndexedImage tall = make({{1}, {2}, {3}, {4}});
  MirrorTopToBottom(tall, work);
  EXPECT_EQ(tall.At(0, 2), 2);
  EXPECT_EQ(tall.At(0, 3), 1);
  // The lower-right shadow of one pixel.
  IndexedImage shadow;
  CreateImage(6, 6, shadow);
  FillImage(shadow, 3);
  shadow.At(2, 2) = 8;
  ShadowCopy(shadow, work, false, 200);
  EXPECT_EQ(shadow.At(2, 2), 8);
  EXPECT_EQ(shadow.At(3, 3), 200);
  int changed = 0;
  for (auto p : shadow.pixels) changed += p != 3;
  EXPECT_EQ(changed, 2);
}

TEST(EditCommandsTest, EnlargeAndShrinkKeepTheirLimits) {
  IndexedImage picture, work;
  struct Case {
    int w, h;
    bool enlarge, shrink;
  };
  for (const Case& k : {Case{128, 120, true, true}, Case{129, 10, false, false}, Case{47, 100, true, false},
                        Case{48, 48, true, true}}) {
    CreateImage(k.w, k.h, picture);
    EXPECT_EQ(CanEnlarge(picture), k.enlarge) << k.w << "x" << k.h;
    EXPECT_EQ(CanShrink(picture), k.shrink) << k.w << "x" << k.h;
  }
  CreateImage(48, 48, picture);
  picture.At(47, 47) = 5;
  EXPECT_TRUE(EnlargePicture(picture, work));
  EXPECT_EQ(picture.ImageWidth(), 96);
  EXPECT_EQ(picture.At(95, 94), 5);
  EXPECT_EQ(work.ImageWidth(), 96);
  EXPECT_TRUE(ShrinkPicture(picture, work));
  EXPECT_TRUE(ShrinkPicture(picture, work));
  EXPECT_EQ(picture.ImageWidth(), 24);
  EXPECT_FALSE(ShrinkPicture(picture, work));
  IndexedImage none;
  EXPECT_FALSE(EnlargePicture(none, work));
}

}  // namespace
}  // namespace zudizar

#include "core/swatch_grid.h"

#include <gtest/gtest.h>

#include "support/test_support.h"

namespace zudizar {
namespace {

TEST(SwatchGridTest, GridHas32By8SwatchesOf16Pixels) {
  EXPECT_EQ(SwatchPositionAt(0, 0), 0);
  EXPECT_EQ(SwatchPositionAt(15, 15), 0);
  EXPECT_EQ(SwatchPositionAt(16, 0), 1);
  EXPECT_EQ(SwatchPositionAt(0, 16), 32);
  EXPECT_EQ(SwatchPositionAt(511, 127), 255);
  for (auto [x, y] : {std::pair{512, 0}, {0, 128}, {-1, 5}, {5, -1}}) EXPECT_EQ(SwatchPositionAt(x, y), -1);

  SwatchArrangement a = IdentityArrangement();
  a[33] = -2;    // low 8 bits: 254
  a[255] = 256;  // low 8 bits: 0
  IndexedImage grid;
  ASSERT_EQ(CreateImage(kSwatchGridWidth, kSwatchGridHeight, grid), 1);
  DrawSwatchGrid(grid, a);
  EXPECT_EQ(grid.At(16 * 5 + 7, 0), 5);
  EXPECT_EQ(grid.At(16 + 15, 16 + 15), 254);
  EXPECT_EQ(grid.At(511, 127), 0);
}

TEST(SwatchGridTest, DragStepRestoresTheOldPlaceAndPresentsOnlyTheUnion) {
  IndexedImage grid, display, swatch;
  ASSERT_EQ(CreateImage(kSwatchGridWidth, kSwatchGridHeight, grid), 1);
  DrawSwatchGrid(grid, IdentityArrangement());
  ASSERT_EQ(CreateImage(kSwatchGridWidth, kSwatchGridHeight, display), 1);
  CopyImage(display, grid, kNoTransparent);
  ASSERT_EQ(CreateImage(16, 16, swatch), 1);
  FillImage(swatch, 77);

  struct Step {
    int x, y;
    Point corner;
    Rect presented;
  };
  // Pressed at (3, 4): the first move restores around the press point.
  Point drag{3, 4};
  const Step steps[] = {
      {40, 30, {32, 22}, {3, 4, 45, 34}},         {44, 30, {36, 22}, {32, 22, 20, 16}},
      {510, 126, {496, 112}, {36, 22, 476, 106}},  // kept inside the area
      {-30, -30, {0, 0}, {0, 0, 512, 128}},       {600, 300, {496, 112}, {0, 0, 512, 128}},
  };
  for (const Step& s : steps) {
    const Rect presented = MoveSwatchDrag(display, grid, swatch, drag, s.x, s.y);
    EXPECT_EQ(drag, s.corner) << s.x << "," << s.y;
    EXPECT_EQ(presented, s.presented) << s.x << "," << s.y;
  }
  // Everything but the drag image shows the grid again.
  for (int y = 0; y < kSwatchGridHeight; ++y)
    for (int x = 0; x < kSwatchGridWidth; ++x) {
      const bool underDrag = x >= 496 && y >= 112;
      ASSERT_EQ(display.At(x, y), underDrag ? 77 : grid.At(x, y)) << x << "," << y;
    }
}

TEST(SwatchGridTest, DropExchangesTwoPlacesOnlyOnTheGrid) {
  struct Case {
    int source;
    Point dragPoint;
    int x, y;
    bool exchanged;
  };
  const Case cases[] = {
      {0, {1, 1}, 16 + 5, 16 + 5, true},  // onto 33
      {0, {21, 21}, 21, 21, false},       // released where the drag point is
      {0, {1, 1}, 512, 20, false},        // right of the grid
      {0, {1, 1}, 20, 128, false},        // below it
      {0, {1, 1}, -1, 20, false},         // left of it
      {5, {1, 1}, 16 * 5 + 3, 2, false},  // onto itself
  };
  for (const Case& c : cases) {
    SwatchArrangement a = IdentityArrangement();
    EXPECT_EQ(DropSwatch(a, c.source, c.dragPoint, c.x, c.y), c.exchanged) << c.x << "," << c.y;
    SwatchArrangement expected = IdentityArrangement();
    if (c.exchanged) std::swap(expected[0], expected[33]);
    EXPECT_EQ(a, expected);
  }
}

TEST(SwatchGridTest, BackgroundIsAPlainColourOrAGradientAlongTheArrangement) {
  IndexedImage picture, spare;
  // Horizontal through a rearranged order: positions 0 … 3 show 9, 8, 7, 6.
  SwatchArrangement a = IdentityArrangement();
  a[0] = 9, a[1] = 8, a[2] = 7, a[3] = 6, a[6] = 0, a[7] = 1, a[8] = 2, a[9] = 3;
  ASSERT_EQ(CreateImage(8, 2, picture), 1);
  ASSERT_EQ(CreateImage(8, 2, spare), 1);
  FillBackground(picture, spare, 9, 6, true, a);
  EXPECT_EQ(spare.At(0, 0), 6);  // the spare ends holding the picture filled with R
  EXPECT_EQ(testing::Pixels(picture),
            (std::vector<std::vector<int>>{{9, 9, 8, 8, 7, 7, 6, 6}, {9, 9, 8, 8, 7, 7, 6, 6}}));

  // A spare of another size still gives the gradient over the whole picture.
  ASSERT_EQ(CreateImage(3, 1, spare), 1);
  FillBackground(picture, spare, 9, 6, true, a);
  EXPECT_EQ(testing::Pixels(picture),
            (std::vector<std::vector<int>>{{9, 9, 8, 8, 7, 7, 6, 6}, {9, 9, 8, 8, 7, 7, 6, 6}}));

  // One colour: no gradient.
  FillBackground(picture, spare, 42, 42, true, a);
  for (auto p : picture.pixels) ASSERT_EQ(p, 42);
}

}  // namespace
}  // namespace zudizar

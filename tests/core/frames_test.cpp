#include "core/frames.h"

#include <gtest/gtest.h>

#include <random>
#include <set>
#include <vector>

#include "core/jigsaw.h"
#include "core/region.h"
#include "core/transfer.h"
#include "support/test_support.h"

namespace zudizar {
namespace {

using testing::MakeImage;
using testing::Pixels;
using Grid = std::vector<std::vector<int>>;

// A picture whose every pixel is distinct enough to tell cells apart.
void Patterned(IndexedImage& image, int w, int h) {
  ASSERT_EQ(CreateImage(w, h, image), 1);
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) image.At(x, y) = static_cast<std::uint8_t>((x * 7 + y * 13) % 251);
}

Grid CellPixels(const IndexedImage& image, Rect r) {
  Grid g(r.height, std::vector<int>(r.width));
  for (int y = 0; y < r.height; ++y)
    for (int x = 0; x < r.width; ++x) g[y][x] = image.At(r.x + x, r.y + y);
  return g;
}

Grid Turned(const Grid& g) {  // a quarter counter-clockwise
  const int n = static_cast<int>(g.size());
  Grid out(n, std::vector<int>(n));
  for (int y = 0; y < n; ++y)
    for (int x = 0; x < n; ++x) out[n - 1 - x][y] = g[y][x];
  return out;
}

TEST(FramesTest, SnappingFollowsFrameAndHalfOffsets) {
  struct Case {
    int frame;
    bool left, up;
    Point in, out;
  } cases[] = {
      {32, false, false, {70, 10}, {64, 0}}, {32, true, false, {70, 10}, {48, 0}},
      {32, true, true, {70, 10}, {48, -16}}, {0, true, true, {70, 10}, {70, 10}},
      {1, false, false, {70, 10}, {70, 10}}, {48, false, false, {-10, 47}, {0, 0}},
  };
  for (const Case& c : cases) EXPECT_EQ(SnapPoint(c.in, c.frame, c.left, c.up), c.out) << c.frame << c.left << c.up;
  EXPECT_EQ(CellRect({400, 10}, 1, 640, 401), (Rect{320, 0, 320, 200}));
  EXPECT_EQ(CellRect({-16, 8}, 32, 640, 400), (Rect{-16, 8, 32, 32}));
}

TEST(FramesTest, CellsOutsideThePictureReadAndWriteOnlyInside) {
  IndexedImage picture, piece;
  MakeImage(picture, {{1, 2, 3}, {4, 5, 6}});
  // A cell moved half out at the top-left: the outside part is background.
  TakeCell(piece, picture, {-1, -1, 2, 2}, 9);
  EXPECT_EQ(Pixels(piece), (Grid{{9, 9}, {9, 1}}));
  // Written back at the bottom-right, only the inside pixel changes.
  PutCell(picture, {2, 1, 2, 2}, piece);
  EXPECT_EQ(Pixels(picture), (Grid{{1, 2, 3}, {4, 5, 9}}));
  // Far outside: nothing read, nothing written.
  TakeCell(piece, picture, {5000, -5000, 2, 2}, 7);
  EXPECT_EQ(Pixels(piece), (Grid{{7, 7}, {7, 7}}));
  PutCell(picture, {-5000, 5000, 2, 2}, piece);
  FillClipped(picture, {3, 0, 10, 10}, 0);  // wholly right of the picture
  EXPECT_EQ(Pixels(picture), (Grid{{1, 2, 3}, {4, 5, 9}}));
}

TEST(FramesTest, ShiftMovesThePictureAndFillsTheUncoveredPart) {
  IndexedImage source, shifted;
  Patterned(source, 40, 20);
  ASSERT_EQ(CreateImage(40, 20, shifted), 1);
  for (const Point d : {Point{10, 0}, Point{-7, 3}, Point{0, -19}, Point{45, 0}, Point{0, 0}}) {
    ShiftPicture(shifted, source, d.x, d.y, 200);
    for (int y = 0; y < 20; ++y)
      for (int x = 0; x < 40; ++x) {
        const int sx = x - d.x, sy = y - d.y;
        const int want = sx >= 0 && sx < 40 && sy >= 0 && sy < 20 ? source.At(sx, sy) : 200;
        ASSERT_EQ(shifted.At(x, y), want) << d.x << "," << d.y << " at " << x << "," << y;
      }
  }
}

TEST(FramesTest, GridOverARectangleMatchesTheWholeGrid) {
  std::mt19937 rng(5);
  for (int spacing : {1, 24, 32, 48}) {
    for (int offset : {0, spacing / 2}) {
      IndexedImage whole, part;
      Patterned(whole, 101, 77);
      whole.At(10, 24) = 248;  // an outline pixel on a horizontal line
      Patterned(part, 101, 77);
      part.At(10, 24) = 248;
      DrawFrameGrid(whole, offset, offset, spacing, 248, 101, 77);
      // Grids drawn piece by piece over disjoint rectangles give the same picture.
      for (int top = 0; top < 77; top += 11)
        for (int left = 0; left < 101; left += 17)
          DrawFrameGridRect(part, offset, offset, spacing, 248, 101, 77, {left, top, 17, 11});
      EXPECT_EQ(Pixels(part), Pixels(whole)) << spacing << " " << offset;
    }
  }
}

TEST(TransferTest, ClampingAndEdgeCutColour) {
  // (630, 390) into a 100 × 100 edit picture from 640 × 400: a 10 × 10 region.
  EXPECT_EQ(ClampTransfer(630, 390, 100, 100, 640, 400, 100, 100), (Rect{630, 390, 10, 10}));
  // Height comes before width.
  EXPECT_EQ(ClampTransfer(0, 0, 30, 50, 640, 400, 256, 240), (Rect{0, 0, 50, 30}));
  EXPECT_EQ(ClampTransfer(-5, -9, 0, 0, 640, 400, 256, 240), (Rect{0, 0, 1, 1}));
  EXPECT_EQ(ClampTransfer(9999, 9999, 240, 256, 640, 400, 256, 240), (Rect{639, 399, 1, 1}));
  IndexedImage source;
  MakeImage(source, {{5, 1, 7}, {7, 2, 9}});  // TL 5, TR 7, BL 7, BR 9
  EXPECT_EQ(TransferTransparent(kCopyFromMainEdgeCut, source), 7);
  EXPECT_EQ(TransferTransparent(kCopyToMainEdgeCut, source), 7);
  EXPECT_EQ(TransferTransparent(kCopyFromMain, source), kNoTransparent);
  EXPECT_EQ(TransferTransparent(kCutFromMain, source), kNoTransparent);
}

TEST(JigsawTest, ShuffleTurnsAndMovesWholeCellsOnly) {
  IndexedImage picture, before;
  Patterned(picture, 640, 400);
  Patterned(before, 640, 400);
  const JigsawGrid grid = JigsawGrid::Over(64, 640, 400);
  ASSERT_EQ(grid.Cells(), 60);
  int steps = 0;
  ShuffleJigsaw(picture, grid, SeededJigsawRandom(42), [&](int, int) { ++steps; });
  EXPECT_EQ(steps, 60);
  EXPECT_FALSE(SamePixels(picture, before));
  // The bottom 16 rows are never touched.
  EXPECT_EQ(CellPixels(picture, {0, 384, 640, 16}), CellPixels(before, {0, 384, 640, 16}));
  // Every cell is some cell turned by 0, 90, 180 or 270 degrees.
  std::set<Grid> turnedCells;
  for (int k = 0; k < 60; ++k) {
    Grid g = CellPixels(before, grid.Cell(k));
    for (int t = 0; t < 4; ++t, g = Turned(g)) turnedCells.insert(g);
  }
  for (int k = 0; k < 60; ++k) EXPECT_TRUE(turnedCells.count(CellPixels(picture, grid.Cell(k)))) << k;
  // The same seed gives the same shuffle.
  IndexedImage again;
  Patterned(again, 640, 400);
  ShuffleJigsaw(again, grid, SeededJigsawRandom(42));
  EXPECT_TRUE(SamePixels(again, picture));
  // A picture smaller than a cell has no cells.
  EXPECT_EQ(JigsawGrid::Over(48, 47, 400).Cells(), 0);
}

}  // namespace
}  // namespace zudizar

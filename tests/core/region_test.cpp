#include "core/region.h"

#include <gtest/gtest.h>

#include <random>
#include <vector>

#include "support/test_support.h"

namespace zudizar {
namespace {

using testing::MakeImage;
using testing::Pixels;
using Grid = std::vector<std::vector<int>>;

class RegionTest : public testing::PaletteReset {};

Grid Filled(int w, int h, int value) { return Grid(h, std::vector<int>(w, value)); }

Grid RandomGrid(std::mt19937& rng, int w, int h) {
  Grid g(h, std::vector<int>(w));
  std::uniform_int_distribution<int> colour(0, 255);
  for (auto& row : g)
    for (auto& p : row) p = colour(rng);
  return g;
}

// ---- CopyRegion ----

TEST_F(RegionTest, CopyRegionHonoursTheTransparentIndex) {
  IndexedImage source, destination;
  MakeImage(source, {{1, 5, 2}, {5, 3, 5}});
  MakeImage(destination, Filled(4, 3, 9));
  EXPECT_EQ(CopyRegion(destination, 1, 1, source, 0, 0, 3, 2, 5), 1);
  EXPECT_EQ(Pixels(destination), (Grid{{9, 9, 9, 9}, {9, 1, 9, 2}, {9, 9, 3, 9}}));
  EXPECT_EQ(CopyRegion(destination, 1, 1, source, 0, 0, 3, 2, kNoTransparent), 1);
  EXPECT_EQ(Pixels(destination), (Grid{{9, 9, 9, 9}, {9, 1, 5, 2}, {9, 5, 3, 5}}));
}

TEST_F(RegionTest, CopyRegionClippedAtTheLeftOrTopDropsThePiecesFarPart) {
  // A 10 × 10 piece at dx = −3 shows its columns 0 … 6 in columns 0 … 6.
  IndexedImage piece, canvas;
  Grid g(10, std::vector<int>(10));
  for (int y = 0; y < 10; ++y)
    for (int x = 0; x < 10; ++x) g[y][x] = 10 * y + x;
  MakeImage(piece, g);
  ASSERT_EQ(CreateImage(12, 12, canvas), 1);
  FillImage(canvas, 255);
  EXPECT_EQ(CopyRegion(canvas, -3, -2, piece, 0, 0, 10, 10, kNoTransparent), 1);
  for (int y = 0; y < 12; ++y)
    for (int x = 0; x < 12; ++x) {
      const int expected = (x <= 6 && y <= 7) ? 10 * y + x : 255;
      ASSERT_EQ(canvas.At(x, y), expected) << x << "," << y;
    }
}

TEST_F(RegionTest, CopyRegionClipsRightAndBottomAndNeverReadsOutsideTheSource) {
  IndexedImage source, destination;
  MakeImage(source, {{1, 2}, {3, 4}});
  MakeImage(destination, Filled(3, 3, 0));
  // Cut at the destination's right and bottom edges.
  CopyRegion(destination, 2, 2, source, 0, 0, 2, 2, kNoTransparent);
  EXPECT_EQ(Pixels(destination), (Grid{{0, 0, 0}, {0, 0, 0}, {0, 0, 1}}));
  // A request larger than the source stops at the source's edges.
  FillImage(destination, 0);
  CopyRegion(destination, 0, 0, source, 1, 0, 3, 3, kNoTransparent);
  EXPECT_EQ(Pixels(destination), (Grid{{2, 0, 0}, {4, 0, 0}, {0, 0, 0}}));
  // Starts above or left of the source are clamped to its first row and column.
  FillImage(destination, 0);
  CopyRegion(destination, 0, 0, source, -4, -1, 2, 2, kNoTransparent);
  EXPECT_EQ(Pixels(destination), (Grid{{1, 2, 0}, {3, 4, 0}, {0, 0, 0}}));
  // Wholly right of the destination: the defined clipping still touches the
  // last column.
  FillImage(destination, 0);
  CopyRegion(destination, 7, 1, source, 0, 0, 2, 1, kNoTransparent);
  EXPECT_EQ(Pixels(destination), (Grid{{0, 0, 0}, {0, 0, 1}, {0, 0, 0}}));

  IndexedImage empty;
  EXPECT_EQ(CopyRegion(empty, 0, 0, source, 0, 0, 2, 2, kNoTransparent), 0);
  EXPECT_EQ(CopyRegion(destination, 0, 0, empty, 0, 0, 2, 2, kNoTransparent), 0);
}

TEST_F(RegionTest, CopyRegionWithinOneImageReadsTheOldPixels) {
  IndexedImage image;
  MakeImage(image, {{1, 2, 3, 4}});
  CopyRegion(image, 1, 0, image, 0, 0, 3, 1, kNoTransparent);
  EXPECT_EQ(Pixels(image), (Grid{{1, 1, 2, 3}}));
}

// ---- StretchRegion ----

TEST_F(RegionTest, StretchRepeatsPixelsAndMirrorsWithNegativeSizes) {
  IndexedImage source, destination;
  MakeImage(source, {{1, 2}, {3, 4}});
  MakeImage(destination, Filled(4, 4, 0));
  EXPECT_EQ(StretchRegion(destination, 0, 0, 4, 4, source, 0, 0, 2, 2, kNoTransparent), 1);
  EXPECT_EQ(Pixels(destination), (Grid{{1, 1, 2, 2}, {1, 1, 2, 2}, {3, 3, 4, 4}, {3, 3, 4, 4}}));
  StretchRegion(destination, 4, 0, -4, 4, source, 0, 0, 2, 2, kNoTransparent);
  EXPECT_EQ(Pixels(destination), (Grid{{2, 2, 1, 1}, {2, 2, 1, 1}, {4, 4, 3, 3}, {4, 4, 3, 3}}));
  StretchRegion(destination, 0, 4, 4, -4, source, 0, 0, 2, 2, 1);  // 1 is transparent
  EXPECT_EQ(Pixels(destination), (Grid{{3, 3, 4, 4}, {3, 3, 4, 4}, {4, 4, 2, 2}, {4, 4, 2, 2}}));
}

TEST_F(RegionTest, StretchPicksRowsCountedFromTheBottom) {
  // Three rows onto two: rows 0 and 1 counted upward from the bottom, that is
  // source rows 2 and 1. Three columns onto two: columns 0 and 1.
  IndexedImage source, destination;
  MakeImage(source, {{1, 2, 3}, {4, 5, 6}, {7, 8, 9}});
  MakeImage(destination, Filled(2, 2, 0));
  StretchRegion(destination, 0, 0, 2, 2, source, 0, 0, 3, 3, kNoTransparent);
  EXPECT_EQ(Pixels(destination), (Grid{{4, 5}, {7, 8}}));
  // Mirrored top–bottom, rows are counted downward from the source's top.
  StretchRegion(destination, 0, 2, 2, -2, source, 0, 0, 3, 3, kNoTransparent);
  EXPECT_EQ(Pixels(destination), (Grid{{4, 5}, {1, 2}}));
}

TEST_F(RegionTest, StretchScalesOntoTheClippedDestinationFromTheClampedSource) {
  IndexedImage source, destination;
  MakeImage(source, {{1, 2}, {3, 4}});
  MakeImage(destination, Filled(3, 2, 0));
  // The source rectangle reaches past the source: only its 2 × 2 part counts,
  // spread over the 3 × 2 destination.
  StretchRegion(destination, 0, 0, 3, 2, source, -1, 0, 6, 5, kNoTransparent);
  EXPECT_EQ(Pixels(destination), (Grid{{1, 1, 2}, {3, 3, 4}}));
  IndexedImage empty;
  EXPECT_EQ(StretchRegion(empty, 0, 0, 2, 2, source, 0, 0, 2, 2, kNoTransparent), 0);
  EXPECT_EQ(StretchRegion(destination, 0, 0, 2, 2, empty, 0, 0, 2, 2, kNoTransparent), 0);
}

TEST_F(RegionTest, MirroredFullStretchEqualsTheReversedPicture) {
  std::mt19937 rng(5);
  for (int trial = 0; trial < 60; ++trial) {
    const int w = std::uniform_int_distribution<int>(1, 23)(rng);
    const int h = std::uniform_int_distribution<int>(1, 23)(rng);
    const Grid g = RandomGrid(rng, w, h);
    IndexedImage source, flipped;
    MakeImage(source, g);
    ASSERT_EQ(CreateImage(w, h, flipped), 1);

    StretchRegion(flipped, w, 0, -w, h, source, 0, 0, w, h, kNoTransparent);
    Grid expected = g;
    for (auto& row : expected) std::reverse(row.begin(), row.end());
    ASSERT_EQ(Pixels(flipped), expected) << w << "x" << h;

    StretchRegion(flipped, 0, h, w, -h, source, 0, 0, w, h, kNoTransparent);
    expected = g;
    std::reverse(expected.begin(), expected.end());
    ASSERT_EQ(Pixels(flipped), expected) << w << "x" << h;

    // The same image as source and destination: a flip in place.
    StretchRegion(source, w, 0, -w, h, source, 0, 0, w, h, kNoTransparent);
    expected = g;
    for (auto& row : expected) std::reverse(row.begin(), row.end());
    ASSERT_EQ(Pixels(source), expected) << w << "x" << h;
  }
}

// ---- RotateImage and RotateRegion ----

TEST_F(RegionTest, RotateImageTurnsQuarters) {
  IndexedImage source, turned;
  MakeImage(source, {{1, 2, 3}, {4, 5, 6}, {7, 8, 9}});
  ASSERT_EQ(CreateImage(3, 3, turned), 1);
  EXPECT_EQ(RotateImage(turned, source, 90), 1);  // counter-clockwise
  EXPECT_EQ(Pixels(turned), (Grid{{3, 6, 9}, {2, 5, 8}, {1, 4, 7}}));
  RotateImage(turned, source, 180);
  EXPECT_EQ(Pixels(turned), (Grid{{9, 8, 7}, {6, 5, 4}, {3, 2, 1}}));
  RotateImage(turned, source, 270);  // clockwise
  EXPECT_EQ(Pixels(turned), (Grid{{7, 4, 1}, {8, 5, 2}, {9, 6, 3}}));
  RotateImage(turned, source, 45);
  EXPECT_EQ(Pixels(turned), Pixels(source));
}

TEST_F(RegionTest, FourQuarterTurnsOrAQuarterAndThreeQuartersRestore) {
  std::mt19937 rng(11);
  for (int n : {1, 2, 3, 7, 31, 32, 33, 65}) {
    IndexedImage a, b;
    MakeImage(a, RandomGrid(rng, n, n));
    const Grid original = Pixels(a);
    ASSERT_EQ(CreateImage(n, n, b), 1);
    for (int i = 0; i < 2; ++i) {
      RotateImage(b, a, 90);
      RotateImage(a, b, 90);
    }
    ASSERT_EQ(Pixels(a), original) << n;
    RotateImage(b, a, 90);
    RotateImage(a, b, 270);
    ASSERT_EQ(Pixels(a), original) << n;
    RotateImage(a, a, 90);  // in place, through a snapshot
    RotateImage(b, a, 270);
    ASSERT_EQ(Pixels(b), original) << n;
  }
}

TEST_F(RegionTest, RotateImageOnUnequalImagesTurnsTheTopLeftSquareOnly) {
  IndexedImage source, destination;
  MakeImage(source, {{1, 2, 3}, {4, 5, 6}});
  MakeImage(destination, Filled(4, 3, 0));
  RotateImage(destination, source, 90);
  EXPECT_EQ(Pixels(destination), (Grid{{2, 5, 0, 0}, {1, 4, 0, 0}, {0, 0, 0, 0}}));
}

TEST_F(RegionTest, RotateRegionTurnsTheSquareClockwiseIntoTheDestination) {
  IndexedImage source, destination;
  MakeImage(source, {{0, 0, 0, 0}, {0, 1, 2, 0}, {0, 3, 4, 0}, {0, 0, 7, 8}});
  MakeImage(destination, Filled(4, 4, 9));
  EXPECT_EQ(RotateRegion(destination, 1, 1, source, 2, 90), 1);
  EXPECT_EQ(Pixels(destination), (Grid{{9, 9, 9, 9}, {9, 3, 1, 9}, {9, 4, 2, 9}, {9, 9, 9, 9}}));
  // A square reaching past both images turns only what lies inside them.
  MakeImage(destination, Filled(4, 4, 9));
  RotateRegion(destination, 2, 2, source, 3, 90);
  // Source pixel (2 + u, 2 + v) goes to (2 + 2 − v, 2 + u): only v = 1 lies
  // inside both, and u = 0, 1.
  EXPECT_EQ(Pixels(destination), (Grid{{9, 9, 9, 9}, {9, 9, 9, 9}, {9, 9, 9, 7}, {9, 9, 9, 8}}));
}

TEST_F(RegionTest, FourClockwiseRegionTurnsRestoreTheSquare) {
  std::mt19937 rng(3);
  IndexedImage a, b;
  MakeImage(a, RandomGrid(rng, 9, 8));
  const Grid original = Pixels(a);
  MakeImage(b, original);
  for (int i = 0; i < 2; ++i) {
    RotateRegion(b, 2, 1, a, 5, 90);
    RotateRegion(a, 2, 1, b, 5, 90);
  }
  EXPECT_EQ(Pixels(a), original);
  RotateRegion(b, 2, 1, a, 5, 90);
  RotateRegion(a, 2, 1, b, 5, 270);
  EXPECT_EQ(Pixels(a), original);
}

// ---- BackgroundColour ----

TEST_F(RegionTest, BackgroundColourFollowsTheCornerRuleInOrder) {
  struct Case {
    int tl, bl, br, tr, expected;
  };
  const Case cases[] = {
      {1, 2, 3, 2, 2},  // bottom-left shares with top-right
      {1, 2, 3, 4, 1},  // all different: top-left
      {1, 1, 2, 2, 1},  // top-left shared wins over another pair
      {1, 2, 2, 3, 2},  // bottom-left shares with bottom-right
      {1, 2, 3, 3, 3},  // bottom-right shares with top-right
      {1, 2, 3, 1, 1},  // top-left shared with top-right
      {1, 2, 1, 2, 1},  // top-left shared with bottom-right, before bottom-left's pair
  };
  for (const Case& c : cases) {
    IndexedImage image;
    MakeImage(image, {{c.tl, 0, c.tr}, {c.bl, 0, c.br}});
    EXPECT_EQ(BackgroundColour(image), c.expected) << c.tl << c.bl << c.br << c.tr;
  }
  IndexedImage single;
  MakeImage(single, {{6}});
  EXPECT_EQ(BackgroundColour(single), 6);
}

// ---- DrawFrameGrid ----

TEST_F(RegionTest, FrameGridOfTwentyFourOnTheMainCanvas) {
  IndexedImage image;
  ASSERT_EQ(CreateImage(640, 400, image), 1);
  FillImage(image, 255);
  image.At(100, 48) = 248;  // on a horizontal line: becomes 7
  image.At(47, 10) = 248;   // on a vertical line only: stays 248
  DrawFrameGrid(image, 0, 0, 24, 248, 640, 400);
  for (int y = 0; y < 400; ++y)
    for (int x = 0; x < 640; ++x) {
      const bool horizontal = y % 24 == 0 && y != 0;
      const bool vertical = x % 24 == 23 && x <= 623;
      int expected = horizontal || vertical ? 248 : 255;
      if (x == 100 && y == 48) expected = 7;
      ASSERT_EQ(image.At(x, y), expected) << x << "," << y;
    }
}

TEST_F(RegionTest, FrameGridCentreLinesOffsetsAndCoveredArea) {
  IndexedImage image;
  ASSERT_EQ(CreateImage(8, 6, image), 1);
  DrawFrameGrid(image, 0, 0, 1, 5, 8, 6);
  EXPECT_EQ(Pixels(image), (Grid{{0, 0, 0, 5, 0, 0, 0, 0},
                                 {0, 0, 0, 5, 0, 0, 0, 0},
                                 {0, 0, 0, 5, 0, 0, 0, 0},
                                 {5, 5, 5, 5, 5, 5, 5, 5},
                                 {0, 0, 0, 5, 0, 0, 0, 0},
                                 {0, 0, 0, 5, 0, 0, 0, 0}}));

  // Offsets move the lines; the grid covers only the area's 6 × 5 part.
  FillImage(image, 0);
  DrawFrameGrid(image, 2, 1, 3, 5, 6, 5);
  EXPECT_EQ(Pixels(image), (Grid{{0, 5, 0, 0, 5, 0, 0, 0},
                                 {5, 5, 5, 5, 5, 5, 0, 0},
                                 {0, 5, 0, 0, 5, 0, 0, 0},
                                 {0, 5, 0, 0, 5, 0, 0, 0},
                                 {0, 5, 0, 0, 5, 0, 0, 0},
                                 {0, 0, 0, 0, 0, 0, 0, 0}}));

  // A negative spacing counts as 4; spacing 0 draws nothing.
  FillImage(image, 0);
  DrawFrameGrid(image, 0, 0, -7, 5, 8, 6);
  EXPECT_EQ(Pixels(image), (Grid{{0, 0, 0, 5, 0, 0, 0, 0},
                                 {0, 0, 0, 5, 0, 0, 0, 0},
                                 {0, 0, 0, 5, 0, 0, 0, 0},
                                 {0, 0, 0, 5, 0, 0, 0, 0},
                                 {5, 5, 5, 5, 5, 5, 5, 5},
                                 {0, 0, 0, 5, 0, 0, 0, 0}}));
  FillImage(image, 0);
  DrawFrameGrid(image, 0, 0, 0, 5, 8, 6);
  EXPECT_EQ(Pixels(image), Filled(8, 6, 0));
}

}  // namespace
}  // namespace zudizar

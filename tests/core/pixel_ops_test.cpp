#include "core/pixel_ops.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <deque>
#include <random>
#include <vector>

#include "support/test_support.h"

namespace zudizar {
namespace {

using testing::MakeImage;
using testing::Pixels;
using Grid = std::vector<std::vector<int>>;

class PixelOpsTest : public testing::PaletteReset {};

// Plain breadth-first search: the 4-connected pixels of the start pixel's colour.
std::vector<std::vector<bool>> Component(const Grid& g, int sx, int sy) {
  const int h = static_cast<int>(g.size());
  const int w = static_cast<int>(g[0].size());
  std::vector<std::vector<bool>> in(h, std::vector<bool>(w, false));
  const int v = g[sy][sx];
  std::deque<std::pair<int, int>> queue{{sx, sy}};
  in[sy][sx] = true;
  while (!queue.empty()) {
    auto [x, y] = queue.front();
    queue.pop_front();
    const int nx[] = {x, x, x - 1, x + 1};
    const int ny[] = {y + 1, y - 1, y, y};
    for (int i = 0; i < 4; ++i) {
      if (nx[i] < 0 || ny[i] < 0 || nx[i] >= w || ny[i] >= h) continue;
      if (in[ny[i]][nx[i]] || g[ny[i]][nx[i]] != v) continue;
      in[ny[i]][nx[i]] = true;
      queue.push_back({nx[i], ny[i]});
    }
  }
  return in;
}

// A random picture of colours 0 … colours − 1. With `sparse`, three pixels in
// four are 0, which gives the long runs that word-wise scans work on.
Grid RandomGrid(std::mt19937& rng, int maxSide, int colours, bool sparse = false) {
  const int w = std::uniform_int_distribution<int>(1, maxSide)(rng);
  const int h = std::uniform_int_distribution<int>(1, maxSide)(rng);
  Grid g(h, std::vector<int>(w));
  std::uniform_int_distribution<int> colour(0, colours - 1), quarter(0, 3);
  for (auto& row : g)
    for (auto& p : row) p = sparse && quarter(rng) != 0 ? 0 : colour(rng);
  return g;
}

TEST_F(PixelOpsTest, ReadAndWriteClampIntoThePicture) {
  IndexedImage image;
  MakeImage(image, {{1, 2, 3}, {4, 5, 6}});
  EXPECT_EQ(ReadPixel(image, -5, -5), 1);
  EXPECT_EQ(ReadPixel(image, 3 + 3, 2 + 3), 6);
  EXPECT_EQ(ReadPixel(image, 1, -1), 2);
  EXPECT_EQ(ReadPixel(image, -1, 1), 4);
  WritePixel(image, 99, -99, 9);
  WritePixel(image, -1, 1, 8);
  EXPECT_EQ(Pixels(image), (Grid{{1, 2, 9}, {8, 5, 6}}));

  IndexedImage empty;
  EXPECT_EQ(ReadPixel(empty, 0, 0), 0);
  WritePixel(empty, 0, 0, 3);  // nothing to write into
  FloodFill(empty, 0, 0, 3);
  GradientFill(empty, 0, 0, 1, 2, 0, 0, 0, 0, IdentityArrangement());
  EXPECT_FALSE(empty.HasPixels());
}

TEST_F(PixelOpsTest, FloodFillTakesTheFourConnectedRegionOnly) {
  IndexedImage image;
  MakeImage(image, {{0, 0, 1, 0, 0}, {1, 0, 1, 1, 0}, {0, 1, 0, 1, 0}, {0, 0, 1, 0, 0}});
  int left = -1, bottom = -1, right = -1, top = -1;
  FloodFillExtent(image, 0, 0, 7, left, bottom, right, top);
  // (2, 2) touches the region only diagonally and stays.
  EXPECT_EQ(Pixels(image), (Grid{{7, 7, 1, 0, 0}, {1, 7, 1, 1, 0}, {0, 1, 0, 1, 0}, {0, 0, 1, 0, 0}}));
  EXPECT_EQ((std::vector{left, bottom, right, top}), (std::vector{0, 1, 1, 0}));

  // A start outside the picture is clamped: (9, 9) is the bottom-right pixel.
  FloodFillExtent(image, 9, 9, 5, left, bottom, right, top);
  EXPECT_EQ(Pixels(image), (Grid{{7, 7, 1, 5, 5}, {1, 7, 1, 1, 5}, {0, 1, 0, 1, 5}, {0, 0, 1, 5, 5}}));
  EXPECT_EQ((std::vector{left, bottom, right, top}), (std::vector{3, 3, 4, 0}));
}

TEST_F(PixelOpsTest, FillWithTheStartColourChangesNothingAndKeepsTheOutputs) {
  IndexedImage image;
  MakeImage(image, {{3, 3}, {3, 4}});
  int left = -1, bottom = -2, right = -3, top = -4;
  FloodFillExtent(image, 0, 0, 3, left, bottom, right, top);
  FloodFill(image, 1, 1, 4);
  EXPECT_EQ(Pixels(image), (Grid{{3, 3}, {3, 4}}));
  EXPECT_EQ((std::vector{left, bottom, right, top}), (std::vector{-1, -2, -3, -4}));
}

TEST_F(PixelOpsTest, FillRegionEqualsBreadthFirstComponentOnRandomPictures) {
  std::mt19937 rng(1234);
  for (int trial = 0; trial < 3000; ++trial) {
    const Grid g = RandomGrid(rng, trial < 2000 ? 9 : 40, trial % 3 == 0 ? 2 : 3, trial % 4 == 3);
    const int h = static_cast<int>(g.size());
    const int w = static_cast<int>(g[0].size());
    const int sx = std::uniform_int_distribution<int>(0, w - 1)(rng);
    const int sy = std::uniform_int_distribution<int>(0, h - 1)(rng);
    IndexedImage image;
    MakeImage(image, g);
    int left = 0, bottom = 0, right = 0, top = 0;
    FloodFillExtent(image, sx, sy, 9, left, bottom, right, top);

    const auto in = Component(g, sx, sy);
    Grid expected = g;
    int eLeft = w, eRight = -1, eTop = h, eBottom = -1;
    for (int y = 0; y < h; ++y)
      for (int x = 0; x < w; ++x)
        if (in[y][x]) {
          expected[y][x] = 9;
          eLeft = std::min(eLeft, x);
          eRight = std::max(eRight, x);
          eTop = std::min(eTop, y);
          eBottom = std::max(eBottom, y);
        }
    ASSERT_EQ(Pixels(image), expected) << "trial " << trial << " start " << sx << "," << sy;
    ASSERT_EQ((std::vector{left, bottom, right, top}), (std::vector{eLeft, eBottom, eRight, eTop}))
        << "trial " << trial;
  }
}

TEST_F(PixelOpsTest, FillCoversASpiralThatDoublesBackOnItself) {
  // Runs that turn back under their parent run and leak on both sides.
  IndexedImage image;
  MakeImage(image, {{0, 0, 0, 0, 0, 0, 0},
                    {1, 1, 1, 1, 1, 1, 0},
                    {0, 0, 0, 0, 0, 1, 0},
                    {0, 1, 1, 1, 0, 1, 0},
                    {0, 1, 0, 0, 0, 1, 0},
                    {0, 1, 1, 1, 1, 1, 0},
                    {0, 0, 0, 0, 0, 0, 0}});
  FloodFill(image, 3, 4, 2);
  EXPECT_EQ(Pixels(image), (Grid{{2, 2, 2, 2, 2, 2, 2},
                                 {1, 1, 1, 1, 1, 1, 2},
                                 {2, 2, 2, 2, 2, 1, 2},
                                 {2, 1, 1, 1, 2, 1, 2},
                                 {2, 1, 2, 2, 2, 1, 2},
                                 {2, 1, 1, 1, 1, 1, 2},
                                 {2, 2, 2, 2, 2, 2, 2}}));
}

TEST_F(PixelOpsTest, HorizontalGradientOverTheWholeWidthGivesColumnX) {
  // The picture's colour 7 is also a gradient colour: column 7 must be painted
  // but must not open the way to a second visit.
  IndexedImage image;
  ASSERT_EQ(CreateImage(256, 3, image), 1);
  FillImage(image, 7);
  GradientFill(image, 100, 1, 0, 255, 0, 2, 255, 2, IdentityArrangement());
  for (int y = 0; y < 3; ++y)
    for (int x = 0; x < 256; ++x) ASSERT_EQ(image.At(x, y), x) << x << "," << y;
}

TEST_F(PixelOpsTest, VerticalGradientRunsFromBottomToTopThroughTheArrangement) {
  // Arrangement positions 3, 4, 5 show colours 40, 41, 42; the gradient from
  // 40 to 42 over rows 5 (bottom) … 0 (top) cuts them into three bands of two.
  SwatchArrangement order = IdentityArrangement();
  order[3] = 40;
  order[4] = 41;
  order[5] = 42;
  order[40] = 3;
  IndexedImage image;
  MakeImage(image, {{0, 0, 9}, {0, 0, 9}, {0, 0, 9}, {0, 0, 9}, {0, 0, 9}, {0, 0, 9}});
  GradientFill(image, 0, 0, 40, 42, 0, 5, 0, 0, order);
  EXPECT_EQ(Pixels(image), (Grid{{42, 42, 9}, {42, 42, 9}, {41, 41, 9}, {41, 41, 9}, {40, 40, 9}, {40, 40, 9}}));

  // Backwards through the arrangement: from 42 to 40, a negative w.
  FillRect(image, 0, 0, 2, 6, 0);
  GradientFill(image, 1, 3, 42, 40, 0, 5, 0, 0, order);
  EXPECT_EQ(Pixels(image), (Grid{{40, 40, 9}, {40, 40, 9}, {41, 41, 9}, {41, 41, 9}, {42, 42, 9}, {42, 42, 9}}));

  // Start colour equal to the region's colour: nothing happens.
  GradientFill(image, 2, 0, 9, 40, 0, 5, 0, 0, order);
  EXPECT_EQ(image.At(2, 0), 9);
  EXPECT_EQ(image.At(2, 5), 9);
}

// The gradient's colour for one pixel, straight from its definition.
int GradientColour(const SwatchArrangement& order, int L, int R, int xFrom, int yFrom, int xTo, int yTo, int x, int y) {
  const auto position = [&](int colour) {
    for (int i = 0; i < 256; ++i)
      if (order[i] == colour) return i;
    return 0;
  };
  const long long pL = position(L);
  const long long pR = position(R);
  long long w = pR - pL;
  w = w >= 0 ? w + 1 : w - 1;
  long long px = pL, py = pL;
  if (xTo != xFrom && w != 1 && xTo - xFrom + 1 != 0) px = pL + (w * (x - xFrom)) / (xTo - xFrom + 1);
  if (yTo != yFrom && w != 1 && yFrom - yTo + 1 != 0) py = pL + (w * (yFrom - y)) / (yFrom - yTo + 1);
  long long p = w >= 0 ? std::max(px, py) : std::min(px, py);
  p = std::clamp(p, 0LL, 255LL);
  return order[p] & 0xFF;
}

TEST_F(PixelOpsTest, GradientColoursFollowTheFormulaOnRandomExtents) {
  std::mt19937 rng(99);
  for (int trial = 0; trial < 4000; ++trial) {
    // Few colours, low and high, so that gradients often paint the region's
    // own colour and byte comparisons see both halves of the range.
    const int kColours[] = {5, 130, 250, 6, 131, 251};
    Grid g = RandomGrid(rng, trial % 2 ? 12 : 40, 3, trial % 3 == 2);
    for (auto& row : g)
      for (auto& p : row) p = kColours[p];
    const int h = static_cast<int>(g.size());
    const int w = static_cast<int>(g[0].size());
    std::uniform_int_distribution<int> anyX(-2, w + 1), anyY(-2, h + 1), small(0, 5);
    // Arrangements of those colours, with high bits that must be ignored.
    SwatchArrangement order{};
    for (auto& e : order) e = kColours[small(rng)] + (small(rng) == 0 ? 256 * small(rng) : 0);
    if (trial % 4 == 0) order = IdentityArrangement();
    if (trial % 4 == 1) std::shuffle(order.begin(), order.end(), rng);
    const int L = kColours[small(rng)], R = kColours[small(rng)];
    const int sx = std::uniform_int_distribution<int>(0, w - 1)(rng);
    const int sy = std::uniform_int_distribution<int>(0, h - 1)(rng);
    int xFrom = anyX(rng), xTo = anyX(rng), yFrom = anyY(rng), yTo = anyY(rng);
    if (trial % 2 == 0) {
      // As the callers do: the region's own extent.
      IndexedImage probe;
      MakeImage(probe, g);
      int left = 0, bottom = 0, right = 0, top = 0;
      FloodFillExtent(probe, sx, sy, 200, left, bottom, right, top);
      xFrom = left;
      xTo = trial % 4 == 0 ? left : right;
      yFrom = bottom;
      yTo = trial % 4 == 0 ? top : bottom;
    }

    IndexedImage image;
    MakeImage(image, g);
    GradientFill(image, sx, sy, static_cast<std::uint8_t>(L), static_cast<std::uint8_t>(R), xFrom, yFrom, xTo, yTo,
                 order);
    Grid expected = g;
    if (L != g[sy][sx]) {
      const auto in = Component(g, sx, sy);
      for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
          if (in[y][x]) expected[y][x] = GradientColour(order, L, R, xFrom, yFrom, xTo, yTo, x, y);
    }
    ASSERT_EQ(Pixels(image), expected) << "trial " << trial << " L " << L << " R " << R << " x " << xFrom << ".." << xTo
                                       << " y " << yFrom << ".." << yTo;
  }
}

}  // namespace
}  // namespace zudizar

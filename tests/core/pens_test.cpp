#include "core/pens.h"

#include <gtest/gtest.h>

#include <functional>
#include <random>
#include <set>
#include <utility>
#include <vector>

#include "support/test_support.h"

namespace zudizar {
namespace {

using testing::MakeImage;
using testing::Pixels;
using Grid = std::vector<std::vector<int>>;
using Points = std::set<std::pair<int, int>>;

class PensTest : public testing::PaletteReset {};

// The pixels of value `colour`, as (x, y) pairs.
Points PixelsOf(const IndexedImage& image, int colour) {
  Points points;
  for (int y = 0; y < image.ImageHeight(); ++y)
    for (int x = 0; x < image.ImageWidth(); ++x)
      if (image.At(x, y) == colour) points.insert({x, y});
  return points;
}

// The mask of each large pen, written from its definition: (u, t) inside the
// n × n square whose top-left lies at (x − (n/2 − 1), y − n/2).
struct LargePen {
  int code;
  int n;
  std::function<bool(int u, int t)> inPen;
};

std::vector<LargePen> LargePens() {
  static const std::vector<std::vector<int>> insets = {
      {1, 0, 0, 1},
      {2, 1, 0, 0, 0, 0, 1, 2},
      {5, 3, 2, 1, 1, 0, 0, 0, 0, 0, 0, 1, 1, 2, 3, 5},
      {8, 6, 5, 4, 3, 2, 1, 1, 0, 0, 0, 0, 0, 0, 0, 0, 1, 1, 2, 3, 4, 5, 6, 8},
      {12, 9, 8, 6, 5, 4, 3, 3, 2, 1, 1, 1, 0, 0, 0, 0, 0, 0, 0, 0, 1, 1, 1, 2, 3, 3, 4, 5, 6, 8, 9, 12}};
  const int sizes[] = {4, 8, 16, 24, 32};
  const std::pair<int, int> rows[] = {{2, 2}, {3, 4}, {6, 9}, {9, 14}, {12, 19}};
  const std::pair<int, int> columns[] = {{1, 1}, {3, 4}, {6, 9}, {9, 14}, {12, 19}};
  const std::pair<int, int> bands[] = {{0, 1}, {-1, 1}, {-1, 1}, {-2, 2}, {-3, 3}};
  std::vector<LargePen> pens;
  for (int s = 0; s < 5; ++s) {
    const int n = sizes[s];
    const auto inset = insets[s];
    const auto row = rows[s];
    const auto column = columns[s];
    const auto band = bands[s];
    pens.push_back({2 + s, n, [=](int u, int t) { return u >= inset[t] && u <= n - 1 - inset[t]; }});
    pens.push_back({18 + s, n, [=](int, int t) { return t >= row.first && t <= row.second; }});
    pens.push_back({34 + s, n, [=](int u, int) { return u >= column.first && u <= column.second; }});
    pens.push_back({50 + s, n, [=](int u, int t) { return u - t >= band.first && u - t <= band.second; }});
  }
  return pens;
}

Points ExpectedLargePen(const LargePen& pen, int x, int y, int w, int h) {
  Points points;
  for (int t = 0; t < pen.n; ++t)
    for (int u = 0; u < pen.n; ++u) {
      const int px = x - (pen.n / 2 - 1) + u;
      const int py = y - pen.n / 2 + t;
      if (pen.inPen(u, t) && px >= 0 && py >= 0 && px < w && py < h) points.insert({px, py});
    }
  return points;
}

TEST_F(PensTest, LargePensMatchTheirMasksInsideAndAtEveryEdge) {
  const std::pair<int, int> places[] = {{40, 40}, {0, 0}, {79, 79}, {3, 77}, {76, 2}, {40, 0}, {0, 40}};
  for (const LargePen& pen : LargePens()) {
    for (auto [x, y] : places) {
      IndexedImage image;
      ASSERT_EQ(CreateImage(80, 80, image), 1);
      StampPen(image, x, y, 5, static_cast<std::uint8_t>(pen.code));
      ASSERT_EQ(PixelsOf(image, 5), ExpectedLargePen(pen, x, y, 80, 80))
          << "code " << pen.code << " at " << x << "," << y;
    }
  }
}

TEST_F(PensTest, VerticalFourCoversTheColumnOfThePoint) {
  IndexedImage image;
  ASSERT_EQ(CreateImage(12, 12, image), 1);
  StampPen(image, 5, 5, 5, 34);
  EXPECT_EQ(PixelsOf(image, 5), (Points{{5, 3}, {5, 4}, {5, 5}, {5, 6}}));
}

TEST_F(PensTest, RoundFourAtTheCornerSetsFivePixels) {
  IndexedImage image;
  MakeImage(image, {{0, 0, 0, 0}, {0, 0, 0, 0}, {0, 0, 0, 0}});
  StampPen(image, 0, 0, 1, 2);
  EXPECT_EQ(Pixels(image), (Grid{{1, 1, 1, 0}, {1, 1, 0, 0}, {0, 0, 0, 0}}));
  // A point outside the picture is clamped first: the same stamp.
  IndexedImage other;
  MakeImage(other, Pixels(image));
  FillImage(other, 0);
  StampPen(other, -7, -3, 1, 2);
  EXPECT_EQ(Pixels(other), Pixels(image));
}

TEST_F(PensTest, SmallPens) {
  const auto stamp = [](int x, int y, std::uint8_t code) {
    IndexedImage image;
    MakeImage(image, {{0, 0, 0}, {0, 0, 0}, {0, 0, 0}});
    StampPen(image, x, y, 1, code);
    return Pixels(image);
  };
  EXPECT_EQ(stamp(1, 1, 0), (Grid{{0, 0, 0}, {0, 1, 0}, {0, 0, 0}}));
  EXPECT_EQ(stamp(1, 1, 1), (Grid{{0, 1, 1}, {0, 1, 1}, {0, 0, 0}}));
  EXPECT_EQ(stamp(1, 1, 17), (Grid{{0, 0, 0}, {0, 1, 1}, {0, 0, 0}}));
  EXPECT_EQ(stamp(1, 1, 33), (Grid{{0, 1, 0}, {0, 1, 1}, {0, 0, 0}}));
  // The diagonal pen leaves the pixel under the pointer alone.
  EXPECT_EQ(stamp(1, 1, 49), (Grid{{0, 1, 0}, {0, 0, 1}, {0, 0, 0}}));
  // Right of the last column and above the top row are left out.
  EXPECT_EQ(stamp(2, 0, 1), (Grid{{0, 0, 1}, {0, 0, 0}, {0, 0, 0}}));
  EXPECT_EQ(stamp(2, 0, 49), (Grid{{0, 0, 0}, {0, 0, 0}, {0, 0, 0}}));
  EXPECT_EQ(stamp(5, 5, 33), (Grid{{0, 0, 0}, {0, 0, 1}, {0, 0, 1}}));
}

TEST_F(PensTest, CodesOutsideTheTableDrawNothing) {
  std::set<int> drawing = {0, 1, 17, 33, 49};
  for (int s = 0; s < 5; ++s)
    for (int family : {2, 18, 34, 50}) drawing.insert(family + s);
  for (int code = 0; code < 256; ++code) {
    IndexedImage image;
    ASSERT_EQ(CreateImage(40, 40, image), 1);
    StampPen(image, 20, 20, 3, static_cast<std::uint8_t>(code));
    StrokePen(image, 2, 2, 30, 9, 3, static_cast<std::uint8_t>(code));
    EXPECT_EQ(PixelsOf(image, 3).empty(), !drawing.count(code)) << "code " << code;
    EXPECT_EQ(PenSpans(static_cast<std::uint8_t>(code)).empty(), !drawing.count(code)) << "code " << code;
  }
}

TEST_F(PensTest, EraseChangesOnlyTheOldColourWithinTheFootprint) {
  IndexedImage image;
  MakeImage(image, {{1, 2, 1, 2, 1}, {2, 1, 2, 1, 2}, {1, 2, 1, 2, 1}, {2, 1, 2, 1, 2}});
  ErasePen(image, 1, 2, 1, 7, 2);  // round 4: rows 0 … 3, columns 0 … 3
  EXPECT_EQ(Pixels(image), (Grid{{1, 2, 7, 2, 1}, {2, 7, 2, 7, 2}, {7, 2, 7, 2, 1}, {2, 7, 2, 1, 2}}));
  const Grid before = Pixels(image);
  ErasePen(image, 1, 2, 2, 2, 22);
  StrokeErase(image, 0, 0, 4, 3, 2, 2, 6);
  EXPECT_EQ(Pixels(image), before);
}

// The points of a stroke: for code 0 the stamped pixels are the points.
Points StrokePoints(int w, int h, int x1, int y1, int x2, int y2) {
  IndexedImage image;
  EXPECT_EQ(CreateImage(w, h, image), 1);
  StrokePen(image, x1, y1, x2, y2, 1, 0);
  return PixelsOf(image, 1);
}

TEST_F(PensTest, StrokeStepsFromTheLowerEndPoint) {
  // Ordered from (9, 3) towards (0, 0): y = 3, 3, 3, 2, 2, 1, 1, 1, 0, 0.
  const Points shallow = {{9, 3}, {8, 3}, {7, 3}, {6, 2}, {5, 2}, {4, 1}, {3, 1}, {2, 1}, {1, 0}, {0, 0}};
  EXPECT_EQ(StrokePoints(12, 6, 0, 0, 9, 3), shallow);
  EXPECT_EQ(StrokePoints(12, 6, 9, 3, 0, 0), shallow);
  // Steep: one stamp per row, x = x_start + (cx × k) div cy.
  const Points steep = {{0, 4}, {0, 3}, {1, 2}, {1, 1}, {2, 0}};
  EXPECT_EQ(StrokePoints(6, 6, 2, 0, 0, 4), steep);
  // Rising to the right: sx = +1.
  const Points rising = {{0, 2}, {1, 2}, {2, 1}, {3, 1}, {4, 0}, {5, 0}};
  EXPECT_EQ(StrokePoints(6, 6, 0, 2, 5, 0), rising);
  // Length 0 is one stamp; end points outside are clamped.
  EXPECT_EQ(StrokePoints(6, 6, 3, 3, 3, 3), (Points{{3, 3}}));
  EXPECT_EQ(StrokePoints(4, 4, -5, 9, 9, 9), (Points{{0, 3}, {1, 3}, {2, 3}, {3, 3}}));
}

TEST_F(PensTest, StrokesEqualTheirStampsOnRandomLinesAndPens) {
  const std::uint8_t codes[] = {0, 1, 17, 33, 49, 2, 4, 6, 19, 22, 35, 38, 50, 53, 54};
  std::mt19937 rng(7);
  for (int trial = 0; trial < 600; ++trial) {
    const int w = std::uniform_int_distribution<int>(1, 50)(rng);
    const int h = std::uniform_int_distribution<int>(1, 50)(rng);
    std::uniform_int_distribution<int> anyX(-10, w + 10), anyY(-10, h + 10);
    const int x1 = anyX(rng), y1 = anyY(rng), x2 = anyX(rng), y2 = anyY(rng);
    const std::uint8_t code = codes[trial % std::size(codes)];

    IndexedImage stroke, stamps;
    ASSERT_EQ(CreateImage(w, h, stroke), 1);
    ASSERT_EQ(CreateImage(w, h, stamps), 1);
    StrokePen(stroke, x1, y1, x2, y2, 4, code);
    // The same stroke as single stamps at the stroke's points.
    for (const auto& [x, y] : StrokePoints(w, h, x1, y1, x2, y2)) StampPen(stamps, x, y, 4, code);
    ASSERT_EQ(Pixels(stroke), Pixels(stamps)) << "trial " << trial << " code " << int(code);

    // Erasing along the same line turns exactly the stroke's pixels back.
    StrokeErase(stroke, x2, y2, x1, y1, 4, 9, code);
    Points erased = PixelsOf(stroke, 9);
    ASSERT_EQ(erased, PixelsOf(stamps, 4)) << "trial " << trial;
  }
}

}  // namespace
}  // namespace zudizar

#include "core/text_stamp.h"

#include <gtest/gtest.h>

#include <vector>

#include "core/pick_outline.h"
#include "support/test_support.h"

namespace zudizar {
namespace {

using testing::MakeImage;
using testing::Pixels;
using Grid = std::vector<std::vector<int>>;

TEST(TextStampTest, FixedPlacesOnAHundredByFiftyPicture) {
  struct Case {
    int position, tw, th;
    Point expected;
  };
  const Case cases[] = {
      {kTextLowerRight, 40, 16, {60, 34}}, {kTextCentre, 41, 17, {30, 17}},   {kTextUpperLeft, 40, 16, {0, 0}},
      {kTextUpperRight, 40, 16, {60, 0}},  {kTextLowerLeft, 40, 16, {0, 34}}, {kTextCentre, 100, 50, {0, 0}},
  };
  for (const Case& c : cases)
    EXPECT_EQ(FixedTextOrigin(c.position, 100, 50, c.tw, c.th), c.expected) << "position " << c.position;
}

TEST(TextStampTest, BackgroundIsZeroUnlessTheLettersAreZero) {
  EXPECT_EQ(StampBackground(0), 255);
  EXPECT_EQ(StampBackground(7), 0);
  EXPECT_EQ(StampBackground(255), 0);
}

TEST(TextStampTest, StampSkipsItsBackgroundAndIsCutAtEveryEdge) {
  IndexedImage stamp, picture;
  MakeImage(stamp, {{4, 0}, {0, 4}});
  MakeImage(picture, {{1, 2, 3}, {5, 6, 7}});
  EXPECT_EQ(StampText(picture, {-1, 0}, stamp, 2, 2, 0), (Rect{0, 0, 1, 2}));
  EXPECT_EQ(Pixels(picture), (Grid{{1, 2, 3}, {4, 6, 7}}));
  EXPECT_EQ(StampText(picture, {2, 1}, stamp, 2, 2, 0), (Rect{2, 1, 1, 1}));
  EXPECT_EQ(Pixels(picture), (Grid{{1, 2, 3}, {4, 6, 4}}));
  EXPECT_TRUE(StampText(picture, {3, 0}, stamp, 2, 2, 0).Empty());
}

TEST(PickOutlineTest, MovingTheOutlineRestoresTheOldOneAndReportsTheUnion) {
  IndexedImage view, display;
  Grid grid(6, std::vector<int>(8));
  for (int y = 0; y < 6; ++y)
    for (int x = 0; x < 8; ++x) grid[y][x] = y * 8 + x;
  MakeImage(view, grid);
  MakeImage(display, grid);
  EXPECT_EQ(MovePickOutline(display, view, {}, {1, 1, 3, 3}, 248), (Rect{1, 1, 3, 3}));
  EXPECT_EQ(display.At(2, 1), 248);
  EXPECT_EQ(display.At(2, 2), view.At(2, 2));
  // The next outline reaches past the right and bottom edges: it is drawn on them.
  EXPECT_EQ(MovePickOutline(display, view, {1, 1, 3, 3}, {5, 4, 10, 10}, 248), (Rect{1, 1, 7, 5}));
  EXPECT_EQ(display.At(1, 1), view.At(1, 1));
  EXPECT_EQ(display.At(3, 3), view.At(3, 3));
  EXPECT_EQ(display.At(7, 5), 248);
  EXPECT_EQ(display.At(5, 4), 248);
  EXPECT_EQ(display.At(6, 5), 248);
  EXPECT_EQ(ClampToPicture({-3, 99}, 8, 6), (Point{0, 5}));
}

}  // namespace
}  // namespace zudizar

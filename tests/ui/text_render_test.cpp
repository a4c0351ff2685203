#include "ui/edit/text_render.h"

#include <gtest/gtest.h>

#include <QFontInfo>

#include "ui_support.h"

namespace zudizar {
namespace {

// The installed gothic font at a fixed size, so measured sizes are stable.
QFont TestFont(int pixels = 16) { return DefinedFont(QStringLiteral("ＭＳ ゴシック"), -pixels); }

int Count(const IndexedImage& image, std::uint8_t index) {
  int n = 0;
  for (std::uint8_t p : image.pixels) n += p == index;
  return n;
}

class TextRenderTest : public ::testing::Test {
 protected:
  TextRenderTest() { testing::EnsureQtApplication(); }
};

TEST_F(TextRenderTest, DefinedFontsBecomeTheGothicFontAtTheirPixelHeights) {
  const QFont system = DefinedFont(QStringLiteral("System"), -13);
  EXPECT_EQ(QFontInfo(system).family(), QStringLiteral("IPAGothic"));
  EXPECT_EQ(system.pixelSize(), 13);
  EXPECT_EQ(QFontInfo(DefinedFont(QStringLiteral("ＭＳ Ｐゴシック"), -12)).family(), QStringLiteral("IPAPGothic"));
  EXPECT_EQ(DefinedFont(QStringLiteral("ＭＳ ゴシック"), 16).pixelSize(), 16);
}

TEST_F(TextRenderTest, LettersTakeTheColourAndEverythingElseKeepsItsIndex) {
  IndexedImage target;
  CreateImage(100, 30, target);
  FillImage(target, 7);
  const QSize size = RenderText(target, 3, QStringLiteral("I  I"), TestFont());
  EXPECT_EQ(size, MeasureText(QStringLiteral("I  I"), TestFont(), false));
  EXPECT_GT(Count(target, 3), 0);
  EXPECT_EQ(Count(target, 3) + Count(target, 7), 100 * 30);  // no smoothing: one colour only
  for (int y = 0; y < 30; ++y)
    for (int x = size.width(); x < 100; ++x) ASSERT_EQ(target.At(x, y), 7);
  // Between the two letters the picture shows through.
  const int middle = size.width() / 2;
  for (int y = 0; y < size.height(); ++y) EXPECT_EQ(target.At(middle, y), 7);
}

TEST_F(TextRenderTest, StampBackgroundIsZeroOr255ForLettersOfZero) {
  IndexedImage stamp;
  CreateImage(64, 32, stamp);
  int transparent = -1;
  const QSize size = PrepareTextStamp(stamp, 0, QStringLiteral("文字"), TestFont(), false, transparent);
  EXPECT_EQ(transparent, 255);
  EXPECT_GT(Count(stamp, 0), 0);
  EXPECT_EQ(Count(stamp, 0) + Count(stamp, 255), 64 * 32);
  EXPECT_EQ(PrepareTextStamp(stamp, 249, QStringLiteral("文字"), TestFont(), false, transparent), size);
  EXPECT_EQ(transparent, 0);
  EXPECT_EQ(Count(stamp, 249) + Count(stamp, 0), 64 * 32);
}

TEST_F(TextRenderTest, VerticalTextRunsDownOneCharacterUnderTheOther) {
  const QSize across = MeasureText(QStringLiteral("あいう"), TestFont(), false);
  const QSize down = MeasureText(QStringLiteral("あいう"), TestFont(), true);
  EXPECT_GT(across.width(), across.height());
  EXPECT_GT(down.height(), down.width());
  EXPECT_GE(down.height(), 3 * 16);
  // The long-vowel mark turns: set vertically its stroke runs down the column.
  IndexedImage target;
  CreateImage(32, 32, target);
  FillImage(target, 0);
  const QSize mark = RenderText(target, 1, QStringLiteral("ー"), TestFont(24), true);
  int top = mark.height(), bottom = -1, left = mark.width(), right = -1;
  for (int y = 0; y < mark.height(); ++y)
    for (int x = 0; x < mark.width(); ++x)
      if (target.At(x, y) == 1) {
        top = std::min(top, y), bottom = std::max(bottom, y);
        left = std::min(left, x), right = std::max(right, x);
      }
  ASSERT_GE(bottom, 0);
  EXPECT_GT(bottom - top, 3 * (right - left));
}

TEST_F(TextRenderTest, BadInputIsCutToThePicture) {
  IndexedImage target;
  CreateImage(256, 240, target);
  FillImage(target, 7);
  EXPECT_EQ(RenderText(target, 3, QString(), TestFont()), QSize(0, 0));
  EXPECT_EQ(Count(target, 7), 256 * 240);
  const QString longLine(10000, QChar(u'漢'));
  for (bool vertical : {false, true}) {
    const QSize cut = RenderText(target, 3, longLine, TestFont(), vertical);
    EXPECT_EQ(vertical ? cut.height() : cut.width(), vertical ? 240 : 256);
  }
  EXPECT_LE(RenderText(target, 3, QStringLiteral("大"), TestFont(500)).width(), 256);
  RenderText(target, 3, QStringLiteral("小"), TestFont(1));
  RenderText(target, 3, QString::fromUtf8("\xF4\x8F\xBF\xBF\xEE\x80\x80\xF0\x9F\x98\x80"), TestFont());
  IndexedImage empty;
  EXPECT_EQ(RenderText(empty, 3, QStringLiteral("字"), TestFont()), QSize(0, 0));
}

// The bounding box of the pixels of `index`.
Rect Box(const IndexedImage& image, std::uint8_t index) {
  int l = image.ImageWidth(), t = image.ImageHeight(), r = -1, b = -1;
  for (int y = 0; y < image.ImageHeight(); ++y)
    for (int x = 0; x < image.ImageWidth(); ++x)
      if (image.At(x, y) == index) l = std::min(l, x), t = std::min(t, y), r = std::max(r, x), b = std::max(b, y);
  return r < 0 ? Rect{} : Rect::FromCorners({l, t}, {r, b});
}

// The text tool through the tool session, with the toolkit's stamper.
struct TextCanvas {
  IndexedImage picture, work, stamp;
  ToolSettings settings;
  QtTextStamper stamper;
  ToolSession session{settings, &stamper};
  TextCanvas(const char* text, int place) {
    CreateImage(100, 50, picture);
    CreateImage(100, 50, work);
    CreateImage(256, 240, stamp);
    FillImage(picture, 7);
    settings.tool = kToolText;
    settings.text.text = text;
    settings.text.font = DescribeFont(TestFont());
    settings.text.fixedPlace = place;
  }
  ToolTarget Target() { return {picture, work, stamp}; }
};

TEST_F(TextRenderTest, FixedPlaceStampsAtOnceInTheLowerRightCorner) {
  TextCanvas c("右下", kTextLowerRight);
  const ToolInk ink{0, 3};
  const ToolStep step = c.session.Press(c.Target(), ink, {3, 3}, false);
  EXPECT_FALSE(c.session.Dragging());
  EXPECT_TRUE(step.committed);
  const TextStampBox box = c.session.TextStamp();
  EXPECT_EQ(box.transparent, 255);
  EXPECT_EQ(QSize(box.width, box.height), MeasureText(QStringLiteral("右下"), TestFont(), false));
  EXPECT_EQ(step.rect, (Rect{100 - box.width, 50 - box.height, box.width, box.height}));
  const Rect letters = Box(c.picture, 0);
  EXPECT_FALSE(letters.Empty());
  EXPECT_EQ(letters.Intersect(step.rect), letters);
  EXPECT_EQ(Count(c.picture, 0) + Count(c.picture, 7), 100 * 50);
  // A press outside the picture does nothing.
  FillImage(c.picture, 7);
  EXPECT_TRUE(c.session.Press(c.Target(), ink, {100, 3}, false).rect.Empty());
  EXPECT_EQ(Count(c.picture, 7), 100 * 50);
}

TEST_F(TextRenderTest, FreePlaceFollowsTheMouseAndLandsOnRelease) {
  TextCanvas c("字", kTextFree);
  const ToolInk ink{3, 0};
  c.session.Press(c.Target(), ink, {10, 5}, false);
  EXPECT_TRUE(c.session.Dragging());
  EXPECT_EQ(Count(c.picture, 3), 0);
  c.session.Move(c.Target(), ink, {60, 20});
  const Rect moved = Box(c.work, 3);
  EXPECT_GE(moved.x, 60);
  EXPECT_GE(moved.y, 20);
  EXPECT_FALSE(c.session.Release(c.Target(), ink, {-1, 20}).committed);
  EXPECT_EQ(Count(c.picture, 3), 0);
  c.session.Press(c.Target(), ink, {60, 20}, false);
  EXPECT_TRUE(c.session.Release(c.Target(), ink, {60, 20}).committed);
  EXPECT_EQ(Box(c.picture, 3), moved);
}

}  // namespace
}  // namespace zudizar

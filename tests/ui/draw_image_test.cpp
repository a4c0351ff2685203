#include "ui/common/draw_image.h"

#include <gtest/gtest.h>

#include <QPainter>

#include "ui_support.h"

namespace zudizar {
namespace {

using testing::MakeImage;

class DrawImageTest : public testing::PaletteReset {
 protected:
  DrawImageTest() { testing::EnsureQtApplication(); }

  // Draws into a canvas of the given size filled with a marker colour.
  template <typename Draw>
  QImage Render(int w, int h, Draw draw) {
    QImage canvas(w, h, QImage::Format_RGB32);
    canvas.fill(QColor(1, 2, 3));
    QPainter painter(&canvas);
    draw(painter);
    painter.end();
    return canvas;
  }
  static QColor Colour(int index) {
    const auto& e = DefaultPalette[index];
    return QColor(e.red, e.green, e.blue);
  }
};

TEST_F(DrawImageTest, OddWidthsDrawWithoutSkew) {
  IndexedImage image;
  ASSERT_EQ(CreateImage(7, 3, image), 1);
  for (int y = 0; y < 3; ++y)
    for (int x = 0; x < 7; ++x) image.At(x, y) = static_cast<std::uint8_t>(249 + (x + y) % 4);
  const QImage out = Render(7, 3, [&](QPainter& p) { DrawImage(image, p, 7, 3); });
  for (int y = 0; y < 3; ++y)
    for (int x = 0; x < 7; ++x) ASSERT_EQ(out.pixelColor(x, y), Colour(image.At(x, y))) << x << "," << y;
}

TEST_F(DrawImageTest, LargerImageShowsItsTopLeftCorner) {
  IndexedImage image;
  ASSERT_EQ(CreateImage(640, 400, image), 1);
  FillImage(image, 255);
  FillRect(image, 299, 199, 1, 1, 249);
  FillRect(image, 300, 0, 1, 1, 250);
  const QImage out = Render(300, 200, [&](QPainter& p) { DrawImage(image, p, 300, 200); });
  EXPECT_EQ(out.pixelColor(299, 199), Colour(249));
  EXPECT_EQ(out.pixelColor(0, 0), Colour(255));
}

TEST_F(DrawImageTest, ShorterImageSitsOnTheAreaBottom) {
  IndexedImage image;
  MakeImage(image, {{249, 250}, {251, 252}});
  const QImage out = Render(4, 5, [&](QPainter& p) { DrawImage(image, p, 4, 5); });
  EXPECT_EQ(out.pixelColor(0, 3), Colour(249));
  EXPECT_EQ(out.pixelColor(1, 4), Colour(252));
  EXPECT_EQ(out.pixelColor(0, 0), QColor(1, 2, 3));  // untouched above
  EXPECT_EQ(out.pixelColor(2, 4), QColor(1, 2, 3));  // and right of it
}

TEST_F(DrawImageTest, ImageDrawsWithItsOwnColourTable) {
  IndexedImage image;
  MakeImage(image, {{20}});
  image.colourTable[20] = {0x30, 0x20, 0x10, 0};
  const QImage out = Render(1, 1, [&](QPainter& p) { DrawImage(image, p, 1, 1); });
  EXPECT_EQ(out.pixelColor(0, 0), QColor(0x10, 0x20, 0x30));
}

TEST_F(DrawImageTest, RegionIsCutToTheAreaAndTheImage) {
  IndexedImage image;
  MakeImage(image, {{249, 250, 251}, {252, 253, 254}});
  const QImage out = Render(4, 4, [&](QPainter& p) {
    DrawImageRegion(image, p, 2, 1, 1, 0, 5, 9, 4, 4);  // w cut to 2 by the area, h to 2 by the image
  });
  EXPECT_EQ(out.pixelColor(2, 1), Colour(250));
  EXPECT_EQ(out.pixelColor(3, 1), Colour(251));
  EXPECT_EQ(out.pixelColor(3, 2), Colour(254));
  EXPECT_EQ(out.pixelColor(2, 3), QColor(1, 2, 3));
  EXPECT_EQ(out.pixelColor(1, 1), QColor(1, 2, 3));
  // Negative sizes draw nothing; an empty image draws nothing.
  const QImage none = Render(2, 2, [&](QPainter& p) {
    DrawImageRegion(image, p, 0, 0, 0, 0, -3, 2, 2, 2);
    IndexedImage empty;
    DrawImage(empty, p, 2, 2);
  });
  EXPECT_EQ(none.pixelColor(0, 0), QColor(1, 2, 3));
}

TEST_F(DrawImageTest, HiDpiScalingStaysNearestNeighbour) {
  IndexedImage image;
  MakeImage(image, {{249, 252}});
  QImage canvas(8, 2, QImage::Format_RGB32);
  canvas.setDevicePixelRatio(2.0);  // a 4 × 1 logical area
  canvas.fill(Qt::black);
  QPainter painter(&canvas);
  DrawImage(image, painter, 2, 1);
  painter.end();
  // Each picture pixel becomes a crisp 2 × 2 block, no blended colours.
  EXPECT_EQ(canvas.pixelColor(0, 0), Colour(249));
  EXPECT_EQ(canvas.pixelColor(1, 1), Colour(249));
  EXPECT_EQ(canvas.pixelColor(2, 0), Colour(252));
  EXPECT_EQ(canvas.pixelColor(3, 1), Colour(252));
}

}  // namespace
}  // namespace zudizar

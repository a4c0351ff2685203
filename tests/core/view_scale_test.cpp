// The zoomed view against a plain model: for every level and device ratio,
// each device pixel shows the picture pixel under its centre, grid lines and
// outlines lie on the device pixels holding their pixels' edges, and the
// mouse mapping finds the pixel shown under the pointer.
#include "core/view_scale.h"

#include <gtest/gtest.h>

#include <cmath>
#include <random>

#include "core/frames.h"
#include "core/region.h"

namespace zudizar {
namespace {

// Device pixel (x, y) computed from the definitions, in floating point.
std::uint8_t ModelPixel(const IndexedImage& source, const ShownLayers& layers, double s, int x, int y) {
  const int w = source.ImageWidth(), h = source.ImageHeight();
  auto sample = [&](int d, int size) { return std::clamp(static_cast<int>(std::floor((d + 0.5) / s)), 0, size - 1); };
  std::uint8_t v = source.At(sample(x, w), sample(y, h));
  if (layers.frame != 0) {
    const int cs = layers.frame == 1 ? w / 2 : layers.frame, rs = layers.frame == 1 ? h / 2 : layers.frame;
    bool horizontal = false, vertical = false;
    for (int r = 1; r < h - 1 && rs > 0; ++r)
      if (((r - layers.yOffset) % rs + rs) % rs == 0 && r * s >= y && r * s < y + 1) horizontal = true;
    for (int c = 0; c < w - 1 && cs > 0; ++c)
      if (((c - layers.xOffset + 1) % cs + cs) % cs == 0 && (c + 1) * s > x && (c + 1) * s <= x + 1) vertical = true;
    if (horizontal)
      v = v == layers.lineColour ? static_cast<std::uint8_t>(255 - layers.lineColour) : layers.lineColour;
    else if (vertical)
      v = layers.lineColour;
  }
  if (!layers.outline.Empty()) {
    const Rect& o = layers.outline;
    const int left = std::clamp(o.x, 0, w - 1), right = std::clamp(o.Right() - 1, 0, w - 1);
    const int top = std::clamp(o.y, 0, h - 1), bottom = std::clamp(o.Bottom() - 1, 0, h - 1);
    const int l = static_cast<int>(std::floor(left * s)), r = static_cast<int>(std::ceil((right + 1) * s)) - 1;
    const int t = static_cast<int>(std::floor(top * s)), b = static_cast<int>(std::ceil((bottom + 1) * s)) - 1;
    const bool onRow = (y == t || y == b) && x >= l && x <= r;
    const bool onColumn = (x == l || x == r) && y > t && y < b;
    if (onRow || onColumn) v = layers.lineColour;
  }
  return v;
}

TEST(ViewScaleTest, EveryLevelAndRatioComposesAsTheModel) {
  std::mt19937 random(22);
  IndexedImage picture;
  ASSERT_EQ(CreateImage(53, 37, picture), 1);
  for (auto& p : picture.pixels) p = static_cast<std::uint8_t>(random() % 256);
  for (double ratio : {1.0, 1.5, 2.0}) {
    for (const Zoom zoom : kZoomLevels) {
      const ViewScale scale(zoom, ratio);
      const double s = static_cast<double>(zoom.mul) / zoom.div * ratio;
      const Rect span = scale.PictureToDeviceRect(ImageRect(picture));
      for (int round = 0; round < 6; ++round) {
        ShownLayers layers;
        layers.source = &picture;
        const int frames[] = {0, 1, 8, 12, 24};
        layers.frame = frames[random() % 5];
        layers.xOffset = random() % 2 ? layers.frame / 2 : 0;
        layers.yOffset = random() % 2 ? layers.frame / 2 - 1 : 0;
        layers.outline = {static_cast<int>(random() % 60) - 5, static_cast<int>(random() % 40) - 5,
                          static_cast<int>(random() % 30) + 1, static_cast<int>(random() % 30) + 1};
        // A screen over a random part of the span, composed in two pieces.
        IndexedImage screen;
        const Point origin{static_cast<int>(random() % (span.width / 2 + 1)),
                           static_cast<int>(random() % (span.height / 2 + 1))};
        const int sw = std::min(span.width - origin.x, 70), sh = std::min(span.height - origin.y, 50);
        ASSERT_EQ(CreateImage(sw, sh, screen), 1);
        const Rect whole{origin.x, origin.y, sw, sh};
        const int cut = sw / 3;
        ComposeScaled(screen, origin, {origin.x, origin.y, cut, sh}, layers, scale);
        ComposeScaled(screen, origin, {origin.x + cut, origin.y, sw - cut, sh}, layers, scale);
        for (int y = whole.y; y < whole.Bottom(); ++y)
          for (int x = whole.x; x < whole.Right(); ++x)
            ASSERT_EQ(screen.At(x - origin.x, y - origin.y), ModelPixel(picture, layers, s, x, y))
                << "zoom " << zoom.mul << "/" << zoom.div << " ratio " << ratio << " at " << x << "," << y;
      }
    }
  }
}

TEST(ViewScaleTest, OneToOneIsThePictureWithGridAndOutline) {
  IndexedImage picture, expected, screen;
  ASSERT_EQ(CreateImage(40, 30, picture), 1);
  for (int i = 0; i < 1200; ++i) picture.pixels[i] = static_cast<std::uint8_t>(i * 7);
  ASSERT_EQ(CreateImage(40, 30, expected), 1);
  ASSERT_EQ(CreateImage(40, 30, screen), 1);
  CopyImage(expected, picture, kNoTransparent);
  DrawFrameGrid(expected, 4, 3, 8, 248, 40, 30);
  DrawRectOutline(expected, 5, 6, 50, 20, 248);
  ShownLayers layers{&picture, false, 0, 0, 0, 8, 4, 3, Rect::FromEdges(5, 6, 51, 21)};
  ComposeScaled(screen, {0, 0}, ImageRect(screen), layers, ViewScale());
  EXPECT_EQ(screen.pixels, expected.pixels);
}

// A screen wider and taller than the picture (one that shrank before its
// view was told) shows the edge pixels repeated, reading nothing beyond it.
TEST(ViewScaleTest, AScreenBeyondThePictureRepeatsItsEdges) {
  IndexedImage picture, screen;
  ASSERT_EQ(CreateImage(20, 10, picture), 1);
  for (int i = 0; i < 200; ++i) picture.pixels[i] = static_cast<std::uint8_t>(i * 11);
  ASSERT_EQ(CreateImage(33, 14, screen), 1);
  ShownLayers layers;
  layers.source = &picture;
  for (const Zoom zoom : {Zoom{}, Zoom{2, 1}}) {
    const ViewScale scale(zoom, 1.0);
    ComposeScaled(screen, {0, 0}, ImageRect(screen), layers, scale);
    for (int y = 0; y < 14; ++y)
      for (int x = 0; x < 33; ++x)
        ASSERT_EQ(screen.At(x, y), picture.At(std::min(x * zoom.div / zoom.mul, 19), std::min(y * zoom.div / zoom.mul, 9)))
            << x << "," << y;
  }
}

TEST(ViewScaleTest, ScreenToPictureToScreenIsTheSamePixel) {
  for (const Zoom zoom : kZoomLevels) {
    const ViewScale scale(zoom);
    for (int x = 0; x < 300; ++x) {
      // The pixel found under the pointer is shown where the pointer is.
      const int p = scale.LogicalToPicture(x);
      ASSERT_EQ(scale.LogicalToPicture(scale.PictureToLogical(p)), p) << zoom.mul << "/" << zoom.div;
      if (zoom.div == 1) {
        // Above 1:1 the pointer is inside that pixel's block.
        ASSERT_LE(scale.PictureToLogical(p), x);
        ASSERT_GT(scale.PictureToLogical(p + 1), x);
      } else {
        ASSERT_EQ(scale.PictureToLogical(p), x);
      }
    }
    EXPECT_EQ(scale.LogicalSize(4097), (4097 * zoom.mul + zoom.div - 1) / zoom.div);
  }
  EXPECT_EQ(FitZoom(640, 400, 700, 500), (Zoom{1, 1}));
  EXPECT_EQ(FitZoom(4096, 4096, 700, 600), (Zoom{1, 8}));
  EXPECT_EQ(FitZoom(40, 30, 700, 600), (Zoom{8, 1}));
  EXPECT_EQ(FitZoom(90000, 10, 700, 600), (Zoom{1, 8}));
}

}  // namespace
}  // namespace zudizar

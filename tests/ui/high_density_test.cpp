// On a screen of device pixel ratio 2 every canvas draws each picture pixel
// as whole device pixels, never smoothed, at every zoom: a grab of any of
// them holds only the colours of what it shows.
#include <gtest/gtest.h>

#include <QImage>
#include <QPixmap>
#include <set>

#include "core/frames.h"
#include "core/region.h"
#include "ui/colour/colour_window.h"
#include "ui/common/canvas_view.h"
#include "ui/common/paint_box.h"
#include "ui/edit/edit_window.h"
#include "ui/sub/sub_window.h"
#include "ui_support.h"

namespace zudizar {
namespace {

// Before the application exists: this test program runs at ratio 2.
const bool kRatioTwo = qputenv("QT_SCALE_FACTOR", "2");

using testing::AppTest;

// One-pixel checks of two colours far apart: any blending shows.
void Checks(IndexedImage& image, std::uint8_t a, std::uint8_t b) {
  for (int y = 0; y < image.ImageHeight(); ++y)
    for (int x = 0; x < image.ImageWidth(); ++x) image.At(x, y) = (x + y) % 2 ? a : b;
}

std::set<QRgb> ColoursOf(const IndexedImage& image) {
  std::set<QRgb> out;
  for (const std::uint8_t index : image.pixels) {
    const ColourTableEntry& e = image.colourTable[index];
    out.insert(qRgb(e.red, e.green, e.blue));
  }
  return out;
}

// Every device pixel of the grab is one of `allowed`; returns the grab's size.
QSize ExpectOnly(QWidget* widget, const std::set<QRgb>& allowed, const char* what) {
  const QPixmap shot = widget->grab();
  EXPECT_EQ(shot.devicePixelRatio(), 2.0) << what;
  const QImage image = shot.toImage().convertToFormat(QImage::Format_RGB32);
  int strays = 0;
  for (int y = 0; y < image.height(); ++y)
    for (int x = 0; x < image.width(); ++x)
      if (!allowed.count(image.pixel(x, y) | 0xFF000000u)) ++strays;
  EXPECT_EQ(strays, 0) << what;
  return image.size();
}

class HighDensityTest : public AppTest {};

TEST_F(HighDensityTest, EveryCanvasShowsOnlyItsOwnColoursAtEveryZoom) {
  ASSERT_TRUE(kRatioTwo);
  StartApp();
  TForm1& main = app->main();
  Checks(WindowProbe::Doc(main).Picture(), 249, 252);
  CanvasView& view = WindowProbe::View(main);
  view.RestoreAll(main.PictureImage());
  const std::set<QRgb> own = ColoursOf(main.PictureImage());
  for (const Zoom zoom : {Zoom{1, 8}, Zoom{1, 2}, Zoom{1, 1}, Zoom{2, 1}}) {
    view.SetZoom(zoom);
    const QSize size = ExpectOnly(main.PaintBox1(), own, "main");
    // Device pixels: 2 per logical pixel.
    EXPECT_EQ(size.width(), 2 * view.Scale().LogicalSize(640));
  }
  // At 1:1 each picture pixel is exactly a 2 × 2 block.
  view.SetZoom({});
  const QImage one = main.PaintBox1()->grab().toImage();
  for (int y = 0; y < 20; ++y)
    for (int x = 0; x < 20; ++x)
      ASSERT_EQ(one.pixel(2 * x, 2 * y), one.pixel(2 * x + 1, 2 * y + 1)) << x << "," << y;
  ASSERT_NE(one.pixel(0, 0), one.pixel(2, 0));

  TTAVOSUBF& sub = app->sub();
  Checks(WindowProbe::Doc(sub).Picture(), 250, 251);
  WindowProbe::View(sub).RestoreAll(sub.SubPictureImage());
  WindowProbe::View(sub).SetZoom({1, 4});
  ExpectOnly(sub.PaintBox1(), ColoursOf(sub.SubPictureImage()), "sub");

  // The edit palette's magnified view and its two colour swatches, and the colour palette's grid.
  TTAVOEDTF& edit = app->edit();
  Checks(WindowProbe::Doc(edit).Picture(), 249, 250);
  WindowProbe::ShowNewPicture(edit);
  ExpectOnly(edit.PaintBox1(), ColoursOf(edit.ScreenImage()), "edit");
  for (const char* name : {"PaintBox_LEFT", "PaintBox_RIGHT"}) {
    auto* swatch = edit.findChild<PaintBox*>(QString::fromLatin1(name));
    ASSERT_NE(swatch, nullptr) << name;
    const QImage image = swatch->grab().toImage();
    std::set<QRgb> seen;
    for (int y = 0; y < image.height(); ++y)
      for (int x = 0; x < image.width(); ++x) seen.insert(image.pixel(x, y));
    EXPECT_EQ(seen.size(), 1u) << name;
  }
  ExpectOnly(app->colour().PaintBox1, ColoursOf(app->colour().SwatchGridImage()), "colour");
}

}  // namespace
}  // namespace zudizar

// The JPEG palette rule: a picture whose colours fit keeps the defined
// merge, a photo gets colours chosen for the whole picture.
#include <gtest/gtest.h>

#include <cmath>

#include "formats/jpeg/jpeg.h"
#include "formats/jpeg/jpeg_colours.h"
#include "formats/jpeg_test_support.h"
#include "formats/reduce.h"
#include "palette/palette_load.h"
#include "support/test_support.h"

namespace zudizar {
namespace {

double Psnr(const IndexedImage& image, const std::vector<std::uint8_t>& rgb) {
  double squares = 0;
  const int w = image.ImageWidth(), h = image.ImageHeight();
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) {
      const ColourTableEntry& c = image.colourTable[image.At(x, y)];
      const std::uint8_t* p = &rgb[(static_cast<std::size_t>(y) * w + x) * 3];
      for (const double d : {double(c.red) - p[0], double(c.green) - p[1], double(c.blue) - p[2]}) squares += d * d;
    }
  return 10 * std::log10(255.0 * 255.0 * 3 * w * h / squares);
}

class JpegPaletteTest : public testing::PaletteReset {
 protected:
  testing::TempFolder folder_;
};

TEST_F(JpegPaletteTest, FewColoursAreMergedByTheDefinedRule) {
  const std::string path = folder_.File("パレット.jpg");
  testing::WriteBytes(path, testing::EncodedTestPicture(16, 8));
  IndexedImage gathered;
  ASSERT_TRUE(ReadJpegColours(path, gathered));
  PictureColourList list;
  for (std::uint32_t i = 0; i < gathered.infoHeader.biClrUsed; ++i) {
    const ColourTableEntry& c = gathered.colourTable[i];
    list.colours[i] = {c.red, c.green, c.blue, 0};
    list.used[i] = true;
  }
  PaletteTable expected = DefaultPalette;
  ASSERT_EQ(MergeColourList(list, expected, kJpegMergeRule), 0);
  SharedPalette.handle.reset();
  ASSERT_TRUE(LoadPaletteFromJpeg(path));
  EXPECT_EQ(SharedPalette.pending, expected);
  EXPECT_NE(SharedPalette.pending, DefaultPalette);
  ASSERT_TRUE(SharedPalette.handle);
  // An unreadable or refused file changes nothing.
  const PaletteTable before = SharedPalette.pending;
  EXPECT_FALSE(LoadPaletteFromJpeg(folder_.File("missing.jpg")));
  if (std::filesystem::exists(testing::CorpusDir() / "jpeg")) {
    EXPECT_FALSE(LoadPaletteFromJpeg((testing::CorpusDir() / "jpeg" / "ljt_testorig12_12bit.jpg").string()));
  }
  EXPECT_EQ(SharedPalette.pending, before);
}

TEST_F(JpegPaletteTest, APhotoKeepsItsColours) {
  if (!testing::ToolAvailable("convert")) GTEST_SKIP() << "ImageMagick is not installed";
  const std::string photo = folder_.File("photo.jpg");
  ASSERT_EQ(testing::RunCommand("convert -seed 3 -size 256x256 plasma:fractal -attenuate 0.4 +noise Gaussian "
                                "-quality 90 '" +
                                photo + "'"),
            0);
  testing::Decoded decoded;
  testing::DecodeBytes(testing::ReadBytes(photo), decoded);
  const std::vector<std::uint8_t>& truth = decoded.sink.image.rgb;

  IndexedImage unchanged;
  ASSERT_TRUE(ReadJpegFile(photo, unchanged));
  ASSERT_TRUE(LoadPaletteFromJpeg(photo));
  MakePendingCurrent();
  IndexedImage opened;
  ASSERT_TRUE(ReadJpegFile(photo, opened));
  const double ours = Psnr(opened, truth), plain = Psnr(unchanged, truth);

  const auto reduced = testing::ConvertToRgb(photo, "+dither -colors 236");
  ASSERT_TRUE(reduced);
  double squares = 0;
  for (std::size_t i = 0; i < truth.size(); ++i)
    squares += (double((*reduced)[i]) - truth[i]) * (double((*reduced)[i]) - truth[i]);
  const double magick = 10 * std::log10(255.0 * 255.0 * truth.size() / squares);
  std::printf("PSNR opened %.2f dB, unchanged palette %.2f dB, ImageMagick +dither -colors 236 %.2f dB\n", ours, plain,
              magick);
  EXPECT_GE(ours, magick - 1);
  EXPECT_GE(ours, plain);
}

}  // namespace
}  // namespace zudizar

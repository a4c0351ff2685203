#include "palette/thumbnail.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <utility>

#include "core/limits.h"
#include "formats/bmp.h"
#include "formats/bmp_builder.h"
#include "formats/jpeg/jpeg.h"
#include "formats/mag.h"
#include "formats/png.h"
#include "support/test_support.h"

namespace zudizar {
namespace {

using Bytes = std::vector<std::uint8_t>;

TEST(ThumbnailSizeTest, TheLongestSideBecomesSizeAndSmallerPicturesStayAsTheyAre) {
  EXPECT_EQ(ThumbnailSize({640, 400}, 128), (PixelSize{128, 80}));
  EXPECT_EQ(ThumbnailSize({400, 640}, 128), (PixelSize{80, 128}));
  EXPECT_EQ(ThumbnailSize({227, 149}, 128), (PixelSize{128, 84}));  // 83.98 rounds up
  EXPECT_EQ(ThumbnailSize({100, 56}, 128), (PixelSize{100, 56}));
  EXPECT_EQ(ThumbnailSize({128, 3}, 128), (PixelSize{128, 3}));
  EXPECT_EQ(ThumbnailSize({3000, 2}, 128), (PixelSize{128, 1}));  // never 0
}

TEST(ThumbnailSizeTest, SizeArgumentIsAWholeNumberUpTo2048) {
  for (const auto& [text, value] : {std::pair{"1", 1}, {"128", 128}, {"2048", 2048}, {"0256", 256}}) {
    int size = 0;
    EXPECT_TRUE(ParseThumbnailSize(text, size)) << text;
    EXPECT_EQ(size, value);
  }
  for (const char* text : {"", "0", "2049", "-1", "+1", "12a", " 12", "1e3", "99999999999"}) {
    int size = 7;
    EXPECT_FALSE(ParseThumbnailSize(text, size)) << text;
    EXPECT_EQ(size, 7);
  }
}

PaletteTable Greys() {
  PaletteTable table{};
  for (int i = 0; i < 256; ++i)
    table[i] = {static_cast<std::uint8_t>(i), static_cast<std::uint8_t>(i), static_cast<std::uint8_t>(i), 0};
  return table;
}

TEST(ScaleToRgbTest, AtItsOwnSizeThePictureKeepsItsColoursTopRowFirst) {
  IndexedImage image;
  testing::MakeImage(image, {{1, 2}, {3, 4}});
  PaletteTable table{};
  table[1] = {255, 0, 0, 0};
  table[2] = {0, 255, 0, 0};
  table[3] = {0, 0, 255, 0};
  table[4] = {10, 20, 30, 0};
  EXPECT_EQ(ScaleToRgb(image, table, {2, 2}), (Bytes{255, 0, 0, 0, 255, 0, 0, 0, 255, 10, 20, 30}));
  EXPECT_TRUE(ScaleToRgb(image, table, {3, 2}).empty());  // never enlarged
}

TEST(ScaleToRgbTest, EachPixelIsTheMeanOfTheAreaItCovers) {
  IndexedImage image;
  // Three columns into two: the middle one counts half to each side.
  testing::MakeImage(image, {{0, 90, 200}, {30, 60, 255}});
  const Bytes two = ScaleToRgb(image, Greys(), {2, 1});
  ASSERT_EQ(two.size(), 6u);
  EXPECT_EQ(two[0], 35);   // (2·0 + 90 + 2·30 + 60) / 6
  EXPECT_EQ(two[3], 177);  // (90 + 2·200 + 60 + 2·255) / 6 = 176.7

  // A fine checkerboard shrinks to its mean, in every pixel.
  std::vector<std::vector<int>> board(64, std::vector<int>(96));
  for (int y = 0; y < 64; ++y)
    for (int x = 0; x < 96; ++x) board[y][x] = (x + y) % 2 ? 255 : 0;
  testing::MakeImage(image, board);
  EXPECT_EQ(ScaleToRgb(image, Greys(), {12, 8}), Bytes(12 * 8 * 3, 128));
}

OpenedPicture Opened(PictureFormat format, Bytes bytes) {
  OpenedPicture opened;
  opened.format = format;
  opened.readable = true;
  opened.bytes = std::move(bytes);
  return opened;
}

// Where a JPEG's first segment of `code` starts, and that segment.
std::size_t Find(const Bytes& jpeg, std::uint8_t code) {
  for (std::size_t i = 0; i + 1 < jpeg.size(); ++i)
    if (jpeg[i] == 0xFF && jpeg[i + 1] == code) return i;
  return jpeg.size();
}
Bytes Segment(const Bytes& jpeg, std::uint8_t code) {
  const std::size_t at = Find(jpeg, code);
  return Bytes(jpeg.begin() + static_cast<std::ptrdiff_t>(at),
               jpeg.begin() + static_cast<std::ptrdiff_t>(at + 2 + (jpeg[at + 2] << 8 | jpeg[at + 3])));
}
// The file's frame header, claiming `width` × `height`.
Bytes Frame(const Bytes& jpeg, int width, int height) {
  Bytes frame = Segment(jpeg, 0xC0);
  frame[5] = static_cast<std::uint8_t>(height >> 8);
  frame[6] = static_cast<std::uint8_t>(height);
  frame[7] = static_cast<std::uint8_t>(width >> 8);
  frame[8] = static_cast<std::uint8_t>(width);
  return frame;
}

// The JPEG followed by a second frame and a scan of it.
Bytes WithSecondFrame(const Bytes& jpeg, int width, int height) {
  Bytes out(jpeg.begin(), jpeg.end() - 2);  // without EOI
  const Bytes frame = Frame(jpeg, width, height), scan = Segment(jpeg, 0xDA);
  out.insert(out.end(), frame.begin(), frame.end());
  out.insert(out.end(), scan.begin(), scan.end());
  out.insert(out.end(), 64, 0);
  out.insert(out.end(), {0xFF, 0xD9});
  return out;
}

class HeaderPictureSizeTest : public testing::PaletteReset {};

TEST_F(HeaderPictureSizeTest, IsTheSizeEachReaderDecodes) {
  IndexedImage image;
  testing::MakeImage(image, {{0, 1, 2, 3, 4}, {5, 6, 7, 8, 9}, {10, 11, 12, 13, 14}});
  const auto check = [&](PictureFormat format, const Bytes& bytes, const IndexedImage& decoded) {
    ASSERT_TRUE(decoded.HasPixels());
    const auto size = HeaderPictureSize(Opened(format, bytes));
    ASSERT_TRUE(size.has_value());
    EXPECT_EQ(*size, (PixelSize{decoded.ImageWidth(), decoded.ImageHeight()}));
  };
  std::string reason;
  IndexedImage bmp, png, mag, jpeg;
  const Bytes bmpBytes = EncodeBmp(image), pngBytes = EncodePng(image);
  const Bytes jpegBytes = EncodeJpeg(image, SharedPalette.current);
  Bytes magBytes;
  ASSERT_TRUE(EncodeMag(image, magBytes));
  ASSERT_TRUE(ReadBmpBytes(bmpBytes, bmp, reason));
  ASSERT_TRUE(ReadPngBytes(pngBytes, png, reason));
  ASSERT_TRUE(DecodeMag(magBytes, mag));
  DecodeJpegImage(jpegBytes, jpeg);
  check(PictureFormat::Bmp, bmpBytes, bmp);
  check(PictureFormat::Png, pngBytes, png);
  check(PictureFormat::Mag, magBytes, mag);  // 16 colours: padded to 8 pixels
  EXPECT_EQ(mag.ImageWidth(), 8);
  check(PictureFormat::Jpeg, jpegBytes, jpeg);
  EXPECT_FALSE(HeaderPictureSize(Opened(PictureFormat::Icon, Bytes(100, 0))).has_value());
}

TEST_F(HeaderPictureSizeTest, TakesWhatTheHeaderClaimsFromAFewBytes) {
  Bytes png = {0x89, 'P', 'N', 'G', 13, 10, 26,   10,   0, 0, 0,    13,
               'I',  'H', 'D', 'R', 0,  0,  0xFF, 0xFF, 0, 0, 0xFF, 0xFF};
  EXPECT_EQ(HeaderPictureSize(Opened(PictureFormat::Png, png)), (PixelSize{65535, 65535}));

  testing::BmpBuilder bmp;
  bmp.width = 10000;
  bmp.height = -9000;
  bmp.pixels = {0};  // a file that has no pixel data at all is refused from its header
  EXPECT_EQ(HeaderPictureSize(Opened(PictureFormat::Bmp, bmp.Build())), (PixelSize{10000, 9000}));

  // 256 colours from column 3 to 65534: whole units of 4 pixels from column
  // 0, so 65532 pixels take 65536.
  Bytes mag = {'M', 'A', 'K', 'I', '0', '2', ' ', ' ', 'U', 0x1A, 0, 0, 0, 0x80, 3, 0, 0, 0, 0xFE, 0xFF, 0xFE, 0xFF};
  mag.resize(mag.size() + 20, 0);
  EXPECT_EQ(HeaderPictureSize(Opened(PictureFormat::Mag, mag)), (PixelSize{65536, 65535}));
  mag.resize(30);  // the header cut short
  EXPECT_FALSE(HeaderPictureSize(Opened(PictureFormat::Mag, mag)).has_value());

  // Two frames before the first scan: the decoder takes the last, here the
  // larger. A frame after the scan is left to the picture ceiling.
  IndexedImage image;
  testing::MakeImage(image, {{1, 2}, {3, 4}});
  const Bytes jpeg = EncodeJpeg(image, SharedPalette.current);
  Bytes twoFrames = jpeg;
  const Bytes larger = Frame(jpeg, 5000, 4000);
  twoFrames.insert(twoFrames.begin() + static_cast<std::ptrdiff_t>(Find(jpeg, 0xDA)), larger.begin(), larger.end());
  EXPECT_EQ(HeaderPictureSize(Opened(PictureFormat::Jpeg, twoFrames)), (PixelSize{5000, 4000}));
  EXPECT_EQ(HeaderPictureSize(Opened(PictureFormat::Jpeg, WithSecondFrame(jpeg, 5000, 4000))), (PixelSize{2, 2}));
  EXPECT_EQ(HeaderPictureSize(Opened(PictureFormat::Jpeg, Bytes{0xFF, 0xD8, 0xFF, 0xD9})), std::nullopt);

  OpenedPicture unreadable = Opened(PictureFormat::Png, png);
  unreadable.readable = false;
  EXPECT_FALSE(HeaderPictureSize(unreadable).has_value());
}

// The ceiling the thumbnailer sets binds every reader, whatever path the
// decode takes through the file.
class PictureCeilingTest : public testing::PaletteReset {
 protected:
  void TearDown() override { SetPictureCeiling(kMaxImagePixels); }
};

TEST_F(PictureCeilingTest, EveryReaderRefusesAPictureAboveIt) {
  IndexedImage image;
  ASSERT_EQ(CreateImage(64, 32, image), 1);
  for (std::size_t i = 0; i < image.pixels.size(); ++i) image.pixels[i] = static_cast<std::uint8_t>(i % 7);
  const Bytes bmpBytes = EncodeBmp(image), pngBytes = EncodePng(image);
  const Bytes jpegBytes = EncodeJpeg(image, SharedPalette.current);
  Bytes magBytes;
  ASSERT_TRUE(EncodeMag(image, magBytes));
  const auto readable = [&] {
    std::string reason;
    IndexedImage bmp, png, mag, jpeg;
    DecodeJpegImage(jpegBytes, jpeg);
    return std::vector<bool>{ReadBmpBytes(bmpBytes, bmp, reason), ReadPngBytes(pngBytes, png, reason),
                             DecodeMag(magBytes, mag), jpeg.HasPixels()};
  };
  SetPictureCeiling(64 * 32);
  EXPECT_EQ(readable(), std::vector<bool>(4, true));
  SetPictureCeiling(64 * 32 - 1);
  EXPECT_EQ(readable(), std::vector<bool>(4, false));
}

TEST_F(PictureCeilingTest, AJpegFrameAfterTheFirstScanIsBoundToo) {
  IndexedImage image;
  testing::MakeImage(image, {{1, 2, 3}, {4, 5, 6}});
  const Bytes jpeg = WithSecondFrame(EncodeJpeg(image, SharedPalette.current), 300, 200);
  IndexedImage decoded;
  DecodeJpegImage(jpeg, decoded);
  EXPECT_EQ(decoded.ImageWidth(), 300);  // the last frame wins
  SetPictureCeiling(300 * 200 - 1);
  DecodeJpegImage(jpeg, decoded);
  EXPECT_EQ(decoded.ImageWidth(), 3);
  EXPECT_EQ(decoded.ImageHeight(), 2);
}

class RunThumbnailTest : public testing::ProgramFolderTest {
 protected:
  void TearDown() override { SetPictureCeiling(kMaxImagePixels); }
  std::string out_ = folder_.File("thumbnail.png");
};

TEST_F(RunThumbnailTest, WritesATrueColourPngOfThePicture) {
  testing::BmpBuilder bmp;  // left half red, right half blue
  bmp.width = 300;
  bmp.height = 150;
  bmp.table = {{255, 0, 0}, {0, 0, 255}};
  for (int y = 0; y < 150; ++y)
    for (int x = 0; x < 300; ++x) bmp.pixels.push_back(x < 150 ? 0 : 1);
  const std::string in = Write("絵.bmp", bmp.Build());
  std::string error;
  ASSERT_EQ(RunThumbnail(in, out_, "100", error), 0) << error;
  const std::string written = testing::Slurp(out_);
  PngPicture png;
  ASSERT_TRUE(DecodePng(Bytes(written.begin(), written.end()), png, error)) << error;
  ASSERT_EQ(png.width, 100);
  ASSERT_EQ(png.height, 50);
  ASSERT_FALSE(png.palettised);
  const auto at = [&](int x, int y) {
    const std::uint8_t* p = png.rgba.data() + 4 * (static_cast<std::size_t>(y) * 100 + x);
    return std::array<int, 3>{p[0], p[1], p[2]};
  };
  EXPECT_EQ(at(0, 0), (std::array<int, 3>{255, 0, 0}));
  EXPECT_EQ(at(99, 49), (std::array<int, 3>{0, 0, 255}));
}

TEST_F(RunThumbnailTest, RefusesAFileOver32MegabytesWithoutReadingIt) {
  IndexedImage image;
  ASSERT_EQ(CreateImage(4, 4, image), 1);
  const std::string in = Write("long.bmp", EncodeBmp(image));
  std::filesystem::resize_file(in, kMaxThumbnailFileBytes + 1);  // sparse: nothing to read
  std::string error;
  EXPECT_EQ(RunThumbnail(in, out_, "64", error), 1);
  EXPECT_NE(error.find("33554433 bytes is too large for a thumbnail"), std::string::npos) << error;
  EXPECT_FALSE(std::filesystem::exists(out_));
  std::filesystem::resize_file(in, kMaxThumbnailFileBytes);
  EXPECT_EQ(RunThumbnail(in, out_, "64", error), 0) << error;
}

}  // namespace
}  // namespace zudizar

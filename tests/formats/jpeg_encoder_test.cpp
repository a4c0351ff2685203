// The JFIF encoder: the fixed file layout, the MCU gathering with repeated
// edges, quantisation, the colour samples, its two runs, and files that
// djpeg and the decoder read back close to the picture.
#include <gtest/gtest.h>

#include <cmath>

#include "formats/jpeg/jpeg.h"
#include "formats/jpeg/jpeg_encoder.h"
#include "formats/jpeg/jpeg_simd.h"
#include "formats/jpeg/jpeg_tables.h"
#include "formats/jpeg_test_support.h"
#include "formats/reduce.h"
#include "support/test_support.h"

namespace zudizar {
namespace {

using Bytes = std::vector<std::uint8_t>;

class JpegEncoderTest : public testing::PaletteReset {};

Bytes Slice(const Bytes& bytes, std::size_t at, std::size_t count) {
  return Bytes(bytes.begin() + static_cast<std::ptrdiff_t>(at),
               bytes.begin() + static_cast<std::ptrdiff_t>(at + count));
}

TEST_F(JpegEncoderTest, FileHasTheFixedSegmentsInOrder) {
  IndexedImage image;
  testing::MakeTestPicture(image, 640, 400);
  testing::ProgressRecorder progress;
  const Bytes bytes = EncodeJpeg(image, SharedPalette.current, &progress);
  ASSERT_GT(bytes.size(), 700u);
  EXPECT_EQ(Slice(bytes, 0, 22), (Bytes{0xFF, 0xD8, 0xFF, 0xE0, 0x00, 0x10, 0x4A, 0x46, 0x49, 0x46, 0x00,
                                        0x01, 0x01, 0x00, 0x00, 0x01, 0x00, 0x01, 0x00, 0x00, 0xFF, 0xDB}));
  // DQT: both tables as printed in Annex K, row by row.
  Bytes dqt = {0xFF, 0xDB, 0x00, 0x84, 0x00};
  dqt.insert(dqt.end(), jpeg::kLuminanceQuantK1.begin(), jpeg::kLuminanceQuantK1.end());
  dqt.push_back(0x01);
  dqt.insert(dqt.end(), jpeg::kChrominanceQuantK2.begin(), jpeg::kChrominanceQuantK2.end());
  EXPECT_EQ(Slice(bytes, 20, dqt.size()), dqt);
  // SOF0 with the true size, Y sampled 2 x 1.
  const std::size_t sof = 20 + dqt.size();
  EXPECT_EQ(Slice(bytes, sof, 19), (Bytes{0xFF, 0xC0, 0x00, 0x11, 0x08, 0x01, 0x90, 0x02, 0x80, 0x03, 0x01, 0x21, 0x00,
                                          0x02, 0x11, 0x01, 0x03, 0x11, 0x01}));
  // DHT: DC 0, DC 1, AC 0, AC 1.
  std::size_t at = sof + 19;
  const std::pair<int, const jpeg::HuffmanSpec*> tables[] = {{0x00, &jpeg::kDcLuminanceK3},
                                                             {0x01, &jpeg::kDcChrominanceK4},
                                                             {0x10, &jpeg::kAcLuminanceK5},
                                                             {0x11, &jpeg::kAcChrominanceK6}};
  for (const auto& [tableByte, spec] : tables) {
    Bytes dht = {0xFF, 0xC4, 0x00, static_cast<std::uint8_t>(19 + spec->symbolCount),
                 static_cast<std::uint8_t>(tableByte)};
    dht.insert(dht.end(), spec->counts.begin(), spec->counts.end());
    dht.insert(dht.end(), spec->symbols, spec->symbols + spec->symbolCount);
    EXPECT_EQ(Slice(bytes, at, dht.size()), dht) << tableByte;
    at += dht.size();
  }
  EXPECT_EQ(Slice(bytes, at, 14),
            (Bytes{0xFF, 0xDA, 0x00, 0x0C, 0x03, 0x01, 0x00, 0x02, 0x11, 0x03, 0x11, 0x00, 0x3F, 0x00}));
  EXPECT_EQ(Slice(bytes, bytes.size() - 2, 2), (Bytes{0xFF, 0xD9}));
  // 50 MCU rows, counted and then written.
  ASSERT_EQ(progress.calls.size(), 100u);
  for (int row = 0; row < 50; ++row) {
    EXPECT_EQ(progress.calls[row], std::make_pair(row * 100 / 49, 0));
    EXPECT_EQ(progress.calls[50 + row], std::make_pair(row * 100 / 49, 1));
  }
  // The decoder sees 40 MCUs of 16 x 8 per row.
  testing::Decoded d;
  testing::DecodeBytes(bytes, d);
  EXPECT_EQ(d.sink.image.width, 640);
  EXPECT_EQ(d.sink.image.height, 400);
  EXPECT_EQ(d.sink.fullBlocks, 40 * 50 * 2);
  EXPECT_TRUE(d.traces.empty());
}

TEST_F(JpegEncoderTest, PartialMcusRepeatTheLastColumnAndRow) {
  IndexedImage image;
  ASSERT_EQ(CreateImage(12, 12, image), 1);
  for (int y = 0; y < 12; ++y)
    for (int x = 0; x < 12; ++x) image.At(x, y) = static_cast<std::uint8_t>(10 + 12 * y + x);
  const jpeg::SampleTable samples = jpeg::MakeSampleTable(SharedPalette.current);
  for (int mcuY = 0; mcuY < 2; ++mcuY) {
    jpeg::EncoderMcu mcu;
    jpeg::GatherMcu(image, samples, 0, mcuY, mcu);
    for (int j = 0; j < 8; ++j) {
      const int y = std::min(8 * mcuY + j, 11);
      for (int i = 0; i < 16; ++i) {
        const int x = std::min(i, 11);
        EXPECT_EQ(mcu.luminance[i / 8][8 * j + i % 8], samples.luminance[image.At(x, y)]) << i << "," << y;
      }
      for (int i = 0; i < 8; ++i) {
        const int a = image.At(std::min(2 * i, 11), y), b = image.At(std::min(2 * i + 1, 11), y);
        EXPECT_EQ(mcu.cb[8 * j + i], (samples.cb[a] + samples.cb[b] + 1) >> 1);
        EXPECT_EQ(mcu.cr[8 * j + i], (samples.cr[a] + samples.cr[b] + 1) >> 1);
      }
    }
  }
  testing::ProgressRecorder progress;
  const Bytes bytes = EncodeJpeg(image, SharedPalette.current, &progress);
  EXPECT_EQ(progress.calls, (std::vector<std::pair<int, int>>{{0, 0}, {100, 0}, {0, 1}, {100, 1}}));
  EXPECT_EQ(Slice(bytes, 20 + 134 + 5, 4), (Bytes{0x00, 0x0C, 0x00, 0x0C}));
}

TEST_F(JpegEncoderTest, QuantisationRoundsHalfAwayFromZero) {
  const auto plain = [](int a, int q) { return a == 0 ? 0 : a > 0 ? (a + q / 2) / q : (a - q / 2) / q; };
  for (int value : {1, 2, 3, 7, 16, 17, 99, 121, 255})
    for (int a = -18500; a <= 18500; ++a)
      ASSERT_EQ(jpeg::Quantise(a, value), plain(a, 16 * value)) << a << " / " << value;
  std::mt19937 random(8);
  for (int i = 0; i < 200000; ++i) {
    const int value = 1 + random() % 255, a = static_cast<int>(random() % 37001) - 18500;
    ASSERT_EQ(jpeg::Quantise(a, value), plain(a, 16 * value)) << a << " / " << value;
  }
}

TEST_F(JpegEncoderTest, SamplesFollowTheJfifFormulas) {
  PaletteTable palette{};
  std::mt19937 random(4);
  for (auto& e : palette)
    e = {static_cast<std::uint8_t>(random()), static_cast<std::uint8_t>(random()), static_cast<std::uint8_t>(random()),
         0};
  palette[0] = {0, 0, 0, 0};
  palette[1] = {255, 255, 255, 0};
  const jpeg::SampleTable samples = jpeg::MakeSampleTable(palette);
  for (int i = 0; i < 256; ++i) {
    const double r = palette[i].red, g = palette[i].green, b = palette[i].blue;
    const double y = 0.299 * r + 0.587 * g + 0.114 * b;
    EXPECT_NEAR(samples.luminance[i], 16 * y - 2048, 2.0) << i;
    EXPECT_NEAR(samples.cb[i], 16 * 0.5 * (b - y) / 0.886, 2.0) << i;
    EXPECT_NEAR(samples.cr[i], 16 * 0.5 * (r - y) / 0.701, 2.0) << i;
  }
}

TEST_F(JpegEncoderTest, VectorAndPlainPathsEncodeIdentically) {
  IndexedImage image;
  testing::MakeTestPicture(image, 123, 77);
  const Bytes vector = EncodeJpeg(image, SharedPalette.current);
  jpeg::VectorPathsAllowed() = false;
  const Bytes plain = EncodeJpeg(image, SharedPalette.current);
  jpeg::VectorPathsAllowed() = true;
  EXPECT_EQ(vector, plain);
}

// A 6 x 7 x 6 colour cube: a palette on which a photograph keeps its look.
PaletteTable CubePalette() {
  PaletteTable palette{};
  int i = 0;
  for (int r = 0; r < 6; ++r)
    for (int g = 0; g < 7; ++g)
      for (int b = 0; b < 6; ++b)
        palette[i++] = {static_cast<std::uint8_t>(r * 51), static_cast<std::uint8_t>(g * 255 / 6),
                        static_cast<std::uint8_t>(b * 51), 0};
  return palette;
}

TEST_F(JpegEncoderTest, FilesDecodeWithDjpegWithoutWarningsAndStayCloseToThePicture) {
  ZUDIZAR_REQUIRE_CORPUS("jpeg");
  testing::RgbImage photo;
  ASSERT_TRUE(testing::ParsePpm(testing::ReadBytes(testing::CorpusDir() / "jpeg" / "ljt_testorig.ppm"), photo));
  const PaletteTable palette = CubePalette();
  IndexedImage image;
  ASSERT_EQ(CreateImage(photo.width, photo.height, image), 1);
  testing::RgbImage picture = photo;  // the picture as the palette shows it
  for (int y = 0; y < photo.height; ++y)
    for (int x = 0; x < photo.width; ++x) {
      const std::uint8_t* c = photo.At(x, y);
      const int index = NearestColourByScan(palette, c[0], c[1], c[2]);
      image.At(x, y) = static_cast<std::uint8_t>(index);
      std::uint8_t* p = picture.At(x, y);
      p[0] = palette[index].red, p[1] = palette[index].green, p[2] = palette[index].blue;
    }
  const Bytes bytes = EncodeJpeg(image, palette);
  // Our own decoder.
  testing::Decoded ours;
  testing::DecodeBytes(bytes, ours);
  EXPECT_TRUE(ours.traces.empty());
  const auto own = testing::Compare(ours.sink.image, picture, photo.width, photo.height);
  std::printf("encoder 227x149 -> own decoder: PSNR %.2f dB, mean %.2f\n", own.psnr, own.mean);
  // The palette's hard steps are what a DCT at quality 50 smooths most.
  EXPECT_GT(own.psnr, 25.0);
  if (!testing::ToolAvailable("djpeg")) GTEST_SKIP() << "djpeg is not installed";
  testing::TempFolder folder;
  const std::string path = folder.File("encoded.jpg");
  testing::WriteBytes(path, bytes);
  std::string errors;
  ASSERT_EQ(testing::RunCommand("djpeg -ppm -outfile '" + folder.File("djpeg.ppm") + "' '" + path + "'", &errors), 0);
  EXPECT_EQ(errors, "");
  testing::RgbImage decoded;
  ASSERT_TRUE(testing::ParsePpm(testing::ReadBytes(folder.File("djpeg.ppm")), decoded));
  ASSERT_EQ(decoded.width, photo.width);
  ASSERT_EQ(decoded.height, photo.height);
  const auto peer = testing::Compare(decoded, picture, photo.width, photo.height);
  std::printf("encoder 227x149 -> djpeg: PSNR %.2f dB, mean %.2f\n", peer.psnr, peer.mean);
  EXPECT_GT(peer.psnr, 25.0);
  // libjpeg's encoder with the Annex K tables (quality 50) and the same
  // sampling does about a decibel better: it applies the tables in their
  // natural order, while the defined encoder takes them as printed for its
  // zig-zag sequence, which quantises a few low frequencies more coarsely.
  if (!testing::ToolAvailable("cjpeg")) return;
  testing::WriteBytes(folder.File("picture.ppm"), testing::PpmBytes(picture));
  ASSERT_EQ(testing::RunCommand("cjpeg -quality 50 -sample 2x1 -outfile '" + folder.File("cjpeg.jpg") + "' '" +
                                folder.File("picture.ppm") + "'"),
            0);
  ASSERT_EQ(
      testing::RunCommand("djpeg -ppm -outfile '" + folder.File("cjpeg.ppm") + "' '" + folder.File("cjpeg.jpg") + "'"),
      0);
  testing::RgbImage reference;
  ASSERT_TRUE(testing::ParsePpm(testing::ReadBytes(folder.File("cjpeg.ppm")), reference));
  const auto cjpeg = testing::Compare(reference, picture, photo.width, photo.height);
  std::printf("cjpeg -quality 50 -sample 2x1 -> djpeg: PSNR %.2f dB (%zu bytes; ours %zu bytes)\n", cjpeg.psnr,
              testing::ReadBytes(folder.File("cjpeg.jpg")).size(), bytes.size());
  EXPECT_GT(peer.psnr, cjpeg.psnr - 1.5);
}

TEST_F(JpegEncoderTest, WriteJpegFileWritesAFileTheReaderOpens) {
  testing::TempFolder folder;
  const std::string path = folder.File("貼り絵ソ表能.JPG");
  testing::WriteBytes(path, Bytes(100000, 0x55));  // an older file is replaced whole
  IndexedImage image;
  testing::MakeTestPicture(image, 50, 30);
  ASSERT_TRUE(WriteJpegFile(path, image));
  EXPECT_EQ(testing::ReadBytes(path), EncodeJpeg(image, SharedPalette.current));
  IndexedImage back;
  ASSERT_TRUE(ReadJpegFile(path, back));
  EXPECT_EQ(back.ImageWidth(), 50);  // read back at the size it was saved
  EXPECT_EQ(back.ImageHeight(), 30);
  // Nothing to save: no file is touched.
  IndexedImage empty;
  EXPECT_FALSE(WriteJpegFile(folder.File("empty.jpg"), empty));
  EXPECT_FALSE(std::filesystem::exists(folder.File("empty.jpg")));
}

// Noise codes to long fields and many 0xFF bytes: the writing run, which
// packs what the counting run kept, still stuffs every 0xFF of the scan,
// reports the rows as the counting run did, and makes a file the decoder
// reads cleanly, block for block, on both paths alike.
TEST_F(JpegEncoderTest, NoiseMakesACleanlyStuffedFileInBothRuns) {
  IndexedImage image;
  ASSERT_EQ(CreateImage(320, 240, image), 1);
  std::uint32_t state = 12345;
  for (auto& p : image.pixels) {
    state = state * 1664525u + 1013904223u;
    p = static_cast<std::uint8_t>(state >> 24);
  }
  testing::ProgressRecorder progress;
  const Bytes bytes = EncodeJpeg(image, SharedPalette.current, &progress);
  ASSERT_EQ(progress.calls.size(), 60u);
  for (int row = 0; row < 30; ++row) {
    EXPECT_EQ(progress.calls[row], std::make_pair(row * 100 / 29, 0));
    EXPECT_EQ(progress.calls[30 + row], std::make_pair(row * 100 / 29, 1));
  }
  // The scan starts after the fixed headers (20 + 134 + 19 + 4 DHT + 14).
  std::size_t scan = 0;
  for (std::size_t i = 0; i + 1 < bytes.size(); ++i)
    if (bytes[i] == 0xFF && bytes[i + 1] == 0xDA) scan = i + 14;
  ASSERT_GT(scan, 0u);
  int stuffed = 0;
  for (std::size_t i = scan; i + 2 < bytes.size(); ++i) {
    if (bytes[i] != 0xFF) continue;
    ASSERT_EQ(bytes[i + 1], 0x00) << "at " << i;
    ++stuffed, ++i;
  }
  EXPECT_GT(stuffed, 100);
  EXPECT_EQ(Slice(bytes, bytes.size() - 2, 2), (Bytes{0xFF, 0xD9}));
  testing::Decoded d;
  testing::DecodeBytes(bytes, d);
  EXPECT_TRUE(d.traces.empty());
  EXPECT_EQ(d.sink.fullBlocks, 20 * 30 * 2);
  jpeg::VectorPathsAllowed() = false;
  const Bytes plain = EncodeJpeg(image, SharedPalette.current);
  jpeg::VectorPathsAllowed() = true;
  EXPECT_EQ(plain, bytes);
}

}  // namespace
}  // namespace zudizar

#include "formats/dispatch.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "base/file_io.h"
#include "formats/bmp.h"
#include "formats/bmp_builder.h"
#include "formats/jpeg/jpeg.h"
#include "formats/jpeg_test_support.h"
#include "formats/mag.h"
#include "support/test_support.h"

namespace zudizar {
namespace {

using Bytes = std::vector<std::uint8_t>;

const char* Name(PictureFormat f) {
  switch (f) {
    case PictureFormat::Bmp: return "BMP";
    case PictureFormat::Mag: return "MAG";
    case PictureFormat::Jpeg: return "JPEG";
    case PictureFormat::Icon: return "ICO";
    case PictureFormat::Png: return "PNG";
  }
  return "?";
}

TEST(DispatchTest, ExtensionChoosesTheFormatWhenTheBytesSayNothing) {
  const struct {
    const char* name;
    PictureFormat format;
  } cases[] = {
      {"a.mag", PictureFormat::Mag},     {"a.Mag", PictureFormat::Mag},     {"C:/W/A.MAG", PictureFormat::Mag},
      {"a.jpg", PictureFormat::Jpeg},    {"a.JPEG", PictureFormat::Jpeg},   {"a.jpe", PictureFormat::Jpeg},
      {"a.Jfif", PictureFormat::Jpeg},   {"a.ico", PictureFormat::Icon},    {"a.bmp", PictureFormat::Bmp},
      {"a.png", PictureFormat::Png},     {"a", PictureFormat::Bmp},         {"a.", PictureFormat::Bmp},
      {"x.mag/a", PictureFormat::Bmp},   {"a.mag.bmp", PictureFormat::Bmp}, {"a.bmp.jpg", PictureFormat::Jpeg},
      {"写真.JPG", PictureFormat::Jpeg}, {"a.jpgx", PictureFormat::Bmp},    {".ico", PictureFormat::Icon},
  };
  const Bytes none;
  const Bytes unknown = {'G', 'I', 'F', '8', '9', 'a', 0, 0};
  for (const auto& c : cases) {
    EXPECT_STREQ(Name(ChoosePictureFormat(c.name, none)), Name(c.format)) << c.name;
    EXPECT_STREQ(Name(ChoosePictureFormat(c.name, unknown)), Name(c.format)) << c.name;
    EXPECT_STREQ(Name(FormatByExtension(c.name)), Name(c.format)) << c.name;
  }
}

TEST(DispatchTest, ClearSignaturesOverrideAMisleadingExtension) {
  const struct {
    const char* name;
    Bytes first;
    PictureFormat format;
  } cases[] = {
      {"a.jpg", {'B', 'M', 0x36, 0, 0, 0}, PictureFormat::Bmp},
      {"a.mag", {'B', 'M'}, PictureFormat::Bmp},
      {"a.bmp", {0xFF, 0xD8, 0xFF, 0xE0}, PictureFormat::Jpeg},
      {"a.ico", {'M', 'A', 'K', 'I', '0', '2', ' ', ' '}, PictureFormat::Mag},
      {"a.mag", {0, 0, 1, 0, 1, 0}, PictureFormat::Icon},
      {"a.jpg", {0xFF, 0xD8, 0xFF}, PictureFormat::Jpeg},
      {"a.jpg", {0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A}, PictureFormat::Png},
      {"a.bmp", {0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A}, PictureFormat::Png},
      // Not clear enough: the extension decides.
      {"a.ico", {0, 0, 1, 0, 0, 0}, PictureFormat::Icon},  // no image in it
      {"a.bmp", {0, 0, 1, 0, 0, 0}, PictureFormat::Bmp},
      {"a.bmp", {0, 0, 2, 0, 1, 0}, PictureFormat::Bmp},  // a cursor
      {"a.bmp", {'M', 'A', 'K', 'I', '0', '1', 'A', ' '}, PictureFormat::Bmp},
      {"a.mag", {'M', 'A', 'K', 'I', '0', '2', ' '}, PictureFormat::Mag},
      {"a.bmp", {0xFF, 0xD8}, PictureFormat::Bmp},
      {"a.jpg", {'b', 'm'}, PictureFormat::Jpeg},
      {"a.png", {0x89, 'P', 'N', 'G', 0x0D, 0x0A}, PictureFormat::Png},  // cut short
      {"a.bmp", {0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A}, PictureFormat::Bmp},
  };
  for (const auto& c : cases) EXPECT_STREQ(Name(ChoosePictureFormat(c.name, c.first)), Name(c.format)) << c.name;
}

class DispatchFileTest : public testing::PaletteReset {
 protected:
  testing::TempFolder folder_;
};

TEST_F(DispatchFileTest, ABmpUnderAnotherExtensionStillOpens) {
  IndexedImage image;
  testing::MakeImage(image, {{1, 2, 3, 4}, {5, 6, 7, 8}});
  for (const char* name : {"絵.jpg", "絵.MAG", "絵.ico", "絵"}) {
    const std::string path = folder_.File(name);
    ASSERT_TRUE(WriteFileSafely(path, EncodeBmp(image)));
    IndexedImage loaded;
    ASSERT_TRUE(LoadPictureFile(path, loaded)) << name;
    EXPECT_EQ(testing::Pixels(loaded), testing::Pixels(image)) << name;
  }
}

TEST_F(DispatchFileTest, SaveChoosesByExtensionAndReplacesTheOldFileWhole) {
  IndexedImage image;
  testing::MakeImage(image, {{10, 20, 30, 40}});
  image.fileHeader.bfOffBits = 54;
  for (const char* name : {"a.bmp", "a.PNG.bmp", "a", "ソ表能.BMP"}) {
    const std::string path = folder_.File(name);
    ASSERT_TRUE(WriteFileSafely(path, Bytes(5000, 0xAB)));  // an older, longer file
    ASSERT_TRUE(SavePictureFile(path, image)) << name;
    EXPECT_EQ(image.fileHeader.bfOffBits, 1078u);
    EXPECT_EQ(FileLength(path), 1078 + 4) << name;
    IndexedImage back;
    ASSERT_TRUE(LoadPictureFile(path, back));
    EXPECT_EQ(testing::Pixels(back), testing::Pixels(image));
  }
  // Only the saved files are left: no temporary files beside them.
  int files = 0;
  for (const auto& entry : std::filesystem::directory_iterator(folder_.Path())) {
    (void)entry;
    ++files;
  }
  EXPECT_EQ(files, 4);
}

TEST_F(DispatchFileTest, APictureSavedUnderAPngNameIsAPng) {
  IndexedImage image;
  testing::MakeImage(image, {{10, 20, 30}, {40, 50, 60}});
  for (const char* name : {"a.png", "b.PNG"}) {
    const std::string path = folder_.File(name);
    ASSERT_TRUE(WriteFileSafely(path, EncodeBmp(image)));  // an old BMP of that name
    ASSERT_TRUE(SavePictureFile(path, image)) << name;
    Bytes bytes;
    ASSERT_TRUE(ReadWholeFile(path, bytes));
    EXPECT_EQ(ChoosePictureFormat("x", bytes), PictureFormat::Png) << name;
    IndexedImage back;
    ASSERT_TRUE(LoadPictureFile(path, back));
    EXPECT_EQ(testing::Pixels(back), testing::Pixels(image));
  }
}

TEST_F(DispatchFileTest, AFailedSaveLeavesTheOldFileUntouched) {
  const std::string path = folder_.File("keep.bmp");
  const Bytes old(300, 0x5A);
  ASSERT_TRUE(WriteFileSafely(path, old));
  IndexedImage empty;  // no pixels: the writer refuses
  EXPECT_FALSE(SavePictureFile(path, empty));
  Bytes now;
  ASSERT_TRUE(ReadWholeFile(path, now));
  EXPECT_EQ(now, old);
}

class CutFilesTest : public testing::PaletteReset {};

TEST_F(CutFilesTest, FilesCutShortOpenWithANoteAndWholeFilesWithout) {
  IndexedImage picture;
  testing::MakeTestPicture(picture, 96, 80);
  std::uint32_t noise = 7;  // so that no format packs it into a few bytes
  for (auto& p : picture.pixels) p = static_cast<std::uint8_t>((noise = noise * 1103515245u + 12345u) >> 28);
  testing::BmpBuilder colour;
  colour.bitCount = 24;
  colour.width = 96;
  colour.height = 80;
  colour.pixels.assign(96 * 3 * 80, 0x80);
  Bytes mag;
  ASSERT_TRUE(EncodeMag(picture, mag));
  const struct {
    const char* name;
    Bytes bytes;
    std::size_t cutTo;
  } cases[] = {
      {"cut.bmp", colour.Build(), 54 + 96 * 3 * 80 / 60},  // to under 2 %
      {"cut8.bmp", EncodeBmp(picture), 1078 + 96 * 40},
      {"cut.mag", mag, mag.size() / 3},
      {"cut.jpg", EncodeJpeg(picture, SharedPalette.current), 700},
  };
  testing::TempFolder folder;
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    ASSERT_LT(c.cutTo, c.bytes.size());
    for (const bool cut : {false, true}) {
      const std::string path = folder.File(c.name);
      testing::WriteBytes(
          path, cut ? Bytes(c.bytes.begin(), c.bytes.begin() + static_cast<std::ptrdiff_t>(c.cutTo)) : c.bytes);
      IndexedImage image;
      FileReport report;
      ASSERT_TRUE(LoadPictureFile(path, image, &report));
      EXPECT_EQ(image.ImageHeight(), 80);
      if (cut)
        EXPECT_EQ(report.messages, (std::vector<FileMessage>{{kDataEndedText, kPartLoadCaption, MessageKind::Note}}));
      else
        EXPECT_TRUE(report.Empty());
    }
  }
}

}  // namespace
}  // namespace zudizar

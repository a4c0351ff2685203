// Opening a picture as one pipeline: one read, one decode, the decoded
// colours carried from the palette step to the picture step and no further,
// and the messages of each step returned in order.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>

#include "formats/bmp.h"
#include "formats/bmp_builder.h"
#include "formats/dispatch.h"
#include "formats/icon.h"
#include "formats/jpeg/jpeg.h"
#include "formats/jpeg/jpeg_markers.h"
#include "formats/jpeg/jpeg_route.h"
#include "formats/jpeg_test_support.h"
#include "formats/png.h"
#include "palette/palette_load.h"
#include "support/test_support.h"

namespace zudizar {
namespace {

bool DecodedAgain(const testing::ProgressRecorder& progress) {
  // A baseline decode runs the preview pass (phase 0); mapping kept colours
  // reports phase 1 alone.
  return std::any_of(progress.calls.begin(), progress.calls.end(), [](const auto& c) { return c.second == 0; });
}

class OpenPipelineTest : public testing::PaletteReset {
 protected:
  std::vector<std::string> JpegFiles() {
    std::vector<std::string> files = {folder_.File("写真.jpg")};
    testing::WriteBytes(files[0], testing::EncodedTestPicture(45, 29));
    if (std::filesystem::exists(testing::CorpusDir() / "jpeg"))
      for (const char* name : {"ljt_testorig.jpg", "ljt_testimgp_progressive.jpg"})
        files.push_back((testing::CorpusDir() / "jpeg" / name).string());
    return files;
  }
  testing::TempFolder folder_;
};

TEST_F(OpenPipelineTest, AJpegIsDecodedOnceAndMapsAsADecodeWould) {
  for (const auto& path : JpegFiles()) {
    SCOPED_TRACE(path);
    OpenedPicture opened;
    ASSERT_TRUE(ReadPictureForOpen(path, opened));
    EXPECT_EQ(opened.format, PictureFormat::Jpeg);
    FileReport report;
    MergeOpenedColours(opened, &report);
    MakePendingCurrent();
    ASSERT_TRUE(opened.samples);
    // The picture step never looks at the file's bytes again.
    std::fill(opened.bytes.begin(), opened.bytes.end(), std::uint8_t{0});
    IndexedImage mapped;
    testing::ProgressRecorder progress;
    ASSERT_TRUE(MapOpenedPicture(opened, mapped, &report, &progress));
    EXPECT_FALSE(DecodedAgain(progress));
    EXPECT_FALSE(opened.samples);  // taken by the one picture step
    EXPECT_TRUE(report.Empty());

    IndexedImage decoded;
    ASSERT_TRUE(ReadJpegFile(path, decoded));
    EXPECT_EQ(mapped.ImageWidth(), decoded.ImageWidth());
    EXPECT_EQ(mapped.ImageHeight(), decoded.ImageHeight());
    EXPECT_EQ(mapped.pixels, decoded.pixels);
  }
}

TEST_F(OpenPipelineTest, DecodedColoursDoNotOutliveTheirOpen) {
  const std::string path = JpegFiles()[0];
  // The palette step alone keeps nothing for a later load of the same file.
  LoadPaletteFromPicture(path);
  MakePendingCurrent();
  IndexedImage image;
  testing::ProgressRecorder progress;
  ASSERT_TRUE(LoadPictureFile(path, image, nullptr, &progress));
  EXPECT_TRUE(DecodedAgain(progress));

  // Nor does an open whose picture step never ran: the file rewritten with
  // another picture opens as that picture.
  {
    OpenedPicture abandoned;
    ReadPictureForOpen(path, abandoned);
    MergeOpenedColours(abandoned);
    ASSERT_TRUE(abandoned.samples);
  }
  testing::WriteBytes(path, testing::EncodedTestPicture(13, 7));
  OpenedPicture opened;
  ReadPictureForOpen(path, opened);
  ASSERT_TRUE(MapOpenedPicture(opened, image));
  EXPECT_EQ(image.ImageWidth(), 13);
  EXPECT_EQ(image.ImageHeight(), 7);

  // A second picture step on the same value decodes again.
  MergeOpenedColours(opened);
  ASSERT_TRUE(MapOpenedPicture(opened, image));
  testing::ProgressRecorder again;
  ASSERT_TRUE(MapOpenedPicture(opened, image, nullptr, &again));
  EXPECT_TRUE(DecodedAgain(again));
}

TEST_F(OpenPipelineTest, OpensReturnTheirMessagesInOrder) {
  // A 24-bit BMP of 300 colours: the palette step's cut message, and the
  // picture still opens.
  testing::BmpBuilder many;
  many.width = 300;
  many.height = 1;
  many.bitCount = 24;
  for (int k = 0; k < 300; ++k)
    many.pixels.insert(many.pixels.end(), {static_cast<std::uint8_t>(k), static_cast<std::uint8_t>(k / 256 + 1), 77});
  const std::string manyPath = folder_.File("多い.bmp");
  testing::WriteBytes(manyPath, many.Build());

  testing::BmpBuilder jpegInside;
  jpegInside.bitCount = 24;
  jpegInside.compression = 4;
  jpegInside.pixels = {1, 2, 3, 4};
  const std::string badBmp = folder_.File("表.bmp");
  testing::WriteBytes(badBmp, jpegInside.Build());
  const std::string badPng = folder_.File("ソ.png");
  testing::WriteBytes(badPng, {0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A, 0, 0, 0, 13});
  const std::string badMag = folder_.File("能.mag");
  testing::WriteBytes(badMag, {'M', 'A', 'K', 'I', '0', '2', ' ', ' ', 0x1A});
  const std::string missingJpeg = folder_.File("ない.jpg");

  FileReport report;
  const auto open = [&report](const std::string& name) {
    OpenedPicture opened;
    ReadPictureForOpen(name, opened);
    MergeOpenedColours(opened, &report);
    IndexedImage image;
    return MapOpenedPicture(opened, image, &report);
  };
  EXPECT_TRUE(open(manyPath));
  EXPECT_FALSE(open(badBmp));
  EXPECT_FALSE(open(badPng));
  EXPECT_FALSE(open(badMag));  // MAG says nothing: the window adds its own message
  EXPECT_FALSE(open(missingJpeg));

  ASSERT_EQ(report.messages.size(), 4u);
  EXPECT_EQ(report.messages[0], (FileMessage{kBmpColoursCutText, kBmpLoadFailedCaption, MessageKind::Information}));
  const std::pair<std::string, const char*> failures[] = {
      {badBmp, kBmpLoadFailedCaption}, {badPng, kPngLoadFailedCaption}, {missingJpeg, jpeg::kJpegLoadFailedCaption}};
  for (std::size_t i = 0; i < 3; ++i) {
    const FileMessage& m = report.messages[i + 1];
    EXPECT_EQ(m.caption, failures[i].second);
    EXPECT_EQ(m.text.rfind(failures[i].first + "\n", 0), 0u) << m.text;
    EXPECT_GT(m.text.size(), failures[i].first.size() + 1) << "a reason follows the name";
    EXPECT_EQ(m.kind, MessageKind::Information);
  }
}

TEST_F(OpenPipelineTest, EachFormatReadsWithinItsBound) {
  // An icon is read only for its front; every byte beyond it is left alone.
  std::vector<std::uint8_t> icon(kIconBytesRead + 5000, 0);
  const std::string iconPath = folder_.File("大.ico");
  testing::WriteBytes(iconPath, icon);
  OpenedPicture opened;
  ASSERT_TRUE(ReadPictureAs(iconPath, PictureFormat::Icon, opened));
  EXPECT_EQ(opened.bytes.size(), kIconBytesRead);
  // A JPEG gets the decoder's zero tail after the whole file.
  const auto jpegBytes = testing::EncodedTestPicture(8, 8);
  const std::string jpegPath = folder_.File("小.bmp");  // the signature decides
  testing::WriteBytes(jpegPath, jpegBytes);
  ASSERT_TRUE(ReadPictureForOpen(jpegPath, opened));
  EXPECT_EQ(opened.format, PictureFormat::Jpeg);
  ASSERT_EQ(opened.bytes.size(), jpegBytes.size() + jpeg::kTailBytes);
  EXPECT_TRUE(std::equal(jpegBytes.begin(), jpegBytes.end(), opened.bytes.begin()));
  EXPECT_TRUE(std::all_of(opened.bytes.begin() + jpegBytes.size(), opened.bytes.end(), [](auto b) { return b == 0; }));
  // A folder or a missing file cannot be read, and its format is the name's.
  EXPECT_FALSE(ReadPictureForOpen(folder_.Path().string(), opened));
  EXPECT_FALSE(ReadPictureForOpen(folder_.File("none.png"), opened));
  EXPECT_EQ(opened.format, PictureFormat::Png);
  EXPECT_TRUE(opened.bytes.empty());
}

}  // namespace
}  // namespace zudizar

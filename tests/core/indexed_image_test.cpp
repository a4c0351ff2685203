#include "core/indexed_image.h"

#include <gtest/gtest.h>

#include <set>

#include "core/limits.h"

#include "support/test_support.h"

namespace zudizar {
namespace {

using testing::MakeImage;
using testing::Pixels;

class IndexedImageTest : public testing::PaletteReset {};

TEST_F(IndexedImageTest, CreateImageSetsHeadersTableAndZeroPixels) {
  IndexedImage image;
  ASSERT_EQ(CreateImage(640, 400, image), 1);
  EXPECT_EQ(image.fileHeader.bfType, 0x4D42);
  EXPECT_EQ(image.fileHeader.bfSize, 1078u + 256000u);
  EXPECT_EQ(image.fileHeader.bfOffBits, 1078u);
  EXPECT_EQ(image.infoHeader.biSize, 40u);
  EXPECT_EQ(image.infoHeader.biSizeImage, 256000u);
  EXPECT_EQ(image.infoHeader.biBitCount, 8);
  EXPECT_EQ(image.pixelBlockSize, 256000);
  EXPECT_EQ(image.ImageWidth(), 640);
  EXPECT_EQ(image.ImageHeight(), 400);
  for (auto p : image.pixels) ASSERT_EQ(p, 0);
  for (int i = 0; i < 256; ++i) {
    const auto& e = DefaultPalette[i];
    EXPECT_EQ(image.colourTable[i], (ColourTableEntry{e.blue, e.green, e.red, 0})) << i;
  }
}

TEST_F(IndexedImageTest, RecreateReplacesBlockAndFreeKeepsSize) {
  IndexedImage image;
  ASSERT_EQ(CreateImage(8, 4, image), 1);
  FillImage(image, 9);
  ASSERT_EQ(CreateImage(12, 2, image), 1);
  EXPECT_EQ(image.pixels.size(), 24u);
  EXPECT_EQ(image.pixels[0], 0);
  FreeImage(image);
  EXPECT_FALSE(image.HasPixels());
  EXPECT_EQ(image.ImageWidth(), 12);
  EXPECT_EQ(image.ImageHeight(), 2);
  FreeImage(image);  // on an empty image: nothing
  EXPECT_FALSE(image.HasPixels());
  // Operations on an empty image do nothing.
  FillRect(image, 0, 0, 5, 5, 1);
  InvertImageColours(image);
  IndexedImage other;
  ASSERT_EQ(CreateImage(4, 4, other), 1);
  EXPECT_EQ(CopyImage(image, other, kNoTransparent), 0);
  EXPECT_EQ(CopyImage(other, image, kNoTransparent), 0);
}

TEST_F(IndexedImageTest, AbsurdSizesAreRefused) {
  IndexedImage image;
  EXPECT_EQ(CreateImage(0, 10, image), 0);
  EXPECT_EQ(CreateImage(10, -1, image), 0);
  EXPECT_EQ(CreateImage(16385, 1, image), 0);
  EXPECT_EQ(CreateImage(16384, 16385, image), 0);
  EXPECT_TRUE(ImageSizeAllowed(16384, 16384));  // 2^28 pixels is the limit
  EXPECT_FALSE(ImageSizeAllowed(16384, 16384 + 1));
  EXPECT_FALSE(image.HasPixels());
}

TEST_F(IndexedImageTest, PixelsAreStoredBottomUp) {
  IndexedImage image;
  ASSERT_EQ(CreateImage(5, 3, image), 1);
  image.At(0, 0) = 7;
  image.At(0, 2) = 9;
  EXPECT_EQ(image.pixels[(3 - 1) * 5], 7);
  EXPECT_EQ(image.pixels[0], 9);
}

TEST_F(IndexedImageTest, FillRectClipsAsDefined) {
  IndexedImage image;
  ASSERT_EQ(CreateImage(6, 4, image), 1);
  // Wholly right of the image: fills the last column of the rows.
  FillRect(image, 6 + 5, 0, 10, 2, 1);
  // Above the image: y = -10, h = 5 touches row 0 across the columns.
  FillRect(image, 1, -10, 2, 5, 2);
  // Below the image: nothing.
  FillRect(image, 0, 4, 6, 3, 3);
  // Wholly left: nothing.
  FillRect(image, -9, 0, 3, 4, 4);
  EXPECT_EQ(Pixels(image), (std::vector<std::vector<int>>{
                               {0, 2, 2, 0, 0, 1},
                               {0, 0, 0, 0, 0, 1},
                               {0, 0, 0, 0, 0, 0},
                               {0, 0, 0, 0, 0, 0},
                           }));
}

TEST_F(IndexedImageTest, RecolourRectKeepsTheKeepIndex) {
  IndexedImage image;
  MakeImage(image, {{1, 5, 1, 5}, {5, 5, 2, 1}});
  RecolourRect(image, 0, 0, 3, 2, 5, 9);
  EXPECT_EQ(Pixels(image), (std::vector<std::vector<int>>{{9, 5, 9, 5}, {5, 5, 9, 1}}));
}

TEST_F(IndexedImageTest, OutlineOrderAndDegenerateLines) {
  IndexedImage image;
  ASSERT_EQ(CreateImage(5, 5, image), 1);
  DrawRectOutline(image, 3, 3, 1, 0, 1);  // corners in either order
  EXPECT_EQ(Pixels(image), (std::vector<std::vector<int>>{
                               {0, 1, 1, 1, 0},
                               {0, 1, 0, 1, 0},
                               {0, 1, 0, 1, 0},
                               {0, 1, 1, 1, 0},
                               {0, 0, 0, 0, 0},
                           }));
  FillImage(image, 0);
  DrawRectOutline(image, -3, 4, 9, 4, 2);  // one row, clamped
  EXPECT_EQ(Pixels(image)[4], (std::vector<int>{2, 2, 2, 2, 2}));
  FillImage(image, 0);
  DrawRectOutline(image, 2, 0, 2, 4, 3);  // one column
  for (int y = 0; y < 5; ++y) EXPECT_EQ(image.At(2, y), 3);
}

TEST_F(IndexedImageTest, ComplementTableIsItsOwnInverse) {
  std::set<int> values(kComplementTable.begin(), kComplementTable.end());
  EXPECT_EQ(values.size(), 256u);
  for (int v = 0; v < 256; ++v) EXPECT_EQ(kComplementTable[kComplementTable[v]], v) << v;
  EXPECT_EQ(kComplementTable[0x00], 0xff);
  EXPECT_EQ(kComplementTable[0x07], 0xe9);
  EXPECT_EQ(kComplementTable[0x0F], 0xf2);
  IndexedImage image;
  MakeImage(image, {{0, 7, 15, 200}, {255, 1, 2, 3}});
  InvertImageColours(image);
  EXPECT_EQ(Pixels(image)[0], (std::vector<int>{0xff, 0xe9, 0xf2, kComplementTable[200]}));
  InvertImageColours(image);
  EXPECT_EQ(Pixels(image), (std::vector<std::vector<int>>{{0, 7, 15, 200}, {255, 1, 2, 3}}));
}

TEST_F(IndexedImageTest, CopyImageEqualSizesIgnoresTransparency) {
  IndexedImage a, b;
  MakeImage(a, {{5, 1}, {2, 5}});
  MakeImage(b, {{9, 9}, {9, 9}});
  EXPECT_EQ(CopyImage(b, a, 5), 1);
  EXPECT_EQ(Pixels(b), Pixels(a));
}

TEST_F(IndexedImageTest, CopyImageDifferentSizesCopiesOverlapWithTransparency) {
  IndexedImage a, b;
  MakeImage(a, {{5, 1, 4}, {2, 5, 4}});
  MakeImage(b, {{9, 9}, {9, 9}, {9, 9}});
  b.colourTable[3] = {1, 2, 3, 0};
  EXPECT_EQ(CopyImage(b, a, 5), 1);
  EXPECT_EQ(Pixels(b), (std::vector<std::vector<int>>{{9, 1}, {2, 9}, {9, 9}}));
  EXPECT_EQ(b.colourTable[3], (ColourTableEntry{1, 2, 3, 0}));
}

TEST_F(IndexedImageTest, ColourTableFollowsTheCurrentSharedPalette) {
  SetCurrentEntry(20, {0x12, 0x34, 0x56, 0});
  IndexedImage image;
  ASSERT_EQ(CreateImage(4, 1, image), 1);
  EXPECT_EQ(image.colourTable[20], (ColourTableEntry{0x56, 0x34, 0x12, 0}));
}

}  // namespace
}  // namespace zudizar

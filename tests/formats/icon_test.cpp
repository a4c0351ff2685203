#include "formats/icon.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <optional>
#include <random>
#include <set>
#include <string>
#include <vector>

#include "base/file_io.h"
#include "formats/reduce.h"
#include "palette/palette_load.h"
#include "support/test_support.h"

namespace zudizar {
namespace {

using testing::MakeImage;
using testing::Pixels;

using Box = FileMessage;

const Box kLoadFailed{"16色以外アイコンの為、処理出来ません。", "ｱｲｺﾝのﾛｰﾄﾞ失敗", MessageKind::Information};
const Box kSizeViolation{"サイズ違反の為、ICONとして保存出来ません。", "アイコンのセーブ失敗",
                         MessageKind::Information};
const Box kTooManyColours{"16色以上の為、ICONとして保存出来ません。", "アイコンのセーブ失敗", MessageKind::Information};

std::uint32_t U32(const std::vector<std::uint8_t>& b, std::size_t at) {
  return b[at] | b[at + 1] << 8 | b[at + 2] << 16 | static_cast<std::uint32_t>(b[at + 3]) << 24;
}

std::vector<std::uint8_t> ReadAll(const std::string& name) {
  std::vector<std::uint8_t> bytes;
  EXPECT_TRUE(ReadWholeFile(name, bytes));
  return bytes;
}

std::optional<std::vector<std::uint8_t>> ConvertToRgb(const std::string& picture) {
  return testing::ConvertToRgb(picture, "-alpha off");
}

class IconTest : public testing::PaletteReset {};

TEST_F(IconTest, ThreeColourIconHasTheDefinedLayout) {
  testing::TempFolder folder;
  IndexedImage image;
  ASSERT_EQ(CreateImage(16, 16, image), 1);
  FillImage(image, 200);
  FillRect(image, 0, 0, 8, 4, 7);
  image.At(15, 15) = 120;
  image.fileHeader.bfOffBits = 5;
  const auto before = image.pixels;
  const auto table = image.colourTable;
  FileReport boxes;
  ASSERT_TRUE(WriteIconFile(folder.File("表.ico"), image, &boxes));
  EXPECT_TRUE(boxes.messages.empty());
  EXPECT_EQ(image.pixels, before);
  EXPECT_EQ(image.colourTable, table);
  EXPECT_EQ(image.fileHeader.bfOffBits, 1078u);

  const auto file = ReadAll(folder.File("表.ico"));
  ASSERT_EQ(file.size(), 318u);
  EXPECT_EQ(std::vector<int>(file.begin(), file.begin() + 14),
            (std::vector<int>{0, 0, 1, 0, 1, 0, 16, 16, 16, 0, 0, 0, 0, 0}));
  EXPECT_EQ(U32(file, 14), 104u + 128u + 64u);
  EXPECT_EQ(U32(file, 18), 22u);
  EXPECT_EQ(U32(file, 22), 40u);
  EXPECT_EQ(U32(file, 26), 16u);
  EXPECT_EQ(U32(file, 30), 32u);           // XOR bitmap and AND mask
  EXPECT_EQ(file[36] | file[37] << 8, 4);  // bit count
  EXPECT_EQ(U32(file, 42), 0u);            // image size
  for (const auto& [slot, index] : std::vector<std::pair<int, int>>{{0, 7}, {1, 120}, {2, 200}}) {
    const PaletteEntry& e = DefaultPalette[index];
    EXPECT_EQ(std::vector<int>(file.begin() + 62 + 4 * slot, file.begin() + 66 + 4 * slot),
              (std::vector<int>{e.blue, e.green, e.red, 0}));
  }
  // Bottom row first: pixel (15, 15) is the last of the first row written.
  EXPECT_EQ(file[126], 0x22);
  EXPECT_EQ(file[126 + 7], 0x21);
  EXPECT_EQ(file[126 + 8 * 12], 0x00);  // row 3 from the top: colour 7 at the left
  EXPECT_EQ(file[126 + 8 * 12 + 4], 0x22);
  EXPECT_TRUE(std::all_of(file.begin() + 254, file.end(), [](std::uint8_t b) { return b == 0; }));

  if (auto rgb = ConvertToRgb(folder.File("表.ico"))) {
    ASSERT_EQ(rgb->size(), 16u * 16 * 3);
    for (int y = 0; y < 16; ++y)
      for (int x = 0; x < 16; ++x) {
        const PaletteEntry& e = DefaultPalette[image.At(x, y)];
        const std::uint8_t* p = rgb->data() + (y * 16 + x) * 3;
        ASSERT_EQ(std::vector<int>(p, p + 3), (std::vector<int>{e.red, e.green, e.blue})) << x << "," << y;
      }
  }
}

TEST_F(IconTest, WrittenIconsReadBackAtEverySize) {
  testing::TempFolder folder;
  for (const auto& [side, length] : std::vector<std::pair<int, long long>>{{16, 318}, {32, 766}, {64, 2686}}) {
    IndexedImage image, back;
    ASSERT_EQ(CreateImage(side, side, image), 1);
    for (int y = 0; y < side; ++y)
      for (int x = 0; x < side; ++x) image.At(x, y) = static_cast<std::uint8_t>(10 + (x * 3 + y) % 15);
    const std::string name = folder.File("icon" + std::to_string(side) + ".ico");
    ASSERT_TRUE(WriteIconFile(name, image));
    EXPECT_EQ(FileLength(name), length);
    ASSERT_TRUE(ReadIconFile(name, back));
    EXPECT_EQ(back.ImageWidth(), side);
    EXPECT_EQ(back.pixels, image.pixels);
    EXPECT_EQ(back.fileHeader.bfSize, static_cast<std::uint32_t>(side * side + 1078));
    EXPECT_EQ(back.infoHeader.biBitCount, 8);
  }
}

TEST_F(IconTest, RefusedSavesShowTheirBoxAndKeepTheOldFile) {
  testing::TempFolder folder;
  const std::string name = folder.File("old.ico");
  IndexedImage image;
  ASSERT_EQ(CreateImage(16, 16, image), 1);
  ASSERT_TRUE(WriteIconFile(name, image));
  const auto old = ReadAll(name);

  FileReport boxes;
  for (const auto& [w, h] : std::vector<std::pair<int, int>>{{48, 48}, {16, 32}, {8, 8}}) {
    ASSERT_EQ(CreateImage(w, h, image), 1);
    image.fileHeader.bfOffBits = 5;
    EXPECT_FALSE(WriteIconFile(name, image, &boxes));
    EXPECT_EQ(image.fileHeader.bfOffBits, 5u);
  }
  ASSERT_EQ(CreateImage(32, 32, image), 1);
  for (int k = 0; k < 20; ++k) image.At(k, 3) = static_cast<std::uint8_t>(100 + k);
  EXPECT_FALSE(WriteIconFile(name, image, &boxes));
  EXPECT_EQ(boxes.messages, (std::vector<Box>{kSizeViolation, kSizeViolation, kSizeViolation, kTooManyColours}));
  EXPECT_EQ(ReadAll(name), old);
  // Without a sink the save still fails, silently.
  EXPECT_FALSE(WriteIconFile(name, image, nullptr));
  // Fifteen colours still fit; sixteen do not.
  FillImage(image, 0);
  for (int k = 1; k < 15; ++k) image.At(k, 0) = static_cast<std::uint8_t>(k * 3);
  EXPECT_TRUE(WriteIconFile(name, image, &boxes));
  image.At(20, 20) = 250;
  EXPECT_FALSE(WriteIconFile(name, image, &boxes));
  EXPECT_EQ(boxes.messages.back(), kTooManyColours);
}

// What ImageMagick's identify says of a file: "format width height", or
// nothing when it is not installed.
std::optional<std::string> Identify(const std::string& file) {
  if (std::system("command -v identify >/dev/null 2>&1") != 0) return std::nullopt;
  const std::string command = "identify -format '%m %w %h' '" + file + "' 2>/dev/null";
  std::FILE* pipe = popen(command.c_str(), "r");
  if (!pipe) return std::nullopt;
  char text[256] = {};
  const std::size_t got = std::fread(text, 1, sizeof text - 1, pipe);
  if (pclose(pipe) != 0) return std::string("unreadable");
  return std::string(text, got);
}

// A picture with its own table of `colours` entries, some of them the same
// colour, shown in a random pattern that uses every entry.
void OwnColourPicture(IndexedImage& image, int side, int colours, std::mt19937& random) {
  ASSERT_EQ(CreateImage(side, side, image), 1);
  image.ownColours = true;
  for (auto& e : image.colourTable)
    e = {static_cast<std::uint8_t>(random()), static_cast<std::uint8_t>(random()), static_cast<std::uint8_t>(random()),
         static_cast<std::uint8_t>(random())};
  for (int i = 1; i < colours; i += 7) image.colourTable[i] = image.colourTable[i - 1];  // repeated colours
  for (std::size_t i = 0; i < image.pixels.size(); ++i)
    image.pixels[i] = static_cast<std::uint8_t>(i < static_cast<std::size_t>(colours) ? i : random() % colours);
  std::shuffle(image.pixels.begin(), image.pixels.end(), random);
}

TEST_F(IconTest, PicturesWithTheirOwnColoursKeepEveryColourInA16Or256ColourIcon) {
  testing::TempFolder folder;
  std::mt19937 random(25);
  int checkedByImageMagick = 0;
  for (int round = 0; round < 24; ++round) {
    const int side = (round % 3 == 0) ? 16 : (round % 3 == 1) ? 32 : 64;
    const int colours = round < 4 ? 1 + round * 5 : 1 + static_cast<int>(random() % 256);
    SCOPED_TRACE("side " + std::to_string(side) + ", " + std::to_string(colours) + " table entries");
    IndexedImage image;
    OwnColourPicture(image, side, colours, random);
    // The plain model: how many distinct colours the pixels show.
    std::set<std::uint32_t> shown;
    for (const std::uint8_t p : image.pixels) {
      const ColourTableEntry& e = image.colourTable[p];
      shown.insert(std::uint32_t{e.red} << 16 | std::uint32_t{e.green} << 8 | e.blue);
    }
    const int bits = shown.size() <= 16 ? 4 : 8;
    const auto pixels = image.pixels;

    const std::string name = folder.File("own" + std::to_string(round) + ".ico");
    FileReport boxes;
    ASSERT_TRUE(WriteIconFile(name, image, &boxes));
    EXPECT_TRUE(boxes.messages.empty());
    EXPECT_EQ(image.pixels, pixels);
    const auto file = ReadAll(name);
    const std::size_t rowBits = static_cast<std::size_t>(side) * bits;
    EXPECT_EQ(file.size(), 22 + 40 + 4u * (1u << bits) + rowBits / 8 * side + (side + 31) / 32 * 4 * side);
    EXPECT_EQ(file[36], bits);
    EXPECT_EQ(U32(file, 14), file.size() - 22);

    // The program's own reader gives every pixel its colour back.
    IndexedImage back;
    ASSERT_TRUE(DecodeIcon(file, back, &boxes, false));
    ASSERT_EQ(back.ImageWidth(), side);
    ASSERT_EQ(back.ImageHeight(), side);
    for (int y = 0; y < side; ++y)
      for (int x = 0; x < side; ++x) {
        ColourTableEntry want = image.colourTable[image.At(x, y)];
        want.reserved = 0;
        ASSERT_EQ(back.colourTable[back.At(x, y)], want) << x << "," << y;
      }
    // The canvases open the 16-colour ones, and refuse the others as before.
    IndexedImage canvas;
    EXPECT_EQ(DecodeIcon(file, canvas, &boxes), bits == 4);
    EXPECT_EQ(boxes.messages, bits == 4 ? std::vector<Box>{} : std::vector<Box>{kLoadFailed});

    // ImageMagick reads the same icon with the same colours.
    if (round % 4 != 0) continue;
    const auto identified = Identify(name);
    if (!identified) continue;
    EXPECT_EQ(*identified, "ICO " + std::to_string(side) + " " + std::to_string(side));
    const auto rgb = ConvertToRgb(name);
    ASSERT_TRUE(rgb);
    ASSERT_EQ(rgb->size(), static_cast<std::size_t>(side) * side * 3);
    for (int y = 0; y < side; ++y)
      for (int x = 0; x < side; ++x) {
        const ColourTableEntry& e = image.colourTable[image.At(x, y)];
        const std::uint8_t* p = rgb->data() + (static_cast<std::size_t>(y) * side + x) * 3;
        ASSERT_EQ(std::vector<int>(p, p + 3), (std::vector<int>{e.red, e.green, e.blue})) << x << "," << y;
      }
    ++checkedByImageMagick;
  }
  if (Identify(folder.File("own0.ico"))) {
    EXPECT_EQ(checkedByImageMagick, 6);
  }

  // The sizes stay those of the canvases' icons.
  IndexedImage odd;
  OwnColourPicture(odd, 48, 200, random);
  FileReport boxes;
  EXPECT_FALSE(WriteIconFile(folder.File("odd.ico"), odd, &boxes));
  EXPECT_EQ(boxes.messages, std::vector<Box>{kSizeViolation});
  EXPECT_FALSE(std::filesystem::exists(folder.File("odd.ico")));
}

TEST_F(IconTest, A256ColourIconOfAnotherProgramReadsWithItsOwnColours) {
  ZUDIZAR_REQUIRE_CORPUS("ico");
  const std::string name = (testing::CorpusDir() / "ico" / "im_testorig_32_8bit.ico").string();
  const auto bytes = ReadAll(name);
  IndexedImage image;
  ASSERT_TRUE(DecodeIcon(bytes, image, nullptr, false));
  ASSERT_EQ(image.ImageWidth(), 32);
  const auto reference = ConvertToRgb(name);
  if (!reference) GTEST_SKIP() << "ImageMagick is not installed";
  ASSERT_EQ(reference->size(), 32u * 32 * 3);
  for (int y = 0; y < 32; ++y)
    for (int x = 0; x < 32; ++x) {
      const ColourTableEntry& e = image.colourTable[image.At(x, y)];
      const std::uint8_t* p = reference->data() + (static_cast<std::size_t>(y) * 32 + x) * 3;
      ASSERT_EQ(std::vector<int>(p, p + 3), (std::vector<int>{e.red, e.green, e.blue})) << x << "," << y;
    }
  // A table shorter than 256 entries: the bitmap follows it; what the file
  // lacks reads as index 0.
  std::vector<std::uint8_t> shortTable(bytes.begin(), bytes.begin() + 62 + 4 * 200);
  shortTable[54] = 200;  // colours used
  shortTable[55] = 0;
  shortTable.insert(shortTable.end(), bytes.begin() + 62 + 1024, bytes.begin() + 62 + 1024 + 32 * 20);
  IndexedImage cut;
  ASSERT_TRUE(DecodeIcon(shortTable, cut, nullptr, false));
  for (int x = 0; x < 32; ++x) {
    EXPECT_EQ(cut.At(x, 31), image.At(x, 31));
    EXPECT_EQ(cut.At(x, 0), 0);
  }
}

// A 4-bit icon assembled by hand: directory, information header, the given
// colours, rows padded to 4 bytes.
std::vector<std::uint8_t> HandIcon(int w, int h, int bitCount, const std::vector<std::vector<int>>& rowsTopDown) {
  std::vector<std::uint8_t> b(126, 0);
  b[2] = 1, b[4] = 1, b[6] = static_cast<std::uint8_t>(w), b[7] = static_cast<std::uint8_t>(h), b[8] = 16;
  b[22] = 40, b[26] = static_cast<std::uint8_t>(w), b[30] = static_cast<std::uint8_t>(2 * h), b[34] = 1;
  b[36] = static_cast<std::uint8_t>(bitCount);
  for (int i = 0; i < 16; ++i) {
    const PaletteEntry& e = DefaultPalette[100 + i];
    b[62 + 4 * i] = e.blue, b[63 + 4 * i] = e.green, b[64 + 4 * i] = e.red;
  }
  const int rowBytes = (w * 4 + 31) / 32 * 4;
  for (int y = h - 1; y >= 0; --y) {
    std::vector<std::uint8_t> row(rowBytes, 0xEE);  // padding that must not show
    for (int x = 0; x < w; ++x) {
      if (x % 2 == 0) row[x / 2] = 0;
      row[x / 2] |= rowsTopDown[y][x] << (x % 2 ? 0 : 4);
    }
    b.insert(b.end(), row.begin(), row.end());
  }
  return b;
}

TEST_F(IconTest, ReaderTakesRowsOfWholeWordsAndTheFilesColours) {
  const auto file = HandIcon(5, 2, 4, {{1, 2, 3, 4, 5}, {15, 0, 14, 1, 13}});
  IndexedImage image;
  ASSERT_TRUE(DecodeIcon(file, image));
  EXPECT_EQ(Pixels(image), (std::vector<std::vector<int>>{{101, 102, 103, 104, 105}, {115, 100, 114, 101, 113}}));
  EXPECT_EQ(image.colourTable[5].red, DefaultPalette[5].red);
  EXPECT_EQ(image.pixelBlockSize, 10);
}

TEST_F(IconTest, UnreadableIconsFailAndKeepTheImage) {
  IndexedImage image;
  MakeImage(image, {{1, 2}, {3, 4}});
  FileReport boxes;
  const auto good = HandIcon(8, 8, 4, std::vector<std::vector<int>>(8, std::vector<int>(8, 3)));
  auto bad = good;
  bad[36] = 8;
  EXPECT_FALSE(DecodeIcon(bad, image, &boxes));
  bad = good;
  bad[6] = 0;  // 256 wide in the published format
  EXPECT_FALSE(DecodeIcon(bad, image, &boxes));
  EXPECT_FALSE(DecodeIcon(std::span(good).first(61), image, &boxes));
  EXPECT_EQ(boxes.messages, (std::vector<Box>{kLoadFailed, kLoadFailed, kLoadFailed}));
  EXPECT_FALSE(DecodeIcon(std::span(good).first(21), image, &boxes));
  EXPECT_EQ(boxes.messages.size(), 3u);  // too short for a directory: no box
  EXPECT_FALSE(DecodeIcon(bad, image, nullptr));
  EXPECT_EQ(Pixels(image), (std::vector<std::vector<int>>{{1, 2}, {3, 4}}));
  EXPECT_FALSE(ReadIconFile("/nonexistent/x.ico", image, &boxes));

  // A bitmap cut short reads as index 0 where bytes are missing.
  ASSERT_TRUE(DecodeIcon(std::span(good).first(126 + 4 * 3), image));
  EXPECT_EQ(image.At(0, 7), 103);
  EXPECT_EQ(image.At(0, 0), 100);
}

TEST_F(IconTest, CorpusIconsGiveTheDocumentedResults) {
  ZUDIZAR_REQUIRE_CORPUS("ico");
  const auto folder = testing::CorpusDir() / "ico";
  for (const std::string name :
       {"winfile_ExeView_main", "winfile_AddonSample", "imagers_Bad_smile-incorrect-image-length", "im_testorig_16",
        "im_testorig_32", "im_testorig_48", "im_testorig_64"}) {
    SCOPED_TRACE(name);
    std::vector<std::uint8_t> bytes;
    ASSERT_TRUE(ReadWholeFile((folder / (name + ".ico")).string(), bytes));
    IndexedImage image;
    FileReport boxes;
    ASSERT_TRUE(DecodeIcon(bytes, image, &boxes));
    EXPECT_TRUE(boxes.messages.empty());
    const int w = bytes[6], h = bytes[7];
    ASSERT_EQ(image.ImageWidth(), w);
    ASSERT_EQ(image.ImageHeight(), h);
    const auto reference = ConvertToRgb((folder / "ref" / (name + ".im.png")).string());
    if (!reference) continue;
    ASSERT_EQ(reference->size(), static_cast<std::size_t>(w) * h * 3);
    int differing = 0;
    for (int y = 0; y < h; ++y)
      for (int x = 0; x < w; ++x) {
        // The file's colour at the pixel, read from its bytes, is the
        // reference colour...
        const std::size_t row = 126 + static_cast<std::size_t>(h - 1 - y) * ((w * 4 + 31) / 32 * 4);
        const int index = x % 2 ? bytes[row + x / 2] & 15 : bytes[row + x / 2] >> 4;
        const std::uint8_t* c = bytes.data() + 62 + 4 * index;
        const std::uint8_t* r = reference->data() + (static_cast<std::size_t>(y) * w + x) * 3;
        differing += c[2] != r[0] || c[1] != r[1] || c[0] != r[2];
        // ...and the picture shows that colour's nearest shared colour.
        ColourTableEntry colour{c[0], c[1], c[2], 0};
        differing += image.At(x, y) != NearestSharedColour(colour);
      }
    EXPECT_EQ(differing, 0);
  }

  for (const std::string name :
       {"im_testorig_32_8bit", "imagers_bmp-24bpp-mask", "imagers_bmp-32bpp-alpha", "imagers_png-32bpp-alpha",
        "imagers_oom-ff076e70_png", "imagers_lenient-bpp_png256", "imagers_smile_2entries", "winfile_wfdir_2entries",
        "imagers_multiple_entries_with_different_bit_depth"}) {
    SCOPED_TRACE(name);
    IndexedImage image;
    FileReport boxes;
    EXPECT_FALSE(ReadIconFile((folder / (name + ".ico")).string(), image, &boxes));
    EXPECT_EQ(boxes.messages, std::vector<Box>{kLoadFailed});
    EXPECT_FALSE(image.HasPixels());
  }

  IndexedImage survivor;
  EXPECT_TRUE(ReadIconFile((folder / "imagers_crash-981fee30_rle4.ico").string(), survivor));
  EXPECT_EQ(survivor.ImageWidth(), 32);
  EXPECT_EQ(survivor.infoHeader.biCompression, 0u);
}

}  // namespace
}  // namespace zudizar

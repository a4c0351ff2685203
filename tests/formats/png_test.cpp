// PNG through libspng: the corpus decodes to its published RGBA before any
// mapping, broken files are refused with a reason and leave the picture as
// it was, decoded colours reach the palette composited over white, and our
// own files survive a round trip and read the same in ImageMagick.
#include "formats/png.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <regex>

#include "formats/jpeg_test_support.h"
#include "formats/reduce.h"
#include "support/test_support.h"

namespace zudizar {
namespace {

struct CorpusRow {
  std::string file;
  int width = 0, height = 0;
  bool decodes = false;
  std::string hash;
};

// The README's table: file, size, ..., expected, RGBA SHA-256.
std::vector<CorpusRow> ReadCorpusTable() {
  std::ifstream in(testing::CorpusDir() / "png" / "README.md");
  const std::regex row(
      R"(^\| `([^`]+\.png)` \| \(?(\d+)×(\d+)\)?[^|]*\|[^|]*\|[^|]*\|[^|]*\| ([^|]+) \| `?([0-9a-f]{64}|—)`? \|)");
  const std::regex failing(R"(^\| `([^`]+\.png)` \|.*\| must fail cleanly \|)");
  std::vector<CorpusRow> rows;
  for (std::string line; std::getline(in, line);) {
    std::smatch m;
    if (std::regex_search(line, m, row) && m[4].str().rfind("decodes", 0) == 0) {
      rows.push_back({m[1], std::stoi(m[2]), std::stoi(m[3]), true, m[5]});
    } else if (std::regex_search(line, m, failing)) {
      rows.push_back({m[1], 0, 0, false, ""});
    }
  }
  return rows;
}

std::string Sha256(const std::vector<std::uint8_t>& bytes, const testing::TempFolder& folder) {
  const std::string path = folder.File("rgba.bin");
  testing::WriteBytes(path, bytes);
  std::FILE* pipe = popen(("sha256sum '" + path + "'").c_str(), "r");
  char hex[65] = {};
  if (!pipe || std::fread(hex, 1, 64, pipe) != 64) hex[0] = 0;
  if (pipe) pclose(pipe);
  return hex;
}

std::vector<std::uint8_t> RgbaOf(const PngPicture& p) {
  if (!p.palettised) return p.rgba;
  std::vector<std::uint8_t> out;
  out.reserve(p.indices.size() * 4);
  for (const std::uint8_t i : p.indices)
    out.insert(out.end(), {p.table[i].red, p.table[i].green, p.table[i].blue, p.table[i].alpha});
  return out;
}

class PngTest : public testing::PaletteReset {};

TEST_F(PngTest, CorpusDecodesToTheReferenceOrFailsWithAReason) {
  ZUDIZAR_REQUIRE_CORPUS("png");
  if (!testing::ToolAvailable("sha256sum")) GTEST_SKIP() << "sha256sum is not installed";
  const auto rows = ReadCorpusTable();
  ASSERT_EQ(rows.size(), 119u);
  testing::TempFolder folder;
  int decoded = 0;
  for (const auto& row : rows) {
    SCOPED_TRACE(row.file);
    const std::string path = (testing::CorpusDir() / "png" / row.file).string();
    const auto bytes = testing::ReadBytes(path);
    PngPicture picture;
    std::string reason;
    const bool ok = DecodePng(bytes, picture, reason);
    if (!row.decodes) {
      EXPECT_FALSE(ok);
      EXPECT_FALSE(reason.empty());
      // The file entry keeps the picture and shows one box naming the file.
      IndexedImage image;
      ASSERT_EQ(CreateImage(3, 2, image), 1);
      FileReport boxes;
      EXPECT_FALSE(ReadPngFile(path, image, &boxes));
      EXPECT_EQ(image.ImageWidth(), 3);
      ASSERT_EQ(boxes.messages.size(), 1u);
      EXPECT_EQ(boxes.messages[0].caption, kPngLoadFailedCaption);
      EXPECT_EQ(boxes.messages[0].text.rfind(path, 0), 0u);
      continue;
    }
    ASSERT_TRUE(ok) << reason;
    EXPECT_EQ(picture.width, row.width);
    EXPECT_EQ(picture.height, row.height);
    EXPECT_EQ(Sha256(RgbaOf(picture), folder), row.hash);
    ++decoded;
  }
  EXPECT_EQ(decoded, 98);
}

TEST_F(PngTest, PixelsAreTheNearestSharedColoursOfTheirColoursOverWhite) {
  ZUDIZAR_REQUIRE_CORPUS("png");
  // Some free entries near the pictures' colours, so that mapping matters.
  for (int i = 10; i < 246; ++i)
    SetCurrentEntry(
        i, {static_cast<std::uint8_t>(i * 53), static_cast<std::uint8_t>(i * 29), static_cast<std::uint8_t>(i * 7), 0});
  for (const char* name : {"basn6a16.png", "tbbn3p08.png", "tm3n3p02.png", "basi0g04.png", "tbwn0g16.png",
                           "imagepng_tango-address-book-new-32.png", "libpng_regression-palette-8.png"}) {
    SCOPED_TRACE(name);
    const auto bytes = testing::ReadBytes(testing::CorpusDir() / "png" / name);
    PngPicture picture;
    std::string reason;
    ASSERT_TRUE(DecodePng(bytes, picture, reason));
    IndexedImage image;
    ASSERT_TRUE(ReadPngBytes(bytes, image, reason));
    ASSERT_EQ(image.ImageWidth(), picture.width);
    const auto rgba = RgbaOf(picture);
    for (int y = 0; y < picture.height; ++y)
      for (int x = 0; x < picture.width; ++x) {
        const std::uint8_t* p = &rgba[(static_cast<std::size_t>(y) * picture.width + x) * 4];
        const Rgba c = OverWhite({p[0], p[1], p[2], p[3]});
        ASSERT_EQ(image.At(x, y), NearestColourByScan(SharedPalette.current, c.red, c.green, c.blue)) << x << "," << y;
      }
  }
  // Fully transparent is white; half-covered black is mid grey.
  EXPECT_EQ(OverWhite({0, 0, 0, 0}).red, 255);
  EXPECT_EQ(OverWhite({0, 0, 0, 128}).red, 127);
}

TEST_F(PngTest, OurFilesRoundTripAndOtherProgramsSeeOurColours) {
  IndexedImage image;
  testing::MakeTestPicture(image, 37, 11);
  const auto bytes = EncodePng(image);
  ASSERT_FALSE(bytes.empty());
  IndexedImage back;
  std::string reason;
  ASSERT_TRUE(ReadPngBytes(bytes, back, reason));
  EXPECT_EQ(back.pixels, image.pixels);

  testing::TempFolder folder;
  const std::string path = folder.File("絵.png");
  ASSERT_TRUE(WritePngFile(path, image));
  const auto rgb = testing::ConvertToRgb(path);
  if (!rgb) GTEST_SKIP() << "ImageMagick is not installed";
  ASSERT_EQ(rgb->size(), std::size_t{37 * 11 * 3});
  for (int y = 0; y < 11; ++y)
    for (int x = 0; x < 37; ++x) {
      const ColourTableEntry& c = image.colourTable[image.At(x, y)];
      const std::uint8_t* p = &(*rgb)[(static_cast<std::size_t>(y) * 37 + x) * 3];
      ASSERT_EQ((std::array<int, 3>{p[0], p[1], p[2]}), (std::array<int, 3>{c.red, c.green, c.blue})) << x << "," << y;
    }
}

TEST_F(PngTest, HeadersBeyondThePictureLimitsAreRefusedBeforeDecoding) {
  // A valid 8-bit grey header claiming 20000 x 20000, and no data at all.
  const std::vector<std::uint8_t> header = {0x89, 'P',  'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A, 0,    0,    0,
                                            13,   'I',  'H', 'D', 'R',  0,    0,    0x4E, 0x20, 0,    0,
                                            0x4E, 0x20, 8,   0,   0,    0,    0,    0xC6, 0x1B, 0x19, 0xE5};
  PngPicture picture;
  std::string reason;
  EXPECT_FALSE(DecodePng(header, picture, reason));
  EXPECT_NE(reason.find("画像が大きすぎます"), std::string::npos) << reason;
  // Within the limits but above a caller's bound.
  IndexedImage image;
  testing::MakeTestPicture(image, 64, 64);
  EXPECT_FALSE(DecodePng(EncodePng(image), picture, reason, 1000));
  EXPECT_NE(reason.find("画像が大きすぎます"), std::string::npos) << reason;
}

TEST_F(PngTest, FilesCutShortKeepTheirRowsWithANoteAndCutHeadersAreRefused) {
  IndexedImage image;
  testing::MakeTestPicture(image, 40, 300);
  std::uint32_t noise = 1;  // so that the data fills most of the file
  for (auto& p : image.pixels) p = static_cast<std::uint8_t>((noise = noise * 1103515245u + 12345u) >> 24);
  std::vector<std::uint8_t> rgb;
  for (int y = 0; y < 300; ++y)
    for (int x = 0; x < 40; ++x) {
      const ColourTableEntry& c = image.colourTable[image.At(x, 299 - y)];  // the image keeps rows bottom-up
      rgb.insert(rgb.end(), {c.red, c.green, c.blue});
    }
  struct Case {
    const char* name;
    std::vector<std::uint8_t> bytes;
  };
  const Case cases[] = {{"palette", EncodePng(image)}, {"rgb", EncodeRgbPng(rgb, 40, 300)}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    PngPicture whole;
    std::string reason;
    ASSERT_TRUE(DecodePng(c.bytes, whole, reason)) << reason;
    EXPECT_FALSE(whole.ended);
    const std::vector<std::uint8_t> cut(c.bytes.begin(),
                                        c.bytes.begin() + static_cast<std::ptrdiff_t>(c.bytes.size() * 2 / 3));
    PngPicture part;
    ASSERT_TRUE(DecodePng(cut, part, reason)) << reason;
    EXPECT_TRUE(part.ended);
    // Whole rows up to the cut, zeros after it.
    const auto& a = whole.palettised ? whole.indices : whole.rgba;
    const auto& b = part.palettised ? part.indices : part.rgba;
    ASSERT_EQ(a.size(), b.size());
    const std::size_t row = a.size() / 300;
    std::size_t same = 0;
    while (same < 300 && std::equal(a.begin() + same * row, a.begin() + (same + 1) * row, b.begin() + same * row))
      ++same;
    EXPECT_GT(same, 10u);
    EXPECT_LT(same, 300u);
    EXPECT_TRUE(std::all_of(b.end() - row, b.end(), [](std::uint8_t v) { return v == 0; }));

    // Through the file entry: the picture opens with the note, not a failure.
    testing::TempFolder folder;
    const std::string path = folder.File("cut.png");
    testing::WriteBytes(path, cut);
    IndexedImage opened;
    FileReport report;
    ASSERT_TRUE(ReadPngFile(path, opened, &report));
    EXPECT_EQ(opened.ImageHeight(), 300);
    ASSERT_EQ(report.messages.size(), 1u);
    EXPECT_EQ(report.messages[0], (FileMessage{kDataEndedText, kPartLoadCaption, MessageKind::Note}));

    // Cut before the first row: refused, nothing decoded.
    const std::vector<std::uint8_t> header(c.bytes.begin(), c.bytes.begin() + 60);
    EXPECT_FALSE(DecodePng(header, part, reason));
    EXPECT_NE(reason.find("途中で終わって"), std::string::npos) << reason;
  }
}

}  // namespace
}  // namespace zudizar

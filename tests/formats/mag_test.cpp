#include "formats/mag.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <optional>
#include <random>
#include <string>
#include <tuple>
#include <vector>

#include "base/file_io.h"
#include "palette/palette_load.h"
#include "support/test_support.h"

namespace zudizar {
namespace {

using testing::Pixels;

// A MAG file assembled by hand from per-line flag nibbles (before the XOR
// with the line above) and raw pixel data, independent of the writer.
struct MagParts {
  std::uint8_t screenMode = 0;
  std::uint16_t x1 = 0, y1 = 0, x2 = 7, y2 = 0;
  std::vector<std::uint8_t> palette;  // green, red, blue per colour
  std::vector<std::vector<int>> flags;
  std::vector<std::uint8_t> pixelData;
};

void Put16(std::vector<std::uint8_t>& b, std::uint32_t v) {
  b.push_back(static_cast<std::uint8_t>(v));
  b.push_back(static_cast<std::uint8_t>(v >> 8));
}
void Put32(std::vector<std::uint8_t>& b, std::uint32_t v) {
  Put16(b, v & 0xFFFF);
  Put16(b, v >> 16);
}

std::vector<std::uint8_t> BuildMag(const MagParts& m) {
  std::vector<std::uint8_t> flagA, flagB, previous;
  int bits = 0;
  for (const auto& nibbles : m.flags) {
    std::vector<std::uint8_t> line((nibbles.size() + 1) / 2, 0);
    for (std::size_t u = 0; u < nibbles.size(); ++u) line[u / 2] |= nibbles[u] << (u % 2 ? 0 : 4);
    previous.resize(line.size(), 0);
    for (std::size_t j = 0; j < line.size(); ++j, ++bits) {
      if (bits % 8 == 0) flagA.push_back(0);
      if (const std::uint8_t x = line[j] ^ previous[j]) {
        flagA.back() |= 0x80 >> (bits % 8);
        flagB.push_back(x);
      }
    }
    previous = line;
  }
  std::vector<std::uint8_t> b = {'M', 'A', 'K', 'I', '0', '2', ' ', ' ', 'T', 'E', 'S', 'T', 0x1A, 0};
  b.insert(b.end(), {0, 0, m.screenMode});
  for (const auto v : {m.x1, m.y1, m.x2, m.y2}) Put16(b, v);
  const std::uint32_t a = 32 + static_cast<std::uint32_t>(m.palette.size());
  const auto bOff = a + static_cast<std::uint32_t>(flagA.size());
  const auto pOff = bOff + static_cast<std::uint32_t>(flagB.size());
  for (const auto v :
       {a, bOff, static_cast<std::uint32_t>(flagB.size()), pOff, static_cast<std::uint32_t>(m.pixelData.size())})
    Put32(b, v);
  for (const auto& part : {m.palette, flagA, flagB, m.pixelData}) b.insert(b.end(), part.begin(), part.end());
  return b;
}

// Palette bytes whose colour k is shared entry first + k, so a remap maps
// index k to first + k (the default palette holds no colour twice).
std::vector<std::uint8_t> SharedColours(int first, int count) {
  std::vector<std::uint8_t> p;
  for (int k = 0; k < count; ++k) {
    const PaletteEntry& e = DefaultPalette[first + k];
    p.insert(p.end(), {e.green, e.red, e.blue});
  }
  return p;
}

// Where a file's header starts: at the first zero byte after the signature.
std::size_t HeaderAt(const std::vector<std::uint8_t>& file) {
  return static_cast<std::size_t>(std::find(file.begin() + 8, file.end(), 0) - file.begin());
}

// The flag nibbles of every line, undoing flag A, flag B and the XOR.
std::vector<std::vector<int>> FileFlags(const std::vector<std::uint8_t>& file, int unitsPerLine, int lines) {
  const std::size_t h = HeaderAt(file);
  auto u32 = [&](std::size_t at) {
    return file[at] | file[at + 1] << 8 | file[at + 2] << 16 | static_cast<std::uint32_t>(file[at + 3]) << 24;
  };
  std::size_t a = h + u32(h + 12), b = h + u32(h + 16);
  const int flagBytes = unitsPerLine / 2;
  std::vector<std::uint8_t> line(flagBytes, 0);
  std::vector<std::vector<int>> out;
  for (int y = 0, bit = 0; y < lines; ++y) {
    for (int j = 0; j < flagBytes; ++j, ++bit)
      if (file[a + bit / 8] & (0x80 >> (bit % 8))) line[j] ^= file[b++];
    out.emplace_back();
    for (int u = 0; u < unitsPerLine; ++u) out.back().push_back(u % 2 ? line[u / 2] & 15 : line[u / 2] >> 4);
  }
  return out;
}

std::uint32_t HeaderField(const std::vector<std::uint8_t>& file, int at) {
  const std::size_t p = HeaderAt(file) + at;
  return file[p] | file[p + 1] << 8 | file[p + 2] << 16 | static_cast<std::uint32_t>(file[p + 3]) << 24;
}

// A collage-like picture: flat rectangles of a few colours and some noise.
void MakeCollage(IndexedImage& image, int w, int h, const std::vector<int>& colours, unsigned seed) {
  ASSERT_EQ(CreateImage(w, h, image), 1);
  std::mt19937 random(seed);
  auto pick = [&] { return static_cast<std::uint8_t>(colours[random() % colours.size()]); };
  FillImage(image, pick());
  for (int r = 0; r < 12; ++r) {
    const int x = random() % w, y = random() % h;
    FillRect(image, x, y, 1 + random() % (w - x), 1 + random() % (h - y), pick());
  }
  for (int k = 0; k < w * h / 40; ++k) image.At(random() % w, random() % h) = pick();
}

class MagTest : public testing::PaletteReset {};

TEST_F(MagTest, SixteenColourPictureStartsInsideItsFirstUnit) {
  MagParts m;
  m.x1 = 3, m.x2 = 12, m.y1 = 5, m.y2 = 6;  // w = 10: a = 3, F = 2, W = 16
  m.palette = SharedColours(200, 16);
  m.flags = {{0, 0, 0, 0}, {0, 0, 0, 0}};
  m.pixelData = {0x01, 0x23, 0x45, 0x67, 0x89, 0xAB, 0xCD, 0xEF, 0xFE, 0xDC, 0xBA, 0x98, 0x76, 0x54, 0x32, 0x10};
  const auto file = BuildMag(m);

  IndexedImage image;
  MagDecodeOptions keep;
  keep.remapToShared = false;
  ASSERT_TRUE(DecodeMag(file, image, keep));
  EXPECT_EQ(image.ImageWidth(), 16);
  EXPECT_EQ(image.ImageHeight(), 2);
  EXPECT_EQ(image.originX, 3);
  EXPECT_EQ(image.originY, 5);
  EXPECT_EQ(Pixels(image), (std::vector<std::vector<int>>{{0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15},
                                                          {15, 14, 13, 12, 11, 10, 9, 8, 7, 6, 5, 4, 3, 2, 1, 0}}));
  const PaletteEntry& five = DefaultPalette[205];
  EXPECT_EQ(image.colourTable[5], (ColourTableEntry{five.blue, five.green, five.red, 0}));
  // Entries beyond the file's colours come from the shared palette.
  EXPECT_EQ(image.colourTable[16].red, DefaultPalette[16].red);

  ASSERT_TRUE(DecodeMag(file, image));
  EXPECT_EQ(image.At(3, 0), 203);
  EXPECT_EQ(image.At(0, 1), 215);
  EXPECT_EQ(image.colourTable[3],
            (ColourTableEntry{DefaultPalette[3].blue, DefaultPalette[3].green, DefaultPalette[3].red, 0}));
}

TEST_F(MagTest, CopyVectorsReachBackThroughTheRing) {
  // 8 pixels wide: two units a line. Line 0 is A B; lines 1-16 are literal
  // units (k, k); line 17 starts with flag 1, which wraps to the end of its
  // ring line, still holding line 0 (17 lines above).
  MagParts m;
  m.x2 = 7, m.y2 = 18;
  m.palette = SharedColours(0, 16);
  m.flags.push_back({0, 0});
  m.pixelData = {0x12, 0x34, 0x56, 0x78};
  for (int k = 1; k <= 16; ++k) {
    m.flags.push_back({0, 0});
    const auto v = static_cast<std::uint8_t>(k % 16 * 0x11);
    m.pixelData.insert(m.pixelData.end(), {v, v, v, v});
  }
  m.flags.push_back({1, 0});
  m.pixelData.insert(m.pixelData.end(), {0x9A, 0xBC});
  // Line 18: flag 15 reaches 16 lines up (line 2); flag 4 the line above.
  m.flags.push_back({15, 4});
  IndexedImage image;
  MagDecodeOptions keep;
  keep.remapToShared = false;
  ASSERT_TRUE(DecodeMag(BuildMag(m), image, keep));
  const auto p = Pixels(image);
  EXPECT_EQ(p[0], (std::vector<int>{1, 2, 3, 4, 5, 6, 7, 8}));
  EXPECT_EQ(p[17], (std::vector<int>{5, 6, 7, 8, 9, 10, 11, 12}));
  EXPECT_EQ(p[18], (std::vector<int>{2, 2, 2, 2, 9, 10, 11, 12}));

  // Lines above the picture read as zero units.
  MagParts top;
  top.x2 = 7;
  top.palette = SharedColours(0, 16);
  top.flags = {{4, 0}};
  top.pixelData = {0xFF, 0xFF};
  ASSERT_TRUE(DecodeMag(BuildMag(top), image, keep));
  EXPECT_EQ(Pixels(image), (std::vector<std::vector<int>>{{0, 0, 0, 0, 15, 15, 15, 15}}));
}

TEST_F(MagTest, ColourModesReadTheirOwnPaletteLengths) {
  MagParts m;
  m.flags = {{0, 0}};
  m.pixelData = {0x01, 0x23, 0x45, 0x67};
  m.palette = SharedColours(100, 8);
  m.screenMode = 0x02 | 0x01;  // 8 colours, 200-line flag ignored
  IndexedImage image;
  MagDecodeOptions keep;
  keep.remapToShared = false;
  ASSERT_TRUE(DecodeMag(BuildMag(m), image, keep));
  EXPECT_EQ(image.colourTable[7].red, DefaultPalette[107].red);
  EXPECT_EQ(image.colourTable[8].red, DefaultPalette[8].red);
  // The same 24 palette bytes are too short for 16 colours.
  m.screenMode = 0;
  EXPECT_FALSE(DecodeMag(BuildMag(m), image, keep));

  // 256 colours: two 8-bit pixels a unit, F = (x1 mod 4 + w + 3) / 4.
  m.screenMode = 0x80;
  m.palette = SharedColours(0, 256);
  m.x1 = 6, m.x2 = 9;  // a = 2, w = 4: F = 2, W = 8
  m.flags = {{0, 0, 0, 0}};
  m.pixelData = {10, 11, 12, 13, 14, 15, 16, 17};
  ASSERT_TRUE(DecodeMag(BuildMag(m), image, keep));
  EXPECT_EQ(Pixels(image), (std::vector<std::vector<int>>{{10, 11, 12, 13, 14, 15, 16, 17}}));
}

TEST_F(MagTest, WriterPicksTheLayoutByColourCount) {
  IndexedImage image;
  std::vector<std::uint8_t> file;
  // 15 colours: 16-colour file, entries 0-14 the shared colours of the used
  // indices in ascending order.
  std::vector<int> fifteen;
  for (int k = 0; k < 15; ++k) fifteen.push_back(250 - 13 * k);
  MakeCollage(image, 64, 20, fifteen, 1);
  for (int k = 0; k < 15; ++k) image.At(k, 0) = static_cast<std::uint8_t>(fifteen[k]);
  ASSERT_TRUE(EncodeMag(image, file));
  EXPECT_EQ(file[HeaderAt(file) + 3], 0x00);
  EXPECT_EQ(HeaderField(file, 12), 32u + 48u);
  for (int k = 0; k < 15; ++k) {
    const PaletteEntry& e = DefaultPalette[250 - 13 * (14 - k)];
    EXPECT_EQ(std::vector<int>(file.begin() + HeaderAt(file) + 32 + 3 * k, file.begin() + HeaderAt(file) + 35 + 3 * k),
              (std::vector<int>{e.green, e.red, e.blue}));
  }
  // 16 colours: 256-colour file with the whole colour table.
  image.At(15, 0) = 3;
  ASSERT_TRUE(EncodeMag(image, file));
  EXPECT_EQ(file[HeaderAt(file) + 3], 0x80);
  EXPECT_EQ(HeaderField(file, 12), 32u + 768u);
  EXPECT_EQ(file[HeaderAt(file) + 32 + 3 * 249 + 1], DefaultPalette[249].red);

  // One colour: one literal unit, copies everywhere else.
  ASSERT_EQ(CreateImage(64, 32, image), 1);
  FillImage(image, 77);
  ASSERT_TRUE(EncodeMag(image, file));
  EXPECT_EQ(HeaderField(file, 28), 2u);
  EXPECT_EQ(file.size(), HeaderAt(file) + HeaderField(file, 24) + 2);
  // A picture that never came from a MAG: machine "MG  ", the default user
  // name in its 18 bytes, no comment, machine code 0.
  EXPECT_EQ(std::string(file.begin(), file.begin() + HeaderAt(file)),
            std::string("MAKI02  MG  ZUDIZAR") + std::string(11, ' ') + '\x1A');
  EXPECT_EQ(file[HeaderAt(file) + 1], 0);
  EXPECT_EQ(HeaderField(file, 8) & 0xFFFF, 63u);  // x2
  EXPECT_EQ(HeaderField(file, 8) >> 16, 31u);     // y2

  FreeImage(image);
  EXPECT_FALSE(EncodeMag(image, file));
}

TEST_F(MagTest, WriterTriesCopyVectorsInTheDefinedOrder) {
  // A plain reading of the rule on a two-colour picture, where most units
  // have several matching candidates.
  const int order[] = {1, 4, 5, 6, 7, 9, 10, 2, 8, 11, 12, 13, 14, 3, 15};
  const int dx[] = {0, 1, 2, 4, 0, 1, 0, 1, 2, 0, 1, 2, 0, 1, 2, 0};
  const int dy[] = {0, 0, 0, 0, 1, 1, 2, 2, 2, 4, 4, 4, 8, 8, 8, 16};
  IndexedImage image;
  std::vector<std::uint8_t> file;
  ASSERT_EQ(CreateImage(48, 40, image), 1);
  std::mt19937 random(3);
  for (auto& p : image.pixels) p = random() % 5 ? 30 : 31;
  ASSERT_TRUE(EncodeMag(image, file));
  const auto flags = FileFlags(file, 12, 40);
  auto unit = [&](int u, int y) { return std::vector<int>(image.Row(y) + 4 * u, image.Row(y) + 4 * u + 4); };
  std::vector<int> seen(16, 0);
  for (int y = 0; y < 40; ++y)
    for (int u = 0; u < 12; ++u) {
      int expected = 0;
      for (const int f : order)
        if (u >= dx[f] && y >= dy[f] && unit(u - dx[f], y - dy[f]) == unit(u, y)) {
          expected = f;
          break;
        }
      ASSERT_EQ(flags[y][u], expected) << u << "," << y;
      ++seen[expected];
    }
  EXPECT_EQ(std::count(seen.begin(), seen.end(), 0), 0);  // every flag value came up
}

TEST_F(MagTest, AnyWidthRoundTripsWithPaddedUnits) {
  std::vector<std::vector<int>> colourSets = {
      {40}, {0, 255}, {5, 17, 29, 41, 53, 65, 77, 89, 101, 113, 125, 137, 149, 161, 173}, {}};
  for (int k = 0; k < 200; ++k) colourSets.back().push_back(k);
  unsigned seed = 7;
  for (const int w : {1, 2, 3, 5, 6, 12, 20, 100, 641}) {
    for (const auto& set : colourSets) {
      IndexedImage image, back;
      MakeCollage(image, w, 37, set, ++seed);
      std::vector<std::uint8_t> file;
      ASSERT_TRUE(EncodeMag(image, file));
      ASSERT_TRUE(DecodeMag(file, back));
      const bool eightBit = file[HeaderAt(file) + 3] == 0x80;
      const int unitWidth = eightBit ? 4 : 8;
      ASSERT_EQ(back.ImageWidth(), (w + unitWidth - 1) / unitWidth * unitWidth) << w;
      ASSERT_EQ(back.ImageHeight(), 37);
      const std::uint8_t lowest = *std::min_element(image.pixels.begin(), image.pixels.end());
      for (int y = 0; y < 37; ++y)
        for (int x = 0; x < back.ImageWidth(); ++x)
          ASSERT_EQ(back.At(x, y), x < w ? image.At(x, y) : lowest) << "w " << w << " at " << x << "," << y;
    }
  }
}

TEST_F(MagTest, CanvasSavesAndReopensWithItsPixels) {
  testing::TempFolder folder;
  const std::string name = folder.File("ソ表能.mag");
  IndexedImage canvas, back;
  MakeCollage(canvas, 640, 400, {255, 248, 12, 60, 61, 62, 130, 7, 0, 190, 191, 192}, 42);
  const auto before = canvas.pixels;
  canvas.colourTable[100] = {1, 2, 3, 0};
  const auto table = canvas.colourTable;
  ASSERT_TRUE(WriteMagFile(name, canvas));
  EXPECT_EQ(canvas.pixels, before);
  EXPECT_EQ(canvas.colourTable, table);
  ASSERT_TRUE(ReadMagFile(name, back));
  EXPECT_EQ(back.pixels, before);
  EXPECT_EQ(back.ImageWidth(), 640);

  EXPECT_FALSE(WriteMagFile(folder.File("missing/x.mag"), canvas));
}

TEST_F(MagTest, BrokenHeadersFailAndKeepTheImage) {
  IndexedImage canvas, keep;
  MakeCollage(canvas, 40, 8, {1, 2, 3}, 3);
  std::vector<std::uint8_t> good;
  ASSERT_TRUE(EncodeMag(canvas, good));
  ASSERT_EQ(CreateImage(5, 5, keep), 1);
  FillImage(keep, 99);
  auto unchanged = [&] { return keep.ImageWidth() == 5 && keep.pixels == std::vector<std::uint8_t>(25, 99); };

  const std::size_t h = HeaderAt(good);
  auto changed = good;
  changed[3] = 'X';
  EXPECT_FALSE(DecodeMag(changed, keep));
  changed = good;
  std::replace(changed.begin(), changed.end(), std::uint8_t{0}, std::uint8_t{0x20});  // no header start
  EXPECT_FALSE(DecodeMag(changed, keep));
  changed = good;
  changed[h + 4] = 50;  // x1 = 50 > x2 = 39
  EXPECT_FALSE(DecodeMag(changed, keep));
  changed = good;
  changed[h + 6] = 9;  // y1 = 9 > y2 = 7
  EXPECT_FALSE(DecodeMag(changed, keep));
  changed = good;
  changed[h + 8] = 0xFF, changed[h + 9] = 0x3F;  // 16384 × 16384 from a few bytes
  changed[h + 10] = 0xFF, changed[h + 11] = 0x3F;
  EXPECT_FALSE(DecodeMag(changed, keep));
  MagDecodeOptions small;
  small.maxPixels = 40 * 8 - 1;
  EXPECT_FALSE(DecodeMag(good, keep, small));
  for (std::size_t length = 0; length < h + 32 + 48; ++length)
    EXPECT_FALSE(DecodeMag(std::span(good).first(length), keep)) << length;
  EXPECT_TRUE(unchanged());

  // Truncated streams and offsets past the end decode what is there.
  for (std::size_t length = h + 32 + 48; length < good.size(); ++length)
    EXPECT_TRUE(DecodeMag(std::span(good).first(length), keep)) << length;
  changed = good;
  for (const int field : {12, 16, 20, 24, 28}) std::fill_n(changed.begin() + h + field, 4, 0xFF);
  ASSERT_TRUE(DecodeMag(changed, keep));
  EXPECT_EQ(keep.ImageWidth(), 40);

  // Seeded random corruption never crashes (the sanitizers watch).
  std::mt19937 random(11);
  for (int round = 0; round < 300; ++round) {
    changed = good;
    for (int k = 0; k < 4; ++k) changed[h + random() % (changed.size() - h)] = static_cast<std::uint8_t>(random());
    DecodeMag(changed, keep);
  }
}

std::optional<std::vector<std::uint8_t>> ConvertToRgb(const std::filesystem::path& png) {
  return testing::ConvertToRgb(png.string());
}

TEST_F(MagTest, CorpusFilesDecodeToTheReferencePictures) {
  ZUDIZAR_REQUIRE_CORPUS("mag");
  const auto folder = testing::CorpusDir() / "mag";
  int compared = 0;
  for (const auto& [file, w, h] : std::vector<std::tuple<std::string, int, int>>{{"pymag_16c_nodither_128x64", 128, 64},
                                                                                 {"pymag_16c_72x40", 72, 40},
                                                                                 {"pymag_16c_256x160", 256, 160},
                                                                                 {"pymag_16c_640x400", 640, 400},
                                                                                 {"pymag_256c_100x56", 100, 56},
                                                                                 {"pymag_256c_256x160", 256, 160},
                                                                                 {"pymag_256c_640x400", 640, 400}}) {
    SCOPED_TRACE(file);
    std::vector<std::uint8_t> bytes;
    ASSERT_TRUE(ReadWholeFile((folder / (file + ".mag")).string(), bytes));
    IndexedImage image;
    MagDecodeOptions keep;
    keep.remapToShared = false;
    ASSERT_TRUE(DecodeMag(bytes, image, keep));
    ASSERT_EQ(image.ImageWidth(), w);
    ASSERT_EQ(image.ImageHeight(), h);
    const auto reference = ConvertToRgb(folder / "ref" / (file + ".deark.png"));
    if (!reference) continue;
    ASSERT_EQ(reference->size(), static_cast<std::size_t>(w) * h * 3);
    int differing = 0;
    for (int y = 0; y < h; ++y)
      for (int x = 0; x < w; ++x) {
        const ColourTableEntry& c = image.colourTable[image.At(x, y)];
        const std::uint8_t* r = reference->data() + (static_cast<std::size_t>(y) * w + x) * 3;
        differing += c.red != r[0] || c.green != r[1] || c.blue != r[2];
      }
    EXPECT_EQ(differing, 0);
    ++compared;

    // The file reader gives the same picture on the shared palette, and our
    // writer keeps it.
    IndexedImage shared, again;
    ASSERT_TRUE(ReadMagFile((folder / (file + ".mag")).string(), shared));
    std::vector<std::uint8_t> ours;
    ASSERT_TRUE(EncodeMag(shared, ours));
    ASSERT_TRUE(DecodeMag(ours, again));
    EXPECT_EQ(again.pixels, shared.pixels);

    // Opened as the main window does (palette merged and applied, then the
    // picture read), a 16-colour picture shows its exact colours.
    if (file.find("_16c_") == std::string::npos) continue;
    SetCurrentTable(DefaultPalette);
    ASSERT_TRUE(LoadPaletteFromMag((folder / (file + ".mag")).string()));
    SetCurrentTable(SharedPalette.pending);
    ASSERT_TRUE(ReadMagFile((folder / (file + ".mag")).string(), shared));
    int inexact = 0;
    for (int y = 0; y < h; ++y)
      for (int x = 0; x < w; ++x) {
        const PaletteEntry& e = SharedPalette.current[shared.At(x, y)];
        const std::uint8_t* r = reference->data() + (static_cast<std::size_t>(y) * w + x) * 3;
        inexact += e.red != r[0] || e.green != r[1] || e.blue != r[2];
      }
    EXPECT_EQ(inexact, 0);
  }
  if (compared == 0) GTEST_SKIP() << "ImageMagick convert is not installed";
}

TEST_F(MagTest, PaletteRuleSeesTheFilesOwnColours) {
  // Every colour of this picture is already in the palette: nothing changes.
  IndexedImage image;
  MakeCollage(image, 32, 16, {10, 20, 30}, 5);
  std::vector<std::uint8_t> file;
  ASSERT_TRUE(EncodeMag(image, file));
  const PaletteTable before = SharedPalette.current;
  EXPECT_TRUE(LoadPaletteFromMagBytes(file));
  EXPECT_EQ(SharedPalette.pending, before);
  EXPECT_EQ(SharedPalette.current, before);
  EXPECT_FALSE(LoadPaletteFromMagBytes(std::span(file).first(40)));
  EXPECT_FALSE(LoadPaletteFromMag("/nonexistent/picture.mag"));

  // Colours the palette lacks go to the lowest free entries in index order;
  // one it holds (entry 10) keeps its slot. Unused file colours add nothing.
  MagParts m;
  m.palette = SharedColours(10, 16);
  const std::uint8_t added[] = {/*1*/ 1, 2, 3, /*2*/ 4, 5, 6, /*3, unused*/ 7, 8, 9};
  std::copy(std::begin(added), std::end(added), m.palette.begin() + 3);
  m.flags = {{0, 0}};
  m.pixelData = {0x01, 0x20, 0x00, 0x12};
  testing::TempFolder folder;
  const auto bytes = BuildMag(m);
  {
    std::ofstream out(folder.File("new.mag"), std::ios::binary);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
  }
  ASSERT_TRUE(LoadPaletteFromMag(folder.File("new.mag")));
  PaletteTable expected = before;
  expected[11] = {2, 1, 3, expected[11].flags};  // stored green, red, blue
  expected[12] = {5, 4, 6, expected[12].flags};
  EXPECT_EQ(SharedPalette.pending, expected);
  EXPECT_EQ(SharedPalette.current, before);
}

}  // namespace
}  // namespace zudizar

#include "formats/bmp.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <map>
#include <random>
#include <regex>
#include <sstream>

#include "base/file_io.h"
#include "formats/bmp_builder.h"
#include "formats/reduce.h"
#include "support/test_support.h"

namespace zudizar {
namespace {

using testing::BmpBuilder;
using testing::PadRows;
using Grid = std::vector<std::vector<int>>;
using Rgb = std::array<std::uint8_t, 3>;

// Keeps what the decoder hands out, before any palette reduction.
class CollectSink : public BmpPixelSink {
 public:
  bool Begin(const BmpPicture& p) override {
    picture = p;
    colours.assign(static_cast<std::size_t>(p.width) * static_cast<std::size_t>(p.height), Rgb{});
    return true;
  }
  void Indices(std::vector<std::uint8_t>& block) override { indices = block; }
  void DataEnded() override { ended = true; }
  void ColourRow(int y, const std::uint8_t* bgr, int present) override {
    rowOrder.push_back(y);
    presentCounts.push_back(present);
    for (int x = 0; x < picture.width; ++x)
      colours[static_cast<std::size_t>(y) * picture.width + x] = {bgr[3 * x + 2], bgr[3 * x + 1], bgr[3 * x]};
  }

  // Index grid, top row first.
  Grid IndexGrid() const {
    Grid g(picture.height, std::vector<int>(picture.width));
    for (int y = 0; y < picture.height; ++y)
      for (int x = 0; x < picture.width; ++x)
        g[y][x] = indices[static_cast<std::size_t>(picture.height - 1 - y) * picture.width + x];
    return g;
  }
  // True colour of pixel (x, y from the top), through the table when palettised.
  Rgb At(int x, int y) const {
    const std::size_t k = static_cast<std::size_t>(picture.height - 1 - y) * picture.width + x;
    if (!picture.palettised) return colours[k];
    const ColourTableEntry& e = picture.table[indices[k]];
    return {e.red, e.green, e.blue};
  }

  BmpPicture picture;
  std::vector<std::uint8_t> indices;
  std::vector<Rgb> colours;  // bottom-up, like the index block
  std::vector<int> rowOrder, presentCounts;
  bool ended = false;
};

bool Decode(const std::vector<std::uint8_t>& bytes, CollectSink& sink, std::string* why = nullptr) {
  std::string reason;
  const bool ok = DecodeBmp(bytes, sink, reason);
  if (why) *why = reason;
  return ok;
}

std::vector<std::array<std::uint8_t, 3>> SixteenColours() {
  std::vector<std::array<std::uint8_t, 3>> t;
  for (int i = 0; i < 16; ++i)
    t.push_back(
        {static_cast<std::uint8_t>(i * 16), static_cast<std::uint8_t>(255 - i * 8), static_cast<std::uint8_t>(i * 3)});
  return t;
}

class BmpTest : public testing::PaletteReset {};

// ---- Palettised pixels -------------------------------------------------

TEST_F(BmpTest, FourBitNibblesHighFirstRowsBottomUp) {
  BmpBuilder b;
  b.width = 8;
  b.height = 2;
  b.bitCount = 4;
  b.table = SixteenColours();
  b.pixels = {0x12, 0x34, 0x56, 0x78, 0x9A, 0xBC, 0xDE, 0xF0};
  CollectSink sink;
  ASSERT_TRUE(Decode(b.Build(), sink));
  EXPECT_EQ(sink.IndexGrid(), (Grid{{9, 10, 11, 12, 13, 14, 15, 0}, {1, 2, 3, 4, 5, 6, 7, 8}}));
}

TEST_F(BmpTest, RowsArePaddedToFourBytesForEveryDepth) {
  // Padding bytes are 0xEE: none of them may show up as a pixel.
  BmpBuilder eight;
  eight.width = 3;
  eight.height = 2;
  eight.table = SixteenColours();
  eight.pixels = PadRows({{1, 2, 3}, {4, 5, 6}}, 0xEE);
  CollectSink s8;
  ASSERT_TRUE(Decode(eight.Build(), s8));
  EXPECT_EQ(s8.IndexGrid(), (Grid{{4, 5, 6}, {1, 2, 3}}));

  BmpBuilder four = eight;
  four.bitCount = 4;
  four.width = 9;  // 5 bytes per row, padded to 8
  four.pixels = PadRows({{0x12, 0x34, 0x56, 0x78, 0x90}, {0xAB, 0xCD, 0xEF, 0x01, 0x20}}, 0xEE);
  CollectSink s4;
  ASSERT_TRUE(Decode(four.Build(), s4));
  EXPECT_EQ(s4.IndexGrid(), (Grid{{10, 11, 12, 13, 14, 15, 0, 1, 2}, {1, 2, 3, 4, 5, 6, 7, 8, 9}}));

  BmpBuilder one;
  one.bitCount = 1;
  one.width = 10;
  one.height = 2;
  one.table = {{0, 0, 0}, {255, 255, 255}};
  one.pixels = PadRows({{0b10110011, 0b01000000}, {0b00000001, 0b11000000}}, 0xFF);
  CollectSink s1;
  ASSERT_TRUE(Decode(one.Build(), s1));
  EXPECT_EQ(s1.IndexGrid(), (Grid{{0, 0, 0, 0, 0, 0, 0, 1, 1, 1}, {1, 0, 1, 1, 0, 0, 1, 1, 0, 1}}));
}

TEST_F(BmpTest, TopDownFilesReadUpright) {
  BmpBuilder up;
  up.width = 4;
  up.height = 3;
  up.table = SixteenColours();
  up.pixels = {7, 8, 9, 10, 4, 5, 6, 7, 1, 2, 3, 4};  // bottom row first
  BmpBuilder down = up;
  down.height = -3;
  down.pixels = {1, 2, 3, 4, 4, 5, 6, 7, 7, 8, 9, 10};  // top row first
  CollectSink a, b;
  ASSERT_TRUE(Decode(up.Build(), a));
  ASSERT_TRUE(Decode(down.Build(), b));
  EXPECT_EQ(a.IndexGrid(), (Grid{{1, 2, 3, 4}, {4, 5, 6, 7}, {7, 8, 9, 10}}));
  EXPECT_EQ(b.IndexGrid(), a.IndexGrid());
  EXPECT_FALSE(a.picture.topDown);
  EXPECT_TRUE(b.picture.topDown);
}

TEST_F(BmpTest, ColourTableRules) {
  // A short table: indices beyond it are black; the table ends at bfOffBits.
  BmpBuilder b;
  b.width = 4;
  b.height = 1;
  b.clrUsed = 3;
  b.table = {{10, 20, 30}, {40, 50, 60}, {70, 80, 90}};
  b.pixels = {0, 2, 3, 200};
  CollectSink sink;
  ASSERT_TRUE(Decode(b.Build(), sink));
  EXPECT_EQ(sink.picture.tableEntries, 3);
  EXPECT_EQ(sink.At(1, 0), (Rgb{70, 80, 90}));
  EXPECT_EQ(sink.At(2, 0), (Rgb{0, 0, 0}));
  EXPECT_EQ(sink.At(3, 0), (Rgb{0, 0, 0}));

  // OS/2 1.x: 12-byte header, 3-byte entries, only as many as fit before the pixels.
  BmpBuilder os2;
  os2.headerSize = 12;
  os2.width = 2;
  os2.height = 1;
  os2.table = {{1, 2, 3}, {4, 5, 6}};
  os2.pixels = PadRows({{1, 0}});
  CollectSink s2;
  ASSERT_TRUE(Decode(os2.Build(), s2));
  EXPECT_EQ(s2.picture.tableEntries, 2);
  EXPECT_EQ(s2.At(0, 0), (Rgb{4, 5, 6}));
  EXPECT_EQ(s2.At(1, 0), (Rgb{1, 2, 3}));
}

TEST_F(BmpTest, TruncatedPixelDataKeepsTheRowsPresent) {
  BmpBuilder b;
  b.width = 4;
  b.height = 3;
  b.table = SixteenColours();
  b.pixels = {1, 2, 3, 4, 5, 6};  // one row and a half, bottom first
  CollectSink sink;
  ASSERT_TRUE(Decode(b.Build(), sink));
  EXPECT_EQ(sink.IndexGrid(), (Grid{{0, 0, 0, 0}, {5, 6, 0, 0}, {1, 2, 3, 4}}));

  BmpBuilder rgb;
  rgb.width = 2;
  rgb.height = 2;
  rgb.bitCount = 24;
  rgb.pixels = {1, 2, 3, 4, 5, 6, 0, 0, 7, 8};  // first row whole, second cut in its first pixel
  CollectSink s24;
  ASSERT_TRUE(Decode(rgb.Build(), s24));
  EXPECT_EQ(s24.At(0, 1), (Rgb{3, 2, 1}));
  EXPECT_EQ(s24.At(1, 1), (Rgb{6, 5, 4}));
  EXPECT_EQ(s24.At(0, 0), (Rgb{0, 0, 0}));
  EXPECT_EQ(s24.presentCounts, (std::vector<int>{2, 0}));

  // Less than the first row: the whole picture, blank, with the note.
  for (const int bitCount : {8, 24}) {
    BmpBuilder cut;
    cut.width = 4;
    cut.height = 3;
    cut.bitCount = bitCount;
    if (bitCount == 8) cut.table = SixteenColours();
    cut.pixels = std::vector<std::uint8_t>(static_cast<std::size_t>(bitCount / 2 - 1), 1);
    CollectSink kept;
    std::string why;
    EXPECT_TRUE(Decode(cut.Build(), kept, &why)) << bitCount;
    EXPECT_TRUE(kept.ended) << bitCount;
  }
}

// ---- RLE ----------------------------------------------------------------

TEST_F(BmpTest, Rle8RunsAbsoluteRunsDeltaAndEndOfLine) {
  BmpBuilder b;
  b.width = 6;
  b.height = 4;
  b.compression = 1;
  b.table = SixteenColours();
  b.pixels = {
      3, 5,              // row 0: 5 5 5
      0, 3, 1, 2, 3, 0,  // absolute 1 2 3, padded to a word
      0, 0,              // end of line
      0, 2, 2, 1,        // delta: two right, one up -> row 2 at x 2
      9, 7,              // run past the row end: clipped
      0, 0,              // end of line -> row 3
      2, 4,              // 4 4
      0, 1,              // end of bitmap
      5, 9,              // never read
  };
  CollectSink sink;
  ASSERT_TRUE(Decode(b.Build(), sink));
  EXPECT_EQ(sink.IndexGrid(), (Grid{{4, 4, 0, 0, 0, 0}, {0, 0, 7, 7, 7, 7}, {0, 0, 0, 0, 0, 0}, {5, 5, 5, 1, 2, 3}}));
}

TEST_F(BmpTest, Rle4AlternatesNibblesAndPadsOddAbsoluteRuns) {
  BmpBuilder b;
  b.width = 7;
  b.height = 2;
  b.bitCount = 4;
  b.compression = 2;
  b.table = SixteenColours();
  b.pixels = {
      5, 0x12,                                   // 1 2 1 2 1
      0, 3,    0xAB, 0xC0,                       // absolute A B C: two bytes, already a word
      0, 0,    0,    5,    0x34, 0x56, 0x70, 0,  // absolute of 5: three bytes, padded to four
      4, 0xEF,                                   // E F: clipped after 2
  };
  CollectSink sink;
  ASSERT_TRUE(Decode(b.Build(), sink));
  EXPECT_EQ(sink.IndexGrid(), (Grid{{3, 4, 5, 6, 7, 14, 15}, {1, 2, 1, 2, 1, 10, 11}}));
}

TEST_F(BmpTest, RleTopDownAndEarlyEndLeaveUnwrittenPixelsZero) {
  BmpBuilder b;
  b.width = 3;
  b.height = -3;
  b.compression = 1;
  b.table = SixteenColours();
  b.pixels = {3, 9, 0, 0, 1};  // top row 9 9 9, then the data ends inside a command
  CollectSink sink;
  ASSERT_TRUE(Decode(b.Build(), sink));
  EXPECT_EQ(sink.IndexGrid(), (Grid{{9, 9, 9}, {0, 0, 0}, {0, 0, 0}}));
}

// ---- True colour ------------------------------------------------------------

TEST_F(BmpTest, TwentyFourBitRowsArePaddedAndComeInFileOrder) {
  BmpBuilder b;
  b.width = 3;
  b.height = 2;
  b.bitCount = 24;
  b.pixels = PadRows({{1, 2, 3, 4, 5, 6, 7, 8, 9}, {10, 11, 12, 13, 14, 15, 16, 17, 18}}, 0xEE);
  CollectSink sink;
  ASSERT_TRUE(Decode(b.Build(), sink));
  EXPECT_EQ(sink.At(0, 1), (Rgb{3, 2, 1}));
  EXPECT_EQ(sink.At(2, 1), (Rgb{9, 8, 7}));
  EXPECT_EQ(sink.At(0, 0), (Rgb{12, 11, 10}));
  EXPECT_EQ(sink.At(2, 0), (Rgb{18, 17, 16}));
  EXPECT_EQ(sink.rowOrder, (std::vector<int>{0, 1}));
}

TEST_F(BmpTest, SixteenBitFieldsWidenByRepeatingBits) {
  auto decode16 = [](std::uint32_t compression, std::vector<std::uint32_t> masks, std::vector<std::uint16_t> values) {
    BmpBuilder b;
    b.width = static_cast<int>(values.size());
    b.bitCount = 16;
    b.compression = compression;
    b.masks = std::move(masks);
    std::vector<std::uint8_t> row;
    for (auto v : values) {
      row.push_back(static_cast<std::uint8_t>(v));
      row.push_back(static_cast<std::uint8_t>(v >> 8));
    }
    b.pixels = PadRows({row});
    CollectSink sink;
    EXPECT_TRUE(Decode(b.Build(), sink));
    std::vector<Rgb> out;
    for (int x = 0; x < b.width; ++x) out.push_back(sink.At(x, 0));
    return out;
  };
  // 5-5-5 without masks; the top bit is ignored.
  EXPECT_EQ(decode16(0, {}, {0x7FFF, 0x8000 | (1 << 10) | (16 << 5) | 31}),
            (std::vector<Rgb>{{255, 255, 255}, {8, 132, 255}}));
  // 5-6-5 bit fields.
  EXPECT_EQ(decode16(3, {0xF800, 0x07E0, 0x001F}, {0xFFFF, 0x07E0, 0x0020}),
            (std::vector<Rgb>{{255, 255, 255}, {0, 255, 0}, {0, 4, 0}}));
  // 2-3-1: a full field is 255 however narrow.
  EXPECT_EQ(decode16(3, {0x0030, 0x000E, 0x0001}, {0x003F, 0x0021, 0x0006}),
            (std::vector<Rgb>{{255, 255, 255}, {170, 0, 255}, {0, 109, 0}}));
}

TEST_F(BmpTest, ThirtyTwoBitPixels) {
  BmpBuilder plain;
  plain.width = 2;
  plain.bitCount = 32;
  plain.pixels = {1, 2, 3, 0xFF, 4, 5, 6, 0x80};  // fourth byte ignored
  CollectSink s;
  ASSERT_TRUE(Decode(plain.Build(), s));
  EXPECT_EQ(s.At(0, 0), (Rgb{3, 2, 1}));
  EXPECT_EQ(s.At(1, 0), (Rgb{6, 5, 4}));

  // V5 header with masks inside it: x-b-g-r, and 10-10-10 kept to the top 8 bits.
  BmpBuilder v5 = plain;
  v5.headerSize = 124;
  v5.compression = 3;
  v5.masks = {0xFF000000, 0x00FF0000, 0x0000FF00, 0};
  CollectSink s5;
  ASSERT_TRUE(Decode(v5.Build(), s5));
  EXPECT_EQ(s5.At(0, 0), (Rgb{0xFF, 3, 2}));

  BmpBuilder wide = plain;
  wide.compression = 3;
  wide.masks = {0x3FF00000, 0x000FFC00, 0x000003FF};
  const std::uint32_t v = (1023u << 20) | (512u << 10) | 3u;
  wide.pixels = {static_cast<std::uint8_t>(v),
                 static_cast<std::uint8_t>(v >> 8),
                 static_cast<std::uint8_t>(v >> 16),
                 static_cast<std::uint8_t>(v >> 24),
                 0,
                 0,
                 0,
                 0};
  CollectSink sw;
  ASSERT_TRUE(Decode(wide.Build(), sw));
  EXPECT_EQ(sw.At(0, 0), (Rgb{255, 128, 0}));
}

// ---- The image the reader builds -----------------------------------------

TEST_F(BmpTest, PalettisedFilesAreRemappedThroughTheirTable) {
  BmpBuilder b;
  b.width = 4;
  b.height = 1;
  // Entry 0 is white, entry 1 pure red, entry 2 near entry 9's colour.
  b.table = {{255, 255, 255}, {255, 0, 0}, {0xA4, 0xC8, 0xF0}};
  b.pixels = {0, 1, 2, 1};
  IndexedImage image;
  std::string reason;
  ASSERT_TRUE(ReadBmpBytes(b.Build(), image, reason)) << reason;
  EXPECT_EQ(testing::Pixels(image), (Grid{{255, 249, 9, 249}}));
  EXPECT_EQ(image.infoHeader.biBitCount, 8);
  EXPECT_EQ(image.fileHeader.bfOffBits, 1078u);
  EXPECT_EQ(image.fileHeader.bfSize, 1078u + 4u);
  EXPECT_EQ(image.pixelBlockSize, 4);
  const auto& e = SharedPalette.current[100];
  EXPECT_EQ(image.colourTable[100], (ColourTableEntry{e.blue, e.green, e.red, 0}));
}

TEST_F(BmpTest, EveryTrueColourPixelGoesToItsNearestColourEvenBeyond256) {
  // 300 distinct colours: no colour is cut, and no box.
  std::mt19937 random(4);
  std::uniform_int_distribution<int> level(0, 255);
  BmpBuilder b;
  b.width = 20;
  b.height = 15;
  b.bitCount = 24;
  std::vector<std::vector<std::uint8_t>> rows(15);
  for (auto& row : rows)
    for (int i = 0; i < 60; ++i) row.push_back(static_cast<std::uint8_t>(level(random)));
  b.pixels = PadRows(rows);
  SetCurrentEntry(50, {rows[0][2], rows[0][1], rows[0][0], 0});  // one exact match

  testing::TempFolder folder;
  const std::string name = folder.File("photo.bmp");
  ASSERT_TRUE(WriteFileSafely(name, b.Build()));
  IndexedImage image;
  FileReport boxes;
  ASSERT_TRUE(ReadBmpFile(name, image, &boxes));
  EXPECT_TRUE(boxes.Empty());
  for (int y = 0; y < 15; ++y)
    for (int x = 0; x < 20; ++x) {
      const auto* p = rows[14 - y].data() + 3 * x;
      ASSERT_EQ(image.At(x, y), NearestColourByScan(SharedPalette.current, p[2], p[1], p[0])) << x << "," << y;
    }
  EXPECT_EQ(image.At(0, 14), 50);
}

// ---- Refusals ------------------------------------------------------------------

TEST_F(BmpTest, UndecodableFilesAreRefusedWithAReason) {
  BmpBuilder good;
  good.width = 4;
  good.height = 2;
  good.table = SixteenColours();
  good.pixels = std::vector<std::uint8_t>(8, 1);
  const std::vector<std::uint8_t> goodBytes = good.Build();
  auto patch = [&](std::size_t at, std::uint32_t value) {
    std::vector<std::uint8_t> b = goodBytes;
    for (int i = 0; i < 4; ++i) b[at + i] = static_cast<std::uint8_t>(value >> (8 * i));
    return b;
  };
  auto with = [&](auto change) {
    BmpBuilder b = good;
    change(b);
    return b.Build();
  };
  const std::map<std::string, std::vector<std::uint8_t>> cases = {
      {"empty", {}},
      {"13 bytes", std::vector<std::uint8_t>(goodBytes.begin(), goodBytes.begin() + 13)},
      {"not BM", patch(0, 0x00004B50)},
      {"header 66", with([](BmpBuilder& b) { b.headerSize = 66; })},
      {"2 bits", with([](BmpBuilder& b) { b.bitCount = 2; })},
      {"64 bits", with([](BmpBuilder& b) {
         b.bitCount = 64;
         b.table.clear();
       })},
      {"0 bits", with([](BmpBuilder& b) {
         b.bitCount = 0;
         b.compression = 4;
       })},
      {"embedded JPEG", with([](BmpBuilder& b) {
         b.bitCount = 24;
         b.compression = 4;
       })},
      {"embedded PNG", with([](BmpBuilder& b) {
         b.bitCount = 24;
         b.compression = 5;
       })},
      {"alpha bit fields", with([](BmpBuilder& b) {
         b.bitCount = 32;
         b.compression = 6;
       })},
      {"RLE8 on 4 bits", with([](BmpBuilder& b) {
         b.bitCount = 4;
         b.compression = 1;
       })},
      {"bit fields on 8 bits", with([](BmpBuilder& b) { b.compression = 3; })},
      {"OS/2 Huffman", with([](BmpBuilder& b) {
         b.headerSize = 64;
         b.bitCount = 1;
         b.compression = 3;
         b.table.resize(2);
       })},
      {"OS/2 RLE24", with([](BmpBuilder& b) {
         b.headerSize = 64;
         b.bitCount = 24;
         b.compression = 4;
       })},
      {"width 0", with([](BmpBuilder& b) { b.width = 0; })},
      {"negative width", with([](BmpBuilder& b) { b.width = -4; })},
      {"height 0", with([](BmpBuilder& b) { b.height = 0; })},
      {"width 16385", with([](BmpBuilder& b) { b.width = 16385; })},
      {"height -16385", with([](BmpBuilder& b) { b.height = -16385; })},
      {"3000000 x 2000000", with([](BmpBuilder& b) {
         b.bitCount = 24;
         b.width = 3000000;
         b.height = 2000000;
       })},
      {"most negative height", with([](BmpBuilder& b) { b.height = INT32_MIN; })},
      {"300 colours on 8 bits", with([](BmpBuilder& b) { b.clrUsed = 300; })},
      {"3 colours on 1 bit", with([](BmpBuilder& b) {
         b.bitCount = 1;
         b.clrUsed = 3;
         b.table.resize(3);
       })},
      {"pixels at the end", with([](BmpBuilder& b) { b.pixels.clear(); })},
      {"pixels past the end", patch(10, 5000)},
      {"pixels inside the header", patch(10, 30)},
  };
  for (const auto& [label, bytes] : cases) {
    CollectSink sink;
    std::string reason;
    EXPECT_FALSE(Decode(bytes, sink, &reason)) << label;
    EXPECT_FALSE(reason.empty()) << label;
  }
}

TEST_F(BmpTest, AFailedReadKeepsTheImageAndShowsOneBoxNamingTheFile) {
  testing::TempFolder folder;
  const std::string name = folder.File("表示ソ能.bmp");
  BmpBuilder b;
  b.width = 4;
  b.bitCount = 24;
  b.compression = 4;
  ASSERT_TRUE(WriteFileSafely(name, b.Build()));
  IndexedImage image;
  testing::MakeImage(image, {{1, 2}, {3, 4}});
  FileReport boxes;
  EXPECT_FALSE(ReadBmpFile(name, image, &boxes));
  EXPECT_EQ(testing::Pixels(image), (Grid{{1, 2}, {3, 4}}));
  ASSERT_EQ(boxes.messages.size(), 1u);
  EXPECT_EQ(boxes.messages[0].caption, kBmpLoadFailedCaption);
  EXPECT_EQ(boxes.messages[0].text.rfind(name + "\n", 0), 0u) << boxes.messages[0].text;
  EXPECT_NE(boxes.messages[0].text.find("圧縮"), std::string::npos) << boxes.messages[0].text;

  // A missing file fails the same way.
  EXPECT_FALSE(ReadBmpFile(folder.File("なし.bmp"), image, &boxes));
  EXPECT_EQ(boxes.messages.size(), 2u);
  EXPECT_TRUE(image.HasPixels());
}

// ---- Writer -------------------------------------------------------------------------

TEST_F(BmpTest, WriterGivesTheDefinedBytesForACanvas) {
  IndexedImage image;
  ASSERT_EQ(CreateImage(640, 400, image), 1);
  image.At(0, 399) = 7;  // the first pixel of the file: bottom-left
  image.At(639, 0) = 9;  // the last
  const auto bytes = EncodeBmp(image);
  ASSERT_EQ(bytes.size(), 257078u);
  auto u32 = [&](std::size_t at) {
    return static_cast<std::uint32_t>(bytes[at] | bytes[at + 1] << 8 | bytes[at + 2] << 16 | bytes[at + 3] << 24);
  };
  EXPECT_EQ(bytes[0], 'B');
  EXPECT_EQ(bytes[1], 'M');
  EXPECT_EQ(u32(2), 257078u);
  EXPECT_EQ(u32(10), 1078u);
  EXPECT_EQ(u32(14), 40u);
  EXPECT_EQ(u32(18), 640u);
  EXPECT_EQ(u32(22), 400u);
  EXPECT_EQ(bytes[28], 8);
  EXPECT_EQ(u32(30), 0u);
  EXPECT_EQ(u32(34), 256000u);
  for (int i = 0; i < 256; ++i) {
    const auto& e = DefaultPalette[i];
    ASSERT_EQ(u32(54 + 4 * i), static_cast<std::uint32_t>(e.blue | e.green << 8 | e.red << 16)) << i;
  }
  EXPECT_EQ(bytes[1078], 7);
  EXPECT_EQ(bytes.back(), 9);
}

TEST_F(BmpTest, WriterPadsOddWidthsAndReadsBackUnderAJapaneseName) {
  testing::TempFolder folder;
  const std::string name = folder.File("ソ表能.bmp");
  IndexedImage image;
  testing::MakeImage(image, {{1, 2, 3, 4, 5}, {250, 251, 252, 253, 254}, {10, 20, 30, 40, 50}});
  ASSERT_TRUE(WriteBmpFile(name, image));
  EXPECT_EQ(FileLength(name), 1078 + 8 * 3);
  std::vector<std::uint8_t> bytes;
  ASSERT_TRUE(ReadWholeFile(name, bytes));
  EXPECT_EQ(std::vector<std::uint8_t>(bytes.begin() + 1078, bytes.begin() + 1086),
            (std::vector<std::uint8_t>{10, 20, 30, 40, 50, 0, 0, 0}));
  EXPECT_EQ(bytes, EncodeBmp(image));  // the file and the bytes in memory alike, padding included
  IndexedImage back;
  ASSERT_TRUE(ReadBmpFile(name, back));
  EXPECT_EQ(testing::Pixels(back), testing::Pixels(image));
}

// ---- The shared corpus -----------------------------------------------------------

struct CorpusFile {
  std::string path;       // relative to the bmp corpus folder
  std::string expected;   // "DECODE exact", "DECODE ±1", "DECODE, no exact ref", "FAIL (box)"
  std::string reference;  // ref/....png, or empty
  int width = 0, height = 0;
};

std::vector<CorpusFile> CorpusTable(const std::filesystem::path& dir) {
  std::ifstream in(dir / "README.md");
  std::vector<CorpusFile> files;
  const std::regex row(R"(^\| `([^`]+\.bmp)` \| (?:(-?\d+)x(-?\d+))?[^|]*\| \*\*([^*]+)\*\* \|.*$)");
  const std::regex ref(R"(`(ref/[^`]+\.png)`)");
  std::string line;
  while (std::getline(in, line)) {
    std::smatch m;
    if (!std::regex_match(line, m, row)) continue;
    CorpusFile f;
    f.path = m[1];
    f.expected = m[4];
    if (m[2].matched) {
      f.width = std::stoi(m[2]);
      f.height = std::abs(std::stoi(m[3]));
    }
    const std::string last = line.substr(line.rfind(" | "));
    std::smatch r;
    if (std::regex_search(last, r, ref)) f.reference = r[1];
    files.push_back(f);
  }
  // 1-bit files are read (decided after the table was written).
  const std::map<std::string, std::string> oneBit = {
      {"bmpsuite/g/pal1.bmp", "self"},        {"bmpsuite/g/pal1bg.bmp", "self"},
      {"bmpsuite/g/pal1wb.bmp", "self"},      {"bmpsuite/q/pal1p1.bmp", "self"},
      {"bmpsuite/b/badbitssize.bmp", "self"}, {"bmpsuite/b/baddens1.bmp", "self"},
      {"bmpsuite/b/baddens2.bmp", "self"},    {"bmpsuite/b/badfilesize.bmp", "none"},
      {"bmpsuite/b/badplanes.bmp", "none"},   {"bmpsuite/b/shortfile.bmp", "none"},
  };
  for (auto& f : files) {
    const auto it = oneBit.find(f.path);
    if (it == oneBit.end()) continue;
    f.expected = it->second == "self" ? "DECODE exact" : "DECODE, no exact ref";
    f.reference = it->second == "self" ? f.path : "";
  }
  return files;
}

bool HaveImageMagick() {
  static const bool have = std::system("convert -version > /dev/null 2>&1") == 0;
  return have;
}

// The reference picture as RGB rows, top first, through ImageMagick.
bool ReferencePixels(const std::filesystem::path& file, const testing::TempFolder& tmp, int w, int h,
                     std::vector<Rgb>& out) {
  const std::string raw = tmp.File("ref.rgb");
  const std::string command = "convert '" + file.string() + "' -alpha off -depth 8 rgb:'" + raw + "' 2>/dev/null";
  if (std::system(command.c_str()) != 0) return false;
  std::vector<std::uint8_t> bytes;
  if (!ReadWholeFile(raw, bytes) || bytes.size() != static_cast<std::size_t>(w) * h * 3) return false;
  out.resize(static_cast<std::size_t>(w) * h);
  for (std::size_t i = 0; i < out.size(); ++i) out[i] = {bytes[3 * i], bytes[3 * i + 1], bytes[3 * i + 2]};
  return true;
}

TEST_F(BmpTest, CorpusFilesDecodeOrFailAsListed) {
  ZUDIZAR_REQUIRE_CORPUS("bmp");
  const auto dir = testing::CorpusDir() / "bmp";
  const auto files = CorpusTable(dir);
  ASSERT_GE(files.size(), 100u) << "README table not recognised";
  const bool compare = HaveImageMagick();
  testing::TempFolder tmp;
  int exact = 0, nearOne = 0, decoded = 0, failed = 0;
  for (const auto& f : files) {
    SCOPED_TRACE(f.path + " (" + f.expected + ")");
    const std::string path = (dir / f.path).string();
    std::vector<std::uint8_t> bytes;
    ASSERT_TRUE(ReadWholeFile(path, bytes));
    CollectSink sink;
    std::string reason;
    const bool ok = DecodeBmp(bytes, sink, reason);
    IndexedImage image;
    FileReport boxes;
    const bool read = ReadBmpFile(path, image, &boxes);
    ASSERT_EQ(ok, read);
    if (f.expected == "FAIL (box)") {
      EXPECT_FALSE(ok);
      ASSERT_EQ(boxes.messages.size(), 1u);
      EXPECT_EQ(boxes.messages[0].text.rfind(path, 0), 0u);
      ++failed;
      continue;
    }
    ASSERT_TRUE(ok) << reason;
    // Only the file cut short says so, as a note beside the picture.
    if (f.path.ends_with("shortfile.bmp"))
      EXPECT_EQ(boxes.messages, (std::vector<FileMessage>{{kDataEndedText, kPartLoadCaption, MessageKind::Note}}));
    else
      EXPECT_TRUE(boxes.Empty());
    if (f.width) {
      EXPECT_EQ(image.ImageWidth(), f.width);
      EXPECT_EQ(image.ImageHeight(), f.height);
    }
    ++decoded;
    if (f.expected == "DECODE, no exact ref" || !compare) continue;
    const int w = sink.picture.width, h = sink.picture.height;
    std::vector<Rgb> ref;
    ASSERT_TRUE(ReferencePixels(dir / f.reference, tmp, w, h, ref)) << f.reference;
    const int tolerance = f.expected == "DECODE exact" ? 0 : 1;
    int bad = 0;
    for (int y = 0; y < h; ++y)
      for (int x = 0; x < w; ++x) {
        const Rgb got = sink.At(x, y);
        const Rgb& want = ref[static_cast<std::size_t>(y) * w + x];
        for (int c = 0; c < 3; ++c)
          if (std::abs(got[c] - want[c]) > tolerance && ++bad <= 3)
            ADD_FAILURE() << "pixel " << x << "," << y << " channel " << c << ": " << int(got[c]) << " want "
                          << int(want[c]);
        // The picture itself: the nearest shared colour of the true colour.
        if (tolerance == 0 && image.At(x, y) != NearestColourByScan(SharedPalette.current, want[0], want[1], want[2]) &&
            ++bad <= 3)
          ADD_FAILURE() << "index at " << x << "," << y;
      }
    (tolerance ? nearOne : exact) += bad == 0;
  }
  std::printf("corpus: %d decoded (%d exact, %d within 1 checked), %d refused\n", decoded, exact, nearOne, failed);
}

TEST_F(BmpTest, CorpusFileCutOrPatched) {
  ZUDIZAR_REQUIRE_CORPUS("bmp");
  std::vector<std::uint8_t> original;
  ASSERT_TRUE(ReadWholeFile((testing::CorpusDir() / "bmp" / "im_shira_pal8.bmp").string(), original));
  CollectSink whole;
  ASSERT_TRUE(Decode(original, whole));
  for (int k : {1, 7, 143}) {
    std::vector<std::uint8_t> cut(original.begin(), original.begin() + 1078 + k * 192);
    CollectSink sink;
    ASSERT_TRUE(Decode(cut, sink));
    const std::size_t present = static_cast<std::size_t>(k) * 192;
    EXPECT_TRUE(std::equal(sink.indices.begin(), sink.indices.begin() + present, whole.indices.begin()));
    EXPECT_TRUE(std::all_of(sink.indices.begin() + present, sink.indices.end(), [](auto v) { return v == 0; }));
  }
  auto patched = [&](std::size_t at, std::uint32_t value) {
    std::vector<std::uint8_t> b = original;
    for (int i = 0; i < 4; ++i) b[at + i] = static_cast<std::uint8_t>(value >> (8 * i));
    return b;
  };
  for (const auto& [label, bytes] : std::vector<std::pair<std::string, std::vector<std::uint8_t>>>{
           {"width 0", patched(18, 0)},
           {"height 0", patched(22, 0)},
           {"negative width", patched(18, static_cast<std::uint32_t>(-192))},
           {"width 16385", patched(18, 16385)},
           {"height 16385", patched(22, 16385)},
           {"offset at the end", patched(10, static_cast<std::uint32_t>(original.size()))},
           {"offset past the end", patched(10, 0xFFFFFFF0u)}}) {
    CollectSink sink;
    EXPECT_FALSE(Decode(bytes, sink)) << label;
  }
}

}  // namespace
}  // namespace zudizar

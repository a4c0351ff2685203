#include "palette/palette_load.h"

#include <gtest/gtest.h>

#include "base/file_io.h"
#include "base/settings.h"
#include "formats/bmp.h"
#include "formats/bmp_builder.h"
#include "support/test_support.h"

namespace zudizar {
namespace {

using testing::BmpBuilder;
using Colour = std::array<std::uint8_t, 3>;

// Distinct colours that are none of the reserved ones (all have red 1..).
Colour Distinct(int k) {
  return {static_cast<std::uint8_t>(1 + k % 200), static_cast<std::uint8_t>(k / 200 + 3),
          static_cast<std::uint8_t>(77)};
}

// An 8-bit BMP whose table is `table`, with one pixel of each index in `used`.
BmpBuilder EightBit(const std::vector<Colour>& table, const std::vector<int>& used) {
  BmpBuilder b;
  b.width = static_cast<int>(used.size());
  b.height = 1;
  b.table = table;
  for (int i : used) b.pixels.push_back(static_cast<std::uint8_t>(i));
  while (b.pixels.size() % 4) b.pixels.push_back(0);
  return b;
}

// A 24-bit BMP of one row holding the colours in order.
BmpBuilder TrueColour(const std::vector<Colour>& colours) {
  BmpBuilder b;
  b.width = static_cast<int>(colours.size());
  b.height = 1;
  b.bitCount = 24;
  for (const auto& c : colours) b.pixels.insert(b.pixels.end(), {c[2], c[1], c[0]});
  while (b.pixels.size() % 4) b.pixels.push_back(0);
  return b;
}

bool Holds(const PaletteEntry& e, const Colour& c) { return e.red == c[0] && e.green == c[1] && e.blue == c[2]; }

class PaletteLoadTest : public testing::ProgramFolderTest {};

// ---- BMP rule ---------------------------------------------------------------

// The smallest city-block distance from a colour to the pending table.
int DistanceToPending(const Colour& c) {
  int best = 1 << 30;
  for (const auto& e : SharedPalette.pending)
    best = std::min(best, std::abs(e.red - c[0]) + std::abs(e.green - c[1]) + std::abs(e.blue - c[2]));
  return best;
}

TEST_F(PaletteLoadTest, DistinctColoursFillTheFreeEntriesInOrder) {
  std::vector<Colour> table;
  std::vector<int> used;
  for (int k = 0; k < 236; ++k) table.push_back(Distinct(k));
  table.resize(256, Colour{0, 0, 0});
  for (int k = 0; k < 236; ++k) used.push_back(k);
  LoadPaletteFromPicture(Write("many.bmp", EightBit(table, used).Build()));
  for (int k = 0; k < 236; ++k) ASSERT_TRUE(Holds(SharedPalette.pending[10 + k], Distinct(k))) << k;
  for (int i : {0, 9, 246, 255}) EXPECT_EQ(SharedPalette.pending[i], DefaultPalette[i]);
  EXPECT_EQ(SharedPalette.current, DefaultPalette);  // only the pending table changes

  // One colour more than the free entries take: colours are chosen for the
  // whole picture instead of dropping the last one.
  table[236] = Distinct(236);
  used.push_back(236);
  SharedPalette.pending = DefaultPalette;
  LoadPaletteFromPicture(Write("more.bmp", EightBit(table, used).Build()));
  for (int k = 0; k < 237; ++k) ASSERT_LE(DistanceToPending(Distinct(k)), 1) << k;
  for (int i : {0, 9, 246, 255}) EXPECT_EQ(SharedPalette.pending[i], DefaultPalette[i]);
}

TEST_F(PaletteLoadTest, UnusedRepeatedAndReservedColoursAreNotPlaced) {
  // Pending already holds other colours in the free entries: the k-th
  // distinct colour still goes to entry 9 + k.
  SharedPalette.pending[10] = {9, 9, 9, 0};
  SharedPalette.pending[13] = {8, 8, 8, 0};
  const std::vector<Colour> table = {
      {0xA4, 0xC8, 0xF0},  // 0: counts as entry 9
      {50, 60, 70},        // 1
      {255, 0, 0},         // 2: reserved entry 249
      {50, 60, 70},        // 3: repeat of 1
      {1, 2, 3},           // 4: never used
      {9, 9, 9},           // 5: equals pending 10, which is not reserved
  };
  LoadPaletteFromPicture(Write("few.bmp", EightBit(table, {0, 1, 2, 3, 5, 1}).Build()));
  EXPECT_TRUE(Holds(SharedPalette.pending[10], {50, 60, 70}));
  EXPECT_TRUE(Holds(SharedPalette.pending[11], {9, 9, 9}));
  EXPECT_EQ(SharedPalette.pending[12], DefaultPalette[12]);
  EXPECT_TRUE(Holds(SharedPalette.pending[13], {8, 8, 8}));
  EXPECT_EQ(SharedPalette.pending[9], DefaultPalette[9]);
}

TEST_F(PaletteLoadTest, MoreThan256ColoursShowTheBoxAndKeepTheLastInEntry255) {
  std::vector<Colour> colours;
  for (int k = 0; k < 300; ++k) colours.push_back(Distinct(k));
  colours.push_back(Distinct(0));    // known: no change
  colours.push_back(Distinct(260));  // met again after being overwritten: new again
  const auto bytes = TrueColour(colours).Build();
  PictureColourList list;
  ASSERT_TRUE(GatherBmpColours(bytes, list));
  EXPECT_TRUE(list.cut);
  for (int k = 0; k < 255; ++k) ASSERT_TRUE(Holds(list.colours[k], Distinct(k))) << k;
  EXPECT_TRUE(Holds(list.colours[255], Distinct(260)));

  FileReport boxes;
  LoadPaletteFromPicture(Write("photo.bmp", bytes), &boxes);
  ASSERT_EQ(boxes.messages.size(), 1u);
  EXPECT_EQ(boxes.messages[0].text, kBmpColoursCutText);
  EXPECT_EQ(boxes.messages[0].caption, kBmpLoadFailedCaption);
  EXPECT_EQ(boxes.messages[0].kind, MessageKind::Information);
  // Too many for the free entries: colours chosen for the whole picture, so
  // the last colours of the file are as near to the palette as the first.
  for (int k : {0, 150, 299}) EXPECT_LE(DistanceToPending(Distinct(k)), 1) << k;

  // 256 colours exactly: no cut, no box.
  colours.resize(256);
  FileReport quiet;
  LoadPaletteFromPicture(Write("256.bmp", TrueColour(colours).Build()), &quiet);
  EXPECT_TRUE(quiet.Empty());
}

TEST_F(PaletteLoadTest, SixteenBitColoursFollowTheTwentyFourBitRule) {
  BmpBuilder b;
  b.width = 4;
  b.bitCount = 16;
  // 5-5-5: red 31, then green 31, then red 31 again, then blue 1.
  b.pixels = {0x00, 0x7C, 0xE0, 0x03, 0x00, 0x7C, 0x01, 0x00};
  PictureColourList list;
  ASSERT_TRUE(GatherBmpColours(b.Build(), list));
  EXPECT_TRUE(Holds(list.colours[0], {255, 0, 0}));
  EXPECT_TRUE(Holds(list.colours[1], {0, 255, 0}));
  EXPECT_TRUE(Holds(list.colours[2], {0, 0, 8}));
  EXPECT_FALSE(list.used[3]);
  LoadPaletteFromPicture(Write("sixteen.bmp", b.Build()));
  EXPECT_TRUE(Holds(SharedPalette.pending[10], {0, 0, 8}));  // red and green are reserved
}

TEST_F(PaletteLoadTest, UnreadableRefusedAndIconFilesChangeNothing) {
  const PaletteHandle handle = SharedPalette.handle;
  FileReport boxes;
  LoadPaletteFromPicture(folder_.File("missing.bmp"), &boxes);
  LoadPaletteFromPicture(Write("short.bmp", {'B', 'M', 1, 2}), &boxes);
  BmpBuilder jpegInside;
  jpegInside.bitCount = 24;
  jpegInside.compression = 4;
  jpegInside.pixels = {1, 2, 3, 4};
  LoadPaletteFromPicture(Write("refused.bmp", jpegInside.Build()), &boxes);
  EXPECT_TRUE(boxes.Empty());
  EXPECT_EQ(SharedPalette.pending, DefaultPalette);

  // An icon is read for nothing: neither the pending table nor the handle change.
  std::vector<std::uint8_t> icon = {0, 0, 1, 0, 1, 0, 16, 16, 16, 0, 1, 0, 4, 0};
  icon.resize(200, 0);
  LoadPaletteFromPicture(Write("アイコン.ico", icon), &boxes);
  EXPECT_EQ(SharedPalette.pending, DefaultPalette);
  EXPECT_EQ(SharedPalette.handle, handle);
}

// ---- MAG rule ---------------------------------------------------------------------

TEST_F(PaletteLoadTest, MergePictureColoursAddsOnlyColoursThePaletteLacks) {
  SetCurrentEntry(12, {40, 40, 40, 0});
  SharedPalette.pending[20] = {7, 7, 7, 0};  // overwritten: the merge starts from the current table
  IndexedImage image;
  testing::MakeImage(image, {{0, 1, 2, 3}, {4, 1, 0, 6}});
  auto set = [&](int i, Colour c) { image.colourTable[i] = {c[2], c[1], c[0], 0}; };
  const auto& e100 = DefaultPalette[100];
  set(0, {e100.red, e100.green, e100.blue});  // held at 100
  set(1, {40, 40, 40});                       // held at 12, a free entry: 12 is kept
  set(2, {0xA6, 0xCA, 0xF0});                 // entry 9
  set(3, {200, 1, 2});                        // new
  set(4, {200, 1, 2});                        // new, a repeat
  set(5, {3, 4, 5});                          // not used by any pixel
  set(6, {201, 1, 2});                        // new
  MergePictureColours(image);
  PaletteTable expected = SharedPalette.current;
  expected[10] = {200, 1, 2, 0};
  expected[11] = {201, 1, 2, 0};
  EXPECT_EQ(SharedPalette.pending, expected);

  // A picture whose colours all exist somewhere changes nothing.
  SetCurrentTable(expected);
  MergePictureColours(image);
  EXPECT_EQ(SharedPalette.pending, expected);
}

TEST_F(PaletteLoadTest, MergeColourListJpegStyleMatchesAllEntries) {
  PictureColourList list;
  list.colours[0] = {0, 0, 0, 0};           // black, held at 0
  list.colours[1] = {0x11, 0x11, 0x11, 0};  // held at free entry 10: that entry is kept
  list.colours[2] = {1, 2, 3, 0};
  list.colours[3] = {0xA4, 0xC8, 0xF0, 0};  // no entry-9 alias in this rule
  for (int i = 0; i < 4; ++i) list.used[i] = true;
  PaletteTable pending = DefaultPalette;
  EXPECT_EQ(MergeColourList(list, pending, kJpegMergeRule), 0);
  EXPECT_EQ(pending[10], DefaultPalette[10]);
  EXPECT_EQ(pending[11], (PaletteEntry{1, 2, 3, 0}));
  EXPECT_EQ(pending[12], (PaletteEntry{0xA4, 0xC8, 0xF0, 0}));
  EXPECT_EQ(pending[13], DefaultPalette[13]);

  // Colours beyond the free entries are dropped, and counted.
  PictureColourList many;
  for (int i = 0; i < 256; ++i) {
    many.colours[i] = {static_cast<std::uint8_t>(i), static_cast<std::uint8_t>(255 - i), 1, 0};
    many.used[i] = true;
  }
  pending = DefaultPalette;
  EXPECT_EQ(MergeColourList(many, pending, kJpegMergeRule), 256 - 236);
  EXPECT_EQ(pending[245], (PaletteEntry{235, 20, 1, 0}));
  EXPECT_EQ(pending[246], DefaultPalette[246]);
}

// ---- Start-up palette ---------------------------------------------------------------

TEST_F(PaletteLoadTest, StartupPaletteComesFromTheProgramFolderOrTheSetting) {
  SharedPalette.pending[50] = {1, 1, 1, 0};  // replaced by the current table first
  Write("TAVOCINI.BMP", EightBit({{10, 20, 30}, {40, 50, 60}}, {0, 1}).Build());
  LoadStartupPalette();
  EXPECT_TRUE(Holds(SharedPalette.pending[10], {10, 20, 30}));
  EXPECT_TRUE(Holds(SharedPalette.pending[11], {40, 50, 60}));
  EXPECT_EQ(SharedPalette.pending[50], DefaultPalette[50]);
  EXPECT_EQ(SharedPalette.current, DefaultPalette);

  std::filesystem::create_directories(folder_.Path() / std::filesystem::u8path("パレット"));
  const std::string other = Write("パレット/能.bmp", EightBit({{99, 98, 97}}, {0}).Build());
  WriteSetting("INITBMP", other);
  LoadStartupPalette();
  EXPECT_TRUE(Holds(SharedPalette.pending[10], {99, 98, 97}));
  EXPECT_EQ(SharedPalette.pending[11], DefaultPalette[11]);
}

TEST_F(PaletteLoadTest, WithoutAStartupPictureThePendingTableIsTheCurrentOne) {
  SharedPalette.pending[30] = {1, 1, 1, 0};
  LoadStartupPalette();
  EXPECT_EQ(SharedPalette.pending, DefaultPalette);
  ASSERT_TRUE(SharedPalette.handle);
  EXPECT_EQ(*SharedPalette.handle, DefaultPalette);
}

// ---- IDXPALET.TXT --------------------------------------------------------------------

std::string Lines(int count, const std::string& line = "") {
  std::string text;
  for (int i = 0; i < count; ++i) text += (line.empty() ? std::to_string(255 - i) : line) + "\r\n";
  return text;
}

TEST_F(PaletteLoadTest, SwatchFileNeedsAll256LinesAndSkipsBadNumbers) {
  SwatchArrangement a = IdentityArrangement();
  EXPECT_FALSE(ParseSwatchArrangement(Lines(255), a));
  EXPECT_EQ(a, IdentityArrangement());

  std::string text = Lines(256);
  text.replace(text.find("\r\n250\r\n") + 2, 3, "x5");  // line 5 is not a number
  text.replace(0, 3, "-7");                             // line 0 negative
  text += "17\r\nmore\r\n";                             // lines after 256 are ignored
  a.fill(1000);
  ASSERT_TRUE(ParseSwatchArrangement(text, a));
  EXPECT_EQ(a[0], -7);
  EXPECT_EQ(a[1], 254);
  EXPECT_EQ(a[5], 5);
  EXPECT_EQ(a[255], 0);

  // Without carriage returns and without a last line end.
  std::string bare;
  for (int i = 0; i < 256; ++i) bare += std::to_string(i * 2) + (i < 255 ? "\n" : "");
  ASSERT_TRUE(ParseSwatchArrangement(bare, a));
  EXPECT_EQ(a[255], 510);
}

TEST_F(PaletteLoadTest, SwatchFileWritesCrLfLinesAndReadsBack) {
  SwatchArrangement a = IdentityArrangement();
  a[0] = 12;
  a[1] = -3;
  a[255] = 2147483647;
  const std::string text = FormatSwatchArrangement(a);
  EXPECT_EQ(text.substr(0, 11), "12\r\n-3\r\n2\r\n");
  EXPECT_EQ(text.substr(text.size() - 12), "2147483647\r\n");
  EXPECT_EQ(SwatchFilePath(), folder_.File("IDXPALET.TXT"));
  ASSERT_TRUE(WriteSwatchArrangement(SwatchFilePath(), a));
  EXPECT_EQ(FileLength(SwatchFilePath()), static_cast<long long>(text.size()));
  SwatchArrangement back = IdentityArrangement();
  ReadSwatchArrangement(SwatchFilePath(), back);
  EXPECT_EQ(back, a);

  SwatchArrangement untouched = IdentityArrangement();
  ReadSwatchArrangement(folder_.File("表/IDXPALET.TXT"), untouched);
  EXPECT_EQ(untouched, IdentityArrangement());
}

}  // namespace
}  // namespace zudizar

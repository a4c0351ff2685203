// Gathering a picture's colours for the palette: the colour-count table
// against the plain first-match scan of its 32769 entries, the selection by
// count, the order in which decoded colours are offered, and the merge into
// the pending table.
#include <gtest/gtest.h>

#include <random>

#include "formats/jpeg/jpeg.h"
#include "formats/jpeg/jpeg_colours.h"
#include "formats/jpeg/jpeg_decoder.h"
#include "formats/jpeg_test_support.h"
#include "support/test_support.h"

namespace zudizar {
namespace {

using jpeg::ColourCounter;
using Entry = ColourCounter::Entry;

// The rule as written: scan entries 0..32768, stop at the first that is
// near (less than 9 in each component) or, past entry 0, all zero.
class PlainCounter {
 public:
  PlainCounter() : entries_(ColourCounter::kEntries) {}
  void Offer(int r, int g, int b) {
    for (int i = 0; i < ColourCounter::kEntries; ++i) {
      Entry& e = entries_[i];
      const bool near = std::abs(e.red - r) < 9 && std::abs(e.green - g) < 9 && std::abs(e.blue - b) < 9;
      const bool empty = i != 0 && e.red == 0 && e.green == 0 && e.blue == 0;
      if (near || empty) {
        if (!near) e = {static_cast<std::uint8_t>(r), static_cast<std::uint8_t>(g), static_cast<std::uint8_t>(b), 0};
        if (e.count < 255) ++e.count;
        return;
      }
    }
  }
  std::vector<Entry> entries_;
};

void ExpectSameTable(const ColourCounter& counter, const PlainCounter& plain) {
  for (int i = 0; i < ColourCounter::kEntries; ++i) {
    const Entry& a = i < counter.Used() ? counter[i] : Entry{};
    const Entry& b = plain.entries_[i];
    ASSERT_TRUE(a.red == b.red && a.green == b.green && a.blue == b.blue && a.count == b.count)
        << "entry " << i << ": " << int(a.red) << "," << int(a.green) << "," << int(a.blue) << " x" << int(a.count)
        << " against " << int(b.red) << "," << int(b.green) << "," << int(b.blue) << " x" << int(b.count);
  }
}

TEST(JpegColoursTest, CountsAreThoseOfThePlainFirstMatchScan) {
  std::mt19937 random(31);
  for (int style = 0; style < 4; ++style) {
    ColourCounter counter;
    PlainCounter plain;
    std::normal_distribution<double> spread(0.0, style == 0 ? 4.0 : 12.0);
    int centre[3] = {128, 128, 128};
    for (int i = 0; i < 4000; ++i) {
      int c[3];
      if (style == 2) {  // uniform
        for (auto& v : c) v = static_cast<int>(random() % 256);
      } else if (style == 3) {  // near black and near the edges of the cube
        for (auto& v : c) v = random() % 2 ? static_cast<int>(random() % 20) : 255 - static_cast<int>(random() % 20);
      } else {  // clusters that wander, as in a picture
        if (i % 200 == 0)
          for (auto& v : centre) v = static_cast<int>(random() % 256);
        for (int k = 0; k < 3; ++k) c[k] = std::clamp(static_cast<int>(centre[k] + spread(random)), 0, 255);
      }
      counter.Offer(static_cast<std::uint8_t>(c[0]), static_cast<std::uint8_t>(c[1]), static_cast<std::uint8_t>(c[2]));
      plain.Offer(c[0], c[1], c[2]);
    }
    ExpectSameTable(counter, plain);
  }
}

TEST(JpegColoursTest, SelectionIsBlackThenColoursByDescendingCountInGatheringOrder) {
  ColourCounter counter;
  const auto offer = [&](int r, int g, int b, int times) {
    for (int i = 0; i < times; ++i)
      counter.Offer(static_cast<std::uint8_t>(r), static_cast<std::uint8_t>(g), static_cast<std::uint8_t>(b));
  };
  offer(200, 0, 0, 3);   // A
  offer(0, 200, 0, 1);   // B
  offer(0, 0, 200, 3);   // C
  offer(5, 3, 8, 2);     // near black: counts for entry 0
  offer(90, 90, 90, 2);  // D
  offer(95, 85, 98, 300);  // near D: counts for D, which stops at 255
  const auto list = counter.Selection();
  ASSERT_EQ(list.size(), 5u);
  const std::vector<std::tuple<int, int, int, int>> expected = {
      {0, 0, 0, 2}, {90, 90, 90, 255}, {200, 0, 0, 3}, {0, 0, 200, 3}, {0, 200, 0, 1}};
  for (std::size_t i = 0; i < list.size(); ++i)
    EXPECT_EQ(std::make_tuple(int(list[i].red), int(list[i].green), int(list[i].blue), int(list[i].count)), expected[i]) << i;

  // At most 255 colours besides black: the first 255 gathered at equal counts.
  ColourCounter many;
  for (int i = 0; i < 400; ++i)
    many.Offer(static_cast<std::uint8_t>(20 + 9 * (i % 26)), static_cast<std::uint8_t>(20 + 9 * (i / 26)), 100);
  const auto limited = many.Selection();
  ASSERT_EQ(limited.size(), 256u);
  EXPECT_EQ(limited[255].red, 20 + 9 * (254 % 26));
  EXPECT_EQ(limited[255].green, 20 + 9 * (254 / 26));
}

// Records the colours the decoder hands over, in order.
class OrderSink : public jpeg::PixelSink {
 public:
  bool StartImage(int, int) override { return true; }
  void PreviewBlock(int, int, int, int, jpeg::Rgb c) override { colours.push_back({c.red, c.green, c.blue}); }
  void Block(int, int, int width, int height, const jpeg::BlockPixels& p) override {
    for (int y = 0; y < height; ++y)
      for (int x = 0; x < width; ++x) colours.push_back({p.red[8 * y + x], p.green[8 * y + x], p.blue[8 * y + x]});
  }
  std::vector<std::array<int, 3>> colours;
};

TEST(JpegColoursTest, DecodedColoursAreCountedWhenTheyDifferFromTheOneBefore) {
  for (const auto& bytes : {testing::EncodedTestPicture(61, 35), testing::EncodedTestPicture(16, 8)}) {
    OrderSink order;
    jpeg::Decode(bytes, order, nullptr);
    PlainCounter plain;
    std::array<int, 3> previous = {-1, -1, -1};
    for (const auto& c : order.colours) {
      if (c == previous) continue;
      previous = c;
      plain.Offer(c[0], c[1], c[2]);
    }
    ColourCounter expected;  // the same offers, to build the expected selection
    previous = {-1, -1, -1};
    for (const auto& c : order.colours) {
      if (c == previous) continue;
      previous = c;
      expected.Offer(static_cast<std::uint8_t>(c[0]), static_cast<std::uint8_t>(c[1]), static_cast<std::uint8_t>(c[2]));
    }
    ExpectSameTable(expected, plain);
    IndexedImage colours;
    GatherJpegColours(bytes, colours);
    EXPECT_FALSE(colours.HasPixels());
    const auto list = expected.Selection();
    ASSERT_EQ(colours.infoHeader.biClrUsed, list.size());
    for (std::size_t i = 0; i < list.size(); ++i)
      EXPECT_EQ(colours.colourTable[i], (ColourTableEntry{list[i].blue, list[i].green, list[i].red, 0})) << i;
    EXPECT_EQ(colours.colourTable[0], (ColourTableEntry{0, 0, 0, 0}));
  }
}

class JpegPaletteMergeTest : public testing::PaletteReset {};

void SetList(IndexedImage& list, const std::vector<std::array<int, 3>>& colours) {
  list.colourTable.fill({});
  for (std::size_t i = 0; i < colours.size(); ++i)
    list.colourTable[i] = {static_cast<std::uint8_t>(colours[i][2]), static_cast<std::uint8_t>(colours[i][1]),
                           static_cast<std::uint8_t>(colours[i][0]), 0};
  list.infoHeader.biClrUsed = static_cast<std::uint32_t>(colours.size());
}

TEST_F(JpegPaletteMergeTest, NewColoursTakeTheLowestFreeEntriesAndKnownOnesStay) {
  const PaletteEntry at10 = SharedPalette.pending[10], at100 = SharedPalette.pending[100];
  IndexedImage list;
  // Black (entry 0), entry 100's colour, entry 10's colour, two new colours.
  SetList(list, {{0, 0, 0}, {at100.red, at100.green, at100.blue}, {1, 2, 3}, {at10.red, at10.green, at10.blue}, {4, 5, 6}});
  MergeJpegColours(list);
  const PaletteTable& p = SharedPalette.pending;
  EXPECT_EQ(p[0], DefaultPalette[0]);
  EXPECT_EQ(p[10], at10);  // matched, so taken
  EXPECT_EQ(p[11], (PaletteEntry{1, 2, 3, 0}));
  EXPECT_EQ(p[12], (PaletteEntry{4, 5, 6, 0}));
  EXPECT_EQ(p[13], DefaultPalette[13]);
  EXPECT_EQ(p[100], at100);
  EXPECT_EQ(SharedPalette.current, DefaultPalette);  // only the pending table changes
}

TEST_F(JpegPaletteMergeTest, ColoursBeyondTheFreeEntriesAreDropped) {
  std::vector<std::array<int, 3>> colours = {{0, 0, 0}};
  for (int i = 0; i < 255; ++i) colours.push_back({i, 255 - i, 1});  // none in the default palette
  IndexedImage list;
  SetList(list, colours);
  MergeJpegColours(list);
  for (int slot = 10; slot <= 245; ++slot)
    EXPECT_EQ(SharedPalette.pending[slot], (PaletteEntry{static_cast<std::uint8_t>(slot - 10),
                                                         static_cast<std::uint8_t>(255 - (slot - 10)), 1, 0}));
  for (int slot : {0, 9, 246, 255}) EXPECT_EQ(SharedPalette.pending[slot], DefaultPalette[slot]);
}

TEST_F(JpegPaletteMergeTest, LoadPaletteFromJpegMergesTheGatheredColoursAndRealises) {
  testing::TempFolder folder;
  const std::string path = folder.File("パレット.jpg");
  testing::WriteBytes(path, testing::EncodedTestPicture(40, 24));
  IndexedImage gathered;
  ASSERT_TRUE(ReadJpegColours(path, gathered));
  EXPECT_FALSE(gathered.HasPixels());
  PaletteTable expected = SharedPalette.pending;
  MergeJpegColours(gathered);
  std::swap(expected, SharedPalette.pending);
  SharedPalette.handle.reset();
  ASSERT_TRUE(LoadPaletteFromJpeg(path));
  EXPECT_EQ(SharedPalette.pending, expected);
  EXPECT_NE(SharedPalette.pending, DefaultPalette);
  ASSERT_TRUE(SharedPalette.handle);
  EXPECT_EQ(*SharedPalette.handle, SharedPalette.current);
  // An unreadable file changes nothing.
  const PaletteTable before = SharedPalette.pending;
  const PaletteHandle handle = SharedPalette.handle;
  EXPECT_FALSE(LoadPaletteFromJpeg(folder.File("missing.jpg")));
  EXPECT_EQ(SharedPalette.pending, before);
  EXPECT_EQ(SharedPalette.handle, handle);
}

}  // namespace
}  // namespace zudizar

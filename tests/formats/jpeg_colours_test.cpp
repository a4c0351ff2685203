// Gathering a picture's colours for the palette: the colour-count table
// against the plain first-match scan of its 32769 entries, the selection by
// count, and the order in which decoded colours are offered.
#include <gtest/gtest.h>

#include <algorithm>
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
  offer(200, 0, 0, 3);     // A
  offer(0, 200, 0, 1);     // B
  offer(0, 0, 200, 3);     // C
  offer(5, 3, 8, 2);       // near black: counts for entry 0
  offer(90, 90, 90, 2);    // D
  offer(95, 85, 98, 300);  // near D: counts for D, which stops at 255
  const auto list = counter.Selection();
  ASSERT_EQ(list.size(), 5u);
  const std::vector<std::tuple<int, int, int, int>> expected = {
      {0, 0, 0, 2}, {90, 90, 90, 255}, {200, 0, 0, 3}, {0, 0, 200, 3}, {0, 200, 0, 1}};
  for (std::size_t i = 0; i < list.size(); ++i)
    EXPECT_EQ(std::make_tuple(int(list[i].red), int(list[i].green), int(list[i].blue), int(list[i].count)), expected[i])
        << i;

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

// Gathering that stops counting once the list cannot hold the colours still
// decodes both passes whole: every MCU row reports its progress in the
// preview pass (phase 0) and then in the full pass (phase 1), as a decode
// that counts every colour does.
TEST(JpegColoursTest, BothPassesRunWholeWhenCountingStopsEarly) {
  // Many colours from the first rows on, so counting stops early.
  IndexedImage picture;
  ASSERT_EQ(CreateImage(64, 80, picture), 1);
  for (int y = 0; y < 80; ++y)
    for (int x = 0; x < 64; ++x) picture.At(x, y) = static_cast<std::uint8_t>((x * 37 + y * 11) % 256);
  const auto bytes = EncodeJpeg(picture, DefaultPalette);
  std::vector<std::pair<int, int>> expected;
  for (const bool countAll : {true, false}) {
    testing::ProgressRecorder progress;
    jpeg::Gathered gathered;
    std::string reason;
    ASSERT_TRUE(jpeg::GatherColours(bytes, false, &progress, gathered, reason, {}, countAll));
    if (!countAll) {
      EXPECT_GT(gathered.distinct, jpeg::kListColours);  // it did stop
    }
    const auto phase0 = std::count_if(progress.calls.begin(), progress.calls.end(),
                                      [](const auto& c) { return c.second == 0; });
    ASSERT_GT(phase0, 2);
    ASSERT_EQ(static_cast<std::size_t>(phase0) * 2, progress.calls.size());
    EXPECT_EQ(progress.calls[phase0 - 1], std::make_pair(100, 0));
    EXPECT_EQ(progress.calls.back(), std::make_pair(100, 1));
    if (countAll) {
      expected = progress.calls;
    } else {
      EXPECT_EQ(progress.calls, expected);
    }
  }
}

}  // namespace
}  // namespace zudizar

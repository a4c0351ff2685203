// Gathering a picture's colours for the palette: the colour-count table
// against the plain first-match scan of its 32769 entries, the selection by
// count, and the order in which decoded colours are offered.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <random>

#include "formats/jpeg/jpeg.h"
#include "formats/jpeg/jpeg_colours.h"
#include "formats/jpeg/jpeg_decoder.h"
#include "formats/jpeg_test_support.h"
#include "palette/quantise.h"
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

// A Gathered used before gives the same as a fresh one: nothing of the
// earlier picture stays in its histogram.
TEST(JpegColoursTest, GatheringAgainForgetsTheEarlierPicture) {
  const auto first = testing::EncodedTestPicture(61, 35), second = testing::EncodedTestPicture(40, 24);
  std::string reason;
  jpeg::Gathered reused, fresh;
  ASSERT_TRUE(jpeg::GatherColours(first, false, nullptr, reused, reason));
  ASSERT_TRUE(jpeg::GatherColours(second, false, nullptr, reused, reason));
  ASSERT_TRUE(jpeg::GatherColours(second, false, nullptr, fresh, reason));
  EXPECT_EQ(reused.histogram.Total(), fresh.histogram.Total());
  for (int c = 0; c < ColourHistogram::kCells; ++c) {
    const auto& a = reused.histogram.Cells()[c];
    const auto& b = fresh.histogram.Cells()[c];
    ASSERT_TRUE(a.count == b.count && a.red == b.red && a.green == b.green && a.blue == b.blue) << "cell " << c;
  }
  auto a = reused.histogram.ExactColours(), b = fresh.histogram.ExactColours();
  std::sort(a.begin(), a.end());
  std::sort(b.begin(), b.end());
  EXPECT_EQ(a, b);
  EXPECT_EQ(reused.distinct, fresh.distinct);
  EXPECT_EQ(reused.selection.size(), fresh.selection.size());
}

// The histogram that feeds the colour choice of a large picture, against a
// plain histogram of every decoded pixel (the samples the gathering keeps).
class LargePictureHistogram : public ::testing::Test {
 public:
  // Past the size from which the histogram may take a sample.
  static constexpr int kWidth = 1536, kHeight = 1376;

  static void Gather(const IndexedImage& picture, const PaletteTable& palette, jpeg::Gathered& gathered,
                     ColourHistogram& every) {
    const auto bytes = EncodeJpeg(picture, palette);
    std::string reason;
    ASSERT_TRUE(jpeg::GatherColours(bytes, false, nullptr, gathered, reason, {}, false)) << reason;
    ASSERT_TRUE(gathered.samples);
    const jpeg::RgbSamples& s = *gathered.samples;
    for (std::size_t k = 0; k < s.Count(); ++k) every.Add(s.red[k], s.green[k], s.blue[k]);
  }

  // Mean squared error of every 13th pixel against its nearest colour.
  static double ChoiceError(const jpeg::RgbSamples& s, const std::vector<PaletteEntry>& colours) {
    double sum = 0;
    long n = 0;
    for (std::size_t k = 0; k < s.Count(); k += 13, ++n) {
      int best = 1 << 30;
      for (const PaletteEntry& c : colours) {
        const int dr = c.red - s.red[k], dg = c.green - s.green[k], db = c.blue - s.blue[k];
        best = std::min(best, dr * dr + dg * dg + db * db);
      }
      sum += best;
    }
    return sum / static_cast<double>(n);
  }
};

// What every sample must keep: it stands for every pixel once, holds only
// colours of the picture, its exact count (while it lasts) takes every pixel,
// and it chooses colours within 0.2 dB (4.7% of squared error) of counting
// every pixel.
void ExpectFairSample(const jpeg::Gathered& gathered, const ColourHistogram& every) {
  const ColourHistogram& sampled = gathered.histogram;
  ASSERT_EQ(sampled.Total(), every.Total());
  for (int c = 0; c < ColourHistogram::kCells; ++c)
    ASSERT_TRUE(sampled.Cells()[c].count == 0 || every.Cells()[c].count > 0) << "cell " << c << " is no colour";
  ASSERT_EQ(sampled.Exact(), every.Exact());
  auto exact = sampled.ExactColours(), expected = every.ExactColours();
  std::sort(exact.begin(), exact.end());
  std::sort(expected.begin(), expected.end());
  EXPECT_EQ(exact, expected);
  const double fromSample = LargePictureHistogram::ChoiceError(*gathered.samples, ChooseRepresentativeColours(sampled, 236, {}));
  const double fromEvery = LargePictureHistogram::ChoiceError(*gathered.samples, ChooseRepresentativeColours(every, 236, {}));
  EXPECT_LT(fromSample, fromEvery * 1.047);
}

// A graphic: flat areas, and thin lines of colours found nowhere else, whose
// blocks are busy but few.
TEST_F(LargePictureHistogram, GraphicKeepsItsRareColours) {
  IndexedImage picture;
  ASSERT_EQ(CreateImage(kWidth, kHeight, picture), 1);
  for (int y = 0; y < kHeight; ++y)
    for (int x = 0; x < kWidth; ++x) {
      int index = x < 700 ? (y < 500 ? 1 : 4) : (x / 300 + y / 400) % 3 + 11;
      if ((x + 3 * y) % 997 < 2) index = 20 + (x / 100) % 12;  // slanting lines
      picture.At(x, y) = static_cast<std::uint8_t>(index);
    }
  jpeg::Gathered gathered;
  ColourHistogram every;
  Gather(picture, DefaultPalette, gathered, every);
  ExpectFairSample(gathered, every);
  // The colours the full count has in few pixels (the lines' and their
  // edges') are mostly in the sample with the very same counts and sums: the
  // busy blocks they lie in were counted whole. (A sample of every block
  // would match hardly any: its counts come in sixteens. About three
  // quarters of those pixels match; the others lie in quiet blocks.)
  std::uint64_t rare = 0, kept = 0;
  int cells = 0;
  for (int c = 0; c < ColourHistogram::kCells; ++c) {
    const auto& full = every.Cells()[c];
    if (full.count == 0 || full.count > 2000) continue;
    ++cells;
    rare += full.count;
    const auto& part = gathered.histogram.Cells()[c];
    if (part.count == full.count && part.red == full.red && part.green == full.green && part.blue == full.blue)
      kept += full.count;
  }
  EXPECT_GT(cells, 12);
  EXPECT_GT(kept, rare * 6 / 10);
}

// Grain everywhere: most blocks are busy, and the sample is a small part.
TEST_F(LargePictureHistogram, GrainyPictureSampleStandsForEveryPixel) {
  std::mt19937 random(77);
  std::uniform_int_distribution<int> level(0, 255), pick(0, 63);
  PaletteTable palette = DefaultPalette;
  for (int i = 10; i < 74; ++i)
    palette[i] = {static_cast<std::uint8_t>(level(random)), static_cast<std::uint8_t>(level(random)),
                  static_cast<std::uint8_t>(level(random)), 0};
  IndexedImage picture;
  ASSERT_EQ(CreateImage(kWidth, kHeight, picture), 1);
  for (int y = 0; y < kHeight; ++y)
    for (int x = 0; x < kWidth; ++x) picture.At(x, y) = static_cast<std::uint8_t>(10 + pick(random));
  jpeg::Gathered gathered;
  ColourHistogram every;
  Gather(picture, palette, gathered, every);
  ASSERT_FALSE(every.Exact());
  ExpectFairSample(gathered, every);
}

}  // namespace
}  // namespace zudizar

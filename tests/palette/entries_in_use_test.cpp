// Palette loads that leave alone the entries other canvases use.
#include <gtest/gtest.h>

#include <random>

#include "core/entry_mask.h"
#include "formats/bmp_builder.h"
#include "formats/dispatch.h"
#include "palette/palette_load.h"
#include "support/test_support.h"

namespace zudizar {
namespace {

using testing::BmpBuilder;
using Colour = std::array<std::uint8_t, 3>;

bool IsFree(int entry) { return entry >= kFirstFreeEntry && entry <= kLastFreeEntry; }

// A picture whose pixels index `entries` at random.
IndexedImage PictureOver(const std::vector<std::uint8_t>& entries, std::mt19937& random) {
  IndexedImage image;
  std::uniform_int_distribution<int> side(1, 40);
  EXPECT_TRUE(CreateImage(side(random), side(random), image));
  if (entries.empty()) return image;
  std::uniform_int_distribution<std::size_t> pick(0, entries.size() - 1);
  for (auto& p : image.pixels) p = entries[pick(random)];
  return image;
}

// Each pixel's colour through the current table.
std::vector<PaletteEntry> Rgb(const IndexedImage& image) {
  std::vector<PaletteEntry> out;
  for (const std::uint8_t p : image.pixels) out.push_back(SharedPalette.current[p]);
  return out;
}

// A 24-bit BMP of `count` random colours, so that most opens do not fit.
std::vector<std::uint8_t> PhotoBmp(int count, std::mt19937& random) {
  BmpBuilder b;
  b.width = count;
  b.height = 1;
  b.bitCount = 24;
  std::uniform_int_distribution<int> byte(0, 255);
  for (int i = 0; i < count; ++i)
    for (int c = 0; c < 3; ++c) b.pixels.push_back(static_cast<std::uint8_t>(byte(random)));
  while (b.pixels.size() % 4) b.pixels.push_back(0);
  return b.Build();
}

// The main canvas's open as the window runs it: palette step, apply, picture step.
IndexedImage OpenOnMain(const std::string& path, const EntryMask& inUse) {
  OpenedPicture opened;
  ReadPictureForOpen(path, opened);
  MergeOpenedColours(opened, nullptr, nullptr, inUse);
  MakePendingCurrent();
  IndexedImage image;
  EXPECT_TRUE(MapOpenedPicture(opened, image));
  return image;
}

int CityBlock(const PaletteEntry& e, const PaletteEntry& f) {
  return std::abs(e.red - f.red) + std::abs(e.green - f.green) + std::abs(e.blue - f.blue);
}

class EntriesInUseTest : public testing::ProgramFolderTest {};

TEST(EntryMask, MarksTheIndicesOfEveryPixelAndCountsTheFreeOnesLeft) {
  IndexedImage image;
  ASSERT_TRUE(CreateImage(3, 2, image));
  image.pixels = {0, 10, 10, 245, 246, 100};
  EntryMask mask{};
  MarkEntriesInUse(image, mask);
  MarkEntriesInUse(IndexedImage{}, mask);  // a blank canvas uses nothing
  for (int e = 0; e < 256; ++e) EXPECT_EQ(mask[e], e == 0 || e == 10 || e == 100 || e == 245 || e == 246) << e;
  EXPECT_EQ(CountUnusedFreeEntries(mask), 236 - 3);
  EXPECT_EQ(CountUnusedFreeEntries(kNoEntriesInUse), 236);
}

// Against a plain model: the colours the table lacks go, in list order, to
// the free entries not in use, in ascending order; the rest are dropped.
TEST(EntryMask, MergeSkipsEntriesInUseAndKeepsTheOrder) {
  std::mt19937 random(7);
  for (int round = 0; round < 50; ++round) {
    EntryMask inUse{};
    std::bernoulli_distribution used(round % 5 / 5.0);
    for (int e = 0; e < 256; ++e) inUse[e] = used(random);
    const int colours = std::uniform_int_distribution<int>(0, 256)(random);
    PictureColourList list;
    for (int i = 0; i < colours; ++i) {
      list.colours[i] = {static_cast<std::uint8_t>(i), 3, 201, 0};  // distinct, none reserved
      list.used[i] = true;
    }
    const PictureColourList offered = list;
    PaletteTable pending = DefaultPalette;
    const int dropped = MergeColourList(list, pending, MergeRule{}, inUse);

    PaletteTable model = DefaultPalette;
    int next = 0, modelDropped = 0;
    std::vector<int> slots;
    for (int e = kFirstFreeEntry; e <= kLastFreeEntry; ++e)
      if (!inUse[e]) slots.push_back(e);
    for (int i = 0; i < colours; ++i) {
      if (next == static_cast<int>(slots.size())) {
        ++modelDropped;
        continue;
      }
      const PaletteEntry& c = offered.colours[i];
      model[slots[next++]] = {c.red, c.green, c.blue, 0};
    }
    EXPECT_EQ(pending, model) << round;
    EXPECT_EQ(dropped, modelDropped) << round;
  }
}

// Opening and reloading on the main canvas never changes the colour of a
// pixel of the edit or sub canvas.
TEST_F(EntriesInUseTest, OtherCanvasesKeepTheirColoursThroughOpensAndReloads) {
  std::mt19937 random(19);
  // Free entries start with colours of their own, as after a first open.
  OpenOnMain(Write("first.bmp", PhotoBmp(400, random)), kNoEntriesInUse);
  for (int round = 0; round < 12; ++round) {
    std::vector<std::uint8_t> entries;
    std::bernoulli_distribution take(round % 4 / 4.0 + 0.05);
    for (int e = 0; e < 256; ++e)
      if (take(random)) entries.push_back(static_cast<std::uint8_t>(e));
    const IndexedImage edit = PictureOver(entries, random);
    const IndexedImage sub = PictureOver(entries, random);
    EntryMask inUse{};
    MarkEntriesInUse(edit, inUse);
    MarkEntriesInUse(sub, inUse);
    const auto editRgb = Rgb(edit), subRgb = Rgb(sub);

    const int count = round % 3 == 0 ? 20 : 600;  // fits, or must be chosen
    OpenOnMain(Write("open.bmp", PhotoBmp(count, random)), inUse);
    EXPECT_EQ(Rgb(edit), editRgb) << round;
    EXPECT_EQ(Rgb(sub), subRgb) << round;

    Write("TAVOCINI.BMP", PhotoBmp(300, random));
    LoadStartupPalette(nullptr, nullptr, inUse);
    MakePendingCurrent();
    EXPECT_EQ(Rgb(edit), editRgb) << round;
    EXPECT_EQ(Rgb(sub), subRgb) << round;
  }
}

// The main picture's pixels land on the nearest colour of the whole table,
// the entries in use included.
TEST_F(EntriesInUseTest, AnOpenThatDoesNotFitMapsToTheNearestColourOfTheWholeTable) {
  std::mt19937 random(3);
  const auto bytes = PhotoBmp(700, random);
  EntryMask inUse{};
  for (int e = kFirstFreeEntry; e <= kLastFreeEntry; e += 2) inUse[e] = true;
  const IndexedImage main = OpenOnMain(Write("photo.bmp", bytes), inUse);
  const std::uint8_t* bgr = bytes.data() + 54;
  for (std::size_t x = 0; x < main.pixels.size(); ++x, bgr += 3) {
    const PaletteEntry wanted{bgr[2], bgr[1], bgr[0], 0};
    int best = 768;
    for (const PaletteEntry& e : SharedPalette.current) best = std::min(best, CityBlock(e, wanted));
    EXPECT_EQ(CityBlock(SharedPalette.current[main.pixels[x]], wanted), best) << x;
  }
}

// With the other canvases on reserved entries only, the rules give exactly
// the table they always gave.
TEST_F(EntriesInUseTest, ReservedEntriesInUseChangeNothing) {
  std::mt19937 random(11);
  EntryMask reservedOnly{};
  for (int e = 0; e < 256; ++e) reservedOnly[e] = !IsFree(e) && e % 3 == 0;
  for (const int count : {30, 236, 237, 900}) {
    const std::string path = Write("p.bmp", PhotoBmp(count, random));
    SharedPalette.pending = SharedPalette.current;
    OpenedPicture opened;
    ReadPictureForOpen(path, opened);
    MergeOpenedColours(opened);
    const PaletteTable plain = SharedPalette.pending;
    SharedPalette.pending = SharedPalette.current;
    OpenedPicture again;
    ReadPictureForOpen(path, again);
    MergeOpenedColours(again, nullptr, nullptr, reservedOnly);
    EXPECT_EQ(SharedPalette.pending, plain) << count;
  }
}

TEST(Approximation, MeasuresDistanceToTheNearestEntryWeightedByPixels) {
  PaletteTable table{};
  table[1] = {100, 100, 100, 0};
  ColourHistogram histogram;
  histogram.Add(100, 100, 100, 3);  // exact
  histogram.Add(103, 104, 100, 1);  // 5 away
  const ApproximationError error = MeasureApproximation(histogram, table);
  EXPECT_EQ(error.approximated, 1u);
  EXPECT_DOUBLE_EQ(error.largest, 5.0);
  EXPECT_DOUBLE_EQ(error.mean, 5.0 / 4);
}

}  // namespace
}  // namespace zudizar

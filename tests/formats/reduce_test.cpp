#include "formats/reduce.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <random>
#include <vector>

#include "support/test_support.h"

namespace zudizar {
namespace {

class ReduceTest : public testing::PaletteReset {};

PaletteEntry Rgb(int r, int g, int b) {
  return {static_cast<std::uint8_t>(r), static_cast<std::uint8_t>(g), static_cast<std::uint8_t>(b), 0};
}

// Compares the map with the plain scan on the given colours.
void ExpectMatchesScan(const PaletteTable& table, const std::vector<std::array<int, 3>>& colours) {
  NearestColourMap map(table);
  int mismatches = 0;
  for (const auto& c : colours) {
    const auto r = static_cast<std::uint8_t>(c[0]), g = static_cast<std::uint8_t>(c[1]),
               b = static_cast<std::uint8_t>(c[2]);
    const int expected = NearestColourByScan(table, r, g, b);
    const int got = map.Nearest(r, g, b);
    if (got != expected && ++mismatches <= 5)
      ADD_FAILURE() << "colour " << c[0] << "," << c[1] << "," << c[2] << ": map " << got << ", scan " << expected;
  }
  EXPECT_EQ(mismatches, 0);
}

// Random colours, every colour of some random blocks of 4 x 4 x 4 (each
// block's answers are worked out together), plus every colour on a lattice
// through the cell and block borders (multiples of 4 and 16, and their
// neighbours).
std::vector<std::array<int, 3>> ProbeColours(std::mt19937& random, int count) {
  std::vector<std::array<int, 3>> colours;
  std::uniform_int_distribution<int> level(0, 255);
  for (int i = 0; i < count; ++i) colours.push_back({level(random), level(random), level(random)});
  for (int i = 0; i < count / 256; ++i) {
    const int r = level(random) & ~3, g = level(random) & ~3, b = level(random) & ~3;
    for (int k = 0; k < 64; ++k) colours.push_back({r + (k >> 4), g + ((k >> 2) & 3), b + (k & 3)});
  }
  const int edges[] = {0, 1, 3, 4, 15, 16, 17, 63, 64, 127, 128, 200, 239, 240, 254, 255};
  for (int r : edges)
    for (int g : edges)
      for (int b : edges) colours.push_back({r, g, b});
  return colours;
}

TEST_F(ReduceTest, TiesGoToTheLowestIndexAsInTheScan) {
  PaletteTable table = DefaultPalette;
  // A colour twice: the lower index wins, for it and for colours near it.
  table[30] = Rgb(1, 2, 3);
  table[200] = Rgb(1, 2, 3);
  // Equal city-block distance from 7 and 200 for (100, 100, 100).
  table[7] = Rgb(101, 100, 100);
  table[200] = Rgb(100, 100, 99);
  table[201] = Rgb(1, 2, 3);
  NearestColourMap map(table);
  EXPECT_EQ(map.Nearest(1, 2, 3), 30);
  EXPECT_EQ(NearestColourByScan(table, 1, 2, 3), 30);
  EXPECT_EQ(map.Nearest(2, 2, 3), NearestColourByScan(table, 2, 2, 3));
  EXPECT_EQ(map.Nearest(100, 100, 100), 7);
  EXPECT_EQ(NearestColourByScan(table, 100, 100, 100), 7);
}

TEST_F(ReduceTest, MapEqualsScanForManyKindsOfPalette) {
  std::mt19937 random(20240611);
  std::uniform_int_distribution<int> level(0, 255);
  std::vector<std::pair<const char*, PaletteTable>> tables;
  tables.emplace_back("default", DefaultPalette);
  PaletteTable uniform;
  for (auto& e : uniform) e = Rgb(level(random), level(random), level(random));
  tables.emplace_back("uniform", uniform);
  // Crowded in a small box: many candidates per cell, many near ties.
  PaletteTable crowded;
  std::uniform_int_distribution<int> near(100, 108);
  for (auto& e : crowded) e = Rgb(near(random), near(random), near(random));
  tables.emplace_back("crowded", crowded);
  // Two colours repeated everywhere.
  PaletteTable two;
  for (int i = 0; i < 256; ++i) two[i] = (i % 3) ? Rgb(255, 0, 128) : Rgb(0, 255, 64);
  tables.emplace_back("two colours", two);
  // A grey ramp: every colour off the axis ties between neighbours.
  PaletteTable grey;
  for (int i = 0; i < 256; ++i) grey[i] = Rgb(255 - i, 255 - i, 255 - i);
  tables.emplace_back("grey ramp", grey);
  // A few colours far apart, repeated: the nearest entry is often more
  // than 254 away, on either side of the limit of the packed comparison.
  for (const int kinds : {3, 5, 9}) {
    PaletteTable sparse;
    std::vector<PaletteEntry> few;
    for (int k = 0; k < kinds; ++k) few.push_back(Rgb(level(random), level(random), level(random)));
    for (int i = 0; i < 256; ++i) sparse[i] = few[static_cast<std::size_t>(i * 7 % kinds)];
    tables.emplace_back("sparse", sparse);
  }
  // Like a photo's chosen colours: the default reserved entries and 236
  // colours along a smooth path with small scatter, many of them close.
  PaletteTable photo = DefaultPalette;
  std::uniform_int_distribution<int> scatter(-6, 6);
  for (int i = 10; i < 246; ++i) {
    const double t = (i - 10) / 236.0;
    photo[i] = Rgb(std::clamp(static_cast<int>(40 + 180 * t) + scatter(random), 0, 255),
                   std::clamp(static_cast<int>(128 + 100 * std::sin(9 * t)) + scatter(random), 0, 255),
                   std::clamp(static_cast<int>(200 - 150 * t * t) + scatter(random), 0, 255));
  }
  tables.emplace_back("photo-like", photo);
  for (const auto& [name, table] : tables) {
    SCOPED_TRACE(name);
    ExpectMatchesScan(table, ProbeColours(random, 15000));
  }
}

TEST_F(ReduceTest, DefaultPaletteOnALattice) {
  std::vector<std::array<int, 3>> colours;
  for (int r = 0; r < 256; r += 5)
    for (int g = 1; g < 256; g += 5)
      for (int b = 2; b < 256; b += 5) colours.push_back({r, g, b});
  ExpectMatchesScan(DefaultPalette, colours);
}

TEST_F(ReduceTest, RebuildForgetsAnswersOfTheOldTable) {
  std::mt19937 random(7);
  const auto colours = ProbeColours(random, 20000);
  NearestColourMap map(DefaultPalette);
  for (const auto& c : colours)  // fills blocks for the default table
    map.Nearest(static_cast<std::uint8_t>(c[0]), static_cast<std::uint8_t>(c[1]), static_cast<std::uint8_t>(c[2]));
  PaletteTable other = DefaultPalette;
  for (int i = 10; i < 246; ++i) other[i] = Rgb((i * 37) & 255, (i * 91) & 255, (i * 13) & 255);
  map.Rebuild(other);
  int mismatches = 0;
  for (const auto& c : colours) {
    const auto r = static_cast<std::uint8_t>(c[0]), g = static_cast<std::uint8_t>(c[1]),
               b = static_cast<std::uint8_t>(c[2]);
    mismatches += map.Nearest(r, g, b) != NearestColourByScan(other, r, g, b);
  }
  EXPECT_EQ(mismatches, 0);
}

// The batch look-up against the scan: on a fresh map (groups meeting
// unfilled blocks), again once every block is filled, with batch lengths that
// are and are not multiples of eight, and after a rebuild.
TEST_F(ReduceTest, ManyAtOnceEqualsTheScan) {
  std::mt19937 random(31);
  auto colours = ProbeColours(random, 6000);
  // Runs of near colours, as in pictures: groups with some blocks filled by
  // earlier groups and some not.
  std::uniform_int_distribution<int> step(-3, 3);
  for (int run = 0; run < 300; ++run) {
    auto c = colours[static_cast<std::size_t>(run) * 13];
    for (int k = 0; k < 24; ++k) {
      for (int& v : c) v = std::clamp(v + step(random), 0, 255);
      colours.push_back(c);
    }
  }
  std::vector<std::uint8_t> red, green, blue;
  for (const auto& c : colours) {
    red.push_back(static_cast<std::uint8_t>(c[0]));
    green.push_back(static_cast<std::uint8_t>(c[1]));
    blue.push_back(static_cast<std::uint8_t>(c[2]));
  }
  PaletteTable other = DefaultPalette;
  for (int i = 10; i < 246; ++i) other[i] = Rgb((i * 37) & 255, (i * 91) & 255, (i * 13) & 255);
  NearestColourMap map(DefaultPalette);
  const int lengths[] = {64, 1, 7, 8, 9, 0, 23, 64, 3, 40};
  const PaletteTable* const tables[] = {&DefaultPalette, &DefaultPalette, &other};
  for (const PaletteTable* table : tables) {
    if (table == &other) map.Rebuild(other);
    std::vector<std::uint8_t> out(colours.size() + 1, 0xEE);
    std::size_t done = 0;
    for (int k = 0; done < colours.size(); ++k) {
      const int n = std::min<int>(lengths[k % 10], static_cast<int>(colours.size() - done));
      map.NearestMany(&red[done], &green[done], &blue[done], n, &out[done]);
      done += static_cast<std::size_t>(n);
    }
    EXPECT_EQ(out.back(), 0xEE);  // nothing written past the end
    int mismatches = 0;
    for (std::size_t i = 0; i < colours.size(); ++i)
      if (out[i] != NearestColourByScan(*table, red[i], green[i], blue[i]) && ++mismatches <= 5)
        ADD_FAILURE() << "colour " << colours[i][0] << "," << colours[i][1] << "," << colours[i][2] << ": "
                      << int{out[i]};
    EXPECT_EQ(mismatches, 0);
  }
}

TEST_F(ReduceTest, CurrentMapFollowsTheCurrentTable) {
  const int before = CurrentNearestColourMap().Nearest(12, 200, 34);
  EXPECT_EQ(before, NearestColourByScan(DefaultPalette, 12, 200, 34));
  SetCurrentEntry(100, Rgb(12, 200, 34));
  EXPECT_EQ(CurrentNearestColourMap().Nearest(12, 200, 34), 100);
  SetCurrentTable(DefaultPalette);
  EXPECT_EQ(CurrentNearestColourMap().Nearest(12, 200, 34), before);
}

TEST_F(ReduceTest, NearestSharedColourReplacesTheColourUnlessExact) {
  ColourTableEntry exact{0xF0, 0xCA, 0xA6, 7};  // entry 9, with a non-zero fourth byte
  EXPECT_EQ(NearestSharedColour(exact), 9);
  EXPECT_EQ(exact, (ColourTableEntry{0xF0, 0xCA, 0xA6, 7}));
  ColourTableEntry near{0xF0, 0xC8, 0xA4, 7};  // A4C8F0 is nearest to entry 9
  EXPECT_EQ(NearestSharedColour(near), 9);
  EXPECT_EQ(near, (ColourTableEntry{0xF0, 0xCA, 0xA6, 0}));
}

TEST_F(ReduceTest, RemapKeepsPixelsOfThePalettesOwnColours) {
  SetCurrentEntry(77, SharedPalette.current[20]);  // a colour held twice
  IndexedImage image;
  testing::MakeImage(image, {{0, 20, 77, 255}, {9, 77, 128, 20}});
  for (int i = 0; i < 256; ++i) {
    const auto& e = SharedPalette.current[i];
    image.colourTable[i] = {e.blue, e.green, e.red, 0};
  }
  RemapToSharedPalette(image);
  EXPECT_EQ(testing::Pixels(image), (std::vector<std::vector<int>>{{0, 20, 20, 255}, {9, 20, 128, 20}}));
}

TEST_F(ReduceTest, RemapMapsEveryTableEntryByTheScanAndInstallsTheSharedTable) {
  std::mt19937 random(99);
  std::uniform_int_distribution<int> level(0, 255);
  IndexedImage image;
  ASSERT_EQ(CreateImage(37, 11, image), 1);
  for (auto& p : image.pixels) p = static_cast<std::uint8_t>(level(random));
  const std::vector<std::uint8_t> before = image.pixels;
  std::array<int, 256> expected;
  for (int i = 0; i < 256; ++i) {
    image.colourTable[i] = {static_cast<std::uint8_t>(level(random)), static_cast<std::uint8_t>(level(random)),
                            static_cast<std::uint8_t>(level(random)), 0};
    const auto& c = image.colourTable[i];
    expected[i] = NearestColourByScan(SharedPalette.current, c.red, c.green, c.blue);
  }
  RemapToSharedPalette(image);
  for (std::size_t k = 0; k < before.size(); ++k) ASSERT_EQ(image.pixels[k], expected[before[k]]) << k;
  for (int i = 0; i < 256; ++i) {
    const auto& e = SharedPalette.current[i];
    EXPECT_EQ(image.colourTable[i], (ColourTableEntry{e.blue, e.green, e.red, 0})) << i;
  }
}

}  // namespace
}  // namespace zudizar

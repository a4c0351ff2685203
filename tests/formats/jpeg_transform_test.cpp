// The transforms and colour conversions of the codec: the vector paths
// against the defined arithmetic (written once, plainly, in the codec), and
// the defined arithmetic against exact floating-point formulas, so that a
// wrong constant or rounding shows.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <random>
#include <utility>

#include "formats/jpeg/jpeg_colour.h"
#include "formats/jpeg/jpeg_fdct.h"
#include "formats/jpeg/jpeg_idct.h"
#include "formats/jpeg/jpeg_simd.h"
#include "formats/jpeg/jpeg_tables.h"

namespace zudizar::jpeg {
namespace {

using Block = std::array<std::int16_t, 64>;

Block Transposed(const Block& b) {
  Block t;
  for (int r = 0; r < 8; ++r)
    for (int c = 0; c < 8; ++c) t[8 * c + r] = b[8 * r + c];
  return t;
}

// Random coefficient blocks: sparse low-frequency ones as in pictures, dense
// ones, and blocks of extreme values.
Block RandomCoefficients(std::mt19937& random) {
  Block b{};
  switch (random() % 3) {
    case 0:
      for (int i = 0; i < 10; ++i)
        b[random() % 20] = static_cast<std::int16_t>(static_cast<int>(random() % 4001) - 2000);
      break;
    case 1:
      for (auto& v : b) v = static_cast<std::int16_t>(static_cast<int>(random() % 16001) - 8000);
      break;
    default:
      for (auto& v : b) v = random() % 2 ? 32767 : -32768;
      break;
  }
  return b;
}

TEST(JpegTransformTest, InverseDctFromTransposedCoefficientsMatchesTheDefinition) {
  // The shortcuts' index limits: the next index leaves the square.
  for (const auto& [limit, side] : {std::pair{kLastLowQuarterIndex, 4}, std::pair{kLastSixBySixIndex, 6}}) {
    for (int k = 0; k <= limit; ++k) {
      ASSERT_LT(kZigZagToNatural[k] % 8, side) << k;
      ASSERT_LT(kZigZagToNatural[k] / 8, side) << k;
    }
    EXPECT_TRUE(kZigZagToNatural[limit + 1] % 8 >= side || kZigZagToNatural[limit + 1] / 8 >= side) << limit;
  }
  std::mt19937 random(7);
  for (bool vector : {true, false}) {
    VectorPathsAllowed() = vector;
    for (int i = 0; i < 20000; ++i) {
      const Block coefficients = RandomCoefficients(random);
      // The whole block, then cut down after a random zig-zag index and told
      // that index (its coefficient may be 0 too, as after a zero run).
      for (const int last : {63, static_cast<int>(random() % 64)}) {
        Block cut{};
        for (int k = 0; k <= last; ++k) cut[kZigZagToNatural[k]] = coefficients[kZigZagToNatural[k]];
        Block expected = cut;
        InverseDctReference(expected.data());
        Block actual = Transposed(cut);
        InverseDctTransposed(actual.data(), last);
        ASSERT_EQ(actual, expected) << "block " << i << " last " << last << (vector ? " (vector)" : "");
      }
    }
  }
  VectorPathsAllowed() = true;
}

// The largest magnitude among the arguments of N(., 23170) in the row pass,
// worked out plainly in int.
int LargestRowRotationArgument(const Block& b) {
  const auto m = [](int x, int c) { return (x * c + 32768) / 65536; };
  int largest = 0;
  for (int row = 0; row < 8; ++row) {
    const std::int16_t* x = b.data() + 8 * row;
    const int h = m(x[1], 32138) + m(x[7], 6393), s1 = m(x[1], 6393) - m(x[7], 32138);
    const int l = m(x[3], 27246) + m(x[5], 18205), s2 = m(x[5], 27246) - m(x[3], 18205);
    largest = std::max({largest, std::abs(h + s1 - l - s2), std::abs(h + s2 - s1 - l)});
  }
  return largest;
}

// Coefficients up to a zig-zag index: extreme values, whose sums leave 16
// bits; values whose products land exactly on a rounding boundary; photo-like
// small ones; anything.
Block RandomCutBlock(std::mt19937& random, int last) {
  static constexpr std::int16_t kSpecial[] = {-32768, -32767, 32767, 32766, -24576, 24576, -16384,
                                              16384,  -8192,  8192,  -1,    1,      0};
  const int kind = random() % 4;
  Block b{};
  for (int k = 0; k <= last; ++k) {
    int value;
    switch (kind) {
      case 0: value = random() % 2 ? 32767 : -32768; break;
      case 1: value = kSpecial[random() % std::size(kSpecial)]; break;
      case 2: value = random() % 3 ? 0 : static_cast<int>(random() % 4001) - 2000; break;
      default: value = static_cast<int>(random() % 65536) - 32768; break;
    }
    b[kZigZagToNatural[k]] = static_cast<std::int16_t>(value);
  }
  return b;
}

TEST(JpegTransformTest, EveryInverseDctEntryMatchesTheDefinitionInEachShortcutAndAtTheExtremes) {
  // Index ranges of the 4 x 4, 6 x 6 and whole-block cases.
  const std::pair<int, int> ranges[] = {
      {1, kLastLowQuarterIndex}, {kLastLowQuarterIndex + 1, kLastSixBySixIndex}, {kLastSixBySixIndex + 1, 63}};
  std::mt19937 random(23);
  for (bool vector : {true, false}) {
    VectorPathsAllowed() = vector;
    for (const auto& [low, high] : ranges) {
      int wide = 0;
      for (int i = 0; i < 6000; ++i) {
        const int last = low + static_cast<int>(random() % (high - low + 1));
        const Block first = RandomCutBlock(random, last);
        if (LargestRowRotationArgument(first) > 32767) ++wide;
        // The pair's partner from any case, so that the pair works to the
        // larger of the two indices.
        const int otherLast = 1 + static_cast<int>(random() % 63);
        const Block second = RandomCutBlock(random, otherLast);
        Block expectedFirst = first, expectedSecond = second;
        InverseDctReference(expectedFirst.data());
        InverseDctReference(expectedSecond.data());

        Block single = Transposed(first), wideLanes = Transposed(first);
        InverseDctTransposed(single.data(), last);
        InverseDctTransposedWide(wideLanes.data(), last);
        Block pairFirst = Transposed(first), pairSecond = Transposed(second);
        InverseDctTransposedPair(pairFirst.data(), last, pairSecond.data(), otherLast);
        const auto where = [&] {
          return testing::Message() << "block " << i << " last " << last << " / " << otherLast
                                    << (vector ? " (vector)" : "");
        };
        ASSERT_EQ(single, expectedFirst) << where();
        ASSERT_EQ(wideLanes, expectedFirst) << where();
        ASSERT_EQ(pairFirst, expectedFirst) << where();
        ASSERT_EQ(pairSecond, expectedSecond) << where();
      }
      // The extreme blocks must have driven the rotations' arguments past
      // 16 bits often, or the test would miss the fallback.
      EXPECT_GT(wide, 300) << "indices " << low << ".." << high;
    }
  }
  VectorPathsAllowed() = true;
}

TEST(JpegTransformTest, InverseDctOfADcOnlyBlockIsItsConstant) {
  for (int dc = -32768; dc <= 32767; dc += 7) {
    Block b{};
    b[0] = static_cast<std::int16_t>(dc);
    InverseDctReference(b.data());
    const std::int16_t value = InverseDctOfDc(static_cast<std::int16_t>(dc));
    for (const auto v : b) ASSERT_EQ(v, value) << dc;
  }
}

double Basis(int u, int x) { return (u == 0 ? std::sqrt(0.5) : 1.0) * std::cos((2 * x + 1) * u * M_PI / 16); }

TEST(JpegTransformTest, InverseDctStaysCloseToTheExactTransform) {
  // Coefficients and samples both carry the factor 16, so the exact result
  // is 1/4 of the sum of C(u) C(v) F(u, v) cos cos.
  std::mt19937 random(11);
  double worst = 0, total = 0;
  int count = 0;
  for (int i = 0; i < 5000; ++i) {
    Block b{};
    if (i < 128) {  // each basis function alone, at large amplitude
      b[i % 64] = i < 64 ? 16000 : -16000;
    } else {
      for (int k = 0; k < 64; ++k)
        if (random() % 3 == 0) b[k] = static_cast<std::int16_t>((static_cast<int>(random() % 201) - 100) * 16);
    }
    Block ours = b;
    InverseDctReference(ours.data());
    for (int y = 0; y < 8; ++y)
      for (int x = 0; x < 8; ++x) {
        double sum = 0;
        for (int v = 0; v < 8; ++v)
          for (int u = 0; u < 8; ++u) sum += b[8 * v + u] * Basis(u, x) * Basis(v, y);
        const double error = std::abs(sum / 4 - ours[8 * y + x]);
        worst = std::max(worst, error);
        total += error;
        ++count;
      }
  }
  // In 1/16 of a level: the 16-bit steps lose about a level at worst on
  // these large blocks, and a tenth of a level on average; a wrong constant
  // or rounding would bias every sample.
  std::printf("inverse DCT: worst %.2f, mean %.3f sixteenths of a level\n", worst, total / count);
  EXPECT_LT(worst, 24.0);
  EXPECT_LT(total / count, 3.0);
}

// Encoder samples lie within -2048 .. 2047; extreme patterns drive the
// largest intermediate values.
Block RandomSamples(std::mt19937& random) {
  Block b{};
  switch (random() % 4) {
    case 0:
      for (auto& v : b) v = static_cast<std::int16_t>(static_cast<int>(random() % 4096) - 2048);
      break;
    case 1: {
      const int u = random() % 8, w = random() % 8;
      for (int y = 0; y < 8; ++y)
        for (int x = 0; x < 8; ++x) b[8 * y + x] = Basis(u, x) * Basis(w, y) >= 0 ? 2047 : -2048;
      break;
    }
    case 2:
      for (auto& v : b) v = random() % 2 ? 2047 : -2048;
      break;
    default: b.fill(static_cast<std::int16_t>(static_cast<int>(random() % 4096) - 2048)); break;
  }
  return b;
}

TEST(JpegTransformTest, ForwardDctOfTwoBlocksMatchesTheDefinitionOverTheSampleRange) {
  std::mt19937 random(5);
  for (bool vector : {true, false}) {
    VectorPathsAllowed() = vector;
    for (int i = 0; i < 20000; ++i) {
      Block a = RandomSamples(random), b = RandomSamples(random);
      Block expectedA = a, expectedB = b;
      ForwardDctReference(expectedA.data());
      ForwardDctReference(expectedB.data());
      ForwardDct2(a.data(), b.data());
      ASSERT_EQ(a, expectedA) << i;
      ASSERT_EQ(b, expectedB) << i;
    }
  }
  VectorPathsAllowed() = true;
}

TEST(JpegTransformTest, ForwardDctStaysCloseToTheExactTransformAndInvertsBack) {
  std::mt19937 random(3);
  double worstForward = 0, totalForward = 0, totalRoundTrip = 0;
  int worstRoundTrip = 0;
  for (int i = 0; i < 3000; ++i) {
    const Block samples = RandomSamples(random);
    Block ours = samples;
    ForwardDctReference(ours.data());
    for (int v = 0; v < 8; ++v)
      for (int u = 0; u < 8; ++u) {
        double sum = 0;
        for (int y = 0; y < 8; ++y)
          for (int x = 0; x < 8; ++x) sum += samples[8 * y + x] * Basis(u, x) * Basis(v, y);
        worstForward = std::max(worstForward, std::abs(sum / 4 - ours[8 * v + u]));
        totalForward += std::abs(sum / 4 - ours[8 * v + u]);
      }
    Block back = ours;
    InverseDctReference(back.data());
    for (int k = 0; k < 64; ++k) {
      worstRoundTrip = std::max(worstRoundTrip, std::abs(back[k] - samples[k]));
      totalRoundTrip += std::abs(back[k] - samples[k]);
    }
  }
  const double n = 3000.0 * 64;
  std::printf("forward DCT: worst %.2f, mean %.3f; round trip: worst %d, mean %.3f (sixteenths)\n", worstForward,
              totalForward / n, worstRoundTrip, totalRoundTrip / n);
  EXPECT_LT(worstForward, 4.5);
  EXPECT_LT(totalForward / n, 1.0);
  EXPECT_LE(worstRoundTrip, 32);
  EXPECT_LT(totalRoundTrip / n, 3.0);
}

TEST(JpegTransformTest, VectorColourConversionMatchesTheDefinitionInEveryLayout) {
  std::mt19937 random(17);
  const struct {
    int ox, oy, h, v;
  } layouts[] = {{0, 0, 0, 0}, {0, 0, 1, 0}, {8, 0, 1, 0}, {0, 0, 1, 1}, {8, 0, 1, 1}, {0, 8, 1, 1}, {8, 8, 1, 1}};
  for (int i = 0; i < 3000; ++i) {
    std::int16_t y[64], cb[64], cr[64];
    const int spread = i % 2 ? 32767 : 3000;  // extreme values wrap the 16-bit chroma terms
    for (int k = 0; k < 64; ++k) {
      y[k] = static_cast<std::int16_t>(static_cast<int>(random() % (2 * spread + 1)) - spread);
      cb[k] = static_cast<std::int16_t>(static_cast<int>(random() % (2 * spread + 1)) - spread);
      cr[k] = static_cast<std::int16_t>(static_cast<int>(random() % (2 * spread + 1)) - spread);
    }
    ChromaTerms plainTerms, terms;
    PrepareChromaReference(cb, cr, plainTerms);
    PrepareChroma(cb, cr, terms);
    ASSERT_EQ(0, std::memcmp(&plainTerms, &terms, sizeof terms)) << i;
    // Flat chroma blocks, as blocks with a DC coefficient alone give them.
    std::int16_t flatCb[64], flatCr[64];
    std::fill_n(flatCb, 64, cb[0]);
    std::fill_n(flatCr, 64, cr[0]);
    ChromaTerms flatTerms, flatPlain;
    PrepareChromaReference(flatCb, flatCr, flatPlain);
    PrepareFlatChroma(cb[0], cr[0], flatTerms);
    ASSERT_EQ(0, std::memcmp(&flatPlain, &flatTerms, sizeof flatTerms)) << i;
    for (const auto& l : layouts) {
      BlockPixels expected, actual;
      ConvertBlockReference(y, terms, l.ox, l.oy, l.h, l.v, expected);
      ConvertBlock(y, terms, l.ox, l.oy, l.h, l.v, actual);
      ASSERT_EQ(0, std::memcmp(&expected, &actual, sizeof actual)) << i;
    }
  }
}

TEST(JpegTransformTest, ColourConversionFollowsTheJfifFormulas) {
  // Y, Cb and Cr as the transform delivers them: level times 16 around 0.
  int worst = 0;
  for (int y = 0; y < 256; y += 5)
    for (int cb = -128; cb < 128; cb += 7)
      for (int cr = -128; cr < 128; cr += 7) {
        std::int16_t yBlock[64], cbBlock[64], crBlock[64];
        std::fill(yBlock, yBlock + 64, static_cast<std::int16_t>((y - 128) * 16));
        std::fill(cbBlock, cbBlock + 64, static_cast<std::int16_t>(cb * 16));
        std::fill(crBlock, crBlock + 64, static_cast<std::int16_t>(cr * 16));
        ChromaTerms terms;
        PrepareChroma(cbBlock, crBlock, terms);
        BlockPixels pixels;
        ConvertBlock(yBlock, terms, 0, 0, 0, 0, pixels);
        const auto clamp = [](double v) { return static_cast<int>(std::lround(std::clamp(v, 0.0, 255.0))); };
        worst = std::max({worst, std::abs(pixels.red[0] - clamp(y + 1.402 * cr)),
                          std::abs(pixels.green[0] - clamp(y - 0.344136 * cb - 0.714136 * cr)),
                          std::abs(pixels.blue[0] - clamp(y + 1.772 * cb))});
      }
  EXPECT_LE(worst, 1);
}

TEST(JpegTransformTest, GreyBlocksHaveEqualComponentsAndPreviewColoursMatchFlatBlocks) {
  std::int16_t y[64];
  for (int k = 0; k < 64; ++k) y[k] = static_cast<std::int16_t>(k * 70 - 2200);
  BlockPixels pixels;
  ConvertGreyBlock(y, pixels);
  for (int k = 0; k < 64; ++k) {
    EXPECT_EQ(pixels.red[k], pixels.green[k]);
    EXPECT_EQ(pixels.red[k], pixels.blue[k]);
  }
  // A flat block's DC coefficient is 8 times its samples: the preview colour
  // (its own constants) agrees with the full conversion within a level.
  for (int level = -128; level < 128; level += 9)
    for (int cb = -100; cb <= 100; cb += 25)
      for (int cr = -100; cr <= 100; cr += 25) {
        const Rgb preview = PreviewColour(level * 128, cb * 128, cr * 128);
        std::int16_t yb[64], cbb[64], crb[64];
        std::fill(yb, yb + 64, static_cast<std::int16_t>(level * 16));
        std::fill(cbb, cbb + 64, static_cast<std::int16_t>(cb * 16));
        std::fill(crb, crb + 64, static_cast<std::int16_t>(cr * 16));
        ChromaTerms terms;
        PrepareChroma(cbb, crb, terms);
        ConvertBlock(yb, terms, 0, 0, 0, 0, pixels);
        EXPECT_NEAR(preview.red, pixels.red[0], 1);
        EXPECT_NEAR(preview.green, pixels.green[0], 1);
        EXPECT_NEAR(preview.blue, pixels.blue[0], 1);
      }
  for (int level = -128; level < 128; ++level) {
    std::int16_t flat[64];
    std::fill(flat, flat + 64, static_cast<std::int16_t>(level * 16));
    ConvertGreyBlock(flat, pixels);
    EXPECT_EQ(PreviewGrey(level * 128).red, pixels.red[0]) << level;
  }
}

}  // namespace
}  // namespace zudizar::jpeg

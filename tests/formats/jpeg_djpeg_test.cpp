// The true colours of the decoder against a real decoder, Debian's
// `djpeg -nosmooth -dct int` (chroma replicated, accurate integer IDCT), for
// the baseline files of the corpus and for files made by `cjpeg` with every
// sampling, restart intervals, optimised tables and qualities 10 to 100.
// The decoder's own fixed-point transform and colour constants differ from
// djpeg's a little, so the comparison has a tolerance; a misplaced chroma
// sample or a rounding fault shows as a much larger difference.
//
// Nearly every channel lies within 3 levels. The exceptions sit on strongly
// coloured edges of coarsely quantised pictures: djpeg limits Y, Cb and Cr
// to 0..255 before the colour conversion, while this decoder converts the
// transform's overshoot as it is and clamps only red, green and blue.
#include <gtest/gtest.h>

#include <sys/wait.h>
#include <algorithm>

#include <cstdio>

#include "formats/jpeg/jpeg_route.h"
#include "formats/jpeg_test_support.h"
#include "support/test_support.h"

namespace zudizar {
namespace {

using testing::Compare;
using testing::Decoded;
using testing::Difference;
using testing::RgbImage;

constexpr double kMinShareWithin3 = 0.998;
constexpr double kMaxMeanDifference = 0.75;
constexpr int kMaxChannelDifference = 24;

// Decodes with djpeg; false when djpeg fails (or warns, unless allowed:
// one corpus file has junk bytes before its EOI on purpose).
bool DecodeWithDjpeg(const std::filesystem::path& jpeg, const std::filesystem::path& folder, RgbImage& out,
                     bool allowWarnings) {
  const auto ppm = folder / (jpeg.stem().string() + ".djpeg.ppm");
  std::string errors;
  const int status = testing::RunCommand(
      "djpeg -nosmooth -dct int -ppm -outfile '" + ppm.string() + "' '" + jpeg.string() + "'", &errors);
  // djpeg exits with 2 after warnings.
  const bool accepted = status == 0 ? allowWarnings || errors.empty() : allowWarnings && WEXITSTATUS(status) == 2;
  return accepted && testing::ParsePpm(testing::ReadBytes(ppm), out);
}

struct Totals {
  int files = 0;
  int maximum = 0;
  double meanSum = 0;
  double worstMean = 0;
};

// `routed`: through the hand-over the picture load uses, which may give the
// file to libjpeg-turbo; otherwise through the own decoder alone.
void CheckAgainstDjpeg(const std::filesystem::path& jpeg, const testing::TempFolder& folder, Totals& totals,
                       bool allowWarnings = false, bool routed = false) {
  SCOPED_TRACE(jpeg.filename().string());
  RgbImage reference;
  ASSERT_TRUE(DecodeWithDjpeg(jpeg, folder.Path(), reference, allowWarnings));
  Decoded ours;
  if (routed) {
    std::string reason;
    ASSERT_TRUE(jpeg::DecodeRouted(testing::ReadBytes(jpeg), false, ours.sink, nullptr, reason)) << reason;
  } else {
    testing::DecodeBytes(testing::ReadBytes(jpeg), ours);
  }
  const RgbImage& image = ours.sink.image;
  ASSERT_EQ(ours.sink.scans, 1);
  EXPECT_EQ(image.width, reference.width);
  EXPECT_EQ(image.height, reference.height);
  const Difference d = Compare(image, reference, reference.width, reference.height);
  std::printf("  %-36s %4dx%-4d max %2d mean %.3f within 3: %.4f%% PSNR %.1f dB\n", jpeg.filename().c_str(),
              reference.width, reference.height, d.maximum, d.mean, 100 * d.within3, d.psnr);
  EXPECT_GE(d.within3, kMinShareWithin3);
  EXPECT_LE(d.maximum, kMaxChannelDifference);
  EXPECT_LE(d.mean, kMaxMeanDifference);
  ++totals.files;
  totals.maximum = std::max(totals.maximum, d.maximum);
  totals.meanSum += d.mean;
  totals.worstMean = std::max(totals.worstMean, d.mean);
}

void PrintTotals(const char* what, const Totals& t) {
  std::printf("%s: %d files, max channel difference %d, mean of means %.3f, worst mean %.3f\n", what, t.files,
              t.maximum, t.files ? t.meanSum / t.files : 0.0, t.worstMean);
}

class JpegDjpegTest : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!testing::ToolAvailable("djpeg")) GTEST_SKIP() << "djpeg is not installed";
  }
};

TEST_F(JpegDjpegTest, BaselineCorpusFilesDecodeCloseToDjpeg) {
  ZUDIZAR_REQUIRE_CORPUS("jpeg");
  const auto dir = testing::CorpusDir() / "jpeg";
  // The decodable baseline files (2x1 and 2x2 luminance, greyscale, restarts,
  // partial MCUs, skipped segments). The too-wide file decodes as well, with
  // its trace record.
  const char* files[] = {"ljt_testorig.jpg",
                         "ljt_testimgint.jpg",
                         "ljt_testimgcrop.jpg",
                         "ljt_testimgfst100.jpg",
                         "ljt_testimggray.jpg",
                         "ljt_testorig_ijg5a_2x1.jpg",
                         "cjpeg_2x1_restart1row.jpg",
                         "cjpeg_1x1_restart1mcu.jpg",
                         "cjpeg_2x2_restart3mcu.jpg",
                         "cjpeg_2x2_optimize.jpg",
                         "cjpeg_gray_restart2rows.jpg",
                         "cjpeg_2x1_q100.jpg",
                         "cjpeg_3080x16_toowide.jpg",
                         "jd_restarts.jpg",
                         "jd_extraneous-data.jpg",
                         "jd_grayscale_large.jpg",
                         "jd_grayscale_long.jpg",
                         "jd_grayscale_square.jpg",
                         "mozilla_jpg-size-1x1.jpg",
                         "mozilla_jpg-size-2x2.jpg",
                         "mozilla_jpg-size-7x7.jpg",
                         "mozilla_jpg-size-8x8.jpg",
                         "mozilla_jpg-size-9x9.jpg",
                         "mozilla_jpg-size-15x15.jpg",
                         "mozilla_jpg-size-16x16.jpg",
                         "mozilla_jpg-size-17x17.jpg",
                         "mozilla_jpg-size-31x31.jpg",
                         "mozilla_jpg-size-33x33.jpg",
                         "mozilla_jpg-gray.jpg",
                         "mozilla_jpg-srgb-icc.jpg",
                         "cjpeg_3072x3072_maxsize.jpg"};
  testing::TempFolder folder;
  Totals totals;
  for (const char* name : files)
    CheckAgainstDjpeg(dir / name, folder, totals, std::string(name) == "jd_extraneous-data.jpg");
  PrintTotals("corpus", totals);
}

TEST_F(JpegDjpegTest, KindsHandedToTheLibraryDecodeCloseToDjpeg) {
  ZUDIZAR_REQUIRE_CORPUS("jpeg");
  const auto dir = testing::CorpusDir() / "jpeg";
  // Progressive, arithmetic, 16-bit tables, other samplings, RGB, CMYK and a
  // Motion-JPEG frame without tables; djpeg warns on the damaged ones.
  const std::pair<const char*, bool> files[] = {{"ljt_testimgp_progressive.jpg", false},
                                                {"ljt_testprog_progressive.jpg", false},
                                                {"mozilla_jpg-progressive.jpg", false},
                                                {"cjpeg_progressive_restart.jpg", false},
                                                {"jd_non-interleaved-mcu.jpg", true},
                                                {"jd_partial_progressive.jpg", true},
                                                {"jd_progressive-missing-ac.jpg", true},
                                                {"ljt_testimgari_arithmetic.jpg", false},
                                                {"jd_16bit-qtables.jpg", false},
                                                {"cjpeg_4x1.jpg", false},
                                                {"cjpeg_1x2_vertical.jpg", false},
                                                {"jd_grayscale_16x24_sampling2x2.jpg", false},
                                                {"jd_blank_800x280.jpg", false},
                                                {"mozilla_jpg-cmyk-1.jpg", false},
                                                {"jd_rgb.jpg", false},
                                                {"jd_mjpeg.jpg", true}};
  testing::TempFolder folder;
  Totals totals;
  for (const auto& [name, warns] : files) CheckAgainstDjpeg(dir / name, folder, totals, warns, true);
  PrintTotals("library", totals);
}

TEST_F(JpegDjpegTest, CjpegVariantsDecodeCloseToDjpeg) {
  ZUDIZAR_REQUIRE_CORPUS("jpeg");
  if (!testing::ToolAvailable("cjpeg")) GTEST_SKIP() << "cjpeg is not installed";
  const auto source = testing::CorpusDir() / "jpeg" / "ljt_testorig.ppm";
  testing::TempFolder folder;
  const std::pair<const char*, const char*> variants[] = {
      {"s444", "-sample 1x1"},
      {"s422", "-sample 2x1"},
      {"s420", "-sample 2x2"},
      {"grey", "-grayscale"},
      {"grey_restart", "-grayscale -restart 3B"},
      {"s420_restart1", "-sample 2x2 -restart 1B"},
      {"s422_restart_rows", "-sample 2x1 -restart 2"},
      {"s444_restart7", "-sample 1x1 -restart 7B"},
      {"s420_optimised", "-sample 2x2 -optimize"},
      {"s444_optimised", "-sample 1x1 -optimize"},
      {"q10", "-quality 10"},
      {"q25", "-quality 25"},
      {"q50", "-quality 50 -sample 2x1"},
      {"q75", "-quality 75"},
      {"q90", "-quality 90 -sample 1x1"},
      {"q95", "-quality 95"},
      {"q100", "-quality 100"},
      {"q100_444", "-quality 100 -sample 1x1"},
  };
  Totals totals;
  for (const auto& [name, options] : variants) {
    const auto out = folder.Path() / (std::string(name) + ".jpg");
    ASSERT_EQ(testing::RunCommand("cjpeg -baseline " + std::string(options) + " -outfile '" + out.string() + "' '" +
                                  source.string() + "'"),
              0)
        << name;
    CheckAgainstDjpeg(out, folder, totals);
  }
  PrintTotals("cjpeg variants", totals);
}

}  // namespace
}  // namespace zudizar

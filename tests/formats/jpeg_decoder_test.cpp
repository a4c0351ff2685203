// The decoder as callers and users see it: picture sizes, colours mapped to
// the shared palette, restart intervals, table definitions, progress, the
// trace records with their exact texts, unsupported files and bad input.
#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <random>
#include <set>

#include "base/trace.h"
#include "formats/jpeg/jpeg.h"
#include "formats/jpeg/jpeg_markers.h"
#include "formats/jpeg/jpeg_simd.h"
#include "formats/jpeg_test_support.h"
#include "formats/reduce.h"
#include "support/test_support.h"

namespace zudizar {
namespace {

using testing::DecodeBytes;
using testing::Decoded;
using testing::EncodedTestPicture;
using testing::FindSegment;
using testing::TraceEntry;

class JpegDecoderTest : public testing::PaletteReset {};

std::vector<std::uint8_t> Inserted(std::vector<std::uint8_t> bytes, std::size_t at,
                                   const std::vector<std::uint8_t>& more) {
  bytes.insert(bytes.begin() + static_cast<std::ptrdiff_t>(at), more.begin(), more.end());
  return bytes;
}

bool HasRecord(const Decoded& d, int number, const std::string& text) {
  return std::find(d.traces.begin(), d.traces.end(), TraceEntry{number, text}) != d.traces.end();
}

// A PPM with a smooth gradient and a sharp edge, for cjpeg.
std::string WriteSourcePicture(const testing::TempFolder& folder, int width, int height) {
  testing::RgbImage image{width, height, std::vector<std::uint8_t>(static_cast<std::size_t>(width) * height * 3)};
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x) {
      std::uint8_t* p = image.At(x, y);
      p[0] = static_cast<std::uint8_t>(x * 255 / width);
      p[1] = static_cast<std::uint8_t>(y * 255 / height);
      p[2] = x > width / 2 ? 200 : 40;
    }
  const std::string path = folder.File("source.ppm");
  testing::WriteBytes(path, testing::PpmBytes(image));
  return path;
}

std::vector<std::uint8_t> Cjpeg(const testing::TempFolder& folder, const std::string& source,
                                const std::string& options) {
  const std::string out = folder.File("out.jpg");
  EXPECT_EQ(testing::RunCommand("cjpeg " + options + " -outfile '" + out + "' '" + source + "'"), 0);
  return testing::ReadBytes(out);
}

TEST_F(JpegDecoderTest, WholeBlocksAreDecodedButThePictureKeepsTheFrameSize) {
  if (!testing::ToolAvailable("cjpeg")) GTEST_SKIP() << "cjpeg is not installed";
  testing::TempFolder folder;
  const auto bytes = Cjpeg(folder, WriteSourcePicture(folder, 100, 75), "-sample 2x2");
  Decoded d;
  DecodeBytes(bytes, d);
  EXPECT_EQ(d.sink.image.width, 100);
  EXPECT_EQ(d.sink.image.height, 75);
  // 13 x 10 luminance blocks, each once in the preview and once in the full pass.
  EXPECT_EQ(d.sink.previewBlocks, 130);
  EXPECT_EQ(d.sink.fullBlocks, 130);
  EXPECT_TRUE(d.traces.empty());
  IndexedImage image;
  DecodeJpegImage(bytes, image);
  EXPECT_EQ(image.ImageWidth(), 100);
  EXPECT_EQ(image.ImageHeight(), 75);
}

TEST_F(JpegDecoderTest, EveryPixelIsTheNearestSharedColourOfItsDecodedColour) {
  // Some free entries with colours of the picture, so that many pixels
  // match closely and ties and exact matches occur.
  for (int i = 10; i < 246; ++i)
    SetCurrentEntry(i, {static_cast<std::uint8_t>(i * 37), static_cast<std::uint8_t>(i * 11),
                        static_cast<std::uint8_t>(255 - i), 0});
  for (const auto& bytes : {EncodedTestPicture(37, 29), EncodedTestPicture(64, 8)}) {
    Decoded d;
    DecodeBytes(bytes, d);
    IndexedImage image;
    DecodeJpegImage(bytes, image);
    ASSERT_EQ(image.ImageWidth(), d.sink.image.width);
    ASSERT_EQ(image.ImageHeight(), d.sink.image.height);
    for (int y = 0; y < image.ImageHeight(); ++y)
      for (int x = 0; x < image.ImageWidth(); ++x) {
        const std::uint8_t* c = d.sink.image.At(x, y);
        ASSERT_EQ(image.At(x, y), NearestColourByScan(SharedPalette.current, c[0], c[1], c[2])) << x << "," << y;
      }
    // The colour table is the shared palette.
    EXPECT_EQ(image.colourTable[20].red, SharedPalette.current[20].red);
  }
}

// A picture decoded in place shows the preview colours while the full pass
// has not begun; a new picture, handed over only when whole, skips those
// fills. Both end the same, also for data that is cut or damaged.
TEST_F(JpegDecoderTest, ThePreviewFillIsSeenInPlaceAndTheFinalPictureNeverDependsOnIt) {
  for (int i = 10; i < 246; ++i)
    SetCurrentEntry(
        i, {static_cast<std::uint8_t>(i * 53), static_cast<std::uint8_t>(i * 29), static_cast<std::uint8_t>(i * 7), 0});
  struct Snapshot : ProgressSink {
    IndexedImage* image = nullptr;
    IndexedImage atFullPass;
    void FileProgress(int percent, int phase) override {
      // The preview pass's last row: the full pass has not begun.
      if (phase == 0 && percent == 100 && !atFullPass.HasPixels()) {
        CreateImage(image->ImageWidth(), image->ImageHeight(), atFullPass);
        CopyImage(atFullPass, *image, 256);
      }
    }
  };
  std::mt19937 random(77);
  for (int round = 0; round < 12; ++round) {
    auto bytes = EncodedTestPicture(8 + 8 * static_cast<int>(random() % 6), 8 + 8 * static_cast<int>(random() % 6));
    const auto scan = testing::HeaderSegments(bytes).back();
    ASSERT_EQ(scan.code, 0xDA);
    const std::size_t data = scan.at + scan.size, dataBytes = bytes.size() - data;
    if (round % 3 == 1) bytes.resize(data + dataBytes * 2 / 3);
    if (round % 3 == 2)
      for (int k = 0; k < 4; ++k) bytes[data + random() % (dataBytes - 2)] ^= 0x5A;
    Decoded d;
    DecodeBytes(bytes, d);
    IndexedImage inPlace;
    Snapshot snapshot;
    snapshot.image = &inPlace;
    jpeg::DecodePicture(bytes, false, inPlace, &snapshot);
    IndexedImage fresh;
    DecodeJpegImage(bytes, fresh);
    ASSERT_TRUE(inPlace.HasPixels()) << round;
    ASSERT_TRUE(snapshot.atFullPass.HasPixels()) << round;
    EXPECT_EQ(inPlace.pixels, fresh.pixels) << round;
    for (int y = 0; y < d.sink.preview.height; ++y)
      for (int x = 0; x < d.sink.preview.width; ++x) {
        const std::uint8_t* c = d.sink.preview.At(x, y);
        ASSERT_EQ(snapshot.atFullPass.At(x, y), NearestColourByScan(SharedPalette.current, c[0], c[1], c[2]))
            << round << ": " << x << "," << y;
      }
  }
}

TEST_F(JpegDecoderTest, GreyscalePixelsHaveEqualComponents) {
  ZUDIZAR_REQUIRE_CORPUS("jpeg");
  for (const char* name : {"ljt_testimggray.jpg", "cjpeg_gray_restart2rows.jpg", "jd_grayscale_square.jpg"}) {
    Decoded d;
    DecodeBytes(testing::ReadBytes(testing::CorpusDir() / "jpeg" / name), d);
    ASSERT_GT(d.sink.image.width, 0) << name;
    std::set<int> levels;
    for (const auto* image : {&d.sink.image, &d.sink.preview})
      for (int y = 0; y < image->height; ++y)
        for (int x = 0; x < image->width; ++x) {
          const std::uint8_t* c = image->At(x, y);
          ASSERT_EQ(c[0], c[1]) << name;
          ASSERT_EQ(c[0], c[2]) << name;
          levels.insert(c[0]);
        }
    EXPECT_GT(levels.size(), 8u) << name;  // a picture, not a flat field
  }
}

TEST_F(JpegDecoderTest, RestartIntervalsDecodeIdentically) {
  std::vector<std::pair<std::vector<std::uint8_t>, std::vector<std::uint8_t>>> pairs;
  if (std::filesystem::exists(testing::CorpusDir() / "jpeg")) {
    const auto dir = testing::CorpusDir() / "jpeg";
    pairs.emplace_back(testing::ReadBytes(dir / "cjpeg_2x2_restart3mcu.jpg"),
                       testing::ReadBytes(dir / "cjpeg_2x2_optimize.jpg"));
  }
  testing::TempFolder folder;
  if (testing::ToolAvailable("cjpeg")) {
    const std::string source = WriteSourcePicture(folder, 61, 43);
    for (const char* sampling : {"-sample 1x1", "-sample 2x1", "-sample 2x2", "-grayscale"})
      for (const char* restart : {"-restart 1B", "-restart 5B", "-restart 1"})
        pairs.emplace_back(Cjpeg(folder, source, std::string(sampling) + " " + restart),
                           Cjpeg(folder, source, sampling));
  }
  if (pairs.empty()) GTEST_SKIP() << "neither the corpus nor cjpeg is available";
  for (const auto& [withRestarts, without] : pairs) {
    ASSERT_NE(withRestarts, without);
    Decoded a, b;
    DecodeBytes(withRestarts, a);
    DecodeBytes(without, b);
    EXPECT_GT(a.sink.image.width, 0);
    EXPECT_EQ(a.sink.image.rgb, b.sink.image.rgb);
    EXPECT_EQ(a.sink.preview.rgb, b.sink.preview.rgb);
    EXPECT_TRUE(a.traces.empty());
  }
}

TEST_F(JpegDecoderTest, AHuffmanTableDefinedTwiceKeepsItsFirstDefinition) {
  const auto original = EncodedTestPicture(32, 16);
  // Table 0 (DC) again, with one code per length: a valid but different table.
  std::vector<std::uint8_t> dht = {0xFF, 0xC4, 0x00, 0x1F, 0x00};
  for (int i = 0; i < 12; ++i) dht.push_back(i < 11 ? 1 : 1);
  for (int i = 12; i < 16; ++i) dht.push_back(0);
  for (int i = 0; i < 12; ++i) dht.push_back(static_cast<std::uint8_t>(11 - i));
  ASSERT_EQ(dht.size(), 2u + 0x1F);
  const auto later = Inserted(original, FindSegment(original, 0xDA).at, dht);
  const auto earlier = Inserted(original, FindSegment(original, 0xC4).at, dht);
  Decoded a, b, c;
  DecodeBytes(original, a);
  DecodeBytes(later, b);
  DecodeBytes(earlier, c);
  EXPECT_EQ(a.sink.image.rgb, b.sink.image.rgb);
  EXPECT_TRUE(b.traces.empty());
  EXPECT_NE(a.sink.image.rgb, c.sink.image.rgb);  // defined first, it is the one used
}

TEST_F(JpegDecoderTest, ProgressFollowsTheMcuRowsOfBothPasses) {
  using Calls = std::vector<std::pair<int, int>>;
  const Calls five = {{0, 0}, {25, 0}, {50, 0}, {75, 0}, {100, 0}, {0, 1}, {25, 1}, {50, 1}, {75, 1}, {100, 1}};
  Decoded d;
  DecodeBytes(EncodedTestPicture(16, 40), d);
  EXPECT_EQ(d.progress.calls, five);
  // A single row of MCUs reports 100 after it.
  Decoded single;
  DecodeBytes(EncodedTestPicture(48, 8), single);
  EXPECT_EQ(single.progress.calls, (Calls{{100, 0}, {100, 1}}));
  // The file entry hands the progress sink on.
  testing::TempFolder folder;
  const std::string path = folder.File("five.jpg");
  testing::WriteBytes(path, EncodedTestPicture(16, 40));
  testing::ProgressRecorder recorder;
  IndexedImage image;
  ASSERT_TRUE(ReadJpegFile(path, image, nullptr, &recorder));
  EXPECT_EQ(recorder.calls, five);
}

struct TraceCase {
  const char* what;
  std::function<std::vector<std::uint8_t>(const std::vector<std::uint8_t>&)> mutate;
  std::vector<TraceEntry> expected;
};

std::vector<std::uint8_t> Set(std::vector<std::uint8_t> bytes, std::size_t at, std::uint8_t value) {
  bytes[at] = value;
  return bytes;
}

TEST_F(JpegDecoderTest, FormatErrorsAreLoggedWithTheirNumbersAndTexts) {
  const auto original = EncodedTestPicture(16, 16);
  const std::size_t sof = FindSegment(original, 0xC0).at;
  const std::size_t dht = FindSegment(original, 0xC4).at;
  const std::size_t dqt = FindSegment(original, 0xDB).at;
  const std::size_t sos = FindSegment(original, 0xDA).at;
  std::vector<std::uint8_t> fiveTables = {0xFF, 0xDB, 0x01, 0x47};
  for (int t = 0; t < 5; ++t) {
    fiveTables.push_back(static_cast<std::uint8_t>(t % 4));
    for (int i = 0; i < 64; ++i) fiveTables.push_back(1);
  }
  const std::vector<TraceCase> cases = {
      {"progressive frame", [&](auto b) { return Set(b, sof + 1, 0xC2); }, {{9604, "非Baseline DCT(未ｻﾎﾟｰﾄ)"}}},
      {"12-bit samples", [&](auto b) { return Set(b, sof + 4, 12); }, {{9605, "SOFO:標本精度が8ﾋﾞｯﾄ以外"}}},
      {"too wide",
       [&](auto b) { return Set(Set(b, sof + 7, 0x0C), sof + 8, 0x08); },
       {{9606, "画像横ｻｲｽﾞが大きすぎる(≦3072)"}}},
      {"too high",
       [&](auto b) { return Set(Set(b, sof + 5, 0x0C), sof + 6, 0x1C); },
       {{9607, "画像縦ｻｲｽﾞが大きすぎる(≦3072)"}}},
      {"two components", [&](auto b) { return Set(b, sof + 9, 2); }, {{9608, "未ｻﾎﾟｰﾄ画像成分数"}}},
      {"horizontal factor 3", [&](auto b) { return Set(b, sof + 11, 0x31); }, {{9610, "SOFO:処理不能水平標本数3"}}},
      {"vertical factor 3", [&](auto b) { return Set(b, sof + 11, 0x13); }, {{9611, "SOFO:処理不能垂直標本数 3"}}},
      {"quantisation table 7", [&](auto b) { return Set(b, sof + 12, 7); }, {{9612, "未定義量子化表番号 07"}}},
      {"undefined table 2", [&](auto b) { return Set(b, sof + 12, 2); }, {{9612, "未定義量子化表番号 02"}}},
      {"Huffman table byte",
       [&](auto b) { return Set(b, dht + 4, 0x25); },
       {{9613, "DHT:Huffman表番号異常25"}, {9619, "SOS:未定義DC-Huffman表番号00"}}},
      {"DHT length", [&](auto b) { return Set(b, dht + 3, b[dht + 3] + 1); }, {{9614, "DHT:ﾌﾞﾛｯｸ長異常"}}},
      {"SOS length", [&](auto b) { return Set(b, sos + 3, 0x0E); }, {{9615, "SOS:ﾌﾞﾛｯｸ長異常"}}},
      {"SOS with two components", [&](auto b) { return Set(b, sos + 4, 2); }, {{9617, "SOS:画像成分数異常"}}},
      {"unknown component", [&](auto b) { return Set(b, sos + 5, 10); }, {{9618, "SOS:未定義画像成分番号 0A"}}},
      {"undefined tables",
       [&](auto b) { return Set(b, sos + 6, 0x23); },
       {{9619, "SOS:未定義DC-Huffman表番号02"}, {9620, "SOS:未定義AC-Huffman表番号13"}}},
      {"more than 10 blocks",
       [&](auto b) { return Set(b, sof + 11, 0x44); },
       {{9610, "SOFO:処理不能水平標本数4"}, {9611, "SOFO:処理不能垂直標本数 4"}, {9621, "SOS:ｽｷｬﾝ成分数が10を超える"}}},
      {"two blocks per MCU",
       [&](auto b) { return Set(Set(b, sof + 11, 0x11), sof + 14, 0x00); },
       {{9610, "SOFO:処理不能水平標本数0"}, {9611, "SOFO:処理不能垂直標本数 0"}, {9622, "未ｻﾎﾟｰﾄなｽｷｬﾝ成分数"}}},
      {"DQT length", [&](auto b) { return Set(b, dqt + 3, 0x83); }, {{9623, "DQT:ﾌﾞﾛｯｸ長の異常"}}},
      {"five tables", [&](auto b) { return Inserted(b, dqt, fiveTables); }, {{9624, "DQT:量子化表が5以上ある"}}},
      {"table number 4",
       [&](auto b) { return Set(b, dqt + 4, 4); },
       {{9625, "DQT:量子化表番号が4以上"}, {9612, "未定義量子化表番号 00"}}},
      {"DRI length",
       [&](auto b) {
         return Inserted(b, sos, {0xFF, 0xDD, 0x00, 0x05, 0x00, 0x01});
       },
       {{9626, "DRI:ﾌﾞﾛｯｸ長異常"}, {9627, "RST処理構造異常"}}},
      {"TEM",
       [&](auto b) {
         return Inserted(b, dqt, {0xFF, 0x01});
       },
       {{9602, "TEM"}}},
      {"junk before a marker", [&](auto b) { return Inserted(b, dqt, {0x12}); }, {{9600, "書式異常(JPEGﾏｰｶｰ位置）18"}}},
  };
  for (const TraceCase& c : cases) {
    Decoded d;
    DecodeBytes(c.mutate(original), d);
    for (const TraceEntry& e : c.expected)
      EXPECT_TRUE(HasRecord(d, e.number, e.text)) << c.what << ": " << e.number << " " << e.text;
  }
  // More than 10 blocks: 16 + 1 + 1 blocks, 8 of them refused.
  Decoded many;
  DecodeBytes(Set(original, sof + 11, 0x44), many);
  EXPECT_EQ(many.Count(9621), 8);
  // A progressive marker on baseline data still decodes the picture.
  Decoded plain, progressive;
  DecodeBytes(original, plain);
  DecodeBytes(Set(original, sof + 1, 0xC2), progressive);
  EXPECT_EQ(plain.sink.image.rgb, progressive.sink.image.rgb);
  EXPECT_TRUE(plain.traces.empty());
}

TEST_F(JpegDecoderTest, AMarkerInsideTheScanIsLoggedInEachPass) {
  auto bytes = EncodedTestPicture(64, 64);
  const std::size_t data = FindSegment(bytes, 0xDA).at + 14;
  std::size_t at = data;
  while (at + 1 < bytes.size() && !(bytes[at] == 0xFF && bytes[at + 1] == 0x00)) ++at;
  ASSERT_LT(at + 2, bytes.size() - 2) << "the picture has no stuffed byte";
  bytes[at + 1] = 0xC8;
  Decoded d;
  DecodeBytes(bytes, d);
  EXPECT_EQ(d.Count(9628), 2);
  EXPECT_TRUE(HasRecord(d, 9628, "MarkerError200"));
  EXPECT_EQ(d.traces.size(), 2u);
}

TEST_F(JpegDecoderTest, KindsBeyondBaselineAreHandedOverOrRefusedWithTheReason) {
  ZUDIZAR_REQUIRE_CORPUS("jpeg");
  // The baseline rules alone would log these and decode them wrongly: a
  // progressive file's first scan read as baseline, a 16-bit DQT read as
  // markers. The file entry hands them to libjpeg-turbo, or refuses the
  // kinds neither decoder supports.
  enum Outcome { kDecodes, kNoted, kRefused, kNoPixels };
  const struct {
    const char* file;
    std::vector<int> records;
    Outcome outcome;
    const char* reason;
  } cases[] = {
      {"ljt_testimgp_progressive.jpg", {9604, 9620, 9628}, kDecodes, ""},
      {"mozilla_jpg-progressive.jpg", {9604, 9620}, kDecodes, ""},
      {"cjpeg_progressive_restart.jpg", {9604, 9620, 9627}, kDecodes, ""},
      {"ljt_testimgari_arithmetic.jpg", {9604, 9619, 9620}, kDecodes, ""},
      {"ljt_monkey12_12bit.jpg", {9604, 9605}, kRefused, "12ﾋﾞｯﾄ"},
      {"ljt_testorig12_12bit.jpg", {9604, 9605}, kRefused, "12ﾋﾞｯﾄ"},
      {"ljt_test_optimize_12b.jpg", {9604, 9605, 9607}, kRefused, "12ﾋﾞｯﾄ"},
      {"ljt_testimgl_lossless.jpg", {9604, 9612}, kRefused, "ﾛｽﾚｽ"},
      {"jd_16bit-qtables.jpg", {9623, 9625, 9600}, kDecodes, ""},
      {"cjpeg_4x1.jpg", {9610}, kDecodes, ""},
      {"cjpeg_1x2_vertical.jpg", {}, kDecodes, ""},
      {"mozilla_jpg-cmyk-1.jpg", {9608, 9617}, kDecodes, ""},
      {"jd_rgb.jpg", {}, kDecodes, ""},
      {"jd_mjpeg.jpg", {9619, 9620}, kNoted, ""},             // bytes before restart markers
      {"jd_progressive-missing-dc.jpg", {9604}, kNoted, ""},  // with a warning, as djpeg
      {"cjpeg_3080x16_toowide.jpg", {9606}, kDecodes, ""},
      {"mozilla_jpg-size-6x6_nosoi.jpg", {}, kNoPixels, ""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.file);
    Decoded d;
    DecodeBytes(testing::ReadBytes(testing::CorpusDir() / "jpeg" / c.file), d);
    for (const int number : c.records) EXPECT_GT(d.Count(number), 0) << number;
    if (c.records.empty()) {
      EXPECT_TRUE(d.traces.empty());
    }
    IndexedImage image;
    ASSERT_EQ(CreateImage(4, 4, image), 1);
    FileReport boxes;
    const std::string path = (testing::CorpusDir() / "jpeg" / c.file).string();
    EXPECT_EQ(ReadJpegFile(path, image, &boxes), c.outcome != kRefused);
    switch (c.outcome) {
      case kDecodes:
        EXPECT_TRUE(image.HasPixels());
        EXPECT_TRUE(boxes.Empty());
        break;
      case kNoted:  // opened, with the note that damaged data was skipped
        EXPECT_TRUE(image.HasPixels());
        EXPECT_EQ(boxes.messages, (std::vector<FileMessage>{{kDataSkippedText, kPartLoadCaption, MessageKind::Note}}));
        break;
      case kRefused:  // the picture stays as it was, and the box says why
        EXPECT_EQ(image.ImageWidth(), 4);
        ASSERT_EQ(boxes.messages.size(), 1u);
        EXPECT_EQ(boxes.messages[0].caption, "JPEGのﾛｰﾄﾞ失敗");
        EXPECT_NE(boxes.messages[0].text.find(path), std::string::npos);
        EXPECT_NE(boxes.messages[0].text.find(c.reason), std::string::npos) << boxes.messages[0].text;
        break;
      case kNoPixels: EXPECT_FALSE(image.HasPixels()); break;
    }
  }
}

TEST_F(JpegDecoderTest, EachScanRecreatesThePicture) {
  const auto first = EncodedTestPicture(16, 16);
  IndexedImage other;
  testing::MakeTestPicture(other, 16, 16);
  for (auto& p : other.pixels) p = static_cast<std::uint8_t>(255 - p);
  const auto second = EncodeJpeg(other, DefaultPalette);
  // The first file without its EOI, then the second one's scan.
  std::vector<std::uint8_t> twoScans(first.begin(), first.end() - 2);
  twoScans.insert(twoScans.end(), second.begin() + static_cast<std::ptrdiff_t>(FindSegment(second, 0xDA).at),
                  second.end());
  Decoded d, expected;
  DecodeBytes(twoScans, d);
  DecodeBytes(second, expected);
  EXPECT_EQ(d.sink.scans, 2);
  EXPECT_EQ(d.sink.image.rgb, expected.sink.image.rgb);
  EXPECT_EQ(d.progress.calls.size(), 8u);
}

TEST_F(JpegDecoderTest, BadInputEndsCleanly) {
  const auto original = EncodedTestPicture(24, 16);
  const std::size_t sof = FindSegment(original, 0xC0).at;
  const std::size_t sos = FindSegment(original, 0xDA).at;
  const auto decode = [](const std::vector<std::uint8_t>& bytes) {
    Decoded d;
    DecodeBytes(bytes, d);
    return d;
  };

  // A scan before any frame: nothing to make a picture of.
  std::vector<std::uint8_t> sosFirst(original.begin(), original.begin() + 2);
  sosFirst.insert(sosFirst.end(), original.begin() + static_cast<std::ptrdiff_t>(sos), original.end());
  EXPECT_EQ(decode(sosFirst).sink.scans, 0);

  // 0 x 0 and 65535 x 65535 frames: logged, and no picture is made.
  auto zero = original;
  for (int i = 5; i < 9; ++i) zero[sof + i] = 0;
  const Decoded z = decode(zero);
  EXPECT_EQ(z.sink.scans, 0);
  EXPECT_EQ(z.Count(9606), 1);
  EXPECT_EQ(z.Count(9607), 1);
  auto huge = original;
  for (int i = 5; i < 9; ++i) huge[sof + i] = 0xFF;
  const Decoded h = decode(huge);
  EXPECT_EQ(h.sink.scans, 0);
  EXPECT_TRUE(HasRecord(h, 9606, "画像横ｻｲｽﾞが大きすぎる(≦3072)"));
  IndexedImage image;
  DecodeJpegImage(huge, image);
  EXPECT_FALSE(image.HasPixels());

  // Huffman counts that overflow the code space, and that claim more than
  // 256 symbols; nine tables (one more than the decoder keeps); five
  // components with sampling factors 15.
  std::vector<std::uint8_t> overflow = {0xFF, 0xC4, 0x00, 0x00, 0x00};
  for (int i = 0; i < 16; ++i) overflow.push_back(40);
  for (int i = 0; i < 640; ++i) overflow.push_back(static_cast<std::uint8_t>(i * 7));
  overflow[2] = static_cast<std::uint8_t>((overflow.size() - 2) >> 8);
  overflow[3] = static_cast<std::uint8_t>(overflow.size() - 2);
  decode(Inserted(original, FindSegment(original, 0xC4).at, overflow));
  std::vector<std::uint8_t> nine;
  for (int t = 0; t < 9; ++t) {
    const auto dht = FindSegment(original, 0xC4, t % 4);
    nine.insert(nine.end(), original.begin() + static_cast<std::ptrdiff_t>(dht.at),
                original.begin() + static_cast<std::ptrdiff_t>(dht.at + dht.size));
  }
  EXPECT_EQ(decode(Inserted(original, sos, nine)).sink.image.rgb, decode(original).sink.image.rgb);
  std::vector<std::uint8_t> five = {0xFF, 0xC0, 0x00, 0x17, 0x08, 0x00, 0x10, 0x00, 0x18, 0x05};
  for (int c = 1; c <= 5; ++c) five.insert(five.end(), {static_cast<std::uint8_t>(c), 0xFF, 0x00});
  const Decoded fiveComponents = decode(Inserted(original, sos, five));
  EXPECT_GT(fiveComponents.Count(9621), 0);

  // Truncations of the file (each runs out into the zero tail, which the
  // marker loop reads in steps of 4 bytes), and random damage.
  for (std::size_t length = 0; length < original.size(); length += 5)
    decode(std::vector<std::uint8_t>(original.begin(), original.begin() + static_cast<std::ptrdiff_t>(length)));
  std::mt19937 random(2024);
  for (int round = 0; round < 150; ++round) {
    auto damaged = original;
    const int changes = 1 + random() % 8;
    for (int i = 0; i < changes; ++i) {
      const std::size_t at = random() % damaged.size();
      damaged[at] = static_cast<std::uint8_t>(random() % 3 == 0 ? 0xFF : random());
    }
    decode(damaged);
  }
  // Marker soup: random marker codes and lengths.
  for (int round = 0; round < 100; ++round) {
    std::vector<std::uint8_t> soup = {0xFF, 0xD8};
    for (int i = 0; i < 40; ++i) {
      soup.push_back(0xFF);
      soup.push_back(static_cast<std::uint8_t>(0xC0 + random() % 0x40));
      const int n = random() % 40;
      soup.push_back(0);
      soup.push_back(static_cast<std::uint8_t>(n));
      for (int j = 0; j < n; ++j) soup.push_back(static_cast<std::uint8_t>(random()));
    }
    decode(soup);
  }
}

TEST_F(JpegDecoderTest, CorpusCrashFilesSurvive) {
  ZUDIZAR_REQUIRE_CORPUS("jpeg");
  std::vector<std::filesystem::path> files;
  for (const auto& entry : std::filesystem::directory_iterator(testing::CorpusDir() / "jpeg"))
    if (entry.path().filename().string().rfind("jdcrash_", 0) == 0) files.push_back(entry.path());
  for (const auto& entry : std::filesystem::directory_iterator(testing::CorpusDir() / "jpeg" / "crash_imagetestsuite"))
    files.push_back(entry.path());
  ASSERT_GT(files.size(), 100u);
  for (const auto& file : files) {
    // Either read, with or without pixels, or refused with the reason.
    IndexedImage image;
    FileReport boxes;
    if (!ReadJpegFile(file.string(), image, &boxes)) {
      EXPECT_EQ(boxes.messages.size(), 1u) << file;
    } else if (image.HasPixels()) {
      EXPECT_EQ(image.pixels.size(), static_cast<std::size_t>(image.ImageWidth()) * image.ImageHeight());
    }
  }
}

TEST_F(JpegDecoderTest, AnUnreadableFileFailsAndLeavesThePicture) {
  testing::TempFolder folder;
  IndexedImage image;
  ASSERT_EQ(CreateImage(8, 8, image), 1);
  EXPECT_FALSE(ReadJpegFile(folder.File("missing.jpg"), image));
  EXPECT_EQ(image.ImageWidth(), 8);
  EXPECT_FALSE(ReadJpegFile(folder.Path().string(), image));  // a folder has no size
  EXPECT_EQ(image.ImageWidth(), 8);
  // A file without a scan reads, without pixels.
  const std::string empty = folder.File("empty.jpg");
  testing::WriteBytes(empty, {0xFF, 0xD8, 0xFF, 0xD9});
  ASSERT_EQ(CreateImage(8, 8, image), 1);
  EXPECT_TRUE(ReadJpegFile(empty, image));
  EXPECT_FALSE(image.HasPixels());
  // Japanese names, including characters whose Shift-JIS second byte is 0x5C.
  const std::string named = folder.File("ソ表能の写真.JPG");
  testing::WriteBytes(named, EncodedTestPicture(20, 12));
  EXPECT_TRUE(ReadJpegFile(named, image));
  EXPECT_EQ(image.ImageWidth(), 20);
  EXPECT_EQ(image.ImageHeight(), 12);
}

TEST_F(JpegDecoderTest, VectorAndPlainPathsDecodeIdentically) {
  std::vector<std::vector<std::uint8_t>> files = {EncodedTestPicture(45, 33)};
  if (std::filesystem::exists(testing::CorpusDir() / "jpeg"))
    for (const char* name :
         {"ljt_testorig.jpg", "ljt_testimgfst100.jpg", "cjpeg_1x1_restart1mcu.jpg", "ljt_testimggray.jpg"})
      files.push_back(testing::ReadBytes(testing::CorpusDir() / "jpeg" / name));
  for (const auto& bytes : files) {
    Decoded vector, plain;
    DecodeBytes(bytes, vector);
    jpeg::VectorPathsAllowed() = false;
    DecodeBytes(bytes, plain);
    jpeg::VectorPathsAllowed() = true;
    EXPECT_EQ(vector.sink.image.rgb, plain.sink.image.rgb);
    EXPECT_EQ(vector.sink.preview.rgb, plain.sink.preview.rgb);
  }
}

// Everything a decode tells its caller, in order: pictures, preview colours,
// blocks (by a digest of their pixels), notes, progress and trace records.
struct Told : testing::TrueColourSink, ProgressSink {
  std::vector<std::string> events;
  bool StartImage(int width, int height) override {
    events.push_back("start " + std::to_string(width) + "x" + std::to_string(height));
    return TrueColourSink::StartImage(width, height);
  }
  void PreviewBlock(int x, int y, int width, int height, jpeg::Rgb colour) override {
    events.push_back("preview " + Place(x, y, width, height) + " " + std::to_string(colour.red) + "," +
                     std::to_string(colour.green) + "," + std::to_string(colour.blue));
    TrueColourSink::PreviewBlock(x, y, width, height, colour);
  }
  void Block(int x, int y, int width, int height, const jpeg::BlockPixels& pixels) override {
    std::uint64_t digest = 14695981039346656037ull;
    for (const auto* plane : {pixels.red, pixels.green, pixels.blue})
      for (int i = 0; i < 64; ++i) digest = (digest ^ plane[i]) * 1099511628211ull;
    events.push_back("block " + Place(x, y, width, height) + " " + std::to_string(digest));
    TrueColourSink::Block(x, y, width, height, pixels);
  }
  void DataEnded() override { events.push_back("ended"); }
  void DataSkipped() override { events.push_back("skipped"); }
  void FileProgress(int percent, int phase) override {
    events.push_back("progress " + std::to_string(percent) + " " + std::to_string(phase));
  }
  static std::string Place(int x, int y, int width, int height) {
    return std::to_string(x) + "," + std::to_string(y) + " " + std::to_string(width) + "x" + std::to_string(height);
  }
};

// Decodes with a coefficient store of `storeBytes` (-1: the usual size).
std::vector<std::string> DecodeTold(const std::vector<std::uint8_t>& bytes, std::int64_t storeBytes) {
  Told told;
  jpeg::DecodeOptions options;
  options.trace = [&told](int number, const std::string& text) {
    told.events.push_back("trace " + std::to_string(number) + " " + text);
  };
  options.maxPixels = std::int64_t{1} << 18;
  options.coefficientStoreBytes = storeBytes;
  jpeg::Decode(bytes, told, &told, options);
  return told.events;
}

// The encoder's file with its frame and scan rewritten for `components`
// components, the first sampled `lumaFactors` (horizontal << 4 | vertical):
// the data then decodes to other (garbage) blocks, but decodes all the same.
std::vector<std::uint8_t> Relaid(const std::vector<std::uint8_t>& bytes, int components, std::uint8_t lumaFactors) {
  const testing::Segment sof = FindSegment(bytes, 0xC0);
  const testing::Segment sos = FindSegment(bytes, 0xDA);
  const auto n = static_cast<std::uint8_t>(components);
  std::vector<std::uint8_t> frame = {0xFF, 0xC0, 0, static_cast<std::uint8_t>(8 + 3 * n), 8};
  frame.insert(frame.end(), bytes.begin() + static_cast<std::ptrdiff_t>(sof.at + 5),
               bytes.begin() + static_cast<std::ptrdiff_t>(sof.at + 9));
  frame.push_back(n);
  std::vector<std::uint8_t> scan = {0xFF, 0xDA, 0, static_cast<std::uint8_t>(6 + 2 * n), n};
  for (std::uint8_t c = 1; c <= n; ++c) {
    frame.insert(frame.end(), {c, c == 1 ? lumaFactors : std::uint8_t{0x11}, c == 1 ? std::uint8_t{0} : std::uint8_t{1}});
    scan.insert(scan.end(), {c, c == 1 ? std::uint8_t{0x00} : std::uint8_t{0x11}});
  }
  scan.insert(scan.end(), {0, 63, 0});
  std::vector<std::uint8_t> out(bytes.begin(), bytes.begin() + static_cast<std::ptrdiff_t>(sof.at));
  out.insert(out.end(), frame.begin(), frame.end());
  out.insert(out.end(), bytes.begin() + static_cast<std::ptrdiff_t>(sof.at + sof.size),
             bytes.begin() + static_cast<std::ptrdiff_t>(sos.at));
  out.insert(out.end(), scan.begin(), scan.end());
  out.insert(out.end(), bytes.begin() + static_cast<std::ptrdiff_t>(sos.at + sos.size), bytes.end());
  return out;
}

// A small file of a random layout, with any of: a restart interval, restart
// markers and other markers put into the data, damaged or random data, a
// second scan, a cut end.
std::vector<std::uint8_t> RandomFile(std::mt19937& random) {
  const int width = 1 + static_cast<int>(random() % 70), height = 1 + static_cast<int>(random() % 70);
  auto bytes = EncodedTestPicture(width, height);
  switch (random() % 6) {
    case 0: bytes = Relaid(bytes, 1, 0x11); break;
    case 1: bytes = Relaid(bytes, 3, 0x11); break;
    case 2: bytes = Relaid(bytes, 3, 0x22); break;
    case 3: bytes = Relaid(bytes, 3, 0x12); break;
    case 4: bytes = Relaid(bytes, 2, 0x11); break;  // a block count no layout has
    default: break;                               // the encoder's 4:2:2
  }
  const testing::Segment sos = FindSegment(bytes, 0xDA);
  std::size_t data = sos.at + sos.size;
  auto byteAt = [&random]() -> std::uint8_t {
    // Marker bytes are common, so that pairs and markers turn up.
    switch (random() % 8) {
      case 0: return 0xFF;
      case 1: return static_cast<std::uint8_t>(0xD0 + random() % 8);
      default: return static_cast<std::uint8_t>(random());
    }
  };
  if (random() % 3 == 0) {
    bytes.resize(data);
    const std::size_t length = random() % 1500;
    for (std::size_t i = 0; i < length; ++i) bytes.push_back(byteAt());
    bytes.insert(bytes.end(), {0xFF, 0xD9});
  }
  const std::size_t dataEnd = bytes.size() - 2;
  if (random() % 2 == 0 && dataEnd > data)
    for (int i = static_cast<int>(random() % 6); i > 0; --i) bytes[data + random() % (dataEnd - data)] = byteAt();
  if (random() % 3 == 0 && dataEnd > data)
    for (int i = static_cast<int>(random() % 4); i > 0; --i)
      bytes = Inserted(bytes, data + random() % (dataEnd - data), {0xFF, static_cast<std::uint8_t>(0xD0 + random() % 8)});
  if (random() % 2 == 0) {
    const std::vector<std::uint8_t> dri = {0xFF, 0xDD, 0, 4, 0, static_cast<std::uint8_t>(1 + random() % 5)};
    bytes = Inserted(bytes, sos.at, dri);
    data += dri.size();
  }
  if (random() % 4 == 0) {
    const std::vector<std::uint8_t> scan(bytes.begin() + static_cast<std::ptrdiff_t>(data - sos.size),
                                         bytes.end() - 2);
    bytes = Inserted(bytes, bytes.size() - 2, scan);
  }
  if (random() % 4 == 0) bytes.resize(data + random() % (bytes.size() - data));
  return bytes;
}

TEST_F(JpegDecoderTest, KeepingTheCoefficientsChangesNothingTheCallerSees) {
  std::vector<std::vector<std::uint8_t>> files;
  std::mt19937 random(2024);
  for (int i = 0; i < 200; ++i) files.push_back(RandomFile(random));
  // Restart intervals, greyscale, other samplings, several scans, odd data;
  // each also with a few damaged bytes.
  if (std::filesystem::exists(testing::CorpusDir() / "jpeg"))
    for (const char* name : {"cjpeg_1x1_restart1mcu.jpg", "cjpeg_2x1_restart1row.jpg", "cjpeg_2x2_restart3mcu.jpg",
                             "cjpeg_gray_restart2rows.jpg", "cjpeg_1x2_vertical.jpg", "cjpeg_4x1.jpg", "jd_restarts.jpg",
                             "jd_non-interleaved-mcu.jpg", "jd_grayscale_16x24_sampling2x2.jpg",
                             "jd_extraneous-data.jpg", "jdcrash_dc-predictor-overflow.jpg"}) {
      auto bytes = testing::ReadBytes(testing::CorpusDir() / "jpeg" / name);
      files.push_back(bytes);
      for (int i = 0; i < 3 && bytes.size() > 700; ++i)
        bytes[600 + random() % (bytes.size() - 600)] = static_cast<std::uint8_t>(random());
      files.push_back(bytes);
    }
  int withBlocks = 0;
  for (std::size_t i = 0; i < files.size(); ++i) {
    const auto walked = DecodeTold(files[i], 0);
    withBlocks += std::count_if(walked.begin(), walked.end(), [](const std::string& e) { return e.starts_with("block"); }) > 0;
    ASSERT_EQ(DecodeTold(files[i], -1), walked) << "file " << i;
    // Stores that fill up somewhere in the scan: the rest is walked again.
    for (int k = 0; k < 2; ++k)
      ASSERT_EQ(DecodeTold(files[i], random() % 6000), walked) << "file " << i << " store " << k;
  }
  EXPECT_GT(withBlocks, 150);
}

TEST_F(JpegDecoderTest, TheFullPassTakesTheCoefficientsFromThePreviewPass) {
  // The data changes after the preview pass: only the part of the scan the
  // store kept comes out as before.
  const auto bytes = EncodedTestPicture(160, 96);
  const std::size_t data = FindSegment(bytes, 0xDA).at + FindSegment(bytes, 0xDA).size;
  struct Scribbler : testing::TrueColourSink {
    std::vector<std::uint8_t>* buffer = nullptr;
    std::size_t from = 0;
    void PreviewBlock(int, int, int, int, jpeg::Rgb) override {}
    void Block(int x, int y, int width, int height, const jpeg::BlockPixels& pixels) override {
      if (buffer) std::fill(buffer->begin() + static_cast<std::ptrdiff_t>(from), buffer->end() - 2, 0x5A);
      buffer = nullptr;
      TrueColourSink::Block(x, y, width, height, pixels);
    }
  };
  auto decode = [&](std::int64_t storeBytes) {
    std::vector<std::uint8_t> padded(bytes);
    padded.resize(bytes.size() + jpeg::kTailBytes, 0);
    Scribbler sink;
    sink.buffer = &padded;
    sink.from = data;
    jpeg::DecodeOptions options;
    options.coefficientStoreBytes = storeBytes;
    jpeg::DecodePadded(padded, sink, nullptr, options);
    return sink.image;
  };
  Decoded plain;
  DecodeBytes(bytes, plain);
  EXPECT_EQ(decode(-1).rgb, plain.sink.image.rgb);
  // Without a store the scribbled data is decoded.
  EXPECT_NE(decode(0).rgb, plain.sink.image.rgb);
  // A store that holds the first MCU rows keeps them; later ones differ.
  const auto part = decode(4000);
  const std::size_t row = 160 * 3;
  EXPECT_TRUE(std::equal(part.rgb.begin(), part.rgb.begin() + 8 * row, plain.sink.image.rgb.begin()));
  EXPECT_FALSE(std::equal(part.rgb.end() - 8 * row, part.rgb.end(), plain.sink.image.rgb.end() - 8 * row));
}

TEST_F(JpegDecoderTest, RecordsGoToTheTraceLogByDefault) {
  testing::TempFolder folder;
  StartTrace(folder.File("zudizar"));
  auto bytes = EncodedTestPicture(16, 8);
  bytes[FindSegment(bytes, 0xC0).at + 1] = 0xC1;
  const std::string path = folder.File("extended.jpg");
  testing::WriteBytes(path, bytes);
  IndexedImage image;
  ASSERT_TRUE(ReadJpegFile(path, image));
  const auto log = testing::ReadBytes(folder.File("TAVOTRC.LOG"));
  EXPECT_EQ(std::string(log.begin(), log.end()), "TRACE ON\n9604 非Baseline DCT(未ｻﾎﾟｰﾄ)\n");
}

}  // namespace
}  // namespace zudizar

// The fields a MAG file keeps about itself (machine, user name, comment):
// read with the picture, written back byte for byte, defaults for pictures
// from elsewhere; and their Shift_JIS text.
#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <string>
#include <vector>

#include "base/file_io.h"
#include "base/shift_jis.h"
#include "formats/mag.h"
#include "support/test_support.h"

namespace zudizar {
namespace {

std::size_t HeaderAt(const std::vector<std::uint8_t>& file) {
  return static_cast<std::size_t>(std::find(file.begin() + 8, file.end(), 0) - file.begin());
}

void SmallPicture(IndexedImage& image) {
  ASSERT_EQ(CreateImage(16, 4, image), 1);
  for (int y = 0; y < 4; ++y)
    for (int x = 0; x < 16; ++x) image.At(x, y) = static_cast<std::uint8_t>((x + y) % 5);
}

// Random field text: any byte but the zero byte and the terminator.
std::string RandomText(std::mt19937& random, std::size_t most) {
  std::string text(random() % (most + 1), ' ');
  for (char& c : text) {
    do c = static_cast<char>(random() & 0xFF);
    while (c == 0 || c == 0x1A);
  }
  return text;
}

class MagFieldsTest : public testing::PaletteReset {};

// Against a plain model of the layout: a field followed by another is padded
// with spaces to its length; what was written reads back as the model says,
// and writing what was read gives the same bytes again.
TEST_F(MagFieldsTest, FieldsOfAnyLengthRoundTripByteForByte) {
  std::mt19937 random(25);
  IndexedImage image;
  SmallPicture(image);
  for (int round = 0; round < 300; ++round) {
    MagFields fields;
    fields.present = true;
    fields.machine = RandomText(random, 6);
    fields.user = RandomText(random, 24);
    fields.comment = round % 3 ? RandomText(random, 60) : std::string();
    fields.gap = round % 5 == 0 ? RandomText(random, 3) : std::string();
    fields.machineCode = static_cast<std::uint8_t>(random());
    fields.machineFlags = static_cast<std::uint8_t>(random());
    image.mag = fields;

    std::vector<std::uint8_t> file;
    ASSERT_TRUE(EncodeMag(image, file));
    MagFields expected = fields;
    if ((!expected.user.empty() || !expected.comment.empty()) && expected.machine.size() < 4)
      expected.machine.resize(4, ' ');
    if (!expected.comment.empty() && expected.user.size() < 18) expected.user.resize(18, ' ');
    // A field longer than its slot runs on into the next one's bytes.
    const std::string area = expected.machine + expected.user + expected.comment;
    EXPECT_EQ(std::string(file.begin() + 8, file.begin() + 8 + area.size()), area);

    IndexedImage read;
    ASSERT_TRUE(DecodeMag(file, read));
    EXPECT_EQ(read.mag.machine + read.mag.user + read.mag.comment, area);
    EXPECT_EQ(read.mag.gap, fields.gap);
    EXPECT_EQ(read.mag.machineCode, fields.machineCode);
    EXPECT_EQ(read.mag.machineFlags, fields.machineFlags);
    EXPECT_EQ(read.pixels, image.pixels);

    std::vector<std::uint8_t> again;
    ASSERT_TRUE(EncodeMag(read, again));
    EXPECT_EQ(again, file);
  }
}

TEST_F(MagFieldsTest, FilesOfOtherProgramsKeepTheirFieldsThroughASave) {
  ZUDIZAR_REQUIRE_CORPUS("mag");
  int files = 0;
  for (const auto& entry : std::filesystem::directory_iterator(testing::CorpusDir() / "mag")) {
    if (entry.path().extension() != ".mag") continue;
    SCOPED_TRACE(entry.path().filename().string());
    std::vector<std::uint8_t> original;
    ASSERT_TRUE(ReadWholeFile(entry.path().string(), original));
    // Both ways of opening: onto the shared palette, and with its own colours.
    for (const bool shared : {true, false}) {
      IndexedImage image;
      MagDecodeOptions options;
      options.remapToShared = shared;
      ASSERT_TRUE(DecodeMag(original, image, options));
      EXPECT_EQ(image.mag.machine, "PYTN");
      std::vector<std::uint8_t> saved;
      ASSERT_TRUE(EncodeMag(image, saved));
      const std::size_t h = HeaderAt(original);
      ASSERT_EQ(HeaderAt(saved), h);
      // Everything up to the header's screen mode: signature, fields,
      // terminator, header start, machine code and flags.
      EXPECT_TRUE(std::equal(original.begin(), original.begin() + h + 3, saved.begin()));
    }
    ++files;
  }
  EXPECT_GT(files, 0);
}

TEST_F(MagFieldsTest, BrokenFieldAreasReadAsEmptyFields) {
  IndexedImage image;
  SmallPicture(image);
  std::vector<std::uint8_t> file;
  ASSERT_TRUE(EncodeMag(image, file));
  const std::size_t h = HeaderAt(file);

  // No terminator before the header: empty fields, the picture still opens.
  auto changed = file;
  std::replace(changed.begin() + 8, changed.begin() + h, std::uint8_t{0x1A}, std::uint8_t{'x'});
  IndexedImage read;
  ASSERT_TRUE(DecodeMag(changed, read));
  EXPECT_TRUE(read.mag.present);
  EXPECT_EQ(read.mag.machine + read.mag.user + read.mag.comment + read.mag.gap, "");
  EXPECT_EQ(read.pixels, image.pixels);

  // Fields that run past the end of the file: no header, nothing read, no crash.
  for (std::size_t length = 0; length <= h; ++length) {
    bool isMag = true;
    const MagFields fields = ReadMagFields(std::span(file).first(length), isMag);
    EXPECT_FALSE(isMag) << length;
    EXPECT_EQ(fields, MagFields{});
  }
  // A terminator right after the signature: every field empty, gap kept.
  changed = file;
  changed[8] = 0x1A;
  ASSERT_TRUE(DecodeMag(changed, read));
  EXPECT_EQ(read.mag.machine + read.mag.user + read.mag.comment, "");
  EXPECT_EQ(read.mag.gap.size(), h - 9);
}

TEST_F(MagFieldsTest, PicturesFromElsewhereGetTheDefaults) {
  IndexedImage image;
  SmallPicture(image);
  const MagFields written = WrittenMagFields(image.mag);
  EXPECT_TRUE(written.present);
  EXPECT_EQ(written.machine, "MG  ");
  EXPECT_EQ(written.user, "ZUDIZAR");
  EXPECT_EQ(written.comment, "");
  EXPECT_EQ(written.machineCode, 0);
  std::vector<std::uint8_t> file;
  ASSERT_TRUE(EncodeMag(image, file));
  IndexedImage read;
  ASSERT_TRUE(DecodeMag(file, read));
  EXPECT_EQ(read.mag.user, "ZUDIZAR" + std::string(11, ' '));
  EXPECT_EQ(read.mag.comment, "");
}

TEST_F(MagFieldsTest, ShiftJisTextDecodesAndEncodes) {
  // ソ and 表 have 0x5C as their second byte; ｱ is one half-width byte.
  const std::string bytes =
      "\x83\x5C\x95\x5C\xB1"
      "abc\\";
  EXPECT_EQ(ShiftJisToUtf8(bytes), "ソ表ｱabc\\");
  std::string back, refused;
  ASSERT_TRUE(Utf8ToShiftJis("ソ表ｱabc\\", back, refused));
  EXPECT_EQ(back, bytes);
  // Undecodable bytes are kept as escapes; the rest still decodes.
  EXPECT_EQ(ShiftJisToUtf8("A\xA0"
                           "B\x83"),
            "A\\xA0B\\x83");
  EXPECT_EQ(ShiftJisToUtf8("\xFF\x83\x5C"), "\\xFFソ");
  // What Shift_JIS cannot hold is refused, naming the character.
  back = "kept";
  EXPECT_FALSE(Utf8ToShiftJis("名前\xF0\x9F\x98\x80です", back, refused));
  EXPECT_EQ(refused, "\xF0\x9F\x98\x80");
  EXPECT_EQ(back, "kept");
  EXPECT_FALSE(Utf8ToShiftJis("a\xC3\x28", back, refused));
  EXPECT_EQ(refused, "\\xC3");

  // Every two-byte code that decodes encodes back to itself (CP932 has a
  // few codes shared by two characters; those may come back as the other).
  int checked = 0;
  for (int lead = 0x81; lead <= 0x9F; ++lead)
    for (int trail = 0x40; trail <= 0xFC; trail += 7) {
      const std::string code = {static_cast<char>(lead), static_cast<char>(trail)};
      const std::string text = ShiftJisToUtf8(code);
      if (text.find("\\x") != std::string::npos) continue;
      std::string again;
      ASSERT_TRUE(Utf8ToShiftJis(text, again, refused)) << lead << " " << trail;
      EXPECT_EQ(ShiftJisToUtf8(again), text);
      ++checked;
    }
  EXPECT_GT(checked, 500);
}

// Kept beside a picture in another format: any fields come back as they
// were; every shorter or longer run of bytes, and every changed tag byte, is
// refused and leaves the fields alone.
TEST_F(MagFieldsTest, PackedFieldsComeBackAndAnythingElseIsRefused) {
  std::mt19937 random(52);
  for (int round = 0; round < 60; ++round) {
    MagFields fields;
    fields.present = round % 4 != 0;
    fields.machine = RandomText(random, 6);
    fields.user = RandomText(random, 24);
    fields.comment = RandomText(random, 80);
    // Packed bytes are not limited to what a MAG header may hold.
    fields.gap = round % 2 ? std::string("\0\x1A\0", 3) : std::string();
    fields.machineCode = static_cast<std::uint8_t>(random());
    fields.machineFlags = static_cast<std::uint8_t>(random());
    const std::vector<std::uint8_t> packed = PackMagFields(fields);
    MagFields back;
    ASSERT_TRUE(UnpackMagFields(packed, back));
    EXPECT_EQ(back, fields);

    MagFields untouched;
    untouched.comment = "before";
    const MagFields before = untouched;
    for (std::size_t n = 0; n < packed.size(); ++n)
      ASSERT_FALSE(UnpackMagFields(std::span(packed).first(n), untouched)) << n;
    std::vector<std::uint8_t> longer = packed;
    longer.push_back(0);
    EXPECT_FALSE(UnpackMagFields(longer, untouched));
    for (std::size_t i = 0; i < 6; ++i) {
      std::vector<std::uint8_t> changed = packed;
      changed[i] ^= 0x02;
      EXPECT_FALSE(UnpackMagFields(changed, untouched)) << i;
    }
    EXPECT_EQ(untouched, before);
  }
}

}  // namespace
}  // namespace zudizar

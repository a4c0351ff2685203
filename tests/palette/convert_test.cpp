#include "palette/convert.h"

#include <fcntl.h>
#include <sys/stat.h>

#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>

#include "base/file_io.h"
#include "base/file_system.h"
#include "base/settings.h"
#include "formats/bmp.h"
#include "formats/bmp_builder.h"
#include "palette/thumbnail.h"
#include "support/test_support.h"

namespace zudizar {
namespace {

using testing::BmpBuilder;
using Colour = std::array<std::uint8_t, 3>;

// Reads back an 8-bit file the writer made: its table and its pixels' true
// colours, top row first.
struct Written {
  std::array<Colour, 256> table{};
  std::vector<std::vector<Colour>> pixels;
};
Written ReadWritten(const std::string& path) {
  Written w;
  std::vector<std::uint8_t> b;
  EXPECT_TRUE(ReadWholeFile(path, b));
  if (b.size() < 1078) return w;
  const int width = b[18] | b[19] << 8, height = b[22] | b[23] << 8;
  for (int i = 0; i < 256; ++i) w.table[i] = {b[54 + 4 * i + 2], b[54 + 4 * i + 1], b[54 + 4 * i]};
  const int stride = (width + 3) & ~3;
  for (int y = height - 1; y >= 0; --y) {
    std::vector<Colour> row;
    for (int x = 0; x < width; ++x) row.push_back(w.table[b[1078 + y * stride + x]]);
    w.pixels.push_back(row);
  }
  return w;
}

class ConvertTest : public testing::ProgramFolderTest {};

TEST_F(ConvertTest, APictureOfFewColoursKeepsThemExactly) {
  // The start-up palette puts its own colours in first; the picture's take
  // the free entries from 10 on, as Open does.
  BmpBuilder startup;
  startup.width = 4;
  startup.table = {{1, 1, 1}, {2, 2, 2}, {3, 3, 3}, {4, 4, 4}};
  startup.pixels = {0, 1, 2, 3};
  Write("TAVOCINI.BMP", startup.Build());

  BmpBuilder photo;
  photo.width = 6;
  photo.height = 3;
  photo.bitCount = 24;
  std::vector<std::vector<Colour>> rows(3);  // top first
  for (int y = 0; y < 3; ++y)
    for (int x = 0; x < 6; ++x)
      rows[y].push_back({static_cast<std::uint8_t>(17 * x + 5), static_cast<std::uint8_t>(40 * y + 3), 99});
  std::vector<std::vector<std::uint8_t>> fileRows;
  for (int y = 2; y >= 0; --y) {
    fileRows.emplace_back();
    for (const auto& c : rows[y]) fileRows.back().insert(fileRows.back().end(), {c[2], c[1], c[0]});
  }
  photo.pixels = testing::PadRows(fileRows);
  const std::string in = Write("写真.bmp", photo.Build());
  const std::string out = folder_.File("出力.bmp");
  std::string error;
  ASSERT_EQ(RunConvert(in, out, error), 0) << error;
  EXPECT_TRUE(error.empty());
  const Written w = ReadWritten(out);
  EXPECT_EQ(w.pixels, rows);
  // The k-th colour of the picture, in file order (bottom row first), is entry 9 + k.
  EXPECT_EQ(w.table[10], rows[2][0]);
  EXPECT_EQ(w.table[27], rows[0][5]);
  const PaletteEntry& d = DefaultPalette[28];  // past the picture's colours: the defaults
  EXPECT_EQ(w.table[28], (Colour{d.red, d.green, d.blue}));
}

TEST_F(ConvertTest, TheStartupPaletteServesPicturesOfReservedColoursOnly) {
  BmpBuilder startup;
  startup.width = 2;
  startup.table = {{10, 200, 30}, {44, 55, 66}};
  startup.pixels = {0, 1, 0, 0};
  Write("TAVOCINI.BMP", startup.Build());
  BmpBuilder picture;
  picture.width = 2;
  picture.height = 1;
  picture.table = {{255, 255, 255}, {0, 0, 0}};
  picture.pixels = {0, 1, 0, 0};
  const std::string out = folder_.File("out.bmp");
  std::string error;
  ASSERT_EQ(RunConvert(Write("mono.bmp", picture.Build()), out, error), 0) << error;
  const Written w = ReadWritten(out);
  EXPECT_EQ(w.table[10], (Colour{10, 200, 30}));
  EXPECT_EQ(w.table[11], (Colour{44, 55, 66}));
  EXPECT_EQ(w.pixels, (std::vector<std::vector<Colour>>{{{255, 255, 255}, {0, 0, 0}}}));
}

TEST_F(ConvertTest, FailuresGiveTheReason) {
  std::string error;
  EXPECT_EQ(RunConvert(folder_.File("無い.bmp"), folder_.File("o.bmp"), error), 1);
  EXPECT_NE(error.find("無い.bmp"), std::string::npos) << error;

  BmpBuilder refused;
  refused.bitCount = 24;
  refused.compression = 5;
  refused.pixels = {1, 2, 3, 4};
  const std::string in = Write("png入り.bmp", refused.Build());
  EXPECT_EQ(RunConvert(in, folder_.File("o.bmp"), error), 1);
  EXPECT_NE(error.find(in), std::string::npos) << error;
  EXPECT_NE(error.find("圧縮"), std::string::npos) << error;
  EXPECT_FALSE(FileExists(folder_.File("o.bmp")));

  BmpBuilder good;
  good.width = 4;
  good.table = {{1, 2, 3}};
  good.pixels = {0, 0, 0, 0};
  const std::string out = folder_.File("無い/o.bmp");
  EXPECT_EQ(RunConvert(Write("good.bmp", good.Build()), out, error), 1);
  EXPECT_NE(error.find(out), std::string::npos) << error;
}

TEST_F(ConvertTest, InputsThatAreNoPictureFileAreNamedAsWhatTheyAre) {
  const std::string fifo = folder_.File("pipe.bmp");
  ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
  std::filesystem::create_directory(folder_.File("folder.bmp"));
  const struct {
    std::string in;
    const char* says;
  } cases[] = {
      {folder_.File("folder.bmp"), ": is a folder, not a picture file"},
      {fifo, ": is not a regular file"},
      {folder_.File("none.bmp"), ": no such file"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.in);
    std::string error;
    EXPECT_EQ(RunConvert(c.in, folder_.File("o.bmp"), error), 1);
    EXPECT_EQ(error, c.in + c.says);
    EXPECT_EQ(RunThumbnail(c.in, folder_.File("o.png"), "64", error), 1);
    EXPECT_EQ(error, c.in + c.says);
  }
}

TEST_F(ConvertTest, APictureCutShortIsConvertedWithOneWarningLine) {
  BmpBuilder cut;
  cut.width = 8;
  cut.height = 8;
  cut.table = {{1, 2, 3}, {200, 100, 50}};
  cut.pixels.assign(8 * 3, 1);  // three rows of eight
  const std::string in = Write("cut.bmp", cut.Build());
  std::string error;
  std::vector<std::string> warnings;
  ASSERT_EQ(RunConvert(in, folder_.File("o.bmp"), error, &warnings), 0) << error;
  EXPECT_EQ(warnings, (std::vector<std::string>{in + ": " + kDataEndedText}));
  warnings.clear();
  cut.pixels.assign(8 * 8, 1);
  ASSERT_EQ(RunConvert(Write("whole.bmp", cut.Build()), folder_.File("o.bmp"), error, &warnings), 0) << error;
  EXPECT_TRUE(warnings.empty());
}

// Refuses the writes the seam names.
class RefusingFileSystem : public FileSystem {
 public:
  int error = 0;
  int Open(const char* path, int flags, mode_t mode) override {
    if (CreatesTemporary(flags)) {
      errno = error;
      return -1;
    }
    return FileSystem::Open(path, flags, mode);
  }
};

TEST_F(ConvertTest, AFailedWriteNamesTheSystemsReasonAndOnlyWritableFormatsAreAccepted) {
  BmpBuilder good;
  good.width = 4;
  good.table = {{1, 2, 3}};
  good.pixels = {0, 0, 0, 0};
  const std::string in = Write("good.bmp", good.Build());
  std::string error;
  for (const int refusal : {ENOSPC, EROFS, EACCES}) {
    RefusingFileSystem refusing;
    refusing.error = refusal;
    ScopedFileSystem use(refusing);
    const std::string out = folder_.File("new.bmp");
    EXPECT_EQ(RunConvert(in, out, error), 1);
    EXPECT_EQ(error, out + ": cannot be written: " + std::strerror(refusal));
  }
  for (const char* name : {"o.txt", "o.gif", "o", "dotted.folder/o"}) {
    EXPECT_EQ(RunConvert(in, folder_.File(name), error), 1) << name;
    EXPECT_NE(error.find("supported extensions: .BMP .MAG .JPG .JPEG .ICO .PNG"), std::string::npos) << error;
    EXPECT_FALSE(std::filesystem::exists(folder_.File(name)));
  }
  for (const char* name : {"o.Bmp", "o.mag", "o.JPEG", "o.jpg"})
    EXPECT_EQ(RunConvert(in, folder_.File(name), error), 0) << name;
}

}  // namespace
}  // namespace zudizar

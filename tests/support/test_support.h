// Shared helpers for the tests: temporary folders, corpus paths, images
// written as small grids.
#pragma once

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <optional>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "base/file_io.h"
#include "base/settings.h"
#include "core/indexed_image.h"
#include "core/shared_palette.h"

namespace zudizar::testing {

// A fresh temporary folder, removed at the end of the test.
class TempFolder {
 public:
  TempFolder() {
    std::random_device device;
    path_ = std::filesystem::temp_directory_path() /
            ("zudizar-test-" + std::to_string(device()) + "-" + std::to_string(device()));
    std::filesystem::create_directories(path_);
  }
  ~TempFolder() {
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
  }
  TempFolder(const TempFolder&) = delete;
  TempFolder& operator=(const TempFolder&) = delete;

  const std::filesystem::path& Path() const { return path_; }
  // A UTF-8 path of a file inside the folder.
  std::string File(const std::string& name) const { return (path_ / std::filesystem::u8path(name)).string(); }

 private:
  std::filesystem::path path_;
};

// A whole file's bytes as a string ("" when unreadable).
inline std::string Slurp(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream s;
  s << in.rdbuf();
  return s.str();
}

inline std::filesystem::path CorpusDir() {
  if (const char* env = std::getenv("ZUDIZAR_CORPUS")) return env;
  return ZUDIZAR_CORPUS_DIR;
}

// Skips the current test when the corpus folder is absent.
#define ZUDIZAR_REQUIRE_CORPUS(sub)                                        \
  do {                                                                     \
    if (!std::filesystem::exists(::zudizar::testing::CorpusDir() / (sub))) \
      GTEST_SKIP() << "corpus folder " << (sub) << " is absent";           \
  } while (0)

// Builds an image from rows of pixel values, top row first.
inline void MakeImage(IndexedImage& image, const std::vector<std::vector<int>>& rows) {
  const int h = static_cast<int>(rows.size());
  const int w = h ? static_cast<int>(rows[0].size()) : 0;
  ASSERT_EQ(CreateImage(w, h, image), 1);
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) image.At(x, y) = static_cast<std::uint8_t>(rows[y][x]);
}

// The picture as rows of values, top row first, for comparison with a grid.
inline std::vector<std::vector<int>> Pixels(const IndexedImage& image) {
  std::vector<std::vector<int>> rows(image.ImageHeight(), std::vector<int>(image.ImageWidth()));
  for (int y = 0; y < image.ImageHeight(); ++y)
    for (int x = 0; x < image.ImageWidth(); ++x) rows[y][x] = image.At(x, y);
  return rows;
}

// Restores the shared palette to its start state for each test.
class PaletteReset : public ::testing::Test {
 protected:
  void SetUp() override {
    SetCurrentTable(DefaultPalette);
    SharedPalette.pending = DefaultPalette;
    SharedPalette.screenReservedEntries = 0;
    RealizeSharedPalette();
  }
};

// A picture decoded by ImageMagick into 8-bit RGB, as the reference for a
// codec test; nothing when ImageMagick is not installed or cannot read it.
inline std::optional<std::vector<std::uint8_t>> ConvertToRgb(const std::string& picture,
                                                             const std::string& options = "") {
  if (std::system("command -v convert >/dev/null 2>&1") != 0) return std::nullopt;
  const std::string command = "convert '" + picture + "' " + options + " -depth 8 rgb:- 2>/dev/null";
  std::FILE* pipe = popen(command.c_str(), "r");
  if (!pipe) return std::nullopt;
  std::vector<std::uint8_t> rgb;
  std::uint8_t buffer[65536];
  for (std::size_t n; (n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0;) rgb.insert(rgb.end(), buffer, buffer + n);
  if (pclose(pipe) != 0) return std::nullopt;
  return rgb;
}

// A fresh program folder with the settings file in it, and the start palette.
class ProgramFolderTest : public PaletteReset {
 protected:
  void SetUp() override {
    PaletteReset::SetUp();
    SetProgramFile(folder_.File("zudizar"));
    FixSettingsLocation();
  }
  // Writes a file into the folder and returns its path.
  std::string Write(const std::string& name, const std::vector<std::uint8_t>& bytes) {
    const std::string path = folder_.File(name);
    EXPECT_TRUE(WriteFileSafely(path, bytes));
    return path;
  }
  TempFolder folder_;
};

}  // namespace zudizar::testing

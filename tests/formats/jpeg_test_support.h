// Helpers shared by the JPEG tests: a sink that keeps the true colours the
// decoder produces, recorders for trace records and progress, PPM files and
// the peer tools djpeg and cjpeg.
#pragma once

#include <gtest/gtest.h>

#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <utility>
#include <vector>

#include "core/indexed_image.h"
#include "core/shared_palette.h"
#include "formats/jpeg/jpeg.h"
#include "formats/jpeg/jpeg_decoder.h"
#include "formats/progress.h"

namespace zudizar::testing {

struct RgbImage {
  int width = 0;
  int height = 0;
  std::vector<std::uint8_t> rgb;  // row by row, top first
  const std::uint8_t* At(int x, int y) const { return &rgb[(static_cast<std::size_t>(y) * width + x) * 3]; }
  std::uint8_t* At(int x, int y) { return &rgb[(static_cast<std::size_t>(y) * width + x) * 3]; }
};

// Keeps what the full pass decodes (and, separately, the preview colours).
class TrueColourSink : public jpeg::PixelSink {
 public:
  bool StartImage(int width, int height) override {
    ++scans;
    image = {width, height, std::vector<std::uint8_t>(static_cast<std::size_t>(width) * height * 3)};
    preview = image;
    return true;
  }
  void PreviewBlock(int x, int y, int width, int height, jpeg::Rgb colour) override {
    ++previewBlocks;
    for (int j = 0; j < height; ++j)
      for (int i = 0; i < width; ++i) {
        std::uint8_t* p = preview.At(x + i, y + j);
        p[0] = colour.red, p[1] = colour.green, p[2] = colour.blue;
      }
  }
  void Block(int x, int y, int width, int height, const jpeg::BlockPixels& pixels) override {
    ++fullBlocks;
    for (int j = 0; j < height; ++j)
      for (int i = 0; i < width; ++i) {
        std::uint8_t* p = image.At(x + i, y + j);
        p[0] = pixels.red[8 * j + i], p[1] = pixels.green[8 * j + i], p[2] = pixels.blue[8 * j + i];
      }
  }

  RgbImage image;
  RgbImage preview;
  int scans = 0;
  int previewBlocks = 0;
  int fullBlocks = 0;
};

struct TraceEntry {
  int number;
  std::string text;
  bool operator==(const TraceEntry&) const = default;
};

struct ProgressRecorder : ProgressSink {
  std::vector<std::pair<int, int>> calls;  // percent, phase
  void FileProgress(int percent, int phase) override { calls.emplace_back(percent, phase); }
};

struct Decoded {
  TrueColourSink sink;
  std::vector<TraceEntry> traces;
  ProgressRecorder progress;
  int Count(int number) const {
    int n = 0;
    for (const auto& t : traces) n += t.number == number;
    return n;
  }
};

inline void DecodeBytes(const std::vector<std::uint8_t>& bytes, Decoded& out,
                        std::int64_t maxPixels = std::int64_t{1} << 28) {
  jpeg::DecodeOptions options;
  options.trace = [&out](int number, const std::string& text) { out.traces.push_back({number, text}); };
  options.maxPixels = maxPixels;
  jpeg::Decode(bytes, out.sink, &out.progress, options);
}

inline std::vector<std::uint8_t> ReadBytes(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), {}};
}

inline void WriteBytes(const std::filesystem::path& path, const std::vector<std::uint8_t>& bytes) {
  std::ofstream out(path, std::ios::binary);
  out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

// Binary PPM (P6) or PGM (P5, expanded to equal red, green and blue).
inline bool ParsePpm(const std::vector<std::uint8_t>& bytes, RgbImage& image) {
  // "P6 w h 255" followed by one whitespace byte and the samples.
  std::size_t pos = 0;
  auto token = [&]() {
    while (pos < bytes.size() && (std::isspace(bytes[pos]) || bytes[pos] == '#')) {
      if (bytes[pos] == '#')
        while (pos < bytes.size() && bytes[pos] != '\n') ++pos;
      else
        ++pos;
    }
    std::string t;
    while (pos < bytes.size() && !std::isspace(bytes[pos])) t += static_cast<char>(bytes[pos++]);
    return t;
  };
  const std::string magic = token();
  if (magic != "P6" && magic != "P5") return false;
  const int channels = magic == "P6" ? 3 : 1;
  image.width = std::stoi(token());
  image.height = std::stoi(token());
  if (token() != "255") return false;
  ++pos;
  const std::size_t pixels = static_cast<std::size_t>(image.width) * image.height;
  if (bytes.size() < pos + pixels * channels) return false;
  image.rgb.resize(pixels * 3);
  for (std::size_t i = 0; i < pixels * 3; ++i) image.rgb[i] = bytes[pos + (channels == 3 ? i : i / 3)];
  return true;
}

inline std::vector<std::uint8_t> PpmBytes(const RgbImage& image) {
  const std::string header = "P6\n" + std::to_string(image.width) + " " + std::to_string(image.height) + "\n255\n";
  std::vector<std::uint8_t> bytes(header.begin(), header.end());
  bytes.insert(bytes.end(), image.rgb.begin(), image.rgb.end());
  return bytes;
}

inline bool ToolAvailable(const std::string& tool) {
  return std::system(("command -v " + tool + " >/dev/null 2>&1").c_str()) == 0;
}

// Runs a shell command; returns its exit status and collects its stderr.
inline int RunCommand(const std::string& command, std::string* errors = nullptr) {
  const std::filesystem::path errorFile =
      std::filesystem::temp_directory_path() / ("zudizar-cmd-" + std::to_string(::getpid()) + ".err");
  const int status = std::system((command + " 2>" + errorFile.string()).c_str());
  if (errors) {
    const auto bytes = ReadBytes(errorFile);
    errors->assign(bytes.begin(), bytes.end());
  }
  std::filesystem::remove(errorFile);
  return status;
}

// Greatest and mean absolute channel difference over the top-left
// width x height of two pictures, and the PSNR.
struct Difference {
  int maximum = 0;
  double mean = 0;
  double psnr = 0;
  double within3 = 0;  // share of channel values that differ by 3 or less
};

inline Difference Compare(const RgbImage& a, const RgbImage& b, int width, int height) {
  Difference d;
  double sum = 0, squares = 0, close = 0;
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x)
      for (int c = 0; c < 3; ++c) {
        const int e = std::abs(a.At(x, y)[c] - b.At(x, y)[c]);
        d.maximum = std::max(d.maximum, e);
        sum += e;
        close += e <= 3;
        squares += static_cast<double>(e) * e;
      }
  const double n = 3.0 * width * height;
  d.mean = n > 0 ? sum / n : 0;
  d.within3 = n > 0 ? close / n : 1;
  d.psnr = squares == 0 ? 99.0 : 10 * std::log10(255.0 * 255.0 / (squares / n));
  return d;
}

// A picture with smooth changes and a few edges, on the default palette.
inline void MakeTestPicture(IndexedImage& image, int width, int height) {
  ASSERT_EQ(CreateImage(width, height, image), 1);
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x)
      image.At(x, y) = static_cast<std::uint8_t>(x < width / 3    ? 10 + (x * 7 + y * 3) % 60
                                                 : y < height / 2 ? 100 + (x + 2 * y) % 40
                                                                  : 200 + (x / 4) % 40);
}

inline std::vector<std::uint8_t> EncodedTestPicture(int width, int height) {
  IndexedImage image;
  MakeTestPicture(image, width, height);
  return EncodeJpeg(image, DefaultPalette);
}

// A marker segment before the scan data: `at` is the offset of its 0xFF,
// `size` counts the marker, the length field and the payload.
struct Segment {
  int code;
  std::size_t at;
  std::size_t size;
};

inline std::vector<Segment> HeaderSegments(const std::vector<std::uint8_t>& bytes) {
  std::vector<Segment> segments{{0xD8, 0, 2}};
  std::size_t at = 2;
  while (at + 4 <= bytes.size() && bytes[at] == 0xFF) {
    const int code = bytes[at + 1];
    const std::size_t size = 2 + (std::size_t{bytes[at + 2]} << 8 | bytes[at + 3]);
    segments.push_back({code, at, size});
    if (code == 0xDA) break;
    at += size;
  }
  return segments;
}

inline Segment FindSegment(const std::vector<std::uint8_t>& bytes, int code, int nth = 0) {
  for (const Segment& s : HeaderSegments(bytes))
    if (s.code == code && nth-- == 0) return s;
  ADD_FAILURE() << "no segment " << code;
  return {0, 0, 0};
}

}  // namespace zudizar::testing

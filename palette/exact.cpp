#include "palette/exact.h"

#include <algorithm>
#include <array>
#include <new>

#include "core/colour_histogram.h"
#include "formats/bmp.h"
#include "formats/file_report.h"
#include "formats/icon.h"
#include "formats/jpeg/jpeg_colours.h"
#include "formats/mag.h"
#include "formats/png.h"
#include "formats/reduce.h"
#include "palette/quantise.h"

namespace zudizar {
namespace {

// A true-colour picture as three planes, top row first, on its way to 256
// colours of its own.
struct Planes {
  int width = 0, height = 0;
  std::vector<std::uint8_t> red, green, blue;
  void Make(int w, int h) {
    width = w;
    height = h;
    const std::size_t n = static_cast<std::size_t>(w) * static_cast<std::size_t>(h);
    red.assign(n, 0);
    green.assign(n, 0);
    blue.assign(n, 0);
  }
  void Set(std::size_t i, std::uint8_t r, std::uint8_t g, std::uint8_t b) {
    red[i] = r;
    green[i] = g;
    blue[i] = b;
  }
};

// The colours a picture's histogram asks for: its own when they fit in 256,
// else 256 chosen to represent it.
PaletteTable ChooseTable(const ColourHistogram& histogram, ExactSource& source) {
  PaletteTable table{};
  if (histogram.Exact()) {
    auto colours = histogram.ExactColours();
    source.colours = colours.size();
    if (colours.size() <= 256) {
      // Most used first, so that a picture's main colours come first in its table.
      std::sort(colours.begin(), colours.end(), [](const auto& a, const auto& b) {
        return a.second != b.second ? a.second > b.second : a.first < b.first;
      });
      for (std::size_t i = 0; i < colours.size(); ++i) {
        const std::uint32_t c = colours[i].first;
        table[i] = {static_cast<std::uint8_t>(c >> 16), static_cast<std::uint8_t>(c >> 8), static_cast<std::uint8_t>(c),
                    0};
      }
      // The unused entries repeat the first colour, so nothing maps to them.
      for (std::size_t i = colours.size(); i < 256 && !colours.empty(); ++i) table[i] = table[0];
      return table;
    }
  } else {
    source.colours = ColourHistogram::kExactColours;
    source.colourCountExact = false;
  }
  const std::vector<PaletteEntry> chosen = ChooseRepresentativeColours(histogram, 256, {});
  for (std::size_t i = 0; i < chosen.size() && i < 256; ++i)
    table[i] = {chosen[i].red, chosen[i].green, chosen[i].blue, 0};
  for (std::size_t i = chosen.size(); i < 256 && !chosen.empty(); ++i) table[i] = table[0];
  return table;
}

bool MapPlanes(const Planes& planes, const PaletteTable& table, IndexedImage& image) {
  if (!CreateImage(planes.width, planes.height, image)) return false;
  NearestColourMap map(table);
  for (int i = 0; i < 256; ++i) image.colourTable[i] = {table[i].blue, table[i].green, table[i].red, 0};
  const std::size_t w = static_cast<std::size_t>(planes.width);
  for (int y = 0; y < planes.height; ++y) {
    const std::size_t at = static_cast<std::size_t>(y) * w;
    map.NearestMany(planes.red.data() + at, planes.green.data() + at, planes.blue.data() + at, planes.width,
                    image.Row(y));
  }
  return true;
}

bool FromPlanes(const Planes& planes, IndexedImage& image, ExactSource& source) {
  ColourHistogram histogram;
  histogram.AddPlanes(planes.red.data(), planes.green.data(), planes.blue.data(), planes.red.size());
  return MapPlanes(planes, ChooseTable(histogram, source), image);
}

// Counts the distinct colours an indexed picture's pixels show.
std::uint64_t ColoursShown(const IndexedImage& image) {
  std::array<bool, 256> used{};
  for (const std::uint8_t p : image.pixels) used[p] = true;
  std::vector<std::uint32_t> colours;
  for (int i = 0; i < 256; ++i)
    if (used[i]) {
      const ColourTableEntry& e = image.colourTable[i];
      colours.push_back(std::uint32_t{e.red} << 16 | std::uint32_t{e.green} << 8 | e.blue);
    }
  std::sort(colours.begin(), colours.end());
  return static_cast<std::uint64_t>(std::unique(colours.begin(), colours.end()) - colours.begin());
}

class ExactBmpSink : public BmpPixelSink {
 public:
  bool Begin(const BmpPicture& picture) override {
    picture_ = picture;
    if (picture.palettised) {
      if (!CreateImage(picture.width, picture.height, indexed)) return false;
      indexed.colourTable = picture.table;
      for (auto& e : indexed.colourTable) e.reserved = 0;
    } else {
      planes.Make(picture.width, picture.height);
    }
    return true;
  }
  void Indices(std::vector<std::uint8_t>& block) override {
    // Rows bottom-up, width bytes each: the picture's own layout.
    std::copy_n(block.begin(), std::min(block.size(), indexed.pixels.size()), indexed.pixels.begin());
  }
  void ColourRow(int y, const std::uint8_t* bgr, int) override {
    const std::size_t at = static_cast<std::size_t>(picture_.height - 1 - y) * static_cast<std::size_t>(picture_.width);
    for (int x = 0; x < picture_.width; ++x) planes.Set(at + x, bgr[3 * x + 2], bgr[3 * x + 1], bgr[3 * x]);
  }
  void DataEnded() override { ended = true; }

  bool Palettised() const { return picture_.palettised; }
  IndexedImage indexed;
  Planes planes;
  bool ended = false;

 private:
  BmpPicture picture_;
};

bool OpenBmp(const OpenedPicture& opened, IndexedImage& image, std::string& reason, bool& ended, ExactSource& source) {
  ExactBmpSink sink;
  if (!DecodeBmp(opened.bytes, sink, reason)) return false;
  ended = sink.ended;
  if (sink.Palettised()) {
    image = std::move(sink.indexed);
    source.indexed = true;
    return true;
  }
  return FromPlanes(sink.planes, image, source);
}

bool OpenPng(const OpenedPicture& opened, IndexedImage& image, std::string& reason, bool& ended, ExactSource& source) {
  PngPicture picture;
  if (!DecodePng(opened.bytes, picture, reason)) return false;
  ended = picture.ended;
  if (picture.palettised) {
    IndexedImage indexed;
    if (!CreateImage(picture.width, picture.height, indexed)) return false;
    for (int i = 0; i < 256; ++i) {
      const Rgba c = OverWhite(picture.table[i]);
      indexed.colourTable[i] = {c.blue, c.green, c.red, 0};
    }
    const std::size_t w = static_cast<std::size_t>(picture.width);
    for (int y = 0; y < picture.height; ++y)
      std::copy_n(picture.indices.begin() + static_cast<std::ptrdiff_t>(y * w), w, indexed.Row(y));
    image = std::move(indexed);
    source.indexed = true;
    return true;
  }
  Planes planes;
  planes.Make(picture.width, picture.height);
  for (std::size_t i = 0; i < planes.red.size(); ++i) {
    const std::uint8_t* p = picture.rgba.data() + 4 * i;
    const Rgba c = OverWhite({p[0], p[1], p[2], p[3]});
    planes.Set(i, c.red, c.green, c.blue);
  }
  return FromPlanes(planes, image, source);
}

bool OpenJpeg(const OpenedPicture& opened, IndexedImage& image, std::string& reason, bool& ended, ExactSource& source) {
  jpeg::Gathered gathered;
  if (!jpeg::GatherColours(opened.bytes, true, nullptr, gathered, reason)) return false;
  if (!gathered.samples) {
    reason = "the picture is too large to convert with its own colours";
    return false;
  }
  const jpeg::RgbSamples& s = *gathered.samples;
  ended = s.notes != 0;
  Planes planes;
  planes.width = s.width;
  planes.height = s.height;
  planes.red.assign(s.red, s.red + s.Count());
  planes.green.assign(s.green, s.green + s.Count());
  planes.blue.assign(s.blue, s.blue + s.Count());
  return MapPlanes(planes, ChooseTable(gathered.histogram, source), image);
}

}  // namespace

bool OpenExact(OpenedPicture& opened, IndexedImage& image, std::string& error, std::vector<std::string>* warnings,
               ExactSource* sourceOut) {
  ExactSource source;
  IndexedImage decoded;
  std::string reason;
  bool ended = false;
  bool ok = false;
  FileReport report;
  try {
    if (opened.readable) {
      switch (opened.format) {
        case PictureFormat::Mag: {
          MagDecodeOptions options;
          options.remapToShared = false;
          ok = DecodeMag(opened.bytes, decoded, options, &ended);
          source.indexed = ok;
          break;
        }
        case PictureFormat::Icon:
          ok = DecodeIcon(opened.bytes, decoded, &report, false);
          source.indexed = ok;
          if (!ok && !report.Empty()) reason = report.messages.back().text;
          break;
        case PictureFormat::Bmp: ok = OpenBmp(opened, decoded, reason, ended, source); break;
        case PictureFormat::Png: ok = OpenPng(opened, decoded, reason, ended, source); break;
        case PictureFormat::Jpeg: ok = OpenJpeg(opened, decoded, reason, ended, source); break;
      }
    }
  } catch (const std::bad_alloc&) {
    ok = false;
    reason = "not enough memory";
  }
  if (!ok || !decoded.HasPixels()) {
    error = opened.name + ": " + (reason.empty() ? std::string("cannot be read as a picture") : reason);
    for (auto& c : error)
      if (c == '\n') c = ' ';
    return false;
  }
  decoded.ownColours = true;
  if (source.indexed) source.colours = ColoursShown(decoded);
  source.width = decoded.ImageWidth();
  source.height = decoded.ImageHeight();
  if (ended && warnings) warnings->push_back(opened.name + ": " + kDataEndedText);
  image = std::move(decoded);
  if (sourceOut) *sourceOut = source;
  return true;
}

}  // namespace zudizar

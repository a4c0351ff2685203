// PNG pictures through libspng.
//
// Every PNG kind is read: grey, palette, RGB, with an alpha channel or tRNS,
// 1 to 16 bits, interlaced or not; 16-bit samples keep their high byte.
// Palette pictures keep their table (entries past PLTE are opaque black) and
// are remapped to the shared palette like an 8-bit BMP; the other kinds map
// each pixel to its nearest shared colour like a 24-bit BMP. Transparent
// pixels are composited over white first.
//
// The writer writes an 8-bit palette PNG with the full 256-entry table.
#pragma once

#include <array>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "core/indexed_image.h"
#include "core/limits.h"
#include "formats/progress.h"

namespace zudizar {

inline constexpr const char* kPngLoadFailedCaption = "PNGのﾛｰﾄﾞ失敗";

struct Rgba {
  std::uint8_t red = 0, green = 0, blue = 0, alpha = 255;
};

// What a PNG's header and palette say.
struct PngHeader {
  int width = 0;
  int height = 0;
  bool palettised = false;
  int tableEntries = 0;           // entries PLTE gave
  std::array<Rgba, 256> table{};  // palette: PLTE with tRNS alpha; the rest opaque black
};

// Takes a PNG's rows as they are decoded.
class PngRowSink {
 public:
  virtual ~PngRowSink() = default;
  // Once the first row has been decoded, before it is handed over; false
  // when the picture cannot be made, which refuses the file.
  virtual bool Start(const PngHeader& header) = 0;
  // Row y (0 at the top): of `pixels` (width entries, one index a pixel for
  // palette pictures, else 4 bytes RGBA), x0, x0 + step, ... are this row's.
  // An interlaced picture hands each row over once per pass.
  virtual void Row(int y, const std::uint8_t* pixels, int x0, int step) = 0;
};

// Decodes a PNG held in memory row by row into `sink`, with one row in
// memory at a time. False, with the reason as the program shows it, when the
// file is refused: pictures over `maxPixels` from their header, before
// anything is allocated; damaged data; data that ends before the first row.
// Data that ends after it keeps the rows decoded: true with `ended` set.
bool DecodePngRows(std::span<const std::uint8_t> bytes, PngRowSink& sink, std::string& reason, bool& ended,
                   std::int64_t maxPixels = kMaxImagePixels);

// A decoded PNG before any compositing or mapping.
struct PngPicture {
  int width = 0;
  int height = 0;
  bool palettised = false;
  int tableEntries = 0;               // entries PLTE gave
  std::array<Rgba, 256> table{};      // palette: PLTE with tRNS alpha; the rest opaque black
  std::vector<std::uint8_t> indices;  // palette: width x height, top row first
  std::vector<std::uint8_t> rgba;     // other kinds: 4 bytes a pixel, top row first
  bool ended = false;                 // the data ended early: rows it lacks are 0
};

// The whole picture at once (DecodePngRows).
bool DecodePng(std::span<const std::uint8_t> bytes, PngPicture& picture, std::string& reason,
               std::int64_t maxPixels = kMaxImagePixels);

// A colour composited over white.
inline Rgba OverWhite(Rgba c) {
  if (c.alpha == 255) return c;
  const auto mix = [a = c.alpha](int v) { return static_cast<std::uint8_t>((v * a + 255 * (255 - a) + 127) / 255); };
  return {mix(c.red), mix(c.green), mix(c.blue), 255};
}

// Decodes and brings the picture onto the shared palette, each row as it
// comes. `image` is replaced only on success. `ended`: the data ended early;
// the rows it lacks are white (a palette picture's: its first colour).
bool ReadPngBytes(std::span<const std::uint8_t> bytes, IndexedImage& image, std::string& reason,
                  std::int64_t maxPixels = kMaxImagePixels, bool* ended = nullptr);

// RGBA pixels (4 bytes a pixel, rows of the image's width, top row first)
// into `image`, already made at their size: composited over white and each
// mapped to its nearest shared colour, as a true-colour PNG is read; the
// image takes the shared table. A picture from the clipboard is mapped so too.
void MapRgbaToSharedPalette(std::span<const std::uint8_t> rgba, IndexedImage& image);

// An 8-bit palette PNG of the image with its full colour table; empty when
// the image has no pixels.
std::vector<std::uint8_t> EncodePng(const IndexedImage& image);

// An 8-bit RGB PNG of `rgb` (3 bytes a pixel, top row first); empty when
// the size is not allowed or the encoder fails. Thumbnails are true colour.
std::vector<std::uint8_t> EncodeRgbPng(std::span<const std::uint8_t> rgb, int width, int height);

struct OpenedPicture;

// Reads a PNG file into `image`. On failure the image is left as it was and
// one "PNGのﾛｰﾄﾞ失敗" message names the file and the reason; a file cut short
// opens with the note kDataEndedText.
bool ReadPngFile(const std::string& name, IndexedImage& image, FileReport* report = nullptr,
                 ProgressSink* progress = nullptr);
// The same on a file already read (ReadPictureAs).
bool ReadPngOpened(const OpenedPicture& opened, IndexedImage& image, FileReport* report);
// Writes `image` as a palette PNG; a failed write leaves an existing file as it was.
bool WritePngFile(const std::string& name, IndexedImage& image, FileReport* report = nullptr,
                  ProgressSink* progress = nullptr);

}  // namespace zudizar

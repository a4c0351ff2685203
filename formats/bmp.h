// BMP pictures.
//
// The reader takes the common variants: OS/2 1.x and 2.x, Windows 3 and V4/V5
// headers; 1, 4, 8, 16, 24 and 32 bits per pixel; RLE4, RLE8 and bit fields;
// rows bottom-up or top-down, padded to 4 bytes. It refuses, with a reason,
// what it cannot decode (embedded JPEG/PNG, Huffman, RLE24, 2 and 64 bits).
// Palettised pictures keep their table and are remapped to the shared palette;
// true-colour pixels go to their nearest shared colour one by one.
//
// The writer writes 8-bit files with the full 256-entry table and rows padded
// to 4 bytes, through a temporary file renamed over the old one.
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

inline constexpr const char* kBmpLoadFailedCaption = "ﾋﾞｯﾄﾏｯﾌﾟのﾛｰﾄﾞ失敗";
inline constexpr const char* kBmpColoursCutText = "256色以上ﾋﾞｯﾄﾏｯﾌﾟの為、256色以上をｶｯﾄしました。";

// What the header of a decodable file says.
struct BmpPicture {
  int width = 0;
  int height = 0;  // always positive
  int bitCount = 0;
  std::uint32_t compression = 0;
  std::uint32_t headerSize = 0;
  bool topDown = false;                       // the file stores the top row first
  bool palettised = false;                    // 1, 4 or 8 bits per pixel
  int tableEntries = 0;                       // entries read from the file's table
  std::array<ColourTableEntry, 256> table{};  // entries the file lacks are black
};

// Where decoded pixels go, before any reduction to the shared palette.
class BmpPixelSink {
 public:
  virtual ~BmpPixelSink() = default;
  // The header was accepted; false stops the decode (no memory).
  virtual bool Begin(const BmpPicture& picture) = 0;
  // Palettised pictures: the whole index block, rows bottom-up, width bytes
  // each; pixels the file does not provide are index 0. May be moved from.
  virtual void Indices(std::vector<std::uint8_t>& block) = 0;
  // True-colour pictures: row y (counted from the bottom) as width blue,
  // green, red triples; rows come in file order. Only the first `present`
  // pixels came from the file, the rest are black.
  virtual void ColourRow(int y, const std::uint8_t* bgr, int present) = 0;
  // After the pixels: the file's pixel data ended before the picture did.
  virtual void DataEnded() {}
};

// Parses only the headers and colour table: what DecodeBmp hands to its
// sink's Begin, without looking at the pixel data. False, with the reason,
// when the header is refused.
bool ParseBmpHeader(std::span<const std::uint8_t> bytes, BmpPicture& picture, std::string& reason,
                    std::int64_t maxPixels = kMaxImagePixels);

// Decodes a BMP file held in memory. False, with the reason as the program
// shows it, when the file is refused; pictures over `maxPixels` are refused.
bool DecodeBmp(std::span<const std::uint8_t> bytes, BmpPixelSink& sink, std::string& reason,
               std::int64_t maxPixels = kMaxImagePixels);

// Decodes and brings the picture onto the shared palette. `image` is replaced
// only on success. `ended`: the pixel data ended before the picture did.
bool ReadBmpBytes(std::span<const std::uint8_t> bytes, IndexedImage& image, std::string& reason,
                  std::int64_t maxPixels = kMaxImagePixels, bool* ended = nullptr);

// An 8-bit BMP file of the image; empty when the image has no pixels.
std::vector<std::uint8_t> EncodeBmp(const IndexedImage& image);

struct OpenedPicture;

// Reads a BMP file into `image`. On failure the image is left as it was and
// one "ﾋﾞｯﾄﾏｯﾌﾟのﾛｰﾄﾞ失敗" message names the file and the reason; a file
// whose pixel data ends early opens with the note kDataEndedText.
bool ReadBmpFile(const std::string& name, IndexedImage& image, FileReport* report = nullptr,
                 ProgressSink* progress = nullptr);
// The same on a file already read (ReadPictureAs).
bool ReadBmpOpened(const OpenedPicture& opened, IndexedImage& image, FileReport* report);
// Writes `image` as an 8-bit BMP; a failed write leaves an existing file as it was.
bool WriteBmpFile(const std::string& name, IndexedImage& image, FileReport* report = nullptr,
                  ProgressSink* progress = nullptr);

}  // namespace zudizar

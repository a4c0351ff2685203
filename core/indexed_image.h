// The one picture type: an 8-bit indexed image laid out as an 8-bit BMP in
// memory (file header, information header, 256-entry colour table, pixel
// block with rows bottom-up and no padding).
//
// Two tiers of pixel access:
//  - unchecked inline accessors (Row, At) for inner loops: the caller keeps
//    coordinates inside the image and knows the image has pixels;
//  - the checked operations declared below (and in region.h, pixel_ops.h),
//    which clamp, clip, or do nothing on an empty image, as defined.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "core/shared_palette.h"

namespace zudizar {

struct BitmapFileHeader {
  std::uint16_t bfType = 0x4D42;  // "BM"
  std::uint32_t bfSize = 1078;
  std::uint16_t bfReserved1 = 0;
  std::uint16_t bfReserved2 = 0;
  std::uint32_t bfOffBits = 1078;
};

struct BitmapInfoHeader {
  std::uint32_t biSize = 40;
  std::int32_t biWidth = 1;
  std::int32_t biHeight = 1;
  std::uint16_t biPlanes = 1;
  std::uint16_t biBitCount = 8;
  std::uint32_t biCompression = 0;
  std::uint32_t biSizeImage = 0;
  std::int32_t biXPelsPerMeter = 0;
  std::int32_t biYPelsPerMeter = 0;
  std::uint32_t biClrUsed = 0;
  std::uint32_t biClrImportant = 0;
};

struct ColourTableEntry {
  std::uint8_t blue = 0, green = 0, red = 0, reserved = 0;
  friend bool operator==(const ColourTableEntry&, const ColourTableEntry&) = default;
};

inline constexpr std::uint32_t kBmpHeaderArea = 1078;  // 14 + 40 + 1024
inline constexpr int kNoTransparent = 256;             // transparent index meaning "none"

// What a MAG file says about itself, as the file's bytes (Shift_JIS text,
// never converted), so that saving the picture as MAG writes them back
// unchanged. The area between the signature and the header is machine name
// (4 bytes), user name (18 bytes) and comment, ended by 0x1A; `gap` is
// whatever lies between that terminator and the header's first byte, kept so
// that the header stays where the file had it.
struct MagFields {
  bool present = false;  // false: not from a MAG (the writer's defaults apply)
  std::string machine;   // the machine name, 4 bytes in a whole file
  std::string user;      // the user name (the artist's signature), 18 bytes in a whole file
  std::string comment;
  std::string gap;
  std::uint8_t machineCode = 0;   // header byte 1
  std::uint8_t machineFlags = 0;  // header byte 2, machine-dependent
  friend bool operator==(const MagFields&, const MagFields&) = default;
};

struct IndexedImage {
  BitmapFileHeader fileHeader;
  BitmapInfoHeader infoHeader;
  std::array<ColourTableEntry, 256> colourTable{};
  std::uint16_t originX = 0;  // MAG picture start column, written only by the MAG reader
  std::uint16_t originY = 0;
  std::int32_t pixelBlockSize = 0;
  std::vector<std::uint8_t> pixels;  // the pixel block; empty exactly when the image is empty
  MagFields mag;                     // travels with the picture; only the MAG reader and writer use it
  // The colour table is the picture's own, not the shared palette's (an exact
  // conversion): writers then keep it as it is.
  bool ownColours = false;

  IndexedImage() = default;
  // Whole images are copied with CopyImage, never by value.
  IndexedImage(const IndexedImage&) = delete;
  IndexedImage& operator=(const IndexedImage&) = delete;
  IndexedImage(IndexedImage&&) = default;
  IndexedImage& operator=(IndexedImage&&) = default;

  int ImageWidth() const { return infoHeader.biWidth; }
  int ImageHeight() const { return infoHeader.biHeight; }
  bool HasPixels() const { return !pixels.empty(); }

  // Unchecked: row y counted from the top; the block is stored bottom-up.
  std::uint8_t* Row(int y) {
    return pixels.data() +
           static_cast<std::size_t>(infoHeader.biHeight - 1 - y) * static_cast<std::size_t>(infoHeader.biWidth);
  }
  const std::uint8_t* Row(int y) const {
    return pixels.data() +
           static_cast<std::size_t>(infoHeader.biHeight - 1 - y) * static_cast<std::size_t>(infoHeader.biWidth);
  }
  std::uint8_t& At(int x, int y) { return Row(y)[x]; }
  std::uint8_t At(int x, int y) const { return Row(y)[x]; }
};

// The fixed complement table: pairs each default colour with its complement.
extern const std::array<std::uint8_t, 256> kComplementTable;

int CreateImage(int width, int height, IndexedImage& image);
void FreeImage(IndexedImage& image);
void FillImage(IndexedImage& image, std::uint8_t index);
void InvertImageColours(IndexedImage& image);
void FillRect(IndexedImage& image, int x, int y, int width, int height, std::uint8_t index);
void RecolourRect(IndexedImage& image, int x, int y, int width, int height, std::uint8_t keepIndex,
                  std::uint8_t newIndex);
void DrawRectOutline(IndexedImage& image, int x1, int y1, int x2, int y2, std::uint8_t index);
void LoadColourTableFromShared(IndexedImage& image);
// Entries 10-245 of `table` into the image's colour table (a palette change
// reaches every buffer this way); the reserved entries stay.
void TakeFreeEntries(IndexedImage& image, const PaletteTable& table);
int CopyImage(IndexedImage& destination, const IndexedImage& source, int transparent);

// Allocates a zero-filled pixel block of `bytes` bytes for a reader that fills
// headers itself; returns false (image left empty) when it cannot.
bool AllocatePixelBlock(IndexedImage& image, std::size_t bytes);

}  // namespace zudizar

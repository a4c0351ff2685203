#include "core/indexed_image.h"

#include <algorithm>
#include <cstring>
#include <new>

#include "core/limits.h"
#include "core/region.h"

namespace zudizar {

// clang-format off
const std::array<std::uint8_t, 256> kComplementTable = {
    0xff, 0x06, 0x05, 0x04, 0x03, 0x02, 0x01, 0xe9, 0x14, 0x0d, 0xf6, 0xf5, 0xf4, 0x09, 0xf3, 0xf2,
    0xf1, 0xf0, 0xf7, 0xef, 0x08, 0xee, 0xf8, 0x1c, 0x1b, 0x1a, 0x19, 0x18, 0x17, 0xe2, 0xe1, 0xe8,
    0xdf, 0xde, 0xdd, 0xdc, 0xdb, 0xda, 0xd9, 0xd8, 0xd7, 0xd6, 0xd5, 0xd4, 0xd3, 0xe7, 0xd1, 0xd0,
    0xe6, 0xce, 0xcd, 0xcc, 0xcb, 0xca, 0xc9, 0xc8, 0x3b, 0xc6, 0xc5, 0x38, 0xc3, 0xc2, 0xc1, 0xe0,
    0xbf, 0xbe, 0xbd, 0xbc, 0xbb, 0xba, 0xb9, 0xb8, 0xb7, 0xb6, 0xb5, 0xb4, 0xb3, 0xb2, 0xd2, 0xb0,
    0xaf, 0xcf, 0xad, 0xac, 0xab, 0xaa, 0xa9, 0xa8, 0xa7, 0xc7, 0xa5, 0xa4, 0xa3, 0xc4, 0xa1, 0xa0,
    0x9f, 0x9e, 0xc0, 0x9c, 0x9b, 0x9a, 0x99, 0x98, 0x9d, 0x96, 0x95, 0x94, 0x93, 0x92, 0x91, 0x90,
    0xb1, 0x8e, 0x8d, 0xae, 0x8b, 0x8a, 0x8f, 0x88, 0x8c, 0x86, 0xa6, 0x89, 0x84, 0x87, 0xa2, 0x80,
    0x7f, 0xe3, 0x97, 0xe4, 0x7c, 0xe5, 0x79, 0x7d, 0x77, 0x7b, 0x75, 0x74, 0x78, 0x72, 0x71, 0x76,
    0x6f, 0x6e, 0x6d, 0x6c, 0x6b, 0x6a, 0x69, 0x82, 0x67, 0x66, 0x65, 0x64, 0x63, 0x68, 0x61, 0x60,
    0x5f, 0x5e, 0x7e, 0x5c, 0x5b, 0x5a, 0x7a, 0x58, 0x57, 0x56, 0x55, 0x54, 0x53, 0x52, 0x73, 0x50,
    0x4f, 0x70, 0x4d, 0x4c, 0x4b, 0x4a, 0x49, 0x48, 0x47, 0x46, 0x45, 0x44, 0x43, 0x42, 0x41, 0x40,
    0x62, 0x3e, 0x3d, 0x3c, 0x5d, 0x3a, 0x39, 0x59, 0x37, 0x36, 0x35, 0x34, 0x33, 0x32, 0x31, 0x51,
    0x2f, 0x2e, 0x4e, 0x2c, 0x2b, 0x2a, 0x29, 0x28, 0x27, 0x26, 0x25, 0x24, 0x23, 0x22, 0x21, 0x20,
    0x3f, 0x1e, 0x1d, 0x81, 0x83, 0x85, 0x30, 0x2d, 0x1f, 0x07, 0xed, 0xec, 0xeb, 0xea, 0x15, 0x13,
    0x11, 0x10, 0x0f, 0x0e, 0x0c, 0x0b, 0x0a, 0x12, 0x16, 0xfe, 0xfd, 0xfc, 0xfb, 0xfa, 0xf9, 0x00,};
// clang-format on

namespace {

struct ClippedRect {
  int left, right, top, bottom;
  bool Empty() const { return right < left || bottom < top; }
};

// The defined rectangle clipping: a rectangle wholly right of the image still
// touches its last column, one wholly above touches its top row.
ClippedRect ClipRect(const IndexedImage& image, int x, int y, int width, int height) {
  const int w = image.ImageWidth();
  const int h = image.ImageHeight();
  ClippedRect r;
  r.left = std::clamp(x, 0, w - 1);
  const long long right = static_cast<long long>(x) + width - 1;
  r.right = static_cast<int>(std::min<long long>(right, w - 1));
  r.top = std::max(y, 0);
  const long long bottom = static_cast<long long>(y) + height - 1;
  r.bottom = static_cast<int>(std::clamp<long long>(bottom, 0, h - 1));
  return r;
}

}  // namespace

bool AllocatePixelBlock(IndexedImage& image, std::size_t bytes) {
  image.pixels.clear();
  image.pixels.shrink_to_fit();
  if (bytes == 0 || bytes > static_cast<std::size_t>(INT32_MAX)) return false;
  try {
    image.pixels.assign(bytes, 0);
  } catch (const std::bad_alloc&) {
    image.pixels.clear();
    return false;
  }
  image.pixelBlockSize = static_cast<std::int32_t>(bytes);
  return true;
}

int CreateImage(int width, int height, IndexedImage& image) {
  FreeImage(image);
  image.fileHeader = BitmapFileHeader{};
  image.infoHeader = BitmapInfoHeader{};
  if (!ImageSizeAllowed(width, height)) return 0;
  const auto size = static_cast<std::uint32_t>(width) * static_cast<std::uint32_t>(height);
  image.fileHeader.bfSize += size;
  image.infoHeader.biWidth = width;
  image.infoHeader.biHeight = height;
  image.infoHeader.biSizeImage = size;
  image.pixelBlockSize = static_cast<std::int32_t>(size);
  if (!AllocatePixelBlock(image, size)) return 0;
  LoadColourTableFromShared(image);
  return 1;
}

void FreeImage(IndexedImage& image) {
  if (!image.HasPixels()) return;
  std::vector<std::uint8_t>().swap(image.pixels);
}

void FillImage(IndexedImage& image, std::uint8_t index) {
  if (!image.HasPixels()) return;
  std::memset(image.pixels.data(), index, static_cast<std::size_t>(image.pixelBlockSize));
}

void InvertImageColours(IndexedImage& image) {
  if (!image.HasPixels()) return;
  std::uint8_t* p = image.pixels.data();
  const std::size_t n = static_cast<std::size_t>(image.pixelBlockSize);
  for (std::size_t i = 0; i < n; ++i) p[i] = kComplementTable[p[i]];
}

void FillRect(IndexedImage& image, int x, int y, int width, int height, std::uint8_t index) {
  if (!image.HasPixels()) return;
  const ClippedRect r = ClipRect(image, x, y, width, height);
  if (r.Empty()) return;
  for (int row = r.top; row <= r.bottom; ++row)
    std::memset(image.Row(row) + r.left, index, static_cast<std::size_t>(r.right - r.left + 1));
}

void RecolourRect(IndexedImage& image, int x, int y, int width, int height, std::uint8_t keepIndex,
                  std::uint8_t newIndex) {
  if (!image.HasPixels()) return;
  const ClippedRect r = ClipRect(image, x, y, width, height);
  if (r.Empty()) return;
  for (int row = r.top; row <= r.bottom; ++row) {
    std::uint8_t* line = image.Row(row);
    for (int col = r.left; col <= r.right; ++col)
      if (line[col] != keepIndex) line[col] = newIndex;
  }
}

void DrawRectOutline(IndexedImage& image, int x1, int y1, int x2, int y2, std::uint8_t index) {
  if (!image.HasPixels()) return;
  const int w = image.ImageWidth();
  const int h = image.ImageHeight();
  const int top = std::clamp(std::min(y1, y2), 0, h - 1);
  const int bottom = std::clamp(std::max(y1, y2), 0, h - 1);
  const int left = std::clamp(std::min(x1, x2), 0, w - 1);
  const int right = std::clamp(std::max(x1, x2), 0, w - 1);
  std::uint8_t* line = image.Row(bottom);
  for (int col = left; col <= right; ++col) line[col] = index;
  for (int row = bottom - 1; row > top; --row) {
    line = image.Row(row);
    line[left] = index;
    line[right] = index;
  }
  line = image.Row(top);
  for (int col = left; col <= right; ++col) line[col] = index;
}

void LoadColourTableFromShared(IndexedImage& image) {
  const PaletteTable snapshot = SharedPalette.current;
  for (int i = 0; i < 256; ++i) image.colourTable[i] = {snapshot[i].blue, snapshot[i].green, snapshot[i].red, 0};
}

void TakeFreeEntries(IndexedImage& image, const PaletteTable& table) {
  for (int i = kFirstFreeEntry; i <= kLastFreeEntry; ++i)
    image.colourTable[i] = {table[i].blue, table[i].green, table[i].red, 0};
}

int CopyImage(IndexedImage& destination, const IndexedImage& source, int transparent) {
  if (!destination.HasPixels() || !source.HasPixels()) return 0;
  if (destination.ImageWidth() == source.ImageWidth() && destination.ImageHeight() == source.ImageHeight()) {
    const std::size_t n = std::min<std::size_t>(
        {static_cast<std::size_t>(destination.pixelBlockSize), destination.pixels.size(), source.pixels.size()});
    std::memcpy(destination.pixels.data(), source.pixels.data(), n);
    return 1;
  }
  const int w = std::min(destination.ImageWidth(), source.ImageWidth());
  const int h = std::min(destination.ImageHeight(), source.ImageHeight());
  return CopyRegion(destination, 0, 0, source, 0, 0, w, h, transparent);
}

}  // namespace zudizar

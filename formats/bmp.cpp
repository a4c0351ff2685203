#include "formats/bmp.h"

#include <algorithm>
#include <cstring>
#include <new>

#include "base/byte_reader.h"
#include "base/file_io.h"
#include "base/large_buffer.h"
#include "formats/opened_picture.h"
#include "formats/reduce.h"

namespace zudizar {
namespace {

// Reasons shown under the file name in the failure box.
constexpr const char* kCannotRead = "ﾌｧｲﾙを読み込めません。";
constexpr const char* kNotBitmap = "ﾋﾞｯﾄﾏｯﾌﾟﾌｧｲﾙではありません。";
constexpr const char* kBadHeader = "ﾍｯﾀﾞｰが壊れているか、対応していない形式です。";
constexpr const char* kBadBitCount = "対応していないﾋﾞｯﾄ数です。";
constexpr const char* kBadCompression = "対応していない圧縮形式です。";
constexpr const char* kBadSize = "画像の大きさが不正です。";
constexpr const char* kTooLarge = "画像が大きすぎます。";
constexpr const char* kBadTable = "ｶﾗｰﾃｰﾌﾞﾙが不正です。";
constexpr const char* kNoPixels = "画素ﾃﾞｰﾀがありません。";
constexpr const char* kNoMemory = "ﾒﾓﾘｰが足りません。";

constexpr std::uint32_t kBiRgb = 0, kBiRle8 = 1, kBiRle4 = 2, kBiBitFields = 3;

std::string WithNumber(const char* text, const char* label, long long value) {
  return std::string(text) + "(" + label + std::to_string(value) + ")";
}

// One colour channel of a 16- or 32-bit pixel. Fields narrower than 8 bits
// are widened by repeating their bits, so a full field gives 255; wider
// fields keep their top 8 bits.
struct Field {
  std::uint32_t mask = 0;
  int shift = 0;
  int bits = 0;
  std::uint8_t widen[256] = {};

  explicit Field(std::uint32_t m) : mask(m) {
    if (mask == 0) return;
    while (!((mask >> shift) & 1)) ++shift;
    bits = 32 - shift - __builtin_clz(mask);
    if (bits > 8) return;
    for (std::uint32_t v = 0; v < (1u << bits); ++v) {
      std::uint32_t wide = 0;
      int filled = 0;
      while (filled < 8) {
        wide = (wide << bits) | v;
        filled += bits;
      }
      widen[v] = static_cast<std::uint8_t>(wide >> (filled - 8));
    }
  }
  std::uint8_t Get(std::uint32_t pixel) const {
    const std::uint32_t v = (pixel & mask) >> shift;
    return bits <= 8 ? widen[v] : static_cast<std::uint8_t>(v >> (bits - 8));
  }
};

struct Layout {
  BmpPicture picture;
  std::uint32_t offBits = 0;
  std::uint64_t stride = 0;
  std::uint32_t masks[3] = {};  // red, green, blue
};

bool IsKnownHeaderSize(std::uint32_t size) {
  switch (size) {
    case 12:
    case 16:
    case 40:
    case 52:
    case 56:
    case 64:
    case 108:
    case 124: return true;
    default: return false;
  }
}

bool ParseHeader(std::span<const std::uint8_t> bytes, std::int64_t maxPixels, Layout& layout, std::string& reason) {
  if (bytes.size() < 18 || bytes[0] != 'B' || bytes[1] != 'M') {
    reason = kNotBitmap;
    return false;
  }
  ByteReader in(bytes, 10);
  layout.offBits = in.u32le();
  const std::uint32_t headerSize = in.u32le();
  if (!IsKnownHeaderSize(headerSize) || bytes.size() < 14 + std::uint64_t{headerSize}) {
    reason = WithNumber(kBadHeader, "ﾍｯﾀﾞｰ長 ", headerSize);
    return false;
  }
  BmpPicture& p = layout.picture;
  p.headerSize = headerSize;
  std::int64_t width = 0, height = 0;
  std::uint32_t clrUsed = 0;
  if (headerSize == 12) {
    width = in.u16le();
    height = in.u16le();
    in.u16le();  // planes
    p.bitCount = in.u16le();
  } else {
    width = in.i32le();
    height = in.i32le();
    in.u16le();  // planes: never trusted
    p.bitCount = in.u16le();
    if (headerSize >= 40) {
      p.compression = in.u32le();
      in.Skip(12);  // image size and density: never trusted
      clrUsed = in.u32le();
    }
  }

  switch (p.bitCount) {
    case 1:
    case 4:
    case 8:
    case 16:
    case 24:
    case 32: break;
    default: reason = std::string(kBadBitCount) + "(" + std::to_string(p.bitCount) + "ﾋﾞｯﾄ)"; return false;
  }
  p.palettised = p.bitCount <= 8;

  // Compression codes 3 and 4 mean Huffman 1D and RLE24 under the OS/2 2.x
  // header; neither is decoded.
  const std::uint32_t c = p.compression;
  const bool os2v2 = headerSize == 64;
  const bool accepted = c == kBiRgb || (c == kBiRle8 && p.bitCount == 8) || (c == kBiRle4 && p.bitCount == 4) ||
                        (c == kBiBitFields && !os2v2 && (p.bitCount == 16 || p.bitCount == 32));
  if (!accepted) {
    reason = WithNumber(kBadCompression, "圧縮 ", c);
    return false;
  }

  if (width < 1 || height == 0) {
    reason = std::string(kBadSize) + "(" + std::to_string(width) + " x " + std::to_string(height) + ")";
    return false;
  }
  p.topDown = height < 0;
  if (height < 0) height = -height;
  if (!ImageSizeAllowed(width, height) || width * height > maxPixels) {
    reason = std::string(kTooLarge) + "(" + std::to_string(width) + " x " + std::to_string(height) + ")";
    return false;
  }
  p.width = static_cast<int>(width);
  p.height = static_cast<int>(height);
  layout.stride = (static_cast<std::uint64_t>(width) * p.bitCount + 31) / 32 * 4;

  // Bit-field masks follow a 40-byte header, or sit inside the longer ones.
  std::uint64_t tableStart = 14 + std::uint64_t{headerSize};
  if (c == kBiBitFields) {
    ByteReader masks(bytes, 14 + 40);
    for (auto& m : layout.masks) m = masks.u32le();
    if (masks.Truncated()) {
      reason = WithNumber(kBadHeader, "ﾍｯﾀﾞｰ長 ", headerSize);
      return false;
    }
    if (headerSize == 40) tableStart += 12;
  } else if (p.bitCount == 16) {
    layout.masks[0] = 0x7C00;
    layout.masks[1] = 0x03E0;
    layout.masks[2] = 0x001F;
  } else if (p.bitCount == 32) {
    layout.masks[0] = 0xFF0000;
    layout.masks[1] = 0x00FF00;
    layout.masks[2] = 0x0000FF;
  }

  if (layout.offBits < 14 + std::uint64_t{headerSize}) {
    reason = WithNumber(kBadHeader, "ﾍｯﾀﾞｰ長 ", headerSize);
    return false;
  }
  if (layout.offBits >= bytes.size()) {
    reason = kNoPixels;
    return false;
  }

  // The colour table of palettised pictures; true-colour files may carry one
  // of any size, which is skipped.
  if (p.palettised) {
    const std::uint64_t limit = std::uint64_t{1} << p.bitCount;
    std::uint64_t count = headerSize >= 40 && clrUsed != 0 ? clrUsed : limit;
    if (count > limit) {
      reason = WithNumber(kBadTable, "色数 ", clrUsed);
      return false;
    }
    const std::uint64_t entrySize = headerSize == 12 ? 3 : 4;
    const std::uint64_t end = std::min<std::uint64_t>(layout.offBits, bytes.size());
    const std::uint64_t fit = end > tableStart ? (end - tableStart) / entrySize : 0;
    count = std::min(count, fit);
    for (std::uint64_t i = 0; i < count; ++i) {
      const std::uint8_t* e = bytes.data() + tableStart + i * entrySize;
      p.table[i] = {e[0], e[1], e[2], 0};
    }
    p.tableEntries = static_cast<int>(count);
  }
  return true;
}

// Uncompressed 1-, 4- and 8-bit rows.
void DecodeIndexRows(std::span<const std::uint8_t> data, const Layout& layout, std::vector<std::uint8_t>& block) {
  const BmpPicture& p = layout.picture;
  const std::size_t w = static_cast<std::size_t>(p.width);
  for (int row = 0; row < p.height; ++row) {
    const std::uint64_t start = static_cast<std::uint64_t>(row) * layout.stride;
    if (start >= data.size()) break;
    const std::size_t available = static_cast<std::size_t>(std::min<std::uint64_t>(layout.stride, data.size() - start));
    const std::uint8_t* src = data.data() + start;
    const int y = p.topDown ? p.height - 1 - row : row;
    std::uint8_t* dst = block.data() + static_cast<std::size_t>(y) * w;
    if (p.bitCount == 8) {
      std::memcpy(dst, src, std::min(w, available));
    } else if (p.bitCount == 4) {
      const std::size_t n = std::min(w, available * 2);
      for (std::size_t x = 0; x < n; ++x)
        dst[x] = static_cast<std::uint8_t>((x & 1) ? src[x >> 1] & 0x0F : src[x >> 1] >> 4);
    } else {
      const std::size_t n = std::min(w, available * 8);
      for (std::size_t x = 0; x < n; ++x) dst[x] = static_cast<std::uint8_t>((src[x >> 3] >> (7 - (x & 7))) & 1);
    }
  }
}

// RLE8 and RLE4. Runs past a row end are clipped; decoding ends at
// end-of-bitmap, at the end of the data, or below the last row. Every command
// consumes input, so it always ends. True when the data ended first.
bool DecodeRle(std::span<const std::uint8_t> data, const Layout& layout, std::vector<std::uint8_t>& block) {
  const BmpPicture& p = layout.picture;
  const bool four = p.bitCount == 4;
  const int w = p.width;
  int x = 0;
  int row = 0;
  std::uint8_t* line = nullptr;
  auto selectRow = [&] {
    const int y = p.topDown ? p.height - 1 - row : row;
    line = block.data() + static_cast<std::size_t>(y) * static_cast<std::size_t>(w);
  };
  selectRow();
  std::size_t pos = 0;
  const std::size_t size = data.size();
  while (pos + 2 <= size) {
    const int count = data[pos];
    const std::uint8_t value = data[pos + 1];
    pos += 2;
    if (count > 0) {
      const int end = std::min(w, x + count);
      if (four) {
        const std::uint8_t pair[2] = {static_cast<std::uint8_t>(value >> 4), static_cast<std::uint8_t>(value & 0x0F)};
        for (int i = x; i < end; ++i) line[i] = pair[(i - x) & 1];
      } else {
        for (int i = x; i < end; ++i) line[i] = value;
      }
      x = std::min(w, x + count);
      continue;
    }
    if (value == 0) {  // end of line
      x = 0;
      if (++row >= p.height) return false;
      selectRow();
    } else if (value == 1) {  // end of bitmap
      return false;
    } else if (value == 2) {  // delta
      if (pos + 2 > size) return true;
      x = std::min(w, x + data[pos]);
      row += data[pos + 1];
      pos += 2;
      if (row >= p.height) return false;
      selectRow();
    } else {  // absolute run, padded to a 16-bit boundary
      const int n = value;
      const std::size_t bytesUsed = four ? static_cast<std::size_t>((n + 1) / 2) : static_cast<std::size_t>(n);
      const std::size_t present = std::min(bytesUsed, size - pos);
      const std::uint8_t* src = data.data() + pos;
      for (int i = 0; i < n; ++i) {
        const std::size_t byte = four ? static_cast<std::size_t>(i / 2) : static_cast<std::size_t>(i);
        if (byte >= present) break;
        if (x + i >= w) break;
        line[x + i] = four ? static_cast<std::uint8_t>((i & 1) ? src[byte] & 0x0F : src[byte] >> 4) : src[byte];
      }
      x = std::min(w, x + n);
      if (bytesUsed > size - pos) return true;
      pos += std::min(bytesUsed + (bytesUsed & 1), size - pos);
    }
  }
  return true;
}

// 16-, 24- and 32-bit rows, handed to the sink in file order.
void DecodeColourRows(std::span<const std::uint8_t> data, const Layout& layout, BmpPixelSink& sink) {
  const BmpPicture& p = layout.picture;
  const std::size_t w = static_cast<std::size_t>(p.width);
  const Field red(layout.masks[0]), green(layout.masks[1]), blue(layout.masks[2]);
  std::vector<std::uint8_t> scratch(w * 3);
  const std::size_t bytesPerPixel = static_cast<std::size_t>(p.bitCount / 8);
  for (int row = 0; row < p.height; ++row) {
    const int y = p.topDown ? p.height - 1 - row : row;
    const std::uint64_t start = static_cast<std::uint64_t>(row) * layout.stride;
    const std::size_t available =
        start >= data.size() ? 0
                             : static_cast<std::size_t>(std::min<std::uint64_t>(layout.stride, data.size() - start));
    const std::size_t present = std::min(w, available / bytesPerPixel);
    const std::uint8_t* src = data.data() + (present ? start : 0);
    if (p.bitCount == 24 && present == w) {
      sink.ColourRow(y, src, static_cast<int>(w));  // the file's own bytes are blue, green, red
      continue;
    }
    std::uint8_t* dst = scratch.data();
    if (p.bitCount == 24) {
      std::memcpy(dst, src, present * 3);
    } else {
      for (std::size_t x = 0; x < present; ++x) {
        const std::uint8_t* s = src + x * bytesPerPixel;
        const std::uint32_t v = bytesPerPixel == 2 ? static_cast<std::uint32_t>(s[0] | (s[1] << 8))
                                                   : static_cast<std::uint32_t>(s[0] | (s[1] << 8) | (s[2] << 16)) |
                                                         (static_cast<std::uint32_t>(s[3]) << 24);
        dst[3 * x] = blue.Get(v);
        dst[3 * x + 1] = green.Get(v);
        dst[3 * x + 2] = red.Get(v);
      }
    }
    std::memset(dst + present * 3, 0, (w - present) * 3);
    sink.ColourRow(y, dst, static_cast<int>(present));
  }
}

// Builds the image: palettised pictures keep the file's table and are
// remapped afterwards; true-colour pixels are mapped one by one.
class ImageSink : public BmpPixelSink {
 public:
  explicit ImageSink(IndexedImage& image) : image_(image) {}
  void DataEnded() override { ended = true; }
  bool ended = false;

  bool Begin(const BmpPicture& picture) override {
    const std::uint32_t n = static_cast<std::uint32_t>(picture.width) * static_cast<std::uint32_t>(picture.height);
    image_.fileHeader = BitmapFileHeader{};
    image_.infoHeader = BitmapInfoHeader{};
    image_.fileHeader.bfSize = kBmpHeaderArea + n;
    image_.infoHeader.biWidth = picture.width;
    image_.infoHeader.biHeight = picture.height;
    image_.infoHeader.biSizeImage = n;
    image_.pixelBlockSize = static_cast<std::int32_t>(n);
    palettised_ = picture.palettised;
    if (picture.palettised) {
      image_.colourTable = picture.table;
      return true;
    }
    LoadColourTableFromShared(image_);
    map_ = &CurrentNearestColourMap();
    return AllocatePixelBlock(image_, n);
  }
  void Indices(std::vector<std::uint8_t>& block) override { image_.pixels = std::move(block); }
  bool Palettised() const { return palettised_; }
  void ColourRow(int y, const std::uint8_t* bgr, int present) override {
    const int w = image_.ImageWidth();
    std::uint8_t* dst = image_.pixels.data() + static_cast<std::size_t>(y) * static_cast<std::size_t>(w);
    const NearestColourMap& map = *map_;
    for (int x = 0; x < present; ++x, bgr += 3) dst[x] = static_cast<std::uint8_t>(map.Nearest(bgr[2], bgr[1], bgr[0]));
    // What the file does not have is black: one fill, not a search per pixel.
    std::memset(dst + present, map.Nearest(0, 0, 0), static_cast<std::size_t>(w - present));
  }

 private:
  IndexedImage& image_;
  const NearestColourMap* map_ = nullptr;
  bool palettised_ = false;
};

}  // namespace

bool ParseBmpHeader(std::span<const std::uint8_t> bytes, BmpPicture& picture, std::string& reason,
                    std::int64_t maxPixels) {
  Layout layout;
  if (!ParseHeader(bytes, maxPixels, layout, reason)) return false;
  picture = layout.picture;
  return true;
}

bool DecodeBmp(std::span<const std::uint8_t> bytes, BmpPixelSink& sink, std::string& reason, std::int64_t maxPixels) {
  Layout layout;
  if (!ParseHeader(bytes, maxPixels, layout, reason)) return false;
  const BmpPicture& p = layout.picture;
  const std::span<const std::uint8_t> data = bytes.subspan(layout.offBits);
  // Uncompressed rows: the last needs no padding.
  const std::uint64_t rowBytes = (static_cast<std::uint64_t>(p.width) * p.bitCount + 7) / 8;
  if (!sink.Begin(p)) {
    reason = kNoMemory;
    return false;
  }
  const bool rowsShort = data.size() < layout.stride * static_cast<std::uint64_t>(p.height - 1) + rowBytes;
  if (!p.palettised) {
    DecodeColourRows(data, layout, sink);
    if (rowsShort) sink.DataEnded();
    return true;
  }
  std::vector<std::uint8_t> block;
  try {
    block.assign(static_cast<std::size_t>(p.width) * static_cast<std::size_t>(p.height), 0);
  } catch (const std::bad_alloc&) {
    reason = kNoMemory;
    return false;
  }
  bool ended = rowsShort;
  if (p.compression == kBiRgb)
    DecodeIndexRows(data, layout, block);
  else
    ended = DecodeRle(data, layout, block);
  sink.Indices(block);
  if (ended) sink.DataEnded();
  return true;
}

bool ReadBmpBytes(std::span<const std::uint8_t> bytes, IndexedImage& image, std::string& reason, std::int64_t maxPixels,
                  bool* ended) {
  IndexedImage fresh;
  ImageSink sink(fresh);
  if (!DecodeBmp(bytes, sink, reason, maxPixels)) return false;
  if (ended) *ended = sink.ended;
  if (!fresh.HasPixels()) {
    reason = kNoMemory;
    return false;
  }
  if (sink.Palettised()) RemapToSharedPalette(fresh);
  image = std::move(fresh);
  return true;
}

namespace {

// The size of the image's BMP file; 0 when it cannot be written as one.
std::size_t BmpFileSize(const IndexedImage& image) {
  const int w = image.ImageWidth();
  const int h = image.ImageHeight();
  if (!image.HasPixels() || !ImageSizeAllowed(w, h) ||
      image.pixels.size() < static_cast<std::size_t>(w) * static_cast<std::size_t>(h))
    return 0;
  const std::size_t stride = (static_cast<std::size_t>(w) + 3) & ~std::size_t{3};
  const std::size_t pixelBytes = stride * static_cast<std::size_t>(h);
  if (kBmpHeaderArea + pixelBytes > 0xFFFFFFFFu) return 0;
  return kBmpHeaderArea + pixelBytes;
}

// Writes the file of BmpFileSize(image) bytes to `p`, every byte of it.
void EncodeBmpInto(const IndexedImage& image, std::uint8_t* p, std::size_t size) {
  const int w = image.ImageWidth();
  const int h = image.ImageHeight();
  const std::size_t stride = (static_cast<std::size_t>(w) + 3) & ~std::size_t{3};
  const std::size_t pixelBytes = stride * static_cast<std::size_t>(h);
  const BitmapFileHeader& f = image.fileHeader;
  const BitmapInfoHeader& i = image.infoHeader;
  std::memset(p, 0, kBmpHeaderArea);
  p[0] = 'B';
  p[1] = 'M';
  PutLe32(p + 2, static_cast<std::uint32_t>(size));
  PutLe16(p + 6, f.bfReserved1);
  PutLe16(p + 8, f.bfReserved2);
  PutLe32(p + 10, kBmpHeaderArea);
  PutLe32(p + 14, 40);
  PutLe32(p + 18, static_cast<std::uint32_t>(w));
  PutLe32(p + 22, static_cast<std::uint32_t>(h));
  PutLe16(p + 26, 1);
  PutLe16(p + 28, 8);
  PutLe32(p + 30, 0);
  PutLe32(p + 34, static_cast<std::uint32_t>(pixelBytes));
  PutLe32(p + 38, static_cast<std::uint32_t>(i.biXPelsPerMeter));
  PutLe32(p + 42, static_cast<std::uint32_t>(i.biYPelsPerMeter));
  PutLe32(p + 46, 0);  // all 256 entries are used
  PutLe32(p + 50, 0);
  for (int e = 0; e < 256; ++e) {
    const ColourTableEntry& c = image.colourTable[e];
    std::uint8_t* t = p + 54 + 4 * e;
    t[0] = c.blue;
    t[1] = c.green;
    t[2] = c.red;
    t[3] = 0;
  }
  for (int y = 0; y < h; ++y) {
    std::uint8_t* row = p + kBmpHeaderArea + static_cast<std::size_t>(y) * stride;
    std::memcpy(row, image.pixels.data() + static_cast<std::size_t>(y) * static_cast<std::size_t>(w),
                static_cast<std::size_t>(w));
    std::memset(row + w, 0, stride - static_cast<std::size_t>(w));
  }
}

}  // namespace

std::vector<std::uint8_t> EncodeBmp(const IndexedImage& image) {
  const std::size_t size = BmpFileSize(image);
  if (size == 0) return {};
  std::vector<std::uint8_t> out(size);
  EncodeBmpInto(image, out.data(), size);
  return out;
}

bool ReadBmpOpened(const OpenedPicture& opened, IndexedImage& image, FileReport* report) {
  std::string reason;
  bool ended = false;
  if (!opened.readable) {
    reason = kCannotRead;
  } else if (ReadBmpBytes(opened.bytes, image, reason, kMaxImagePixels, &ended)) {
    if (ended) ReportDataEnded(report);
    return true;
  }
  Report(report, opened.name + "\n" + reason, kBmpLoadFailedCaption);
  return false;
}

bool ReadBmpFile(const std::string& name, IndexedImage& image, FileReport* report, ProgressSink*) {
  OpenedPicture opened;
  ReadPictureAs(name, PictureFormat::Bmp, opened);
  return ReadBmpOpened(opened, image, report);
}

bool WriteBmpFile(const std::string& name, IndexedImage& image, FileReport*, ProgressSink*) {
  const std::size_t size = BmpFileSize(image);
  if (size == 0) return false;
  // In large pages: a photo's file is megabytes written once.
  LargeBuffer bytes;
  try {
    bytes = MakeLargeBuffer(size);
  } catch (const std::bad_alloc&) {
    return false;
  }
  EncodeBmpInto(image, bytes.get(), size);
  return WriteFileSafely(name, std::span<const std::uint8_t>(bytes.get(), size));
}

}  // namespace zudizar

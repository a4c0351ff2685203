#include "formats/icon.h"

#include <algorithm>
#include <array>
#include <new>

#include "base/byte_reader.h"
#include "base/file_io.h"
#include "core/limits.h"
#include "formats/mag.h"
#include "formats/opened_picture.h"
#include "formats/reduce.h"

namespace zudizar {
namespace {

constexpr std::size_t kDirectorySize = 22;
constexpr std::size_t kInfoHeaderAt = 22;
constexpr std::size_t kColourTableAt = 62;

// 4-bit and 1-bit bitmap rows are padded to whole 32-bit words.
constexpr std::size_t RowBytes(int width, int bitsPerPixel) {
  return (static_cast<std::size_t>(width) * bitsPerPixel + 31) / 32 * 4;
}

static_assert(kIconBytesRead == kColourTableAt + 4 * 256 + 255 * RowBytes(255, 8));

}  // namespace

bool DecodeIcon(std::span<const std::uint8_t> bytes, IndexedImage& image, FileReport* report, bool remapToShared) {
  if (bytes.size() < kDirectorySize) return false;
  const auto refuse = [report] {
    Report(report, kIconNot16ColoursText, kIconLoadFailedCaption, MessageKind::Information);
    return false;
  };
  // The information header is taken at offset 22 whatever the directory's
  // offset says; a file with several icons therefore fails here.
  if (bytes.size() < kColourTableAt) return refuse();
  ByteReader r(bytes, kInfoHeaderAt);
  BitmapInfoHeader info;
  info.biSize = r.u32le();
  info.biWidth = r.i32le();
  info.biHeight = r.i32le();
  info.biPlanes = r.u16le();
  info.biBitCount = r.u16le();
  info.biCompression = r.u32le();
  info.biSizeImage = r.u32le();
  info.biXPelsPerMeter = r.i32le();
  info.biYPelsPerMeter = r.i32le();
  info.biClrUsed = r.u32le();
  info.biClrImportant = r.u32le();
  // The canvases take 16-colour icons only; a picture opened with its own
  // colours (an exact conversion) may also be a 256-colour one.
  const int bits = info.biBitCount;
  if (bits != 4 && !(bits == 8 && !remapToShared)) return refuse();

  // Width and height come from the directory; 0 there means 256 (or a PNG
  // entry), which this layout cannot hold.
  const int w = bytes[6];
  const int h = bytes[7];
  if (w == 0 || h == 0 || !ImageSizeAllowed(w, h)) return refuse();
  const std::size_t n = static_cast<std::size_t>(w) * h;

  IndexedImage icon;
  icon.infoHeader = info;
  icon.infoHeader.biWidth = w;
  icon.infoHeader.biHeight = h;
  icon.infoHeader.biBitCount = 8;
  icon.infoHeader.biSizeImage = static_cast<std::uint32_t>(n);
  // What remains describes the 8-bit picture in memory, not the file's
  // (possibly compressed) one.
  icon.infoHeader.biSize = 40;
  icon.infoHeader.biPlanes = 1;
  icon.infoHeader.biCompression = 0;
  icon.infoHeader.biClrUsed = 0;
  icon.infoHeader.biClrImportant = 0;
  icon.fileHeader = BitmapFileHeader{};
  icon.fileHeader.bfOffBits = kBmpHeaderArea;
  icon.fileHeader.bfSize = static_cast<std::uint32_t>(n + kBmpHeaderArea);

  // A 16-colour table is always 16 entries long; a 256-colour one has the
  // entries its header counts (0: all 256), and the bitmap follows it.
  const std::size_t entries =
      bits == 4 ? 16 : (info.biClrUsed == 0 || info.biClrUsed > 256 ? 256 : std::size_t{info.biClrUsed});
  const std::size_t xorAt = kColourTableAt + 4 * entries;
  icon.colourTable.fill(ColourTableEntry{});
  const std::size_t tableBytes = std::min<std::size_t>(4 * entries, bytes.size() - kColourTableAt);
  for (std::size_t i = 0; i < tableBytes; ++i) {
    ColourTableEntry& e = icon.colourTable[i / 4];
    const std::uint8_t b = bytes[kColourTableAt + i];
    switch (i % 4) {
      case 0: e.blue = b; break;
      case 1: e.green = b; break;
      case 2: e.red = b; break;
      default: e.reserved = b; break;
    }
  }

  if (!AllocatePixelBlock(icon, n)) return refuse();
  // Rows are bottom-up in the file as in the pixel block; bytes the file
  // lacks give index 0.
  const std::size_t rowBytes = RowBytes(w, bits);
  for (int row = 0; row < h; ++row) {
    const std::size_t from = xorAt + static_cast<std::size_t>(row) * rowBytes;
    std::uint8_t* out = icon.pixels.data() + static_cast<std::size_t>(row) * w;
    for (int x = 0; x < w; ++x) {
      const std::size_t at = from + static_cast<std::size_t>(bits == 8 ? x : x / 2);
      const std::uint8_t b = at < bytes.size() ? bytes[at] : 0;
      out[x] = bits == 8 ? b : (x & 1) ? (b & 0x0F) : (b >> 4);
    }
  }
  if (remapToShared)
    RemapToSharedPalette(icon);
  else
    icon.ownColours = true;
  image = std::move(icon);
  return true;
}

namespace {

// Lays out a one-icon file from a work copy whose pixels are already numbered
// into its first `colours` table entries: directory, information header,
// colour table, the XOR bitmap at `bits` per pixel (rows bottom-up, as in
// the pixel block) and an all-zero AND mask (every pixel opaque).
IconEncodeResult LayOutIcon(const IndexedImage& work, int bits, std::vector<std::uint8_t>& bytes) {
  const int w = work.ImageWidth();
  const int h = work.ImageHeight();
  const int colours = 1 << bits;
  const std::size_t xorAt = kColourTableAt + 4 * static_cast<std::size_t>(colours);
  const std::size_t rowBytes = RowBytes(w, bits);
  const std::size_t xorBytes = rowBytes * h;
  const std::size_t andBytes = RowBytes(w, 1) * h;
  try {
    bytes.assign(xorAt + xorBytes + andBytes, 0);
  } catch (const std::bad_alloc&) {
    return IconEncodeResult::NoMemory;
  }
  PutU16(bytes, 2, 1);  // type: icon
  PutU16(bytes, 4, 1);  // one icon
  bytes[6] = static_cast<std::uint8_t>(w);
  bytes[7] = static_cast<std::uint8_t>(h);
  if (bits == 4) {
    // The 16-colour entry keeps the layout the canvas has always written:
    // colour count 16, planes and bit count 0.
    bytes[8] = 16;
  } else {
    // 256 colours do not fit the count byte, which then says 0; the planes
    // and bit count tell readers the depth.
    PutU16(bytes, 10, 1);
    PutU16(bytes, 12, static_cast<std::uint32_t>(bits));
  }
  PutU32(bytes, 14, static_cast<std::uint32_t>(bytes.size() - kDirectorySize));
  PutU32(bytes, 18, static_cast<std::uint32_t>(kInfoHeaderAt));

  const BitmapInfoHeader& info = work.infoHeader;
  PutU32(bytes, 22, 40);
  PutU32(bytes, 26, static_cast<std::uint32_t>(w));
  PutU32(bytes, 30, static_cast<std::uint32_t>(2 * h));  // XOR bitmap and AND mask
  PutU16(bytes, 34, 1);
  PutU16(bytes, 36, static_cast<std::uint32_t>(bits));
  // Compression 0 and image size 0 at 38 and 42.
  PutU32(bytes, 46, static_cast<std::uint32_t>(info.biXPelsPerMeter));
  PutU32(bytes, 50, static_cast<std::uint32_t>(info.biYPelsPerMeter));
  // Colours used and important: 0, meaning the whole table.
  for (int i = 0; i < colours; ++i) {
    const ColourTableEntry& e = work.colourTable[i];
    bytes[kColourTableAt + 4 * i] = e.blue;
    bytes[kColourTableAt + 4 * i + 1] = e.green;
    bytes[kColourTableAt + 4 * i + 2] = e.red;
  }
  // Block order is bottom-up, as the icon's rows are; at 4 bits the even
  // pixel goes into the high nibble.
  for (int row = 0; row < h; ++row) {
    const std::uint8_t* p = work.pixels.data() + static_cast<std::size_t>(row) * w;
    std::uint8_t* out = bytes.data() + xorAt + static_cast<std::size_t>(row) * rowBytes;
    if (bits == 8)
      std::copy_n(p, w, out);
    else
      for (int x = 0; x < w; ++x) out[x / 2] |= static_cast<std::uint8_t>((x & 1) ? (p[x] & 0x0F) : (p[x] << 4));
  }
  return IconEncodeResult::Ok;
}

bool IconSizeWritable(int w, int h) { return w == h && (w == 16 || w == 32 || w == 64); }

// A picture with its own table: its distinct colours, in ascending order of
// the first index that shows each, become the work copy's table, and its
// pixels are renumbered to them. Returns their count.
int CompactOwnColours(IndexedImage& work) {
  std::array<bool, 256> used{};
  for (const std::uint8_t p : work.pixels) used[p] = true;
  const auto own = work.colourTable;
  std::array<std::uint8_t, 256> number{};
  int n = 0;
  for (int i = 0; i < 256; ++i) {
    if (!used[i]) continue;
    const ColourTableEntry colour{own[i].blue, own[i].green, own[i].red, 0};
    int k = 0;
    while (k < n && !(work.colourTable[k] == colour)) ++k;
    if (k == n) work.colourTable[n++] = colour;
    number[i] = static_cast<std::uint8_t>(k);
  }
  std::fill(work.colourTable.begin() + n, work.colourTable.end(), ColourTableEntry{});
  for (auto& p : work.pixels) p = number[p];
  return n;
}

}  // namespace

IconEncodeResult EncodeIcon(const IndexedImage& image, std::vector<std::uint8_t>& bytes) {
  if (!IconSizeWritable(image.ImageWidth(), image.ImageHeight())) return IconEncodeResult::SizeViolation;
  IndexedImage work;
  if (!MakeWorkCopy(image, work)) return IconEncodeResult::NoMemory;
  const int n = CompactColours(work);
  if (n < 1 || n > 15) return IconEncodeResult::TooManyColours;
  return LayOutIcon(work, 4, bytes);
}

IconEncodeResult EncodeOwnColourIcon(const IndexedImage& image, std::vector<std::uint8_t>& bytes) {
  if (!IconSizeWritable(image.ImageWidth(), image.ImageHeight())) return IconEncodeResult::SizeViolation;
  IndexedImage work;
  if (!MakeWorkCopy(image, work)) return IconEncodeResult::NoMemory;
  return LayOutIcon(work, CompactOwnColours(work) <= 16 ? 4 : 8, bytes);
}

bool ReadIconOpened(const OpenedPicture& opened, IndexedImage& image, FileReport* report) {
  // Only the front of the file is ever looked at, so only that was read.
  if (!opened.readable || opened.bytes.size() < kDirectorySize) return false;
  return DecodeIcon(opened.bytes, image, report);
}

bool ReadIconFile(const std::string& name, IndexedImage& image, FileReport* report, ProgressSink*) {
  OpenedPicture opened;
  ReadPictureAs(name, PictureFormat::Icon, opened);
  return ReadIconOpened(opened, image, report);
}

bool WriteIconFile(const std::string& name, IndexedImage& image, FileReport* report, ProgressSink*) {
  std::vector<std::uint8_t> bytes;
  // Only an exact conversion's picture has its own colours; the canvases'
  // pictures keep the 16-colour icon.
  switch (image.ownColours ? EncodeOwnColourIcon(image, bytes) : EncodeIcon(image, bytes)) {
    case IconEncodeResult::SizeViolation:
      Report(report, kIconSizeViolationText, kIconSaveFailedCaption, MessageKind::Information);
      return false;
    case IconEncodeResult::TooManyColours:
      Report(report, kIconTooManyColoursText, kIconSaveFailedCaption, MessageKind::Information);
      return false;
    case IconEncodeResult::NoMemory: ReportSaveWithoutMemory(report, name); return false;
    case IconEncodeResult::Ok: break;
  }
  image.fileHeader.bfOffBits = kBmpHeaderArea;
  return WriteFileSafely(name, bytes);
}

}  // namespace zudizar

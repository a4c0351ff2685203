#include "formats/icon.h"

#include <algorithm>
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
constexpr std::size_t kXorBitmapAt = 126;
constexpr std::size_t kInfoAndColoursSize = 104;  // information header + 16 colours

// 4-bit and 1-bit bitmap rows are padded to whole 32-bit words.
constexpr std::size_t RowBytes(int width, int bitsPerPixel) {
  return (static_cast<std::size_t>(width) * bitsPerPixel + 31) / 32 * 4;
}

static_assert(kIconBytesRead == kXorBitmapAt + 255 * RowBytes(255, 4));

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
  if (info.biBitCount != 4) return refuse();

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
  // 4-bit (possibly compressed) one.
  icon.infoHeader.biSize = 40;
  icon.infoHeader.biPlanes = 1;
  icon.infoHeader.biCompression = 0;
  icon.infoHeader.biClrUsed = 0;
  icon.infoHeader.biClrImportant = 0;
  icon.fileHeader = BitmapFileHeader{};
  icon.fileHeader.bfOffBits = kBmpHeaderArea;
  icon.fileHeader.bfSize = static_cast<std::uint32_t>(n + kBmpHeaderArea);

  icon.colourTable.fill(ColourTableEntry{});
  const std::size_t tableBytes = std::min<std::size_t>(64, bytes.size() - kColourTableAt);
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
  const std::size_t rowBytes = RowBytes(w, 4);
  for (int row = 0; row < h; ++row) {
    const std::size_t from = kXorBitmapAt + static_cast<std::size_t>(row) * rowBytes;
    std::uint8_t* out = icon.pixels.data() + static_cast<std::size_t>(row) * w;
    for (int x = 0; x < w; ++x) {
      const std::size_t at = from + static_cast<std::size_t>(x / 2);
      const std::uint8_t b = at < bytes.size() ? bytes[at] : 0;
      out[x] = (x & 1) ? (b & 0x0F) : (b >> 4);
    }
  }
  if (remapToShared)
    RemapToSharedPalette(icon);
  else
    icon.ownColours = true;
  image = std::move(icon);
  return true;
}

IconEncodeResult EncodeIcon(const IndexedImage& image, std::vector<std::uint8_t>& bytes) {
  const int w = image.ImageWidth();
  const int h = image.ImageHeight();
  if (w != h || (w != 16 && w != 32 && w != 64)) return IconEncodeResult::SizeViolation;
  IndexedImage work;
  if (!MakeWorkCopy(image, work)) return IconEncodeResult::NoMemory;
  const int n = CompactColours(work);
  if (n < 1 || n > 15) return IconEncodeResult::TooManyColours;

  const std::size_t xorBytes = RowBytes(w, 4) * h;
  const std::size_t andBytes = RowBytes(w, 1) * h;
  try {
    bytes.assign(kXorBitmapAt + xorBytes + andBytes, 0);  // the AND mask stays zero: all opaque
  } catch (const std::bad_alloc&) {
    return IconEncodeResult::NoMemory;
  }
  PutU16(bytes, 2, 1);  // type: icon
  PutU16(bytes, 4, 1);  // one icon
  bytes[6] = static_cast<std::uint8_t>(w);
  bytes[7] = static_cast<std::uint8_t>(h);
  bytes[8] = 16;
  // Reserved, planes and bit count stay zero.
  PutU32(bytes, 14, static_cast<std::uint32_t>(kInfoAndColoursSize + xorBytes + andBytes));
  PutU32(bytes, 18, static_cast<std::uint32_t>(kInfoHeaderAt));

  const BitmapInfoHeader& info = work.infoHeader;
  PutU32(bytes, 22, 40);
  PutU32(bytes, 26, static_cast<std::uint32_t>(w));
  PutU32(bytes, 30, static_cast<std::uint32_t>(2 * h));  // XOR bitmap and AND mask
  PutU16(bytes, 34, 1);
  PutU16(bytes, 36, 4);
  // Compression 0 and image size 0 at 38 and 42.
  PutU32(bytes, 46, static_cast<std::uint32_t>(info.biXPelsPerMeter));
  PutU32(bytes, 50, static_cast<std::uint32_t>(info.biYPelsPerMeter));
  // Colours used and important: 0, meaning all 16.
  for (int i = 0; i < 16; ++i) {
    const ColourTableEntry& e = work.colourTable[i];
    bytes[kColourTableAt + 4 * i] = e.blue;
    bytes[kColourTableAt + 4 * i + 1] = e.green;
    bytes[kColourTableAt + 4 * i + 2] = e.red;
  }
  // Block order is bottom-up, as the icon's rows are; the even pixel goes
  // into the high nibble.
  const std::uint8_t* p = work.pixels.data();
  for (std::size_t i = 0; i < xorBytes; ++i)
    bytes[kXorBitmapAt + i] = static_cast<std::uint8_t>((p[2 * i] << 4) | (p[2 * i + 1] & 0x0F));
  return IconEncodeResult::Ok;
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
  switch (EncodeIcon(image, bytes)) {
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

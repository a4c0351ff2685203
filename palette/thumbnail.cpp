#include "palette/thumbnail.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <new>

#include "base/file_io.h"
#include "core/limits.h"
#include "formats/bmp.h"
#include "formats/jpeg/jpeg_markers.h"
#include "formats/png.h"
#include "palette/convert.h"

namespace zudizar {
namespace {

std::uint32_t Big32(std::span<const std::uint8_t> b, std::size_t at) {
  return (std::uint32_t{b[at]} << 24) | (std::uint32_t{b[at + 1]} << 16) | (std::uint32_t{b[at + 2]} << 8) | b[at + 3];
}

std::uint16_t Little16(std::span<const std::uint8_t> b, std::size_t at) {
  return static_cast<std::uint16_t>(b[at] | (b[at + 1] << 8));
}

// The header as the BMP reader parses it, before any pixel is looked at.
std::optional<PixelSize> BmpSize(std::span<const std::uint8_t> bytes) {
  BmpPicture picture;
  std::string reason;
  if (!ParseBmpHeader(bytes, picture, reason)) return std::nullopt;
  return PixelSize{picture.width, picture.height};
}

// libspng takes the IHDR chunk only as the first one.
std::optional<PixelSize> PngSize(std::span<const std::uint8_t> bytes) {
  if (bytes.size() < 24 || std::memcmp(bytes.data() + 12, "IHDR", 4) != 0) return std::nullopt;
  return PixelSize{Big32(bytes, 16), Big32(bytes, 20)};
}

// The MAG reader's own rule: the header starts at the first zero byte after
// the signature; the picture is padded to whole flag units, which are 4
// (256 colours) or 8 pixels wide, from column x1 rounded down.
std::optional<PixelSize> MagSize(std::span<const std::uint8_t> bytes) {
  constexpr std::size_t kSignatureSize = 8, kHeaderSize = 32;
  if (bytes.size() < kSignatureSize || std::memcmp(bytes.data(), "MAKI02  ", kSignatureSize) != 0) return std::nullopt;
  const auto zero = std::find(bytes.begin() + kSignatureSize, bytes.end(), std::uint8_t{0});
  const auto start = static_cast<std::size_t>(zero - bytes.begin());
  if (zero == bytes.end() || bytes.size() - start < kHeaderSize) return std::nullopt;
  const bool eightBit = (bytes[start + 3] & 0x80) != 0;
  const std::int64_t x1 = Little16(bytes, start + 4), y1 = Little16(bytes, start + 6);
  const std::int64_t x2 = Little16(bytes, start + 8), y2 = Little16(bytes, start + 10);
  if (x2 < x1 || y2 < y1) return std::nullopt;
  const std::int64_t unit = eightBit ? 4 : 8;
  const std::int64_t units = (x1 % unit + x2 - x1 + 1 + unit - 1) / unit;
  return PixelSize{unit * units, y2 - y1 + 1};
}

// The own decoder's marker loop up to its first scan, through its own
// parser: it takes the last frame header before the scan, so the largest
// one is what a decode may need. Frames after the first scan are left to
// the picture ceiling.
std::optional<PixelSize> JpegSize(std::span<const std::uint8_t> bytes) {
  jpeg::ByteSource source(bytes.data(), bytes.size());
  jpeg::DecoderState state;
  const jpeg::TraceSink quiet = [](int, const std::string&) {};
  jpeg::HeaderParser parser(source, state, quiet);
  std::optional<PixelSize> largest;
  parser.SkipToStartOfImage();
  while (!source.AtEnd()) {
    source.Byte();
    const int code = source.Byte();
    if (code >= 0xC0 && code <= 0xCF && code != 0xC4 && code != 0xC8 && code != 0xCC) {
      parser.ReadFrame();
      const PixelSize frame{state.frameWidth, state.frameHeight};
      if (!largest || frame.width * frame.height > largest->width * largest->height) largest = frame;
    } else if (code == 0xC4) {
      parser.ReadHuffmanTables();
    } else if (code == 0xDB) {
      parser.ReadQuantTables();
    } else if (code == 0xDD) {
      parser.ReadRestartInterval();
    } else if (code == 0xDA || code == 0xD9) {
      break;
    } else if (code == 0x01 || (code >= 0xD0 && code <= 0xD8)) {
      // No segment follows.
    } else {
      parser.SkipSegment();
    }
  }
  return largest;
}

// Which source pixels (from `first`) an output pixel covers, and how much of
// each: in units of 1/`to` of a source pixel, so that every output pixel's
// weights add up to `from` exactly.
struct Span {
  std::int64_t first = 0;
  std::vector<std::uint32_t> weights;
};

std::vector<Span> Spans(std::int64_t from, std::int64_t to) {
  std::vector<Span> spans(static_cast<std::size_t>(to));
  for (std::int64_t o = 0; o < to; ++o) {
    const std::int64_t begin = o * from, end = (o + 1) * from;
    Span& span = spans[static_cast<std::size_t>(o)];
    span.first = begin / to;
    for (std::int64_t s = span.first; s * to < end; ++s)
      span.weights.push_back(static_cast<std::uint32_t>(std::min((s + 1) * to, end) - std::max(s * to, begin)));
  }
  return spans;
}

}  // namespace

bool ParseThumbnailSize(std::string_view text, int& size) {
  if (text.empty() || text.size() > 4) return false;
  int value = 0;
  for (const char c : text) {
    if (c < '0' || c > '9') return false;
    value = value * 10 + (c - '0');
  }
  if (value < 1 || value > kMaxThumbnailSize) return false;
  size = value;
  return true;
}

PixelSize ThumbnailSize(PixelSize picture, int size) {
  const std::int64_t longest = std::max(picture.width, picture.height);
  if (longest <= size) return picture;
  const auto scaled = [&](std::int64_t side) {
    return std::max<std::int64_t>(1, (side * size + longest / 2) / longest);
  };
  return {scaled(picture.width), scaled(picture.height)};
}

std::optional<PixelSize> HeaderPictureSize(const OpenedPicture& opened) {
  if (!opened.readable) return std::nullopt;
  switch (opened.format) {
    case PictureFormat::Bmp: return BmpSize(opened.bytes);
    case PictureFormat::Png: return PngSize(opened.bytes);
    case PictureFormat::Mag: return MagSize(opened.bytes);
    case PictureFormat::Jpeg: return JpegSize(opened.bytes);
    case PictureFormat::Icon: break;
  }
  return std::nullopt;
}

std::vector<std::uint8_t> ScaleToRgb(const IndexedImage& image, const PaletteTable& palette, PixelSize to) {
  const std::int64_t fromWidth = image.ImageWidth(), fromHeight = image.ImageHeight();
  if (!image.HasPixels() || to.width < 1 || to.height < 1 || to.width > fromWidth || to.height > fromHeight) return {};
  const std::vector<Span> columns = Spans(fromWidth, to.width);
  const std::vector<Span> rows = Spans(fromHeight, to.height);
  const auto outWidth = static_cast<std::size_t>(to.width);

  // One source row shrunk across: sums of colour × column weight.
  std::vector<std::uint32_t> across(3 * outWidth);
  std::int64_t acrossRow = -1;
  const auto shrinkRow = [&](std::int64_t y) {
    if (y == acrossRow) return;
    const std::uint8_t* source = image.Row(static_cast<int>(y));
    for (std::size_t x = 0; x < outWidth; ++x) {
      std::uint32_t red = 0, green = 0, blue = 0;
      const Span& span = columns[x];
      for (std::size_t i = 0; i < span.weights.size(); ++i) {
        const PaletteEntry& c = palette[source[span.first + static_cast<std::int64_t>(i)]];
        red += c.red * span.weights[i];
        green += c.green * span.weights[i];
        blue += c.blue * span.weights[i];
      }
      across[3 * x] = red;
      across[3 * x + 1] = green;
      across[3 * x + 2] = blue;
    }
    acrossRow = y;
  };

  std::vector<std::uint8_t> rgb(3 * outWidth * static_cast<std::size_t>(to.height));
  std::vector<std::uint64_t> sums(3 * outWidth);
  const std::uint64_t whole = static_cast<std::uint64_t>(fromWidth) * static_cast<std::uint64_t>(fromHeight);
  for (std::size_t y = 0; y < rows.size(); ++y) {
    std::fill(sums.begin(), sums.end(), 0);
    const Span& span = rows[y];
    for (std::size_t i = 0; i < span.weights.size(); ++i) {
      shrinkRow(span.first + static_cast<std::int64_t>(i));
      for (std::size_t k = 0; k < sums.size(); ++k) sums[k] += std::uint64_t{across[k]} * span.weights[i];
    }
    std::uint8_t* out = rgb.data() + 3 * outWidth * y;
    for (std::size_t k = 0; k < sums.size(); ++k) out[k] = static_cast<std::uint8_t>((sums[k] + whole / 2) / whole);
  }
  return rgb;
}

int RunThumbnail(const std::string& in, const std::string& out, std::string_view size, std::string& error) {
  error.clear();
  int longest = 0;
  if (!ParseThumbnailSize(size, longest)) {
    error = "SIZE must be a whole number from 1 to " + std::to_string(kMaxThumbnailSize) + ", not \"" +
            std::string(size) + "\"";
    return 1;
  }
  if (!InputIsAFile(in, error)) return 1;
  const long long length = FileLength(in);
  if (length < 0 || static_cast<std::uint64_t>(length) > kMaxThumbnailFileBytes) {
    error = in + ": " + std::to_string(length) + " bytes is too large for a thumbnail (at most " +
            std::to_string(kMaxThumbnailFileBytes) + ")";
    return 1;
  }
  try {
    OpenedPicture opened;
    ReadPictureForOpen(in, opened);
    if (const auto claimed = HeaderPictureSize(opened)) {
      if (claimed->width * claimed->height > kMaxThumbnailPicturePixels) {
        error = in + ": " + std::to_string(claimed->width) + " x " + std::to_string(claimed->height) +
                " pixels is too large for a thumbnail (at most " + std::to_string(kMaxThumbnailPicturePixels) +
                " pixels)";
        return 1;
      }
    }
    SetPictureCeiling(kMaxThumbnailPicturePixels);
    IndexedImage image;
    if (!OpenOnSharedPalette(opened, image, error)) return 1;
    opened = OpenedPicture();  // the file's bytes are done with

    const PixelSize to = ThumbnailSize({image.ImageWidth(), image.ImageHeight()}, longest);
    const std::vector<std::uint8_t> png = EncodeRgbPng(ScaleToRgb(image, SharedPalette.current, to),
                                                       static_cast<int>(to.width), static_cast<int>(to.height));
    if (png.empty()) {
      error = out + ": the thumbnail could not be encoded";
      return 1;
    }
    FileFailure failure;
    if (!WriteFileSafely(out, png, failure)) {
      error = out + ": cannot be written: " + (failure.error == ENOMEM ? "not enough memory" : failure.Reason());
      return 1;
    }
  } catch (const std::bad_alloc&) {
    error = in + ": not enough memory for a thumbnail";
    return 1;
  }
  return 0;
}

}  // namespace zudizar

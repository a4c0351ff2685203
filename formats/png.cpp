#include "formats/png.h"

#include <spng.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <new>

#include "base/file_io.h"
#include "formats/opened_picture.h"
#include "formats/reduce.h"

namespace zudizar {
namespace {

// Reasons shown under the file name in the failure box.
constexpr const char* kCannotRead = "ﾌｧｲﾙを読み込めません。";
constexpr const char* kBroken = "PNGﾌｧｲﾙが壊れているか、対応していない形式です。";
constexpr const char* kBadSize = "画像の大きさが不正です。";
constexpr const char* kTooLarge = "画像が大きすぎます。";
constexpr const char* kNoMemory = "ﾒﾓﾘｰが足りません。";

// Ancillary chunks (text, ICC profiles) are never needed here; bounding
// their cache keeps a lying length from costing memory.
constexpr std::size_t kChunkCacheLimit = std::size_t{64} << 20;

struct ContextFree {
  void operator()(spng_ctx* ctx) const { spng_ctx_free(ctx); }
};
using Context = std::unique_ptr<spng_ctx, ContextFree>;

std::string WithCode(const char* text, int error) { return std::string(text) + "(" + spng_strerror(error) + ")"; }

std::string SizeText(const char* text, std::uint32_t w, std::uint32_t h) {
  return std::string(text) + "(" + std::to_string(w) + " x " + std::to_string(h) + ")";
}

// Unpacks rows of 1-, 2- or 4-bit indices (most significant bits first)
// into one byte per pixel.
void UnpackIndices(const std::vector<std::uint8_t>& packed, int depth, int width, int height,
                   std::vector<std::uint8_t>& out) {
  const std::size_t stride = (static_cast<std::size_t>(width) * depth + 7) / 8;
  const int perByte = 8 / depth;
  const int mask = (1 << depth) - 1;
  for (int y = 0; y < height; ++y) {
    const std::uint8_t* row = packed.data() + stride * static_cast<std::size_t>(y);
    std::uint8_t* dst = out.data() + static_cast<std::size_t>(width) * static_cast<std::size_t>(y);
    for (int x = 0; x < width; ++x) {
      const int shift = 8 - depth * (x % perByte + 1);
      dst[x] = static_cast<std::uint8_t>((row[x / perByte] >> shift) & mask);
    }
  }
}

// The file without the ancillary chunks before the image data that the
// picture does not need (all but tRNS): its pixels never depend on them, and
// the library refuses some harmless ones (empty text chunks). From the first
// image data chunk on, and from a chunk that runs past the end on, the rest
// is copied as it is, for the library to judge.
std::vector<std::uint8_t> WithoutAncillaryChunks(std::span<const std::uint8_t> bytes) {
  std::vector<std::uint8_t> out;
  out.reserve(bytes.size());
  std::size_t p = std::min<std::size_t>(8, bytes.size());
  out.insert(out.end(), bytes.begin(), bytes.begin() + static_cast<std::ptrdiff_t>(p));
  while (p < bytes.size()) {
    if (bytes.size() - p < 12) break;
    const std::uint64_t length = (std::uint64_t{bytes[p]} << 24) | (std::uint64_t{bytes[p + 1]} << 16) |
                                 (std::uint64_t{bytes[p + 2]} << 8) | bytes[p + 3];
    if (length > bytes.size() - p - 12) break;
    const std::uint8_t* type = bytes.data() + p + 4;
    if (std::memcmp(type, "IDAT", 4) == 0) break;
    const bool critical = (type[0] & 0x20) == 0;
    const bool keep = critical || std::memcmp(type, "tRNS", 4) == 0;
    const std::size_t whole = static_cast<std::size_t>(length) + 12;
    if (keep)
      out.insert(out.end(), bytes.begin() + static_cast<std::ptrdiff_t>(p),
                 bytes.begin() + static_cast<std::ptrdiff_t>(p + whole));
    p += whole;
  }
  out.insert(out.end(), bytes.begin() + static_cast<std::ptrdiff_t>(p), bytes.end());
  return out;
}

}  // namespace

bool DecodePng(std::span<const std::uint8_t> file, PngPicture& picture, std::string& reason, std::int64_t maxPixels) {
  std::vector<std::uint8_t> bytes;
  try {
    bytes = WithoutAncillaryChunks(file);
  } catch (const std::bad_alloc&) {
    reason = kNoMemory;
    return false;
  }
  Context ctx(spng_ctx_new(0));
  if (!ctx) {
    reason = kNoMemory;
    return false;
  }
  spng_set_image_limits(ctx.get(), kMaxImageSide, kMaxImageSide);
  spng_set_chunk_limits(ctx.get(), kChunkCacheLimit, kChunkCacheLimit);
  spng_set_png_buffer(ctx.get(), bytes.data(), bytes.size());

  spng_ihdr ihdr{};
  int error = spng_get_ihdr(ctx.get(), &ihdr);
  if (error == SPNG_EWIDTH || error == SPNG_EHEIGHT || error == SPNG_EUSER_WIDTH || error == SPNG_EUSER_HEIGHT) {
    reason = kTooLarge;
    return false;
  }
  if (error) {
    reason = WithCode(kBroken, error);
    return false;
  }
  if (ihdr.width < 1 || ihdr.height < 1) {
    reason = SizeText(kBadSize, ihdr.width, ihdr.height);
    return false;
  }
  if (!ImageSizeAllowed(ihdr.width, ihdr.height) || static_cast<std::int64_t>(ihdr.width) * ihdr.height > maxPixels) {
    reason = SizeText(kTooLarge, ihdr.width, ihdr.height);
    return false;
  }

  PngPicture out;
  out.width = static_cast<int>(ihdr.width);
  out.height = static_cast<int>(ihdr.height);
  out.palettised = ihdr.color_type == SPNG_COLOR_TYPE_INDEXED;
  const std::size_t pixels = static_cast<std::size_t>(ihdr.width) * ihdr.height;
  try {
    if (out.palettised) {
      spng_plte plte{};
      if ((error = spng_get_plte(ctx.get(), &plte))) {
        reason = WithCode(kBroken, error);
        return false;
      }
      out.tableEntries = static_cast<int>(std::min<std::uint32_t>(plte.n_entries, 256));
      for (int i = 0; i < out.tableEntries; ++i)
        out.table[i] = {plte.entries[i].red, plte.entries[i].green, plte.entries[i].blue, 255};
      spng_trns trns{};
      if (spng_get_trns(ctx.get(), &trns) == 0)
        for (std::uint32_t i = 0; i < std::min<std::uint32_t>(trns.n_type3_entries, 256); ++i)
          if (static_cast<int>(i) < out.tableEntries) out.table[i].alpha = trns.type3_alpha[i];
      std::size_t size = 0;
      if ((error = spng_decoded_image_size(ctx.get(), SPNG_FMT_PNG, &size))) {
        reason = WithCode(kBroken, error);
        return false;
      }
      std::vector<std::uint8_t> raw(size);
      if ((error = spng_decode_image(ctx.get(), raw.data(), raw.size(), SPNG_FMT_PNG, 0))) {
        reason = WithCode(kBroken, error);
        return false;
      }
      if (ihdr.bit_depth == 8) {
        if (raw.size() < pixels) {
          reason = kBroken;
          return false;
        }
        raw.resize(pixels);
        out.indices = std::move(raw);
      } else {
        out.indices.resize(pixels);
        UnpackIndices(raw, ihdr.bit_depth, out.width, out.height, out.indices);
      }
    } else {
      std::size_t size = 0;
      if ((error = spng_decoded_image_size(ctx.get(), SPNG_FMT_RGBA8, &size)) || size != pixels * 4) {
        reason = WithCode(kBroken, error);
        return false;
      }
      out.rgba.resize(size);
      if ((error = spng_decode_image(ctx.get(), out.rgba.data(), out.rgba.size(), SPNG_FMT_RGBA8, SPNG_DECODE_TRNS))) {
        reason = WithCode(kBroken, error);
        return false;
      }
    }
    // The chunks after the image data: this also checks the last data
    // chunk's CRC, which the image decode does not reach. Other complaints
    // about trailing chunks cost nothing: the picture is whole.
    if ((error = spng_decode_chunks(ctx.get())) == SPNG_ECHUNK_CRC) {
      reason = WithCode(kBroken, error);
      return false;
    }
  } catch (const std::bad_alloc&) {
    reason = kNoMemory;
    return false;
  }
  picture = std::move(out);
  return true;
}

bool ReadPngBytes(std::span<const std::uint8_t> bytes, IndexedImage& image, std::string& reason,
                  std::int64_t maxPixels) {
  PngPicture picture;
  if (!DecodePng(bytes, picture, reason, maxPixels)) return false;
  IndexedImage fresh;
  if (CreateImage(picture.width, picture.height, fresh) != 1) {
    reason = kNoMemory;
    return false;
  }
  const int w = picture.width;
  if (picture.palettised) {
    // Like an 8-bit BMP: the file's table, then the remap.
    for (int i = 0; i < 256; ++i) {
      const Rgba c = OverWhite(picture.table[i]);
      fresh.colourTable[i] = {c.blue, c.green, c.red, 0};
    }
    for (int y = 0; y < picture.height; ++y)
      std::memcpy(fresh.Row(y), picture.indices.data() + static_cast<std::size_t>(y) * w, static_cast<std::size_t>(w));
    RemapToSharedPalette(fresh);
  } else {
    MapRgbaToSharedPalette(picture.rgba, fresh);
  }
  image = std::move(fresh);
  return true;
}

void MapRgbaToSharedPalette(std::span<const std::uint8_t> rgba, IndexedImage& image) {
  // Like a 24-bit BMP: each pixel to its nearest shared colour.
  const int w = image.ImageWidth();
  const NearestColourMap& map = CurrentNearestColourMap();
  std::vector<std::uint8_t> red(w), green(w), blue(w);
  for (int y = 0; y < image.ImageHeight(); ++y) {
    const std::uint8_t* src = rgba.data() + static_cast<std::size_t>(y) * w * 4;
    for (int x = 0; x < w; ++x, src += 4) {
      const Rgba c = OverWhite({src[0], src[1], src[2], src[3]});
      red[x] = c.red, green[x] = c.green, blue[x] = c.blue;
    }
    map.NearestMany(red.data(), green.data(), blue.data(), w, image.Row(y));
  }
  const PaletteTable& table = map.Table();
  for (int i = 0; i < 256; ++i) image.colourTable[i] = {table[i].blue, table[i].green, table[i].red, 0};
}

std::vector<std::uint8_t> EncodePng(const IndexedImage& image) {
  const int w = image.ImageWidth();
  const int h = image.ImageHeight();
  if (!image.HasPixels() || !ImageSizeAllowed(w, h) ||
      image.pixels.size() < static_cast<std::size_t>(w) * static_cast<std::size_t>(h))
    return {};
  Context ctx(spng_ctx_new(SPNG_CTX_ENCODER));
  if (!ctx) return {};
  spng_set_option(ctx.get(), SPNG_ENCODE_TO_BUFFER, 1);
  spng_ihdr ihdr{static_cast<std::uint32_t>(w), static_cast<std::uint32_t>(h), 8, SPNG_COLOR_TYPE_INDEXED, 0, 0, 0};
  spng_set_ihdr(ctx.get(), &ihdr);
  spng_plte plte{};
  plte.n_entries = 256;
  for (int i = 0; i < 256; ++i) {
    const ColourTableEntry& c = image.colourTable[i];
    plte.entries[i] = {c.red, c.green, c.blue, 255};
  }
  spng_set_plte(ctx.get(), &plte);
  // PNG rows run top-down; the image keeps them bottom-up.
  std::vector<std::uint8_t> rows(static_cast<std::size_t>(w) * static_cast<std::size_t>(h));
  for (int y = 0; y < h; ++y)
    std::memcpy(rows.data() + static_cast<std::size_t>(y) * w, image.Row(y), static_cast<std::size_t>(w));
  if (spng_encode_image(ctx.get(), rows.data(), rows.size(), SPNG_FMT_PNG, SPNG_ENCODE_FINALIZE)) return {};
  std::size_t length = 0;
  int error = 0;
  void* buffer = spng_get_png_buffer(ctx.get(), &length, &error);
  if (!buffer || error) {
    std::free(buffer);
    return {};
  }
  std::vector<std::uint8_t> out(static_cast<std::uint8_t*>(buffer), static_cast<std::uint8_t*>(buffer) + length);
  std::free(buffer);
  return out;
}

std::vector<std::uint8_t> EncodeRgbPng(std::span<const std::uint8_t> rgb, int width, int height) {
  if (!ImageSizeAllowed(width, height) ||
      rgb.size() != 3 * static_cast<std::size_t>(width) * static_cast<std::size_t>(height))
    return {};
  Context ctx(spng_ctx_new(SPNG_CTX_ENCODER));
  if (!ctx) return {};
  spng_set_option(ctx.get(), SPNG_ENCODE_TO_BUFFER, 1);
  spng_ihdr ihdr{
      static_cast<std::uint32_t>(width), static_cast<std::uint32_t>(height), 8, SPNG_COLOR_TYPE_TRUECOLOR, 0, 0, 0};
  spng_set_ihdr(ctx.get(), &ihdr);
  if (spng_encode_image(ctx.get(), rgb.data(), rgb.size(), SPNG_FMT_PNG, SPNG_ENCODE_FINALIZE)) return {};
  std::size_t length = 0;
  int error = 0;
  void* buffer = spng_get_png_buffer(ctx.get(), &length, &error);
  if (!buffer || error) {
    std::free(buffer);
    return {};
  }
  std::vector<std::uint8_t> out(static_cast<std::uint8_t*>(buffer), static_cast<std::uint8_t*>(buffer) + length);
  std::free(buffer);
  return out;
}

bool ReadPngOpened(const OpenedPicture& opened, IndexedImage& image, FileReport* report) {
  std::string reason;
  if (!opened.readable)
    reason = kCannotRead;
  else if (ReadPngBytes(opened.bytes, image, reason))
    return true;
  Report(report, opened.name + "\n" + reason, kPngLoadFailedCaption);
  return false;
}

bool ReadPngFile(const std::string& name, IndexedImage& image, FileReport* report, ProgressSink*) {
  OpenedPicture opened;
  ReadPictureAs(name, PictureFormat::Png, opened);
  return ReadPngOpened(opened, image, report);
}

bool WritePngFile(const std::string& name, IndexedImage& image, FileReport*, ProgressSink*) {
  const std::vector<std::uint8_t> bytes = EncodePng(image);
  return !bytes.empty() && WriteFileSafely(name, bytes);
}

}  // namespace zudizar

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
constexpr const char* kNoRows = kNoRowsText;

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

// Unpacks a row of 1-, 2-, 4- or 8-bit indices (most significant bits
// first) into one byte per pixel.
void UnpackIndices(const std::uint8_t* packed, int depth, int count, std::uint8_t* out) {
  if (depth == 8) {
    std::memcpy(out, packed, static_cast<std::size_t>(count));
    return;
  }
  const int perByte = 8 / depth;
  const int mask = (1 << depth) - 1;
  for (int x = 0; x < count; ++x) {
    const int shift = 8 - depth * (x % perByte + 1);
    out[x] = static_cast<std::uint8_t>((packed[x / perByte] >> shift) & mask);
  }
}

// Where the pixels of each interlace pass lie along a row.
constexpr int kPassStartX[7] = {0, 4, 0, 2, 0, 1, 0};
constexpr int kPassStepX[7] = {8, 8, 4, 4, 2, 2, 1};

std::uint32_t Crc32(const std::uint8_t* data, std::size_t size) {
  std::uint32_t crc = 0xFFFFFFFFu;
  for (std::size_t i = 0; i < size; ++i) {
    crc ^= data[i];
    for (int k = 0; k < 8; ++k) crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1u)));
  }
  return ~crc;
}

std::uint32_t ChunkLength(const std::uint8_t* p) {
  return (std::uint32_t{p[0]} << 24) | (std::uint32_t{p[1]} << 16) | (std::uint32_t{p[2]} << 8) | p[3];
}

// The file as the library is to see it, and whether it was cut short.
struct PreparedPng {
  std::vector<std::uint8_t> bytes;
  bool cut = false;       // no end chunk
  bool chunkCut = false;  // an image data chunk was cut
};

// The file without the ancillary chunks before the image data that the
// picture does not need (all but tRNS): its pixels never depend on them, and
// the library refuses some harmless ones (empty text chunks). From the first
// image data chunk on the chunks are copied as they are, for the library to
// judge, except an image data chunk the end of the file cuts: it keeps the
// data that is there, with its checksum, so that the rows before the cut
// decode. A file without its end chunk counts as cut; the rest of a chunk
// that runs past the end is copied as it is.
PreparedPng WithoutAncillaryChunks(std::span<const std::uint8_t> bytes) {
  PreparedPng prepared;
  std::vector<std::uint8_t>& out = prepared.bytes;
  out.reserve(bytes.size());
  std::size_t p = std::min<std::size_t>(8, bytes.size());
  out.insert(out.end(), bytes.begin(), bytes.begin() + static_cast<std::ptrdiff_t>(p));
  bool imageData = false, end = false;
  while (p < bytes.size() && !end) {
    if (bytes.size() - p < 12) break;
    const std::uint64_t length = ChunkLength(bytes.data() + p);
    const std::uint8_t* type = bytes.data() + p + 4;
    const bool idat = std::memcmp(type, "IDAT", 4) == 0;
    imageData = imageData || idat;
    if (length > bytes.size() - p - 12) {
      if (!idat || bytes.size() - p < 8) break;
      const std::size_t there = bytes.size() - p - 8;
      const std::size_t start = out.size();
      out.insert(out.end(), {static_cast<std::uint8_t>(there >> 24), static_cast<std::uint8_t>(there >> 16),
                             static_cast<std::uint8_t>(there >> 8), static_cast<std::uint8_t>(there)});
      out.insert(out.end(), bytes.begin() + static_cast<std::ptrdiff_t>(p + 4), bytes.end());
      const std::uint32_t crc = Crc32(out.data() + start + 4, there + 4);
      out.insert(out.end(), {static_cast<std::uint8_t>(crc >> 24), static_cast<std::uint8_t>(crc >> 16),
                             static_cast<std::uint8_t>(crc >> 8), static_cast<std::uint8_t>(crc)});
      p = bytes.size();
      prepared.chunkCut = true;
      break;
    }
    end = std::memcmp(type, "IEND", 4) == 0;
    const bool critical = (type[0] & 0x20) == 0;
    const bool keep = imageData || critical || std::memcmp(type, "tRNS", 4) == 0;
    const std::size_t whole = static_cast<std::size_t>(length) + 12;
    if (keep)
      out.insert(out.end(), bytes.begin() + static_cast<std::ptrdiff_t>(p),
                 bytes.begin() + static_cast<std::ptrdiff_t>(p + whole));
    p += whole;
  }
  prepared.cut = !end;
  out.insert(out.end(), bytes.begin() + static_cast<std::ptrdiff_t>(p), bytes.end());
  return prepared;
}

}  // namespace

bool DecodePngRows(std::span<const std::uint8_t> file, PngRowSink& sink, std::string& reason, bool& ended,
                   std::int64_t maxPixels) {
  ended = false;
  PreparedPng prepared;
  try {
    prepared = WithoutAncillaryChunks(file);
  } catch (const std::bad_alloc&) {
    reason = kNoMemory;
    return false;
  }
  // A file that ends before its first row says so, whatever part it lacks.
  const auto broken = [&prepared](int error) { return prepared.cut ? std::string(kNoRows) : WithCode(kBroken, error); };
  Context ctx(spng_ctx_new(0));
  if (!ctx) {
    reason = kNoMemory;
    return false;
  }
  spng_set_image_limits(ctx.get(), kMaxImageSide, kMaxImageSide);
  spng_set_chunk_limits(ctx.get(), kChunkCacheLimit, kChunkCacheLimit);
  spng_set_png_buffer(ctx.get(), prepared.bytes.data(), prepared.bytes.size());

  spng_ihdr ihdr{};
  int error = spng_get_ihdr(ctx.get(), &ihdr);
  if (error == SPNG_EWIDTH || error == SPNG_EHEIGHT || error == SPNG_EUSER_WIDTH || error == SPNG_EUSER_HEIGHT) {
    reason = kTooLarge;
    return false;
  }
  if (error) {
    reason = broken(error);
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

  PngHeader header;
  header.width = static_cast<int>(ihdr.width);
  header.height = static_cast<int>(ihdr.height);
  header.palettised = ihdr.color_type == SPNG_COLOR_TYPE_INDEXED;
  try {
    if (header.palettised) {
      spng_plte plte{};
      if ((error = spng_get_plte(ctx.get(), &plte))) {
        reason = broken(error);
        return false;
      }
      header.tableEntries = static_cast<int>(std::min<std::uint32_t>(plte.n_entries, 256));
      for (int i = 0; i < header.tableEntries; ++i)
        header.table[i] = {plte.entries[i].red, plte.entries[i].green, plte.entries[i].blue, 255};
      spng_trns trns{};
      if (spng_get_trns(ctx.get(), &trns) == 0)
        for (std::uint32_t i = 0; i < std::min<std::uint32_t>(trns.n_type3_entries, 256); ++i)
          if (static_cast<int>(i) < header.tableEntries) header.table[i].alpha = trns.type3_alpha[i];
    }
    // Row by row, so that memory follows the rows the file really has:
    // one decoded row (and one unpacked) at a time.
    const int format = header.palettised ? SPNG_FMT_PNG : SPNG_FMT_RGBA8;
    const int flags = SPNG_DECODE_PROGRESSIVE | (header.palettised ? 0 : SPNG_DECODE_TRNS);
    std::size_t size = 0;
    if ((error = spng_decoded_image_size(ctx.get(), format, &size)) ||
        (error = spng_decode_image(ctx.get(), nullptr, 0, format, flags))) {
      reason = broken(error);
      return false;
    }
    const std::size_t rowBytes = size / ihdr.height;
    std::vector<std::uint8_t> row(rowBytes);
    std::vector<std::uint8_t> unpacked(header.palettised ? header.width : 0);
    bool started = false;
    do {
      spng_row_info info{};
      if ((error = spng_get_row_info(ctx.get(), &info))) break;
      // Palette rows come as the file packs them, an interlace pass's
      // pixels side by side; the other kinds already at their places.
      error = header.palettised ? spng_decode_scanline(ctx.get(), row.data(), row.size())
                                : spng_decode_row(ctx.get(), row.data(), row.size());
      if (error != 0 && error != SPNG_EOI) break;
      if (!started && !(started = sink.Start(header))) {
        reason = kNoMemory;
        return false;
      }
      const int pass = ihdr.interlace_method ? std::clamp(info.pass, 0, 6) : 6;
      const std::uint8_t* pixels = row.data();
      if (header.palettised) {
        const int across = (header.width - kPassStartX[pass] + kPassStepX[pass] - 1) / kPassStepX[pass];
        UnpackIndices(row.data(), ihdr.bit_depth, across, unpacked.data());
        for (int k = across - 1; k >= 0; --k) unpacked[kPassStartX[pass] + k * kPassStepX[pass]] = unpacked[k];
        pixels = unpacked.data();
      }
      sink.Row(static_cast<int>(info.row_num), pixels, kPassStartX[pass], kPassStepX[pass]);
    } while (error == 0);
    if (error != SPNG_EOI) {
      // A cut file keeps the rows it has; damaged data is refused.
      if (!started || !prepared.cut) {
        reason = broken(error);
        return false;
      }
      ended = true;
      return true;
    }
    // Whole rows from a cut chunk: the file lies about its length rather
    // than ending early, and is refused as before.
    if (prepared.chunkCut) {
      reason = WithCode(kBroken, SPNG_EOF);
      return false;
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
  return true;
}

bool DecodePng(std::span<const std::uint8_t> file, PngPicture& picture, std::string& reason, std::int64_t maxPixels) {
  // The whole picture, for callers that want it at once.
  class WholeSink final : public PngRowSink {
   public:
    explicit WholeSink(PngPicture& out) : out_(out) {}
    bool Start(const PngHeader& header) override {
      out_.width = header.width;
      out_.height = header.height;
      out_.palettised = header.palettised;
      out_.tableEntries = header.tableEntries;
      out_.table = header.table;
      (header.palettised ? out_.indices : out_.rgba)
          .resize(static_cast<std::size_t>(header.width) * header.height * (header.palettised ? 1 : 4));
      return true;
    }
    void Row(int y, const std::uint8_t* pixels, int x0, int step) override {
      const int bytes = out_.palettised ? 1 : 4;
      std::uint8_t* dst =
          (out_.palettised ? out_.indices : out_.rgba).data() + static_cast<std::size_t>(y) * out_.width * bytes;
      for (int x = x0; x < out_.width; x += step)
        std::memcpy(dst + static_cast<std::size_t>(x) * bytes, pixels + static_cast<std::size_t>(x) * bytes, bytes);
    }

   private:
    PngPicture& out_;
  };
  PngPicture out;
  WholeSink sink(out);
  bool ended = false;
  try {
    if (!DecodePngRows(file, sink, reason, ended, maxPixels)) return false;
  } catch (const std::bad_alloc&) {
    reason = kNoMemory;
    return false;
  }
  out.ended = ended;
  picture = std::move(out);
  return true;
}

bool ReadPngBytes(std::span<const std::uint8_t> bytes, IndexedImage& image, std::string& reason, std::int64_t maxPixels,
                  bool* ended) {
  // Each row goes straight into the picture: palette pictures as indices
  // into the file's table (remapped at the end, like an 8-bit BMP), the
  // other kinds to their nearest shared colours (like a 24-bit BMP).
  class PictureSink final : public PngRowSink {
   public:
    explicit PictureSink(IndexedImage& image) : image_(image) {}
    bool Start(const PngHeader& header) override {
      palettised_ = header.palettised;
      table_ = header.table;
      if (CreateImage(header.width, header.height, image_) != 1) return false;
      if (!palettised_) {
        // Rows a cut file does not have show as transparent: white.
        map_ = &CurrentNearestColourMap();
        const auto white = static_cast<std::uint8_t>(map_->Nearest(255, 255, 255));
        for (int y = 0; y < header.height; ++y)
          std::memset(image_.Row(y), white, static_cast<std::size_t>(header.width));
        red_.resize(header.width), green_.resize(header.width), blue_.resize(header.width);
        indices_.resize(header.width);
      }
      return true;
    }
    void Row(int y, const std::uint8_t* pixels, int x0, int step) override {
      std::uint8_t* dst = image_.Row(y);
      const int w = image_.ImageWidth();
      if (palettised_) {
        for (int x = x0; x < w; x += step) dst[x] = pixels[x];
        return;
      }
      int n = 0;
      for (int x = x0; x < w; x += step, ++n) {
        const std::uint8_t* p = pixels + static_cast<std::size_t>(x) * 4;
        const Rgba c = OverWhite({p[0], p[1], p[2], p[3]});
        red_[n] = c.red, green_[n] = c.green, blue_[n] = c.blue;
      }
      map_->NearestMany(red_.data(), green_.data(), blue_.data(), n, indices_.data());
      n = 0;
      for (int x = x0; x < w; x += step) dst[x] = indices_[n++];
    }
    bool palettised_ = false;
    std::array<Rgba, 256> table_{};
    const NearestColourMap* map_ = nullptr;

   private:
    IndexedImage& image_;
    std::vector<std::uint8_t> red_, green_, blue_, indices_;
  };
  IndexedImage fresh;
  PictureSink sink(fresh);
  bool cut = false;
  if (!DecodePngRows(bytes, sink, reason, cut, maxPixels)) return false;
  if (sink.palettised_) {
    for (int i = 0; i < 256; ++i) {
      const Rgba c = OverWhite(sink.table_[i]);
      fresh.colourTable[i] = {c.blue, c.green, c.red, 0};
    }
    RemapToSharedPalette(fresh);
  } else {
    const PaletteTable& table = sink.map_->Table();
    for (int i = 0; i < 256; ++i) fresh.colourTable[i] = {table[i].blue, table[i].green, table[i].red, 0};
  }
  if (ended) *ended = cut;
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

namespace {

// The encoded file the encoder built in its own buffer, as bytes; empty when
// the encoder failed.
std::vector<std::uint8_t> TakeEncoded(Context& ctx) {
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

}  // namespace

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
  return TakeEncoded(ctx);
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
  return TakeEncoded(ctx);
}

bool ReadPngOpened(const OpenedPicture& opened, IndexedImage& image, FileReport* report) {
  std::string reason;
  bool ended = false;
  if (!opened.readable) {
    reason = kCannotRead;
  } else if (ReadPngBytes(opened.bytes, image, reason, kMaxImagePixels, &ended)) {
    if (ended) ReportDataEnded(report);
    return true;
  }
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

#include "formats/jpeg/jpeg_route.h"

#include <jerror.h>
#include <jpeglib.h>
#include <cstdio>  // jpeglib.h needs FILE

#include <algorithm>
#include <csetjmp>
#include <cstring>
#include <new>
#include <vector>

#include "formats/jpeg/jpeg_markers.h"

namespace zudizar::jpeg {
namespace {

constexpr const char* kLossless = "可逆圧縮(ﾛｽﾚｽ)JPEGの為、処理出来ません。";
constexpr const char* kPrecision = "標本精度が8ﾋﾞｯﾄ以外のJPEGの為、処理出来ません。";
constexpr const char* kTooLarge = "画像が大きすぎます。";
constexpr const char* kNoMemory = "ﾒﾓﾘｰが足りません。";
constexpr const char* kTooShort = "データが画像の大きさに足りません。";
constexpr const char* kLibraryRefused = "JPEGﾌｧｲﾙが壊れているか、対応していない形式です。";

bool IsFrame(int code) { return code >= 0xC0 && code <= 0xCF && code != 0xC4 && code != 0xC8 && code != 0xCC; }
bool IsLossless(int code) { return code == 0xC3 || code == 0xC7 || code == 0xCB || code == 0xCF; }

// What the headers before the first scan say.
struct Headers {
  bool frame = false;
  int code = 0;
  int precision = 8;
  int width = 0, height = 0;
  int count = 0;
  int ids[4] = {}, h[4] = {}, v[4] = {};
  bool sixteenBitTables = false;
  bool dc[4] = {}, ac[4] = {};
  bool jfif = false, adobe = false;
  int transform = -1;
  bool scan = false;
  bool scanUsable = true;  // interleaves every component, with defined tables
};

void ReadSegment(int code, const std::uint8_t* s, std::size_t n, Headers& h) {
  if (IsFrame(code)) {
    if (n < 6) return;
    h.frame = true;
    h.code = code;
    h.precision = s[0];
    h.height = (s[1] << 8) | s[2];
    h.width = (s[3] << 8) | s[4];
    h.count = s[5];
    for (int i = 0; i < std::min(h.count, 4); ++i) {
      if (6 + 3 * static_cast<std::size_t>(i) + 2 >= n) break;
      h.ids[i] = s[6 + 3 * i];
      h.h[i] = s[7 + 3 * i] >> 4;
      h.v[i] = s[7 + 3 * i] & 15;
    }
  } else if (code == 0xC4) {
    std::size_t p = 0;
    while (p + 17 <= n) {
      const int tc = s[p] >> 4, th = s[p] & 15;
      int total = 0;
      for (int i = 1; i <= 16; ++i) total += s[p + i];
      if (th < 4 && tc == 0) h.dc[th] = true;
      if (th < 4 && tc == 1) h.ac[th] = true;
      p += 17 + static_cast<std::size_t>(total);
    }
  } else if (code == 0xDB) {
    std::size_t p = 0;
    while (p < n) {
      const bool wide = (s[p] >> 4) != 0;
      if (wide) h.sixteenBitTables = true;
      p += 1 + (wide ? 128 : 64);
    }
  } else if (code == 0xE0) {
    if (n >= 5 && std::memcmp(s, "JFIF", 5) == 0) h.jfif = true;
  } else if (code == 0xEE) {
    if (n >= 12 && std::memcmp(s, "Adobe", 5) == 0) {
      h.adobe = true;
      h.transform = s[11];
    }
  } else if (code == 0xDA) {
    h.scan = true;
    const int ns = n > 0 ? s[0] : 0;
    if (ns != h.count) h.scanUsable = false;
    for (int i = 0; i < ns; ++i) {
      if (2 + 2 * static_cast<std::size_t>(i) >= n) {
        h.scanUsable = false;
        break;
      }
      const int tables = s[2 + 2 * i];
      const int td = tables >> 4, ta = tables & 15;
      if (td > 3 || ta > 3 || !h.dc[td] || !h.ac[ta]) h.scanUsable = false;
    }
  }
}

bool SamplingOwnDecodes(const Headers& h) {
  if (h.count == 1) return h.h[0] == 1 && h.v[0] == 1;
  if (h.count != 3) return false;
  const bool luminance = (h.h[0] == 1 && h.v[0] == 1) || (h.h[0] == 2 && h.v[0] == 1) || (h.h[0] == 2 && h.v[0] == 2);
  return luminance && h.h[1] == 1 && h.v[1] == 1 && h.h[2] == 1 && h.v[2] == 1;
}

// Red, green and blue stored as they are, as libjpeg-turbo recognises them.
bool StoresRgb(const Headers& h) {
  if (h.count != 3 || h.jfif) return false;
  if (h.adobe) return h.transform == 0;
  return h.ids[0] == 'R' && h.ids[1] == 'G' && h.ids[2] == 'B';
}

// libjpeg-turbo's failures end the decode by a jump back to the caller.
struct ErrorManager {
  jpeg_error_mgr pub;
  std::jmp_buf jump;
  char message[JMSG_LENGTH_MAX] = {};
  bool ended = false, skipped = false;
};

void OnError(j_common_ptr cinfo) {
  auto* errors = reinterpret_cast<ErrorManager*>(cinfo->err);
  (*cinfo->err->format_message)(cinfo, errors->message);
  std::longjmp(errors->jump, 1);
}
// Warnings on damaged data: the picture goes on, with a note.
void OnMessage(j_common_ptr cinfo, int level) {
  if (level >= 0) return;
  auto* errors = reinterpret_cast<ErrorManager*>(cinfo->err);
  if (cinfo->err->msg_code == JWRN_JPEG_EOF)
    errors->ended = true;
  else
    errors->skipped = true;
}

std::string SizeText(const char* text, std::int64_t w, std::int64_t h) {
  return std::string(text) + "(" + std::to_string(w) + " x " + std::to_string(h) + ")";
}

struct LibraryState {
  PixelSink& sink;
  ProgressSink* progress;
  std::string& reason;
  std::int64_t maxPixels;
  std::int64_t budget;
  std::vector<std::uint8_t> rows;  // eight output rows
  BlockPixels block{};
};

// The decode itself, in a frame of its own: every object here is trivially
// destructible, so the error jump skips no destructor.
bool RunLibrary(jpeg_decompress_struct& cinfo, ErrorManager& errors, LibraryState& state,
                std::span<const std::uint8_t> bytes) {
  if (setjmp(errors.jump)) {
    state.reason = std::string(kLibraryRefused) + "(" + errors.message + ")";
    return false;
  }
  jpeg_create_decompress(&cinfo);
  jpeg_mem_src(&cinfo, bytes.data(), static_cast<unsigned long>(bytes.size()));
  jpeg_read_header(&cinfo, TRUE);
  const std::int64_t w = cinfo.image_width, h = cinfo.image_height;
  if (!ImageSizeAllowed(w, h) || w * h > state.maxPixels) {
    state.reason = SizeText(kTooLarge, w, h);
    return false;
  }
  // Huffman-coded data too short for the frame is refused before the
  // library makes its buffers (arithmetic coding can be that short).
  if (!cinfo.arith_code) {
    const std::int64_t mcuWidth = 8 * std::int64_t{cinfo.max_h_samp_factor};
    const std::int64_t mcuHeight = 8 * std::int64_t{cinfo.max_v_samp_factor};
    const std::int64_t mcus = ((w + mcuWidth - 1) / mcuWidth) * ((h + mcuHeight - 1) / mcuHeight);
    if (static_cast<std::int64_t>(bytes.size()) < LeastScanBytes(mcus)) {
      state.reason = SizeText(kTooShort, w, h);
      return false;
    }
  }
  // Progressive and multi-scan files keep every coefficient of the picture
  // until the last scan: within the budget with the picture itself, or
  // refused before anything is made. The library keeps to it too.
  std::int64_t needed = w * h;
  if (jpeg_has_multiple_scans(&cinfo)) {
    for (int c = 0; c < cinfo.num_components; ++c) {
      const jpeg_component_info& comp = cinfo.comp_info[c];
      const std::int64_t across =
          (comp.width_in_blocks + comp.h_samp_factor - 1) / comp.h_samp_factor * comp.h_samp_factor;
      const std::int64_t down =
          (comp.height_in_blocks + comp.v_samp_factor - 1) / comp.v_samp_factor * comp.v_samp_factor;
      needed += across * down * static_cast<std::int64_t>(sizeof(JBLOCK));
    }
  }
  if (needed > state.budget) {
    state.reason = SizeText(kTooLarge, w, h);
    return false;
  }
  cinfo.mem->max_memory_to_use = static_cast<long>(state.budget);
  const bool cmyk = cinfo.jpeg_color_space == JCS_CMYK || cinfo.jpeg_color_space == JCS_YCCK;
  cinfo.out_color_space = cmyk ? JCS_CMYK : JCS_RGB;
  cinfo.dct_method = JDCT_ISLOW;
  // Chroma replicated, as the own decoder does.
  cinfo.do_fancy_upsampling = FALSE;
  jpeg_start_decompress(&cinfo);
  const int width = static_cast<int>(cinfo.output_width);
  const int height = static_cast<int>(cinfo.output_height);
  const int channels = cinfo.output_components;
  if (!state.sink.StartImage(width, height)) {
    state.reason = kNoMemory;
    return false;
  }
  const std::size_t stride = static_cast<std::size_t>(width) * channels;
  std::uint8_t* rows = state.rows.data();
  for (int y0 = 0; y0 < height; y0 += 8) {
    const int count = std::min(8, height - y0);
    for (int j = 0; j < count;) {
      JSAMPROW row = rows + stride * static_cast<std::size_t>(j);
      const JDIMENSION got = jpeg_read_scanlines(&cinfo, &row, 1);
      if (got == 0) {  // cannot happen with a memory source; never loop on it
        state.reason = kLibraryRefused;
        return false;
      }
      j += static_cast<int>(got);
    }
    for (int x0 = 0; x0 < width; x0 += 8) {
      const int across = std::min(8, width - x0);
      for (int j = 0; j < count; ++j) {
        const std::uint8_t* p = rows + stride * static_cast<std::size_t>(j) + static_cast<std::size_t>(x0) * channels;
        for (int i = 0; i < across; ++i, p += channels) {
          const int k = 8 * j + i;
          if (cmyk) {
            // Adobe's inverted CMYK: each ink value already counts white.
            state.block.red[k] = static_cast<std::uint8_t>((p[0] * p[3] + 127) / 255);
            state.block.green[k] = static_cast<std::uint8_t>((p[1] * p[3] + 127) / 255);
            state.block.blue[k] = static_cast<std::uint8_t>((p[2] * p[3] + 127) / 255);
          } else {
            state.block.red[k] = p[0];
            state.block.green[k] = p[1];
            state.block.blue[k] = p[2];
          }
        }
      }
      state.sink.Block(x0, y0, across, count, state.block);
    }
    const int done = y0 + count;
    ReportProgress(state.progress, height > 1 ? (done - 1) * 100 / (height - 1) : 100, 1);
  }
  jpeg_finish_decompress(&cinfo);
  if (errors.ended) state.sink.DataEnded();
  if (errors.skipped) state.sink.DataSkipped();
  return true;
}

Route ChooseDecoder(std::span<const std::uint8_t> bytes, std::string& reason, Headers& h) {
  const std::size_t n = bytes.size();
  std::size_t p = 0;
  while (p + 1 < n && !(bytes[p] == 0xFF && bytes[p + 1] == 0xD8)) ++p;
  if (p + 1 >= n) return Route::Own;
  p += 2;
  while (p < n && !h.scan) {
    if (bytes[p] != 0xFF) break;  // no marker where one was due: the headers cannot be told
    while (p < n && bytes[p] == 0xFF) ++p;
    if (p >= n) break;
    const int code = bytes[p++];
    if (code == 0xD8 || (code >= 0xD0 && code <= 0xD7) || code == 0x01 || code == 0x00) continue;
    if (code == 0xD9 || p + 2 > n) break;
    const std::size_t length = (std::size_t{bytes[p]} << 8) | bytes[p + 1];
    if (length < 2) break;
    const std::size_t available = std::min(length - 2, n - (p + 2));
    ReadSegment(code, bytes.data() + p + 2, available, h);
    p += length;
  }
  if (!h.frame) return Route::Own;
  if (IsLossless(h.code)) {
    reason = kLossless;
    return Route::Refuse;
  }
  if (h.precision != 8) {
    reason = std::string(kPrecision) + "(" + std::to_string(h.precision) + "ﾋﾞｯﾄ)";
    return Route::Refuse;
  }
  if (h.code != 0xC0 && h.code != 0xC1) return Route::Library;
  if (h.sixteenBitTables || !SamplingOwnDecodes(h) || StoresRgb(h)) return Route::Library;
  if (h.scan && !h.scanUsable) return Route::Library;
  return Route::Own;
}

}  // namespace

Route ChooseDecoder(std::span<const std::uint8_t> bytes, std::string& reason) {
  Headers headers;
  return ChooseDecoder(bytes, reason, headers);
}

bool DecodeWithLibrary(std::span<const std::uint8_t> bytes, PixelSink& sink, ProgressSink* progress,
                       std::string& reason, std::int64_t maxPixels) {
  jpeg_decompress_struct cinfo{};
  ErrorManager errors{};
  cinfo.err = jpeg_std_error(&errors.pub);
  errors.pub.error_exit = OnError;
  errors.pub.emit_message = OnMessage;
  LibraryState state{sink, progress, reason, maxPixels, kDecodeMemoryBudget, {}, {}};
  bool ok = false;
  try {
    // Room for eight rows of the widest picture the limits allow.
    state.rows.resize(static_cast<std::size_t>(kMaxImageSide) * 4 * 8);
    ok = RunLibrary(cinfo, errors, state, bytes);
  } catch (const std::bad_alloc&) {
    reason = kNoMemory;
  }
  jpeg_destroy_decompress(&cinfo);
  return ok;
}

bool DecodeRouted(std::span<const std::uint8_t> bytes, bool padded, PixelSink& sink, ProgressSink* progress,
                  std::string& reason, const DecodeOptions& options) {
  const std::span<const std::uint8_t> file =
      padded ? bytes.first(bytes.size() >= kTailBytes ? bytes.size() - kTailBytes : 0) : bytes;
  Headers headers;
  switch (ChooseDecoder(file, reason, headers)) {
    case Route::Refuse: return false;
    case Route::Library: return DecodeWithLibrary(file, sink, progress, reason, options.maxPixels);
    case Route::Own: break;
  }
  // Refused as the library's frames are, naming the size; the own decoder
  // would end at this frame with no picture.
  if (headers.frame && headers.width > 0 && headers.height > 0 &&
      (!ImageSizeAllowed(headers.width, headers.height) ||
       std::int64_t{headers.width} * headers.height > options.maxPixels)) {
    reason = SizeText(kTooLarge, headers.width, headers.height);
    return false;
  }
  if (padded)
    DecodePadded(bytes, sink, progress, options);
  else
    Decode(bytes, sink, progress, options);
  return true;
}

}  // namespace zudizar::jpeg

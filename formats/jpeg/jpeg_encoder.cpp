// WriteJpegFile: a baseline JFIF file with fixed tables (T.81 Annex K) and
// 2 x 1 luminance sampling. The file is encoded twice: once only counting
// its bytes, then into a buffer of that size. The counting run keeps the
// bit fields it packs, so the writing run only packs them again.
#include "formats/jpeg/jpeg_encoder.h"

#include <algorithm>
#include <bit>
#include <cstring>
#include <vector>

#include "base/file_io.h"
#include "formats/jpeg/jpeg.h"
#include "formats/jpeg/jpeg_fdct.h"
#include "formats/jpeg/jpeg_simd.h"
#include "formats/jpeg/jpeg_tables.h"

#ifdef ZUDIZAR_JPEG_X86
#include <immintrin.h>
#endif

namespace zudizar {
namespace jpeg {
namespace {

// x * c / 32768 rounded half away from zero on the side of the product.
inline int R(int x, int c) {
  const bool same = (x > 0 && c > 0) || (x <= 0 && c <= 0);
  return same ? (x * c + 16384) / 32768 : (x * c - 16383) / 32768;
}

// Codes and code lengths per symbol, by T.81 Annex C.
struct HuffmanCodes {
  std::uint16_t code[256] = {};
  std::uint8_t size[256] = {};
};

HuffmanCodes MakeCodes(const HuffmanSpec& spec) {
  HuffmanCodes codes;
  int code = 0;
  int k = 0;
  for (int length = 1; length <= 16; ++length) {
    for (int i = 0; i < spec.counts[length - 1]; ++i, ++k) {
      codes.code[spec.symbols[k]] = static_cast<std::uint16_t>(code++);
      codes.size[spec.symbols[k]] = static_cast<std::uint8_t>(length);
    }
    code <<= 1;
  }
  return codes;
}

// Quantisation of a coefficient a by q = 16 Q, rounded half away from zero:
// |a| / q is floor((|a| + 8 Q) / (16 Q)) = floor(floor((|a| + 8 Q) / 16) / Q),
// and for m = floor((|a| + 8 Q) / 16) below 2048 and Q up to 255,
// floor(m / Q) = (m * (floor(2^20 / Q) + 1)) >> 20 exactly (the error of
// the reciprocal stays below 2^-9 < 1 / Q).
struct QuantTable {
  alignas(32) std::int32_t half[64];        // natural order: 8 Q
  alignas(32) std::int32_t reciprocal[64];  // natural order: floor(2^20 / Q) + 1
};

QuantTable MakeQuant(const std::array<std::uint8_t, 64>& values) {
  QuantTable table;
  for (int k = 0; k < 64; ++k) {
    const int natural = kZigZagToNatural[k];
    table.half[natural] = 8 * values[k];
    table.reciprocal[natural] = (1 << 20) / values[k] + 1;
  }
  return table;
}

inline int QuantiseOne(int a, const QuantTable& table, int natural) {
  const int magnitude = ((a < 0 ? -a : a) + table.half[natural]) >> 4;
  const int quotient = static_cast<int>((static_cast<std::int64_t>(magnitude) * table.reciprocal[natural]) >> 20);
  return a < 0 ? -quotient : quotient;
}

// For each byte of a mask over natural positions, its bits over zig-zag
// indices.
struct ZigZagMasks {
  std::uint64_t byByte[8][256];
  ZigZagMasks() {
    int zigzagOf[64];
    for (int k = 0; k < 64; ++k) zigzagOf[kZigZagToNatural[k]] = k;
    for (int b = 0; b < 8; ++b)
      for (int v = 0; v < 256; ++v) {
        std::uint64_t mask = 0;
        for (int j = 0; j < 8; ++j)
          if (v & (1 << j)) mask |= std::uint64_t{1} << zigzagOf[8 * b + j];
        byByte[b][v] = mask;
      }
  }
};

const ZigZagMasks& ZigZag() {
  static const ZigZagMasks masks;
  return masks;
}

// Quantises a block in natural order; returns the mask of its non-zero
// coefficients by natural position.
std::uint64_t QuantiseBlockScalar(const std::int16_t* block, const QuantTable& table, std::int16_t* out) {
  std::uint64_t mask = 0;
  for (int i = 0; i < 64; ++i) {
    out[i] = static_cast<std::int16_t>(QuantiseOne(block[i], table, i));
    if (out[i] != 0) mask |= std::uint64_t{1} << i;
  }
  return mask;
}

#ifdef ZUDIZAR_JPEG_X86
__attribute__((target("avx2"))) std::uint64_t QuantiseBlockAvx2(const std::int16_t* block, const QuantTable& table,
                                                                std::int16_t* out) {
  __m256i packed[4];
  for (int i = 0; i < 64; i += 16) {
    __m256i halves[2];
    for (int h = 0; h < 2; ++h) {
      const int at = i + 8 * h;
      const __m256i a = _mm256_cvtepi16_epi32(_mm_loadu_si128(reinterpret_cast<const __m128i*>(block + at)));
      const __m256i half = _mm256_load_si256(reinterpret_cast<const __m256i*>(table.half + at));
      const __m256i reciprocal = _mm256_load_si256(reinterpret_cast<const __m256i*>(table.reciprocal + at));
      const __m256i magnitude = _mm256_srli_epi32(_mm256_add_epi32(_mm256_abs_epi32(a), half), 4);
      const __m256i quotient = _mm256_srli_epi32(_mm256_mullo_epi32(magnitude, reciprocal), 20);
      halves[h] = _mm256_sign_epi32(quotient, a);
    }
    packed[i / 16] = _mm256_permute4x64_epi64(_mm256_packs_epi32(halves[0], halves[1]), 0xD8);
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(out + i), packed[i / 16]);
  }
  const __m256i zero = _mm256_setzero_si256();
  std::uint64_t zeros = 0;
  for (int j = 0; j < 2; ++j) {
    const __m256i bytes = _mm256_permute4x64_epi64(
        _mm256_packs_epi16(_mm256_cmpeq_epi16(packed[2 * j], zero), _mm256_cmpeq_epi16(packed[2 * j + 1], zero)), 0xD8);
    zeros |= static_cast<std::uint64_t>(static_cast<std::uint32_t>(_mm256_movemask_epi8(bytes))) << (32 * j);
  }
  return ~zeros;
}
#endif

std::uint64_t QuantiseBlock(const std::int16_t* block, const QuantTable& table, std::int16_t* out) {
#ifdef ZUDIZAR_JPEG_X86
  if (HasAvx2()) return QuantiseBlockAvx2(block, table, out);
#endif
  return QuantiseBlockScalar(block, table, out);
}

inline int BitLength(int magnitude) {
  return magnitude == 0 ? 0 : 32 - __builtin_clz(static_cast<unsigned>(magnitude));
}

// The bit fields of the scan as the counting run packs them, each as
// bits << 5 | count, and where each MCU row's fields end.
struct ScanFields {
  std::vector<std::uint32_t> fields;
  std::vector<std::size_t> rowEnds;
};

// Packs bits MSB first, stuffing a 0x00 after every 0xFF byte; when
// counting it only advances the length (and keeps the fields, when given
// somewhere to keep them).
template <bool kCount>
class Writer {
 public:
  explicit Writer(std::uint8_t* out, std::vector<std::uint32_t>* kept = nullptr) : out_(out), kept_(kept) {}

  void Byte(std::uint8_t value) {
    if (!kCount) out_[length_] = value;
    ++length_;
  }
  void Bytes(std::initializer_list<std::uint8_t> values) {
    for (const std::uint8_t v : values) Byte(v);
  }
  void Word(int value) {
    Byte(static_cast<std::uint8_t>(value >> 8));
    Byte(static_cast<std::uint8_t>(value));
  }

  // Appends `count` bits (at most 27) after the pending ones (fewer than 32).
  void Put(std::uint32_t bits, int count) {
    if (kCount && kept_) kept_->push_back(bits << 5 | static_cast<std::uint32_t>(count));
    acc_ = (acc_ << count) | bits;
    bits_ += count;
    if (bits_ >= 32) {
      bits_ -= 32;
      PutWord(static_cast<std::uint32_t>(acc_ >> bits_));
    }
  }

  // Completes the last byte with 1 bits.
  void Finish() {
    if (bits_ % 8 != 0) Put((1u << (8 - bits_ % 8)) - 1, 8 - bits_ % 8);
    while (bits_ > 0) {
      bits_ -= 8;
      PutByte(static_cast<std::uint8_t>(acc_ >> bits_));
    }
  }

  std::size_t Length() const { return length_; }

 private:
  void PutByte(std::uint8_t value) {
    Byte(value);
    if (value == 0xFF) Byte(0);
  }
  void PutWord(std::uint32_t word) {
    // A 0xFF byte shows as a zero byte of the complement (the test may also
    // fire on a 0xFE next to a 0xFF, which only takes the slow way).
    if ((((~word) - 0x01010101u) & word & 0x80808080u) == 0) {
      if (!kCount) {
        std::uint32_t big = word;
        if constexpr (std::endian::native == std::endian::little) big = __builtin_bswap32(word);
        std::memcpy(out_ + length_, &big, 4);
      }
      length_ += 4;
      return;
    }
    for (int shift = 24; shift >= 0; shift -= 8) PutByte(static_cast<std::uint8_t>(word >> shift));
  }

  std::uint8_t* out_;
  std::vector<std::uint32_t>* kept_;
  std::size_t length_ = 0;
  std::uint64_t acc_ = 0;
  int bits_ = 0;
};

struct Tables {
  QuantTable luminanceQuant = MakeQuant(kLuminanceQuantK1);
  QuantTable chrominanceQuant = MakeQuant(kChrominanceQuantK2);
  HuffmanCodes dcLuminance = MakeCodes(kDcLuminanceK3);
  HuffmanCodes dcChrominance = MakeCodes(kDcChrominanceK4);
  HuffmanCodes acLuminance = MakeCodes(kAcLuminanceK5);
  HuffmanCodes acChrominance = MakeCodes(kAcChrominanceK6);
};

const Tables& FixedTables() {
  static const Tables tables;
  return tables;
}

// Quantises a transformed block and codes it (T.81 F.1.2): the DC
// difference, then runs of zeros and values in zig-zag order, found through
// the mask of non-zero coefficients.
template <bool kCount>
void EncodeBlock(Writer<kCount>& out, const std::int16_t* block, const QuantTable& quant, int& previousDc,
                 const HuffmanCodes& dc, const HuffmanCodes& ac) {
  alignas(32) std::int16_t z[64];
  const std::uint64_t natural = QuantiseBlock(block, quant, z);
  const ZigZagMasks& zigzag = ZigZag();
  std::uint64_t mask = 0;
  for (int b = 0; b < 8; ++b) mask |= zigzag.byByte[b][(natural >> (8 * b)) & 0xFF];
  const auto low = [](int value, int bits) {
    return static_cast<std::uint32_t>(value < 0 ? value - 1 : value) & ((1u << bits) - 1);
  };
  const int diff = z[0] - previousDc;
  previousDc = z[0];
  int size = BitLength(diff < 0 ? -diff : diff);
  out.Put((std::uint32_t{dc.code[size]} << size) | (size ? low(diff, size) : 0), dc.size[size] + size);
  mask &= ~std::uint64_t{1};
  int last = 0;
  while (mask != 0) {
    const int k = __builtin_ctzll(mask);
    mask &= mask - 1;
    int run = k - last - 1;
    last = k;
    for (; run > 15; run -= 16) out.Put(ac.code[0xF0], ac.size[0xF0]);
    const int value = z[kZigZagToNatural[k]];
    size = BitLength(value < 0 ? -value : value);
    const int symbol = (run << 4) | size;
    out.Put((std::uint32_t{ac.code[symbol]} << size) | low(value, size), ac.size[symbol] + size);
  }
  if (last != 63) out.Put(ac.code[0x00], ac.size[0x00]);
}

template <bool kCount>
void WriteHeaders(Writer<kCount>& out, int width, int height) {
  // SOI and a JFIF 1.01 APP0 segment: no units, density 1 x 1, no thumbnail.
  out.Bytes({0xFF, 0xD8, 0xFF, 0xE0, 0x00, 0x10, 0x4A, 0x46, 0x49, 0x46,
             0x00, 0x01, 0x01, 0x00, 0x00, 0x01, 0x00, 0x01, 0x00, 0x00});
  out.Bytes({0xFF, 0xDB});
  out.Word(2 + 65 * 2);
  out.Byte(0);
  for (const std::uint8_t v : kLuminanceQuantK1) out.Byte(v);
  out.Byte(1);
  for (const std::uint8_t v : kChrominanceQuantK2) out.Byte(v);
  out.Bytes({0xFF, 0xC0});
  out.Word(8 + 3 * 3);
  out.Byte(8);
  out.Word(height);
  out.Word(width);
  out.Bytes({3, 1, 0x21, 0, 2, 0x11, 1, 3, 0x11, 1});
  const std::pair<std::uint8_t, const HuffmanSpec*> tables[] = {
      {0x00, &kDcLuminanceK3}, {0x01, &kDcChrominanceK4}, {0x10, &kAcLuminanceK5}, {0x11, &kAcChrominanceK6}};
  for (const auto& [tableByte, spec] : tables) {
    out.Bytes({0xFF, 0xC4});
    out.Word(19 + spec->symbolCount);
    out.Byte(tableByte);
    for (const std::uint8_t count : spec->counts) out.Byte(count);
    for (int i = 0; i < spec->symbolCount; ++i) out.Byte(spec->symbols[i]);
  }
  out.Bytes({0xFF, 0xDA});
  out.Word(6 + 2 * 3);
  out.Bytes({3, 1, 0x00, 2, 0x11, 3, 0x11, 0, 63, 0});
}

// The counting run: encodes the whole file, keeping its scan's bit fields
// in `scan`; returns the file length.
std::size_t CountRun(const IndexedImage& image, const SampleTable& samples, ScanFields& scan, ProgressSink* progress) {
  const Tables& t = FixedTables();
  Writer<true> out(nullptr, &scan.fields);
  const int width = image.ImageWidth();
  const int height = image.ImageHeight();
  WriteHeaders(out, width, height);
  const int mcusPerRow = ((width + 7) / 8 + 1) / 2;
  const int mcuRows = (height + 7) / 8;
  // Most photographs code to fewer fields than one per eight pixels.
  scan.fields.reserve(static_cast<std::size_t>(width) * static_cast<std::size_t>(height) / 8 + 1024);
  scan.rowEnds.reserve(static_cast<std::size_t>(mcuRows));
  int previousDc[3] = {};
  EncoderMcu mcu;
  for (int row = 0; row < mcuRows; ++row) {
    for (int column = 0; column < mcusPerRow; ++column) {
      GatherMcu(image, samples, column, row, mcu);
      ForwardDct2(mcu.luminance[0], mcu.luminance[1]);
      ForwardDct2(mcu.cb, mcu.cr);
      EncodeBlock(out, mcu.luminance[0], t.luminanceQuant, previousDc[0], t.dcLuminance, t.acLuminance);
      EncodeBlock(out, mcu.luminance[1], t.luminanceQuant, previousDc[0], t.dcLuminance, t.acLuminance);
      EncodeBlock(out, mcu.cb, t.chrominanceQuant, previousDc[1], t.dcChrominance, t.acChrominance);
      EncodeBlock(out, mcu.cr, t.chrominanceQuant, previousDc[2], t.dcChrominance, t.acChrominance);
    }
    scan.rowEnds.push_back(scan.fields.size());
    ReportProgress(progress, mcuRows > 1 ? row * 100 / (mcuRows - 1) : 100, 0);
  }
  out.Finish();
  out.Bytes({0xFF, 0xD9});
  return out.Length();
}

// The writing run: the same file into `buffer`, its scan packed from the
// counting run's fields; returns the file length.
std::size_t WriteRun(const IndexedImage& image, const ScanFields& scan, std::uint8_t* buffer, ProgressSink* progress) {
  Writer<false> out(buffer);
  WriteHeaders(out, image.ImageWidth(), image.ImageHeight());
  const int mcuRows = static_cast<int>(scan.rowEnds.size());
  std::size_t at = 0;
  for (int row = 0; row < mcuRows; ++row) {
    for (const std::size_t end = scan.rowEnds[static_cast<std::size_t>(row)]; at < end; ++at)
      out.Put(scan.fields[at] >> 5, static_cast<int>(scan.fields[at] & 31));
    ReportProgress(progress, mcuRows > 1 ? row * 100 / (mcuRows - 1) : 100, 1);
  }
  out.Finish();
  out.Bytes({0xFF, 0xD9});
  return out.Length();
}

}  // namespace

SampleTable MakeSampleTable(const PaletteTable& palette) {
  SampleTable table;
  for (int i = 0; i < 256; ++i) {
    const int red = 16 * palette[i].red;
    const int green = 16 * palette[i].green;
    const int blue = 16 * palette[i].blue;
    const int y = R(red, 9798) + R(green, 19235) + R(blue, 3736);
    table.luminance[i] = static_cast<std::int16_t>(y - 2048);
    table.cb[i] = static_cast<std::int16_t>(R(blue - y, 18492));
    table.cr[i] = static_cast<std::int16_t>(R(red - y, 23372));
  }
  return table;
}

void GatherMcu(const IndexedImage& image, const SampleTable& samples, int mcuX, int mcuY, EncoderMcu& mcu) {
  const int width = image.ImageWidth();
  const int height = image.ImageHeight();
  const int x0 = mcuX * 16;
  const int y0 = mcuY * 8;
  const bool inside = x0 + 16 <= width;
  for (int j = 0; j < 8; ++j) {
    const std::uint8_t* row = image.Row(std::min(y0 + j, height - 1));
    std::uint8_t index[16];
    if (inside) {
      std::memcpy(index, row + x0, 16);
    } else {
      for (int i = 0; i < 16; ++i) index[i] = row[std::min(x0 + i, width - 1)];
    }
    for (int i = 0; i < 16; ++i) mcu.luminance[i >> 3][8 * j + (i & 7)] = samples.luminance[index[i]];
    for (int i = 0; i < 8; ++i) {
      const int cb = samples.cb[index[2 * i]] + samples.cb[index[2 * i + 1]];
      const int cr = samples.cr[index[2 * i]] + samples.cr[index[2 * i + 1]];
      mcu.cb[8 * j + i] = static_cast<std::int16_t>((cb + 1) >> 1);
      mcu.cr[8 * j + i] = static_cast<std::int16_t>((cr + 1) >> 1);
    }
  }
}

int Quantise(int coefficient, int value) {
  std::array<std::uint8_t, 64> values;
  values.fill(static_cast<std::uint8_t>(value));
  return QuantiseOne(coefficient, MakeQuant(values), 0);
}

}  // namespace jpeg

std::vector<std::uint8_t> EncodeJpeg(const IndexedImage& image, const PaletteTable& palette, ProgressSink* progress) {
  const int width = image.ImageWidth();
  const int height = image.ImageHeight();
  if (!image.HasPixels() || width < 1 || height < 1 ||
      image.pixels.size() < static_cast<std::size_t>(width) * static_cast<std::size_t>(height))
    return {};
  const jpeg::SampleTable samples = jpeg::MakeSampleTable(palette);
  jpeg::ScanFields scan;
  const std::size_t length = jpeg::CountRun(image, samples, scan, progress);
  std::vector<std::uint8_t> bytes(length + 16384, 0);
  bytes.resize(jpeg::WriteRun(image, scan, bytes.data(), progress));
  return bytes;
}

bool WriteJpegFile(const std::string& name, IndexedImage& image, FileReport*, ProgressSink* progress) {
  const std::vector<std::uint8_t> bytes = EncodeJpeg(image, SharedPalette.current, progress);
  if (bytes.empty()) return false;
  return WriteFileSafely(name, bytes);
}

}  // namespace zudizar

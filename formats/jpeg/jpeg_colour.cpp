#include "formats/jpeg/jpeg_colour.h"

#include <algorithm>
#include <cstring>

#include "formats/jpeg/jpeg_simd.h"

#ifdef ZUDIZAR_JPEG_X86
#include <immintrin.h>
#endif

namespace zudizar::jpeg {
namespace {

// Truncated toward zero.
inline int K(int x, int c) { return (x * c + 8192) / 16384; }
inline int N(int x, int c) { return (x * c + 16384) / 32768; }
// A sample with 4 fraction bits to 0..255.
inline std::uint8_t S(int v) { return static_cast<std::uint8_t>(std::clamp((v + 8) >> 4, 0, 255)); }
inline int RoundedDc(int dc) { return (dc + 4) >> 3; }

#ifdef ZUDIZAR_JPEG_X86
#define AVX2 __attribute__((target("avx2")))

AVX2 inline __m256i Widen(__m128i v) { return _mm256_cvtepi16_epi32(v); }

// Rows (pairs of 8-lane vectors) to 0..255 with the S rounding: the shift
// result is clamped by the saturating packs.
AVX2 inline void Store4Rows(const __m256i v[4], std::uint8_t* out) {
  const __m256i a =
      _mm256_permute4x64_epi64(_mm256_packs_epi32(_mm256_srai_epi32(v[0], 4), _mm256_srai_epi32(v[1], 4)), 0xD8);
  const __m256i b =
      _mm256_permute4x64_epi64(_mm256_packs_epi32(_mm256_srai_epi32(v[2], 4), _mm256_srai_epi32(v[3], 4)), 0xD8);
  const __m256i bytes = _mm256_permute4x64_epi64(_mm256_packus_epi16(a, b), 0xD8);
  _mm256_storeu_si256(reinterpret_cast<__m256i*>(out), bytes);
}

AVX2 inline __m128i LoadChromaRow(const std::int16_t* row, int hShift) {
  if (hShift == 0) return _mm_loadu_si128(reinterpret_cast<const __m128i*>(row));
  const __m128i four = _mm_loadl_epi64(reinterpret_cast<const __m128i*>(row));
  return _mm_unpacklo_epi16(four, four);
}

// (x * c + 2^(s-1)) >> s with the division truncated toward zero.
template <int kShift>
AVX2 inline __m256i ScaleV(__m256i x, int c) {
  const __m256i p = _mm256_add_epi32(_mm256_mullo_epi32(x, _mm256_set1_epi32(c)), _mm256_set1_epi32(1 << (kShift - 1)));
  const __m256i fix = _mm256_srli_epi32(_mm256_srai_epi32(p, 31), 32 - kShift);
  return _mm256_srai_epi32(_mm256_add_epi32(p, fix), kShift);
}
AVX2 inline __m256i Wrap16(__m256i a) { return _mm256_srai_epi32(_mm256_slli_epi32(a, 16), 16); }
AVX2 inline void Store16(std::int16_t* out, __m256i a) {
  const __m256i packed = _mm256_packs_epi32(a, a);  // exact: a holds 16-bit values
  _mm_storeu_si128(reinterpret_cast<__m128i*>(out), _mm256_castsi256_si128(_mm256_permute4x64_epi64(packed, 0x08)));
}

AVX2 void PrepareChromaAvx2(const std::int16_t* cb, const std::int16_t* cr, ChromaTerms& terms) {
  for (int i = 0; i < 64; i += 8) {
    const __m256i b = Widen(_mm_loadu_si128(reinterpret_cast<const __m128i*>(cb + i)));
    const __m256i r = Widen(_mm_loadu_si128(reinterpret_cast<const __m128i*>(cr + i)));
    const __m256i blue = Wrap16(ScaleV<14>(b, 29032));
    const __m256i red = Wrap16(ScaleV<14>(r, 22970));
    const __m256i green = Wrap16(_mm256_add_epi32(Wrap16(ScaleV<15>(blue, 6364)), ScaleV<15>(red, 16691)));
    Store16(terms.blue + i, blue);
    Store16(terms.red + i, red);
    Store16(terms.green + i, green);
  }
}

AVX2 void ConvertBlockAvx2(const std::int16_t* luminance, const ChromaTerms& terms, int ox, int oy, int hShift,
                           int vShift, BlockPixels& out) {
  const __m256i bias = _mm256_set1_epi32(2048 + 8);
  for (int group = 0; group < 8; group += 4) {
    __m256i blue[4], red[4], green[4];
    for (int i = 0; i < 4; ++i) {
      const int y = group + i;
      const __m256i yp =
          _mm256_add_epi32(Widen(_mm_loadu_si128(reinterpret_cast<const __m128i*>(luminance + 8 * y))), bias);
      const int offset = ((oy + y) >> vShift) * 8 + (ox >> hShift);
      blue[i] = _mm256_add_epi32(yp, Widen(LoadChromaRow(terms.blue + offset, hShift)));
      red[i] = _mm256_add_epi32(yp, Widen(LoadChromaRow(terms.red + offset, hShift)));
      green[i] = _mm256_sub_epi32(yp, Widen(LoadChromaRow(terms.green + offset, hShift)));
    }
    Store4Rows(blue, out.blue + 8 * group);
    Store4Rows(red, out.red + 8 * group);
    Store4Rows(green, out.green + 8 * group);
  }
}

// A sample with its rounding bias added to 0..255, as Store4Rows does.
AVX2 inline __m256i Sample(__m256i v) {
  return _mm256_min_epi32(_mm256_max_epi32(_mm256_srai_epi32(v, 4), _mm256_setzero_si256()), _mm256_set1_epi32(255));
}

// ConvertBlockAvx2 and NearestColourMap::NearestMany in one: the colours of
// a row stay in their lanes from the conversion to the look-up.
AVX2 void ConvertBlockIndicesAvx2(const std::int16_t* luminance, const ChromaTerms& terms, int ox, int oy, int hShift,
                                  int vShift, const NearestColourMap& map, std::uint8_t* out) {
  const __m256i bias = _mm256_set1_epi32(2048 + 8);
  const __m256i three = _mm256_set1_epi32(3);
  const __m256i low31 = _mm256_set1_epi32(31);
  const __m256i one = _mm256_set1_epi32(1);
  const __m256i byteMask = _mm256_set1_epi32(0xFF);
  // clang-format off
  const __m256i lowBytes = _mm256_setr_epi8(0, 4, 8, 12, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1,
                                            0, 4, 8, 12, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1);
  // clang-format on
  const std::uint32_t* filled = map.FilledBits();
  const std::uint8_t* answers = map.Answers();
  for (int y = 0; y < 8; ++y) {
    const __m256i yp =
        _mm256_add_epi32(Widen(_mm_loadu_si128(reinterpret_cast<const __m128i*>(luminance + 8 * y))), bias);
    const int offset = ((oy + y) >> vShift) * 8 + (ox >> hShift);
    const __m256i b = Sample(_mm256_add_epi32(yp, Widen(LoadChromaRow(terms.blue + offset, hShift))));
    const __m256i r = Sample(_mm256_add_epi32(yp, Widen(LoadChromaRow(terms.red + offset, hShift))));
    const __m256i g = Sample(_mm256_sub_epi32(yp, Widen(LoadChromaRow(terms.green + offset, hShift))));
    const __m256i block = _mm256_or_si256(
        _mm256_or_si256(_mm256_slli_epi32(_mm256_srli_epi32(r, 2), 12), _mm256_slli_epi32(_mm256_srli_epi32(g, 2), 6)),
        _mm256_srli_epi32(b, 2));
    const __m256i words = _mm256_i32gather_epi32(reinterpret_cast<const int*>(filled), _mm256_srli_epi32(block, 5), 4);
    const __m256i bits = _mm256_and_si256(_mm256_srlv_epi32(words, _mm256_and_si256(block, low31)), one);
    if (_mm256_movemask_epi8(_mm256_cmpeq_epi32(bits, one)) != -1) [[unlikely]] {
      // A block not filled yet: the row one colour at a time, which fills it.
      alignas(32) std::int32_t red[8], green[8], blue[8];
      _mm256_store_si256(reinterpret_cast<__m256i*>(red), r);
      _mm256_store_si256(reinterpret_cast<__m256i*>(green), g);
      _mm256_store_si256(reinterpret_cast<__m256i*>(blue), b);
      for (int i = 0; i < 8; ++i)
        out[8 * y + i] = static_cast<std::uint8_t>(map.Nearest(static_cast<std::uint8_t>(red[i]),
                                                               static_cast<std::uint8_t>(green[i]),
                                                               static_cast<std::uint8_t>(blue[i])));
      continue;
    }
    const __m256i at =
        _mm256_or_si256(_mm256_or_si256(_mm256_slli_epi32(block, 6), _mm256_slli_epi32(_mm256_and_si256(r, three), 4)),
                        _mm256_slli_epi32(_mm256_and_si256(g, three), 2));
    const __m256i four = _mm256_i32gather_epi32(reinterpret_cast<const int*>(answers), at, 1);
    const __m256i answer =
        _mm256_and_si256(_mm256_srlv_epi32(four, _mm256_slli_epi32(_mm256_and_si256(b, three), 3)), byteMask);
    const __m256i packed = _mm256_shuffle_epi8(answer, lowBytes);
    const std::uint32_t lo = static_cast<std::uint32_t>(_mm256_cvtsi256_si32(packed));
    const std::uint32_t hi = static_cast<std::uint32_t>(_mm256_extract_epi32(packed, 4));
    const std::uint64_t eight = lo | (std::uint64_t{hi} << 32);
    std::memcpy(out + 8 * y, &eight, 8);
  }
}
#endif

}  // namespace

void ConvertBlockIndicesReference(const std::int16_t luminance[64], const ChromaTerms& terms, int ox, int oy,
                                  int hShift, int vShift, const NearestColourMap& map, std::uint8_t out[64]) {
  BlockPixels pixels;
  ConvertBlockReference(luminance, terms, ox, oy, hShift, vShift, pixels);
  for (int i = 0; i < 64; ++i) out[i] = static_cast<std::uint8_t>(map.Nearest(pixels.red[i], pixels.green[i], pixels.blue[i]));
}

void ConvertBlockIndices(const std::int16_t luminance[64], const ChromaTerms& terms, int ox, int oy, int hShift,
                         int vShift, const NearestColourMap& map, std::uint8_t out[64]) {
#ifdef ZUDIZAR_JPEG_X86
  if (HasAvx2()) {
    ConvertBlockIndicesAvx2(luminance, terms, ox, oy, hShift, vShift, map, out);
    return;
  }
#endif
  ConvertBlockIndicesReference(luminance, terms, ox, oy, hShift, vShift, map, out);
}

void PrepareChromaReference(const std::int16_t cb[64], const std::int16_t cr[64], ChromaTerms& terms) {
  for (int i = 0; i < 64; ++i) {
    const auto blue = static_cast<std::int16_t>(K(cb[i], 29032));
    const auto red = static_cast<std::int16_t>(K(cr[i], 22970));
    terms.blue[i] = blue;
    terms.red[i] = red;
    const auto green = static_cast<std::int16_t>(N(blue, 6364));
    terms.green[i] = static_cast<std::int16_t>(green + N(red, 16691));
  }
}

void PrepareChroma(const std::int16_t cb[64], const std::int16_t cr[64], ChromaTerms& terms) {
#ifdef ZUDIZAR_JPEG_X86
  if (HasAvx2()) {
    PrepareChromaAvx2(cb, cr, terms);
    return;
  }
#endif
  PrepareChromaReference(cb, cr, terms);
}

void ConvertBlockReference(const std::int16_t luminance[64], const ChromaTerms& terms, int ox, int oy, int hShift,
                           int vShift, BlockPixels& out) {
  for (int y = 0; y < 8; ++y) {
    for (int x = 0; x < 8; ++x) {
      const int c = ((oy + y) >> vShift) * 8 + ((ox + x) >> hShift);
      const int yp = luminance[8 * y + x] + 2048;
      out.blue[8 * y + x] = S(yp + terms.blue[c]);
      out.red[8 * y + x] = S(yp + terms.red[c]);
      out.green[8 * y + x] = S(yp - terms.green[c]);
    }
  }
}

void ConvertBlock(const std::int16_t luminance[64], const ChromaTerms& terms, int ox, int oy, int hShift, int vShift,
                  BlockPixels& out) {
#ifdef ZUDIZAR_JPEG_X86
  if (HasAvx2()) {
    ConvertBlockAvx2(luminance, terms, ox, oy, hShift, vShift, out);
    return;
  }
#endif
  ConvertBlockReference(luminance, terms, ox, oy, hShift, vShift, out);
}

void ConvertGreyBlock(const std::int16_t luminance[64], BlockPixels& out) {
  for (int i = 0; i < 64; ++i) out.red[i] = S(luminance[i] + 2048);
  std::copy(out.red, out.red + 64, out.green);
  std::copy(out.red, out.red + 64, out.blue);
}

Rgb PreviewColour(int luminanceDc, int cbDc, int crDc) {
  const int yp = RoundedDc(luminanceDc) + 2048;
  const int cb = RoundedDc(cbDc);
  const int cr = RoundedDc(crDc);
  return {S(yp + K(cr, 22970)), S(yp - N(cb, 11277) - N(cr, 23401)), S(yp + K(cb, 29032))};
}

Rgb PreviewGrey(int luminanceDc) {
  const std::uint8_t v = S(RoundedDc(luminanceDc) + 2048);
  return {v, v, v};
}

}  // namespace zudizar::jpeg

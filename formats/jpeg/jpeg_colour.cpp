#include "formats/jpeg/jpeg_colour.h"

#include <algorithm>

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
#endif

}  // namespace

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

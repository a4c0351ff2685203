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

#ifdef ZUDIZAR_JPEG_X86
#define AVX2 __attribute__((target("avx2")))

AVX2 inline __m256i Widen(__m128i v) { return _mm256_cvtepi16_epi32(v); }

AVX2 inline __m128i LoadChromaRow(const std::int16_t* row, int hShift) {
  if (hShift == 0) return _mm_loadu_si128(reinterpret_cast<const __m128i*>(row));
  const __m128i four = _mm_loadl_epi64(reinterpret_cast<const __m128i*>(row));
  return _mm_unpacklo_epi16(four, four);
}

// (x * c + 2^(s-1)) >> s with the division truncated toward zero, for
// lanes holding 16-bit values and 0 <= c < 32768: a 16 x 16-bit multiply-add
// with a zero high half of the constant, far cheaper than a 32-bit multiply,
// and the truncation as the magnitude shifted with the sign given back.
template <int kShift>
AVX2 inline __m256i ScaleV(__m256i x, int c) {
  const __m256i p = _mm256_add_epi32(_mm256_madd_epi16(x, _mm256_set1_epi32(c)), _mm256_set1_epi32(1 << (kShift - 1)));
  return _mm256_sign_epi32(_mm256_srli_epi32(_mm256_abs_epi32(p), kShift), p);
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
    // The sum keeps its low 16 bits, so its first term need not be wrapped.
    const __m256i green = Wrap16(_mm256_add_epi32(ScaleV<15>(blue, 6364), ScaleV<15>(red, 16691)));
    Store16(terms.blue + i, blue);
    Store16(terms.red + i, red);
    Store16(terms.green + i, green);
  }
}

// Two rows of chroma terms for luminance rows y and y + 1 of the block (y
// even). Halved vertically, both use the same chroma row.
template <bool kHalfHeight>
AVX2 inline __m256i LoadChromaRows(const std::int16_t* terms, int ox, int oy, int y, int hShift) {
  const int column = ox >> hShift;
  if (kHalfHeight) return _mm256_broadcastsi128_si256(LoadChromaRow(terms + ((oy + y) >> 1) * 8 + column, hShift));
  const __m128i first = LoadChromaRow(terms + (oy + y) * 8 + column, hShift);
  const __m128i second = LoadChromaRow(terms + (oy + y + 1) * 8 + column, hShift);
  return _mm256_inserti128_si256(_mm256_castsi128_si256(first), second, 1);
}

// Four pairs of rows of 16-bit samples to 0..255 bytes. The pack works
// within 128-bit halves; the permute puts the rows in order.
AVX2 inline void StoreRows(const __m256i v[4], std::uint8_t* to) {
  const __m256i low = _mm256_permute4x64_epi64(_mm256_packus_epi16(v[0], v[1]), 0xD8);
  const __m256i high = _mm256_permute4x64_epi64(_mm256_packus_epi16(v[2], v[3]), 0xD8);
  _mm256_storeu_si256(reinterpret_cast<__m256i*>(to), low);
  _mm256_storeu_si256(reinterpret_cast<__m256i*>(to + 32), high);
}

// Sixteen pixels per vector in 16-bit lanes. The sums saturate, which keeps
// S exact: a saturated luminance-plus-chroma sum lies beyond 4088 or below
// -8 just as the true sum does, and so does the sum with the bias added
// (S(v) = (v + 8) >> 4 clamped, the clamp done by the unsigned pack).
template <bool kHalfHeight>
AVX2 void ConvertBlockAvx2(const std::int16_t* luminance, const ChromaTerms& terms, int ox, int oy, int hShift,
                           BlockPixels& out) {
  const __m256i bias = _mm256_set1_epi16(2048 + 8);
  __m256i blue[4], red[4], green[4];
  for (int i = 0; i < 4; ++i) {
    const int y = 2 * i;
    const __m256i yv = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(luminance + 8 * y));
    const __m256i b = _mm256_adds_epi16(yv, LoadChromaRows<kHalfHeight>(terms.blue, ox, oy, y, hShift));
    const __m256i r = _mm256_adds_epi16(yv, LoadChromaRows<kHalfHeight>(terms.red, ox, oy, y, hShift));
    const __m256i g = _mm256_subs_epi16(yv, LoadChromaRows<kHalfHeight>(terms.green, ox, oy, y, hShift));
    blue[i] = _mm256_srai_epi16(_mm256_adds_epi16(b, bias), 4);
    red[i] = _mm256_srai_epi16(_mm256_adds_epi16(r, bias), 4);
    green[i] = _mm256_srai_epi16(_mm256_adds_epi16(g, bias), 4);
  }
  StoreRows(blue, out.blue);
  StoreRows(red, out.red);
  StoreRows(green, out.green);
}
#endif

}  // namespace

void PrepareChromaReference(const std::int16_t cb[64], const std::int16_t cr[64], ChromaTerms& terms) {
  PrepareChromaReference(cb, cr, terms, 64);
}

void PrepareChromaReference(const std::int16_t* cb, const std::int16_t* cr, ChromaTerms& terms, int count) {
  for (int i = 0; i < count; ++i) {
    const auto blue = static_cast<std::int16_t>(K(cb[i], 29032));
    const auto red = static_cast<std::int16_t>(K(cr[i], 22970));
    terms.blue[i] = blue;
    terms.red[i] = red;
    const auto green = static_cast<std::int16_t>(N(blue, 6364));
    terms.green[i] = static_cast<std::int16_t>(green + N(red, 16691));
  }
}

void PrepareFlatChroma(std::int16_t cb, std::int16_t cr, ChromaTerms& terms) {
  ChromaTerms one;
  PrepareChromaReference(&cb, &cr, one, 1);
  std::fill_n(terms.blue, 64, one.blue[0]);
  std::fill_n(terms.red, 64, one.red[0]);
  std::fill_n(terms.green, 64, one.green[0]);
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
  if (HasAvx2() && (vShift == 0 || vShift == 1)) {
    if (vShift == 1)
      ConvertBlockAvx2<true>(luminance, terms, ox, oy, hShift, out);
    else
      ConvertBlockAvx2<false>(luminance, terms, ox, oy, hShift, out);
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

}  // namespace zudizar::jpeg

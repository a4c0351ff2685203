#include "formats/jpeg/jpeg_fdct.h"

#include "formats/jpeg/jpeg_simd.h"

#ifdef ZUDIZAR_JPEG_X86
#include <immintrin.h>
#endif

namespace zudizar::jpeg {
namespace {

inline bool SameSide(int x, int c) { return (x > 0 && c > 0) || (x <= 0 && c <= 0); }
// Products scaled by 2^-16 and 2^-15, rounded half away from zero on the
// side of x * c (divisions truncate toward zero).
inline int P(int x, int c) {
  const std::int64_t p = std::int64_t{x} * c;
  return static_cast<int>(SameSide(x, c) ? (p + 32768) / 65536 : (p - 32767) / 65536);
}
inline int R(int x, int c) {
  const std::int64_t p = std::int64_t{x} * c;
  return static_cast<int>(SameSide(x, c) ? (p + 16384) / 32768 : (p - 16383) / 32768);
}

void Pass(std::int16_t* p, int stride) {
  const int x0 = p[0], x1 = p[stride], x2 = p[2 * stride], x3 = p[3 * stride];
  const int x4 = p[4 * stride], x5 = p[5 * stride], x6 = p[6 * stride], x7 = p[7 * stride];
  const int s07 = x0 - x7, s34 = x3 - x4, s25 = x2 - x5, s16 = x1 - x6;
  const int l = P(s07, 32138), m = P(s34, 6393), o = P(s07, 6393), r = P(s34, 32138);
  const int t = P(s25, 18205), u = P(s16, 27246), v = P(s25, 27246), w = P(s16, 18205);
  const int y1 = l + m + t + u;
  const int y7 = o + v - r - w;
  const int A = R((l + m) - (t + u), 23170);
  const int B = R((o - r) - (v - w), 23170);
  const int C = x0 + x7, D = x3 + x4, E = x1 + x6, F = x2 + x5;
  const int G = P(C + D, 23170), H = P(E + F, 23170);
  p[0] = static_cast<std::int16_t>(G + H);
  p[stride] = static_cast<std::int16_t>(y1);
  p[2 * stride] = static_cast<std::int16_t>(P(C - D, 30274) + P(E - F, 12540));
  p[3 * stride] = static_cast<std::int16_t>(A + B);
  p[4 * stride] = static_cast<std::int16_t>(G - H);
  p[5 * stride] = static_cast<std::int16_t>(A - B);
  p[6 * stride] = static_cast<std::int16_t>(P(C - D, 12540) - P(E - F, 30274));
  p[7 * stride] = static_cast<std::int16_t>(y7);
}

#ifdef ZUDIZAR_JPEG_X86
#define AVX2 __attribute__((target("avx2")))

// The constants are all positive, so "same side" means x > 0.
template <int kShift>
AVX2 inline __m256i Scale(__m256i x, int c) {
  constexpr int half = 1 << (kShift - 1);
  const __m256i p = _mm256_mullo_epi32(x, _mm256_set1_epi32(c));
  const __m256i up = _mm256_srai_epi32(_mm256_add_epi32(p, _mm256_set1_epi32(half)), kShift);
  const __m256i down = _mm256_sub_epi32(
      _mm256_setzero_si256(),
      _mm256_srli_epi32(_mm256_sub_epi32(_mm256_set1_epi32(half - 1), p), kShift));
  return _mm256_blendv_epi8(down, up, _mm256_cmpgt_epi32(x, _mm256_setzero_si256()));
}
AVX2 inline __m256i Pv(__m256i x, int c) { return Scale<16>(x, c); }
AVX2 inline __m256i Rv(__m256i x, int c) { return Scale<15>(x, c); }
AVX2 inline __m256i Add(__m256i a, __m256i b) { return _mm256_add_epi32(a, b); }
AVX2 inline __m256i Sub(__m256i a, __m256i b) { return _mm256_sub_epi32(a, b); }
AVX2 inline __m256i Wrap16(__m256i a) { return _mm256_srai_epi32(_mm256_slli_epi32(a, 16), 16); }

AVX2 void Transpose(__m256i v[8]) {
  const __m256i t0 = _mm256_unpacklo_epi32(v[0], v[1]), t1 = _mm256_unpackhi_epi32(v[0], v[1]);
  const __m256i t2 = _mm256_unpacklo_epi32(v[2], v[3]), t3 = _mm256_unpackhi_epi32(v[2], v[3]);
  const __m256i t4 = _mm256_unpacklo_epi32(v[4], v[5]), t5 = _mm256_unpackhi_epi32(v[4], v[5]);
  const __m256i t6 = _mm256_unpacklo_epi32(v[6], v[7]), t7 = _mm256_unpackhi_epi32(v[6], v[7]);
  const __m256i u0 = _mm256_unpacklo_epi64(t0, t2), u1 = _mm256_unpackhi_epi64(t0, t2);
  const __m256i u2 = _mm256_unpacklo_epi64(t1, t3), u3 = _mm256_unpackhi_epi64(t1, t3);
  const __m256i u4 = _mm256_unpacklo_epi64(t4, t6), u5 = _mm256_unpackhi_epi64(t4, t6);
  const __m256i u6 = _mm256_unpacklo_epi64(t5, t7), u7 = _mm256_unpackhi_epi64(t5, t7);
  v[0] = _mm256_permute2x128_si256(u0, u4, 0x20);
  v[1] = _mm256_permute2x128_si256(u1, u5, 0x20);
  v[2] = _mm256_permute2x128_si256(u2, u6, 0x20);
  v[3] = _mm256_permute2x128_si256(u3, u7, 0x20);
  v[4] = _mm256_permute2x128_si256(u0, u4, 0x31);
  v[5] = _mm256_permute2x128_si256(u1, u5, 0x31);
  v[6] = _mm256_permute2x128_si256(u2, u6, 0x31);
  v[7] = _mm256_permute2x128_si256(u3, u7, 0x31);
}

AVX2 void PassV(__m256i v[8]) {
  const __m256i s07 = Sub(v[0], v[7]), s34 = Sub(v[3], v[4]);
  const __m256i s25 = Sub(v[2], v[5]), s16 = Sub(v[1], v[6]);
  const __m256i l = Pv(s07, 32138), m = Pv(s34, 6393), o = Pv(s07, 6393), r = Pv(s34, 32138);
  const __m256i t = Pv(s25, 18205), u = Pv(s16, 27246), w25 = Pv(s25, 27246), w = Pv(s16, 18205);
  const __m256i y1 = Add(Add(l, m), Add(t, u));
  const __m256i y7 = Sub(Sub(Add(o, w25), r), w);
  const __m256i A = Rv(Sub(Add(l, m), Add(t, u)), 23170);
  const __m256i B = Rv(Sub(Sub(o, r), Sub(w25, w)), 23170);
  const __m256i C = Add(v[0], v[7]), D = Add(v[3], v[4]);
  const __m256i E = Add(v[1], v[6]), F = Add(v[2], v[5]);
  const __m256i G = Pv(Add(C, D), 23170), H = Pv(Add(E, F), 23170);
  const __m256i cd = Sub(C, D), ef = Sub(E, F);
  v[0] = Wrap16(Add(G, H));
  v[1] = Wrap16(y1);
  v[2] = Wrap16(Add(Pv(cd, 30274), Pv(ef, 12540)));
  v[3] = Wrap16(Add(A, B));
  v[4] = Wrap16(Sub(G, H));
  v[5] = Wrap16(Sub(A, B));
  v[6] = Wrap16(Sub(Pv(cd, 12540), Pv(ef, 30274)));
  v[7] = Wrap16(y7);
}

AVX2 void ForwardDctAvx2(std::int16_t* block) {
  __m256i v[8];
  for (int i = 0; i < 8; ++i)
    v[i] = _mm256_cvtepi16_epi32(_mm_loadu_si128(reinterpret_cast<const __m128i*>(block + 8 * i)));
  Transpose(v);
  PassV(v);
  Transpose(v);
  PassV(v);
  for (int i = 0; i < 8; i += 2) {
    const __m256i packed = _mm256_permute4x64_epi64(_mm256_packs_epi32(v[i], v[i + 1]), 0xD8);
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(block + 8 * i), packed);
  }
}
#endif

}  // namespace

void ForwardDctReference(std::int16_t block[64]) {
  for (int row = 0; row < 8; ++row) Pass(block + 8 * row, 1);
  for (int column = 0; column < 8; ++column) Pass(block + column, 8);
}

void ForwardDct(std::int16_t block[64]) {
#ifdef ZUDIZAR_JPEG_X86
  if (HasAvx2()) {
    ForwardDctAvx2(block);
    return;
  }
#endif
  ForwardDctReference(block);
}

}  // namespace zudizar::jpeg

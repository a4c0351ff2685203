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

// With c > 0, both P and R equal floor((x * c + half) / 2^s) for every x:
// for x <= 0 the defined "(x * c - (half - 1)) / 2^s truncated" is the same
// value. mulhrs gives floor((x * b + 2^14) / 2^15), so R(x, c) is
// mulhrs(x, c) and P(x, c) is mulhrs(x, c / 2) for even c; odd c take the
// full product.
template <int kC>
AVX2 inline __m256i Pv(__m256i x) {
  if constexpr (kC % 2 == 0) {
    return _mm256_mulhrs_epi16(x, _mm256_set1_epi16(kC / 2));
  } else {
    const __m256i c = _mm256_set1_epi16(kC);
    return _mm256_add_epi16(_mm256_mulhi_epi16(x, c), _mm256_srli_epi16(_mm256_mullo_epi16(x, c), 15));
  }
}
template <int kC>
AVX2 inline __m256i Rv(__m256i x) {
  return _mm256_mulhrs_epi16(x, _mm256_set1_epi16(kC));
}
AVX2 inline __m256i Add(__m256i a, __m256i b) { return _mm256_add_epi16(a, b); }
AVX2 inline __m256i Sub(__m256i a, __m256i b) { return _mm256_sub_epi16(a, b); }

AVX2 void PassV(__m256i v[8]) {
  const __m256i s07 = Sub(v[0], v[7]), s34 = Sub(v[3], v[4]);
  const __m256i s25 = Sub(v[2], v[5]), s16 = Sub(v[1], v[6]);
  const __m256i l = Pv<32138>(s07), m = Pv<6393>(s34), o = Pv<6393>(s07), r = Pv<32138>(s34);
  const __m256i t = Pv<18205>(s25), u = Pv<27246>(s16), w25 = Pv<27246>(s25), w = Pv<18205>(s16);
  const __m256i y1 = Add(Add(l, m), Add(t, u));
  const __m256i y7 = Sub(Sub(Add(o, w25), r), w);
  const __m256i A = Rv<23170>(Sub(Add(l, m), Add(t, u)));
  const __m256i B = Rv<23170>(Sub(Sub(o, r), Sub(w25, w)));
  const __m256i C = Add(v[0], v[7]), D = Add(v[3], v[4]);
  const __m256i E = Add(v[1], v[6]), F = Add(v[2], v[5]);
  const __m256i G = Pv<23170>(Add(C, D)), H = Pv<23170>(Add(E, F));
  const __m256i cd = Sub(C, D), ef = Sub(E, F);
  v[0] = Add(G, H);
  v[1] = y1;
  v[2] = Add(Pv<30274>(cd), Pv<12540>(ef));
  v[3] = Add(A, B);
  v[4] = Sub(G, H);
  v[5] = Sub(A, B);
  v[6] = Sub(Pv<12540>(cd), Pv<30274>(ef));
  v[7] = y7;
}

AVX2 void ForwardDct2Avx2(std::int16_t* first, std::int16_t* second) {
  __m256i v[8];
  for (int i = 0; i < 8; ++i)
    v[i] = _mm256_inserti128_si256(
        _mm256_castsi128_si256(_mm_loadu_si128(reinterpret_cast<const __m128i*>(first + 8 * i))),
        _mm_loadu_si128(reinterpret_cast<const __m128i*>(second + 8 * i)), 1);
  TransposeHalves16(v);
  PassV(v);
  TransposeHalves16(v);
  PassV(v);
  for (int i = 0; i < 8; ++i) {
    _mm_storeu_si128(reinterpret_cast<__m128i*>(first + 8 * i), _mm256_castsi256_si128(v[i]));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(second + 8 * i), _mm256_extracti128_si256(v[i], 1));
  }
}
#endif

}  // namespace

void ForwardDctReference(std::int16_t block[64]) {
  for (int row = 0; row < 8; ++row) Pass(block + 8 * row, 1);
  for (int column = 0; column < 8; ++column) Pass(block + column, 8);
}

void ForwardDct2(std::int16_t first[64], std::int16_t second[64]) {
#ifdef ZUDIZAR_JPEG_X86
  if (HasAvx2()) {
    ForwardDct2Avx2(first, second);
    return;
  }
#endif
  ForwardDctReference(first);
  ForwardDctReference(second);
}

}  // namespace zudizar::jpeg

#include "formats/jpeg/jpeg_idct.h"

#include <utility>

#include "formats/jpeg/jpeg_simd.h"

#ifdef ZUDIZAR_JPEG_X86
#include <immintrin.h>
#endif

namespace zudizar::jpeg {
namespace {

// (x * c + 32768) / 65536 and (x * c + 16384) / 32768, truncated toward zero.
inline int M(int x, int c) { return (x * c + 32768) / 65536; }
inline int N(int x, int c) { return (x * c + 16384) / 32768; }

void Pass(std::int16_t* p, int stride) {
  const int x0 = p[0], x1 = p[stride], x2 = p[2 * stride], x3 = p[3 * stride];
  const int x4 = p[4 * stride], x5 = p[5 * stride], x6 = p[6 * stride], x7 = p[7 * stride];
  // Odd part.
  const int a = M(x3, 27246), b = M(x5, 18205), c = M(x5, 27246), d = M(x3, 18205);
  const int e = M(x1, 32138), f = M(x7, 6393), g = M(x1, 6393);
  const int h = e + f;
  const int s1 = g - M(x7, 32138);
  const int l = a + b;
  const int s2 = c - d;
  const int m = N(h + s1 - l - s2, 23170);
  const int o = N(h + s2 - s1 - l, 23170);
  // Even part.
  const int r = M(x2, 30274), t = M(x6, 12540), u = M(x2, 12540), v = M(x6, 30274);
  const int w = M(x0, 23170), A = M(x4, 23170);
  const int B1 = r + t + w + A;
  const int C1 = u + w - v - A;
  const int D1 = w + v - A - u;
  const int E1 = w + A - r - t;
  p[0] = static_cast<std::int16_t>(B1 + h + l);
  p[stride] = static_cast<std::int16_t>(C1 + m);
  p[2 * stride] = static_cast<std::int16_t>(D1 + o);
  p[3 * stride] = static_cast<std::int16_t>(E1 + s1 + s2);
  p[4 * stride] = static_cast<std::int16_t>(E1 - s1 - s2);
  p[5 * stride] = static_cast<std::int16_t>(D1 - o);
  p[6 * stride] = static_cast<std::int16_t>(C1 - m);
  p[7 * stride] = static_cast<std::int16_t>(B1 - h - l);
}

#ifdef ZUDIZAR_JPEG_X86
#define AVX2 __attribute__((target("avx2")))
// Inlined into the transform, so that the eight vectors stay in registers
// instead of going through memory at every call.
#define AVX2_INLINE __attribute__((target("avx2"), always_inline)) inline

// M of the low 16 bits of each lane, which is all the defined arithmetic
// keeps between passes: one 16 x 16-bit multiply-add with a zero high half
// of the constant, far cheaper than a 32-bit multiply.
// Truncation toward zero as the magnitude shifted, given the numerator's
// sign back (which leaves 0 at 0): one instruction fewer than a correction
// of negative numerators. The numerators stay below 2^31 in magnitude.
AVX2 inline __m256i Mv(__m256i x, int c) {
  const __m256i p = _mm256_add_epi32(_mm256_madd_epi16(x, _mm256_set1_epi32(c)), _mm256_set1_epi32(32768));
  return _mm256_sign_epi32(_mm256_srli_epi32(_mm256_abs_epi32(p), 16), p);
}
AVX2 inline __m256i Nv(__m256i x, int c) {
  const __m256i p = _mm256_add_epi32(_mm256_mullo_epi32(x, _mm256_set1_epi32(c)), _mm256_set1_epi32(16384));
  return _mm256_sign_epi32(_mm256_srli_epi32(_mm256_abs_epi32(p), 15), p);
}
AVX2 inline __m256i Add(__m256i a, __m256i b) { return _mm256_add_epi32(a, b); }
AVX2 inline __m256i Sub(__m256i a, __m256i b) { return _mm256_sub_epi32(a, b); }

AVX2_INLINE void Transpose(__m256i v[8]) {
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

// One 1-D pass over eight lanes: v[k] holds input k of every lane, of
// which only the low 16 bits count (the 16-bit store between passes); the
// outputs are left unwrapped. Inputs kLive..7 are known to be 0, and so are
// their products (M(0, c) = 0).
template <int kLive>
AVX2_INLINE void PassV(__m256i v[8]) {
  constexpr bool k45 = kLive > 4, k67 = kLive > 6;
  const __m256i zero = _mm256_setzero_si256();
  const __m256i x0 = v[0], x1 = v[1], x2 = v[2], x3 = v[3];
  const __m256i x4 = v[4], x5 = v[5], x6 = v[6], x7 = v[7];
  const __m256i h = k67 ? Add(Mv(x1, 32138), Mv(x7, 6393)) : Mv(x1, 32138);
  const __m256i s1 = k67 ? Sub(Mv(x1, 6393), Mv(x7, 32138)) : Mv(x1, 6393);
  const __m256i l = k45 ? Add(Mv(x3, 27246), Mv(x5, 18205)) : Mv(x3, 27246);
  const __m256i s2 = k45 ? Sub(Mv(x5, 27246), Mv(x3, 18205)) : Sub(zero, Mv(x3, 18205));
  const __m256i m = Nv(Sub(Sub(Add(h, s1), l), s2), 23170);
  const __m256i o = Nv(Sub(Sub(Add(h, s2), s1), l), 23170);
  const __m256i r = Mv(x2, 30274), u = Mv(x2, 12540), w = Mv(x0, 23170);
  const __m256i t = k67 ? Mv(x6, 12540) : zero;
  const __m256i w6 = k67 ? Mv(x6, 30274) : zero;
  const __m256i A = k45 ? Mv(x4, 23170) : zero;
  const __m256i B1 = Add(Add(r, t), Add(w, A));
  const __m256i C1 = Sub(Sub(Add(u, w), w6), A);
  const __m256i D1 = Sub(Sub(Add(w, w6), A), u);
  const __m256i E1 = Sub(Sub(Add(w, A), r), t);
  const __m256i hl = Add(h, l);
  const __m256i ss = Add(s1, s2);
  v[0] = Add(B1, hl);
  v[1] = Add(C1, m);
  v[2] = Add(D1, o);
  v[3] = Add(E1, ss);
  v[4] = Sub(E1, ss);
  v[5] = Sub(D1, o);
  v[6] = Sub(C1, m);
  v[7] = Sub(B1, hl);
}

// Only the top-left kLive x kLive coefficients may be non-zero; then the
// rows kLive..7 of the row pass's result are 0 as well.
template <int kLive>
AVX2 void InverseDctTransposedAvx2(std::int16_t* block) {
  // Stored column by column, so v[k] is coefficient k of every row.
  __m256i v[8];
  for (int i = 0; i < 8; ++i)
    v[i] = _mm256_cvtepi16_epi32(_mm_loadu_si128(reinterpret_cast<const __m128i*>(block + 8 * i)));
  PassV<kLive>(v);
  Transpose(v);  // v[k]: row k, lanes are columns
  PassV<kLive>(v);
  // The low 16 bits of each lane, as a 16-bit store keeps them.
  const __m256i low16 = _mm256_set1_epi32(0xFFFF);
  for (int i = 0; i < 8; i += 2) {
    const __m256i packed = _mm256_permute4x64_epi64(
        _mm256_packus_epi32(_mm256_and_si256(v[i], low16), _mm256_and_si256(v[i + 1], low16)), 0xD8);
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(block + 8 * i), packed);
  }
}
#endif

}  // namespace

void InverseDctReference(std::int16_t block[64]) {
  for (int row = 0; row < 8; ++row) Pass(block + 8 * row, 1);
  for (int column = 0; column < 8; ++column) Pass(block + column, 8);
}

void InverseDctTransposed(std::int16_t block[64], int lastIndex) {
#ifdef ZUDIZAR_JPEG_X86
  if (HasAvx2()) {
    if (lastIndex <= kLastLowQuarterIndex)
      InverseDctTransposedAvx2<4>(block);
    else if (lastIndex <= kLastSixBySixIndex)
      InverseDctTransposedAvx2<6>(block);
    else
      InverseDctTransposedAvx2<8>(block);
    return;
  }
#endif
  for (int row = 0; row < 8; ++row)
    for (int column = row + 1; column < 8; ++column) std::swap(block[8 * row + column], block[8 * column + row]);
  InverseDctReference(block);
}

std::int16_t InverseDctOfDc(std::int16_t dc) {
  // The row pass turns the first row into M(dc, 23170) throughout and leaves
  // the others 0; each column then holds that value alone.
  const auto first = static_cast<std::int16_t>(M(dc, 23170));
  return static_cast<std::int16_t>(M(first, 23170));
}

}  // namespace zudizar::jpeg

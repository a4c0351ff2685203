#include "formats/jpeg/jpeg_idct.h"

#include <algorithm>
#include <type_traits>
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

// The products of the even inputs (r, t, u, v, w, A) and the terms of the
// odd ones (h, l, s1, s2, m, o) that a pass's outputs are made of.
template <typename V>
struct EvenTerms {
  V r, t, u, v, w, A;
};
template <typename V>
struct OddTerms {
  V h, l, s1, s2, m, o;
};

// The sums of lanes of either width, for the outputs below.
struct Lanes32 {
  AVX2_INLINE static __m256i Add(__m256i a, __m256i b) { return _mm256_add_epi32(a, b); }
  AVX2_INLINE static __m256i Sub(__m256i a, __m256i b) { return _mm256_sub_epi32(a, b); }
};

// The outputs of a pass from its terms.
template <typename L, typename V>
AVX2_INLINE void Outputs(V v[8], const EvenTerms<V>& e, const OddTerms<V>& d) {
  const V B1 = L::Add(L::Add(e.r, e.t), L::Add(e.w, e.A));
  const V C1 = L::Sub(L::Sub(L::Add(e.u, e.w), e.v), e.A);
  const V D1 = L::Sub(L::Sub(L::Add(e.w, e.v), e.A), e.u);
  const V E1 = L::Sub(L::Sub(L::Add(e.w, e.A), e.r), e.t);
  const V hl = L::Add(d.h, d.l);
  const V ss = L::Add(d.s1, d.s2);
  v[0] = L::Add(B1, hl);
  v[1] = L::Add(C1, d.m);
  v[2] = L::Add(D1, d.o);
  v[3] = L::Add(E1, ss);
  v[4] = L::Sub(E1, ss);
  v[5] = L::Sub(D1, d.o);
  v[6] = L::Sub(C1, d.m);
  v[7] = L::Sub(B1, hl);
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
  Outputs<Lanes32>(v, {r, t, u, w6, w, A}, {h, l, s1, s2, m, o});
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

// The same transform in 16-bit lanes: eight lanes for one block (__m128i) or
// sixteen for two blocks side by side (__m256i, one per 128-bit half). Only
// instructions that work within 128-bit halves are used, so one template
// serves both widths.
#define LANES16(name, op, kind)                                                      \
  AVX2_INLINE __m128i name(__m128i a, __m128i b) { return _mm_##op##_##kind(a, b); } \
  AVX2_INLINE __m256i name(__m256i a, __m256i b) { return _mm256_##op##_##kind(a, b); }
LANES16(Add16, add, epi16)
LANES16(Sub16, sub, epi16)
LANES16(AddSat16, adds, epi16)
LANES16(SubSat16, subs, epi16)
LANES16(SignOf16, sign, epi16)
LANES16(MulRound16, mulhrs, epi16)
LANES16(MulHighU16, mulhi, epu16)
LANES16(AverageU16, avg, epu16)
LANES16(SubSatU16, subs, epu16)
LANES16(MaxU16, max, epu16)
#undef LANES16
AVX2_INLINE __m128i Abs16(__m128i a) { return _mm_abs_epi16(a); }
AVX2_INLINE __m256i Abs16(__m256i a) { return _mm256_abs_epi16(a); }
AVX2_INLINE __m128i NegativeBit16(__m128i a) { return _mm_srli_epi16(a, 15); }
AVX2_INLINE __m256i NegativeBit16(__m256i a) { return _mm256_srli_epi16(a, 15); }
template <typename V>
AVX2_INLINE V Splat16(int c) {
  if constexpr (sizeof(V) == 16)
    return _mm_set1_epi16(static_cast<short>(c));
  else
    return _mm256_set1_epi16(static_cast<short>(c));
}

struct Lanes16 {
  template <typename V>
  AVX2_INLINE static V Add(V a, V b) {
    return Add16(a, b);
  }
  template <typename V>
  AVX2_INLINE static V Sub(V a, V b) {
    return Sub16(a, b);
  }
};

// A value with its magnitude (as unsigned: -32768 gives 32768) and 1 where
// it is negative; shared by the products of the same input.
template <typename V>
struct Signed16 {
  V value, magnitude, negative;
};
template <typename V>
AVX2_INLINE Signed16<V> Split16(V x) {
  return {x, Abs16(x), NegativeBit16(x)};
}

// M(x, c) = (x c + 32768) / 65536 truncated, from the magnitude: for x >= 0
// it is (|x| c + 32768) >> 16; for x < 0 it is minus (|x| c - 32768) / 65536,
// which is one less than that, or 0 below it. (|x| c + 32768) >> 16 is
// ((|x| c >> 15) + 1) >> 1, and |x| c >> 15 the high half of |x| times 2c,
// which fits an unsigned 16-bit constant for every c below 32768.
template <int kC, typename V>
AVX2_INLINE V M16(const Signed16<V>& x) {
  static_assert(kC > 0 && kC < 32768);
  const V rounded = AverageU16(MulHighU16(x.magnitude, Splat16<V>(2 * kC)), Splat16<V>(0));
  return SignOf16(SubSatU16(rounded, x.negative), x.value);
}
// N(y, c) in the same way; (|y| c + 16384) >> 15 is mulhrs, right for
// |y| <= 32766, which the caller makes sure of.
template <int kC, typename V>
AVX2_INLINE V N16(const Signed16<V>& y) {
  return SignOf16(SubSatU16(MulRound16(y.magnitude, Splat16<V>(kC)), y.negative), y.value);
}

// One 1-D pass as PassV, in 16-bit lanes. The outputs wrap as the store
// between passes does, so most sums may wrap too; not the arguments of N,
// which can reach 18 bits. h, s1, l and s2 stay within 16 bits (sums of two
// products of at most 16069 and 13623 in magnitude); the arguments are
// (h - l) + (s1 - s2) and (h - l) - (s1 - s2), taken with saturating steps.
// If a step saturates, one of the two results saturates as well (adding or
// subtracting the other difference cannot pull both back), so it lies at
// -32768 or 32767; `worst` (the largest magnitude seen) reaching 32767 means
// the lanes may be wrong and the block is redone in 32-bit lanes. Below it
// every step was exact.
template <int kLive, typename V>
AVX2_INLINE void Pass16(V v[8], V& worst) {
  constexpr bool k45 = kLive > 4, k67 = kLive > 6;
  const V zero = Splat16<V>(0);
  const Signed16<V> x0 = Split16(v[0]), x1 = Split16(v[1]), x2 = Split16(v[2]), x3 = Split16(v[3]);
  const Signed16<V> x4 = Split16(v[4]), x5 = Split16(v[5]), x6 = Split16(v[6]), x7 = Split16(v[7]);
  const V h = k67 ? Add16(M16<32138>(x1), M16<6393>(x7)) : M16<32138>(x1);
  const V s1 = k67 ? Sub16(M16<6393>(x1), M16<32138>(x7)) : M16<6393>(x1);
  const V l = k45 ? Add16(M16<27246>(x3), M16<18205>(x5)) : M16<27246>(x3);
  const V s2 = k45 ? Sub16(M16<27246>(x5), M16<18205>(x3)) : Sub16(zero, M16<18205>(x3));
  const V hMinusL = SubSat16(h, l), s1MinusS2 = SubSat16(s1, s2);
  const Signed16<V> y1 = Split16(AddSat16(hMinusL, s1MinusS2)), y2 = Split16(SubSat16(hMinusL, s1MinusS2));
  worst = MaxU16(worst, MaxU16(y1.magnitude, y2.magnitude));
  const V m = N16<23170>(y1);
  const V o = N16<23170>(y2);
  const V r = M16<30274>(x2), u = M16<12540>(x2), w = M16<23170>(x0);
  const V t = k67 ? M16<12540>(x6) : zero;
  const V w6 = k67 ? M16<30274>(x6) : zero;
  const V A = k45 ? M16<23170>(x4) : zero;
  Outputs<Lanes16>(v, EvenTerms<V>{r, t, u, w6, w, A}, OddTerms<V>{h, l, s1, s2, m, o});
}

// 32767 and 32768 are the only magnitudes that gain bit 15 from + 1.
AVX2_INLINE bool Exact(__m128i worst) {
  return _mm_testz_si128(_mm_adds_epu16(worst, _mm_set1_epi16(1)), _mm_set1_epi16(-32768));
}
AVX2_INLINE bool Exact(__m256i worst) {
  return _mm256_testz_si256(_mm256_adds_epu16(worst, _mm256_set1_epi16(1)), _mm256_set1_epi16(-32768));
}

// Both passes in registers; false (and nothing stored) if an argument of N
// may have left 16 bits.
template <int kLive, typename V>
AVX2_INLINE bool Transform16(V v[8]) {
  V worst = Splat16<V>(0);
  Pass16<kLive>(v, worst);
  TransposeHalves16(v);
  Pass16<kLive>(v, worst);
  return Exact(worst);
}

// Halves of a vector: 64 bits of __m128i, 128 bits of __m256i.
AVX2_INLINE __m128i SwapHalves(__m128i a) { return _mm_shuffle_epi32(a, 0x4E); }
AVX2_INLINE __m256i SwapHalves(__m256i a) { return _mm256_permute4x64_epi64(a, 0x4E); }
AVX2_INLINE __m128i LowHalfTwice(__m128i a) { return _mm_shuffle_epi32(a, 0x44); }
AVX2_INLINE __m256i LowHalfTwice(__m256i a) { return _mm256_permute4x64_epi64(a, 0x44); }
AVX2_INLINE __m128i HighHalfTwice(__m128i a) { return _mm_shuffle_epi32(a, 0xEE); }
AVX2_INLINE __m256i HighHalfTwice(__m256i a) { return _mm256_permute4x64_epi64(a, 0xEE); }
AVX2_INLINE __m128i LowHalves(__m128i a, __m128i b) { return _mm_unpacklo_epi64(a, b); }
AVX2_INLINE __m256i LowHalves(__m256i a, __m256i b) { return _mm256_permute2x128_si256(a, b, 0x20); }
AVX2_INLINE __m128i HighHalves(__m128i a, __m128i b) { return _mm_unpackhi_epi64(a, b); }
AVX2_INLINE __m256i HighHalves(__m256i a, __m256i b) { return _mm256_permute2x128_si256(a, b, 0x31); }
// The low half of a, the high half of b.
AVX2_INLINE __m128i LowOfHighOf(__m128i a, __m128i b) { return _mm_blend_epi32(a, b, 0xC); }
AVX2_INLINE __m256i LowOfHighOf(__m256i a, __m256i b) { return _mm256_blend_epi32(a, b, 0xF0); }
template <typename V>
AVX2_INLINE V Halves16(int low, int high) {
  if constexpr (sizeof(V) == 16)
    return _mm_set_epi16(high, high, high, high, low, low, low, low);
  else
    return _mm256_set_epi16(high, high, high, high, high, high, high, high, low, low, low, low, low, low, low, low);
}
// M16 with the constant c given as 2c per lane.
template <typename V>
AVX2_INLINE V M16(const Signed16<V>& x, V twiceC) {
  const V rounded = AverageU16(MulHighU16(x.magnitude, twiceC), Splat16<V>(0));
  return SignOf16(SubSatU16(rounded, x.negative), x.value);
}

// A pass with each input in both halves of its vector (4 lines at a time
// in the 64-bit halves of __m128i, 8 in the 128-bit halves of __m256i), so
// that one multiply gives two products, the halves taking the two sides of
// each butterfly. The outputs come in pairs (0, 1), (2, 3), (4, 5), (6, 7),
// one per half. Inputs kLive..7 are known to be 0.
template <int kLive, typename V>
AVX2_INLINE void PassOfHalves16(const V x[8], V out[4], V& worst) {
  constexpr bool k45 = kLive > 4, k67 = kLive > 6;
  const V plusMinus = Halves16<V>(1, -1);
  // [h | s1] and [l | s2] from [e | g] + [f | -M(x7, 32138)] and
  // [a | -d] + [b | c].
  const V eg = M16(Split16(x[1]), Halves16<V>(2 * 32138, 2 * 6393));
  const V hS1 = k67 ? Add16(eg, SignOf16(M16(Split16(x[7]), Halves16<V>(2 * 6393, 2 * 32138)), plusMinus)) : eg;
  const V aD = SignOf16(M16(Split16(x[3]), Halves16<V>(2 * 27246, 2 * 18205)), plusMinus);
  const V lS2 = k45 ? Add16(aD, M16(Split16(x[5]), Halves16<V>(2 * 18205, 2 * 27246))) : aD;
  // [h - l | s1 - s2], then the arguments of N as in Pass16.
  const V differences = SubSat16(hS1, lS2);
  const V first = LowHalfTwice(differences), second = HighHalfTwice(differences);
  const Signed16<V> y = Split16(LowOfHighOf(AddSat16(first, second), SubSat16(first, second)));
  worst = MaxU16(worst, y.magnitude);
  const V mo = N16<23170>(y);
  const V sums = Add16(hS1, lS2);  // [h + l | s1 + s2]
  // [r + t | u - v] and [w + A | w - A].
  const V ru = M16(Split16(x[2]), Halves16<V>(2 * 30274, 2 * 12540));
  const V rtUv = k67 ? Add16(ru, SignOf16(M16(Split16(x[6]), Halves16<V>(2 * 12540, 2 * 30274)), plusMinus)) : ru;
  const V ww = M16(Split16(x[0]), Splat16<V>(2 * 23170));
  const V wA = k45 ? Add16(ww, SignOf16(M16(Split16(x[4]), Splat16<V>(2 * 23170)), plusMinus)) : ww;
  const V bc = Add16(wA, rtUv);  // [B1 | C1]
  const V ed = Sub16(wA, rtUv);  // [E1 | D1]
  const V sumM = LowHalves(sums, mo), oddO = HighHalves(sums, mo);
  out[0] = Add16(bc, sumM);
  out[1] = SwapHalves(Add16(ed, oddO));
  out[2] = Sub16(ed, oddO);
  out[3] = SwapHalves(Sub16(bc, sumM));
}

// Only the top-left 4 x 4 coefficients may be non-zero: the row pass works
// on rows 0..3 only, two outputs to a vector, and the column pass on all
// eight columns twice over in the halves of __m256i, whose output pairs are
// rows of samples in order.
AVX2 void InverseDctTransposedLowQuarter16(std::int16_t* block) {
  __m128i rows[8] = {}, v[4];
  for (int k = 0; k < 4; ++k)
    rows[k] = _mm_castpd_si128(_mm_loaddup_pd(reinterpret_cast<const double*>(block + 8 * k)));
  __m128i worstRows = _mm_setzero_si128();
  PassOfHalves16<4>(rows, v, worstRows);
  // v[k]: outputs 2k and 2k + 1 of rows 0..3. Rows 0..3 of the result,
  // lanes in column order:
  const __m128i a0 = _mm_unpacklo_epi16(v[0], v[1]), a1 = _mm_unpackhi_epi16(v[0], v[1]);
  const __m128i a2 = _mm_unpacklo_epi16(v[2], v[3]), a3 = _mm_unpackhi_epi16(v[2], v[3]);
  const __m128i b0 = _mm_unpacklo_epi16(a0, a1), b1 = _mm_unpackhi_epi16(a0, a1);
  const __m128i b2 = _mm_unpacklo_epi16(a2, a3), b3 = _mm_unpackhi_epi16(a2, a3);
  const __m256i columns[8] = {
      _mm256_broadcastsi128_si256(_mm_unpacklo_epi64(b0, b2)), _mm256_broadcastsi128_si256(_mm_unpackhi_epi64(b0, b2)),
      _mm256_broadcastsi128_si256(_mm_unpacklo_epi64(b1, b3)), _mm256_broadcastsi128_si256(_mm_unpackhi_epi64(b1, b3))};
  __m256i out[4];
  __m256i worst = _mm256_setzero_si256();
  PassOfHalves16<4>(columns, out, worst);
  if (!Exact(worstRows) || !Exact(worst)) return InverseDctTransposedAvx2<4>(block);
  for (int i = 0; i < 4; ++i) _mm256_storeu_si256(reinterpret_cast<__m256i*>(block + 16 * i), out[i]);
}

// Blocks with more than the 4 x 4 coefficients: both passes on all eight
// lines, each input in both halves of __m256i.
template <int kLive>
AVX2 void InverseDctTransposedHalves16(std::int16_t* block) {
  __m256i x[8] = {}, v[4];
  for (int k = 0; k < kLive; ++k)
    x[k] = _mm256_broadcastsi128_si256(_mm_loadu_si128(reinterpret_cast<const __m128i*>(block + 8 * k)));
  __m256i worst = _mm256_setzero_si256();
  PassOfHalves16<kLive>(x, v, worst);
  // v[k]: outputs 2k (low half) and 2k + 1 (high half) of every row. First
  // each half's four outputs of a row side by side, two rows to a half ...
  const __m256i a0 = _mm256_unpacklo_epi16(v[0], v[1]), a1 = _mm256_unpackhi_epi16(v[0], v[1]);
  const __m256i a2 = _mm256_unpacklo_epi16(v[2], v[3]), a3 = _mm256_unpackhi_epi16(v[2], v[3]);
  const __m256i b[4] = {_mm256_unpacklo_epi32(a0, a2), _mm256_unpackhi_epi32(a0, a2), _mm256_unpacklo_epi32(a1, a3),
                        _mm256_unpackhi_epi32(a1, a3)};
  // ... then the even outputs (low half) interleaved with the odd ones (high
  // half), a row in column order in the low half, copied to both.
  for (int i = 0; i < kLive / 2; ++i) {
    const __m256i swapped = _mm256_permute4x64_epi64(b[i], 0x4E);
    x[2 * i] = _mm256_permute4x64_epi64(_mm256_unpacklo_epi16(b[i], swapped), 0x44);
    x[2 * i + 1] = _mm256_permute4x64_epi64(_mm256_unpackhi_epi16(b[i], swapped), 0x44);
  }
  PassOfHalves16<kLive>(x, v, worst);
  if (!Exact(worst)) return InverseDctTransposedAvx2<kLive>(block);
  for (int i = 0; i < 4; ++i) _mm256_storeu_si256(reinterpret_cast<__m256i*>(block + 16 * i), v[i]);
}

template <int kLive>
AVX2 void InverseDctTransposedPair16(std::int16_t* first, std::int16_t* second) {
  __m256i v[8];
  for (int i = 0; i < 8; ++i)
    v[i] = _mm256_loadu2_m128i(reinterpret_cast<const __m128i*>(second + 8 * i),
                               reinterpret_cast<const __m128i*>(first + 8 * i));
  if (!Transform16<kLive>(v)) {
    InverseDctTransposedAvx2<kLive>(first);
    return InverseDctTransposedAvx2<kLive>(second);
  }
  for (int i = 0; i < 8; ++i)
    _mm256_storeu2_m128i(reinterpret_cast<__m128i*>(second + 8 * i), reinterpret_cast<__m128i*>(first + 8 * i), v[i]);
}
#endif

}  // namespace

void InverseDctReference(std::int16_t block[64]) {
  for (int row = 0; row < 8; ++row) Pass(block + 8 * row, 1);
  for (int column = 0; column < 8; ++column) Pass(block + column, 8);
}

namespace {

void InverseDctTransposedPlain(std::int16_t* block) {
  for (int row = 0; row < 8; ++row)
    for (int column = row + 1; column < 8; ++column) std::swap(block[8 * row + column], block[8 * column + row]);
  InverseDctReference(block);
}

}  // namespace

namespace {

// Runs `transform` with the side of the top-left square (4, 6 or 8, as a
// std::integral_constant) outside which a block with that last index has
// only zeros.
template <typename Transform>
void ByLiveSquare(int lastIndex, Transform transform) {
  if (lastIndex <= kLastLowQuarterIndex)
    transform(std::integral_constant<int, 4>{});
  else if (lastIndex <= kLastSixBySixIndex)
    transform(std::integral_constant<int, 6>{});
  else
    transform(std::integral_constant<int, 8>{});
}

}  // namespace

void InverseDctTransposed(std::int16_t block[64], int lastIndex) {
#ifdef ZUDIZAR_JPEG_X86
  if (HasAvx2()) {
    return ByLiveSquare(lastIndex, [block](auto live) {
      if constexpr (live() == 4)
        InverseDctTransposedLowQuarter16(block);
      else
        InverseDctTransposedHalves16<live()>(block);
    });
  }
#endif
  InverseDctTransposedPlain(block);
}

void InverseDctTransposedPair(std::int16_t first[64], int firstLastIndex, std::int16_t second[64],
                              int secondLastIndex) {
#ifdef ZUDIZAR_JPEG_X86
  if (HasAvx2()) {
    return ByLiveSquare(std::max(firstLastIndex, secondLastIndex),
                        [first, second](auto live) { InverseDctTransposedPair16<live()>(first, second); });
  }
#endif
  InverseDctTransposedPlain(first);
  InverseDctTransposedPlain(second);
}

void InverseDctTransposedWide(std::int16_t block[64], int lastIndex) {
#ifdef ZUDIZAR_JPEG_X86
  if (HasAvx2()) return ByLiveSquare(lastIndex, [block](auto live) { InverseDctTransposedAvx2<live()>(block); });
#endif
  InverseDctTransposedPlain(block);
}

std::int16_t InverseDctOfDc(std::int16_t dc) {
  // The row pass turns the first row into M(dc, 23170) throughout and leaves
  // the others 0; each column then holds that value alone.
  const auto first = static_cast<std::int16_t>(M(dc, 23170));
  return static_cast<std::int16_t>(M(first, 23170));
}

}  // namespace zudizar::jpeg

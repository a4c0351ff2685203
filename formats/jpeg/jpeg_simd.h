// Whether the AVX2 paths of the codec may run (the processor must offer
// AVX2, and tests may switch them off to compare them with the plain
// paths), and the lane moves both transforms share.
#pragma once

namespace zudizar::jpeg {

inline bool& VectorPathsAllowed() {
  static bool allowed = true;
  return allowed;
}

#if defined(__x86_64__) || defined(__i386__)
#define ZUDIZAR_JPEG_X86 1
inline bool HasAvx2() {
  static const bool has = __builtin_cpu_supports("avx2");
  return has && VectorPathsAllowed();
}
#else
inline bool HasAvx2() { return false; }
#endif

}  // namespace zudizar::jpeg

#ifdef ZUDIZAR_JPEG_X86
#include <immintrin.h>

namespace zudizar::jpeg {

#define ZUDIZAR_LANES(name, op)                                                                                       \
  __attribute__((target("avx2"), always_inline)) inline __m128i name(__m128i a, __m128i b) { return _mm_##op(a, b); } \
  __attribute__((target("avx2"), always_inline)) inline __m256i name(__m256i a, __m256i b) { return _mm256_##op(a, b); }
ZUDIZAR_LANES(Low16, unpacklo_epi16)
ZUDIZAR_LANES(High16, unpackhi_epi16)
ZUDIZAR_LANES(Low32, unpacklo_epi32)
ZUDIZAR_LANES(High32, unpackhi_epi32)
ZUDIZAR_LANES(Low64, unpacklo_epi64)
ZUDIZAR_LANES(High64, unpackhi_epi64)
#undef ZUDIZAR_LANES

// Transposes the 8 x 8 block of 16-bit values held in each 128-bit half
// (of __m256i; the whole of __m128i).
template <typename V>
__attribute__((target("avx2"), always_inline)) inline void TransposeHalves16(V v[8]) {
  const V t0 = Low16(v[0], v[1]), t1 = High16(v[0], v[1]);
  const V t2 = Low16(v[2], v[3]), t3 = High16(v[2], v[3]);
  const V t4 = Low16(v[4], v[5]), t5 = High16(v[4], v[5]);
  const V t6 = Low16(v[6], v[7]), t7 = High16(v[6], v[7]);
  const V u0 = Low32(t0, t2), u1 = High32(t0, t2), u2 = Low32(t1, t3), u3 = High32(t1, t3);
  const V u4 = Low32(t4, t6), u5 = High32(t4, t6), u6 = Low32(t5, t7), u7 = High32(t5, t7);
  v[0] = Low64(u0, u4);
  v[1] = High64(u0, u4);
  v[2] = Low64(u1, u5);
  v[3] = High64(u1, u5);
  v[4] = Low64(u2, u6);
  v[5] = High64(u2, u6);
  v[6] = Low64(u3, u7);
  v[7] = High64(u3, u7);
}

}  // namespace zudizar::jpeg
#endif

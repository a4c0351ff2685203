// Whether the AVX2 paths of the codec may run: the processor must offer
// AVX2, and tests may switch them off to compare them with the plain paths.
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

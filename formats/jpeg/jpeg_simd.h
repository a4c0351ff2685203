// Whether the AVX2 paths of the codec may run on this processor.
#pragma once

namespace zudizar::jpeg {

#if defined(__x86_64__) || defined(__i386__)
#define ZUDIZAR_JPEG_X86 1
inline bool HasAvx2() {
  static const bool has = __builtin_cpu_supports("avx2");
  return has;
}
#else
inline bool HasAvx2() { return false; }
#endif

}  // namespace zudizar::jpeg

#include "base/large_buffer.h"

#include <cstdlib>
#include <new>

#if defined(__linux__)
#include <sys/mman.h>
#endif

namespace zudizar {

void LargeBufferFree::operator()(std::uint8_t* p) const { std::free(p); }

LargeBuffer MakeLargeBuffer(std::size_t bytes) {
  constexpr std::size_t kHugePage = std::size_t{2} << 20;
  // Smaller buffers gain little and would waste most of a large page.
  if (bytes < kHugePage) {
    void* p = std::malloc(bytes == 0 ? 1 : bytes);
    if (!p) throw std::bad_alloc();
    return LargeBuffer(static_cast<std::uint8_t*>(p));
  }
  const std::size_t rounded = (bytes + kHugePage - 1) / kHugePage * kHugePage;
  void* p = std::aligned_alloc(kHugePage, rounded);
  if (!p) throw std::bad_alloc();
#if defined(__linux__) && defined(MADV_HUGEPAGE)
  // Only advice: where it is refused the buffer has ordinary pages.
  madvise(p, rounded, MADV_HUGEPAGE);
#endif
  return LargeBuffer(static_cast<std::uint8_t*>(p));
}

}  // namespace zudizar

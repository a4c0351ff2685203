// Size limits for every picture the system creates or reads, in one place.
// Every size product is formed in 64 bits and checked here before any
// allocation, whatever a file header claims.
#pragma once

#include <atomic>
#include <cstdint>

namespace zudizar {

inline constexpr int kMaxImageSide = 16384;
inline constexpr std::int64_t kMaxImagePixels = std::int64_t{1} << 28;

namespace detail {
inline std::atomic<std::int64_t> pictureCeiling{kMaxImagePixels};
}  // namespace detail

// The most pixels a picture may have in this process: kMaxImagePixels unless
// lowered. A command that must stay within a small memory budget (the
// thumbnailer) lowers it before it reads anything, so that no reader, on any
// path through a file, allocates a picture beyond it. Clamped to
// 1 ... kMaxImagePixels.
inline void SetPictureCeiling(std::int64_t pixels) {
  if (pixels < 1) pixels = 1;
  if (pixels > kMaxImagePixels) pixels = kMaxImagePixels;
  detail::pictureCeiling.store(pixels, std::memory_order_relaxed);
}
inline std::int64_t PictureCeiling() { return detail::pictureCeiling.load(std::memory_order_relaxed); }

// True when a width × height picture may be allocated.
inline bool ImageSizeAllowed(std::int64_t width, std::int64_t height) {
  return width >= 1 && height >= 1 && width <= kMaxImageSide && height <= kMaxImageSide &&
         width * height <= PictureCeiling();
}

}  // namespace zudizar

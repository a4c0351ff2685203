// Size limits for every picture the system creates or reads, in one place.
// Every size product is formed in 64 bits and checked here before any
// allocation, whatever a file header claims.
#pragma once

#include <cstdint>

namespace zudizar {

inline constexpr int kMaxImageSide = 16384;
inline constexpr std::int64_t kMaxImagePixels = std::int64_t{1} << 28;

// True when a width × height picture may be allocated.
constexpr bool ImageSizeAllowed(std::int64_t width, std::int64_t height) {
  return width >= 1 && height >= 1 && width <= kMaxImageSide && height <= kMaxImageSide &&
         width * height <= kMaxImagePixels;
}

}  // namespace zudizar

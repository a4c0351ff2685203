#include "core/entry_mask.h"

#include <algorithm>

#include "core/shared_palette.h"

namespace zudizar {

void MarkEntriesInUse(const IndexedImage& image, EntryMask& mask) {
  if (!image.HasPixels()) return;
  const std::size_t w = static_cast<std::size_t>(std::max(image.ImageWidth(), 0));
  const std::size_t h = static_cast<std::size_t>(std::max(image.ImageHeight(), 0));
  const std::size_t n = std::min(image.pixels.size(), w * h);
  std::array<bool, 256> seen{};
  for (std::size_t i = 0; i < n; ++i) seen[image.pixels[i]] = true;
  for (int e = 0; e < 256; ++e) mask[e] = mask[e] || seen[e];
}

int CountUnusedFreeEntries(const EntryMask& inUse) {
  int count = 0;
  for (int e = kFirstFreeEntry; e <= kLastFreeEntry; ++e) count += inUse[e] ? 0 : 1;
  return count;
}

}  // namespace zudizar

// The BMP palette rule from bytes: colours gathered from any file and merged
// into a palette never touch the reserved entries.
#include <cstdint>
#include <span>

#include "palette/palette_load.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace zudizar;
  PictureColourList list;
  if (!GatherBmpColours(std::span<const std::uint8_t>(data, size), list, std::int64_t{1} << 22)) return 0;
  unsigned sum = list.cut;
  for (int i = 0; i < 256; ++i)
    sum += list.colours[i].red + list.colours[i].green + list.colours[i].blue + list.used[i];
  PaletteTable pending = DefaultPalette;
  MergeColourList(list, pending, MergeRule{});
  for (int i = 0; i < 256; ++i) {
    const bool reserved = i < kFirstFreeEntry || i > kLastFreeEntry;
    if (reserved && !(pending[i] == DefaultPalette[i])) __builtin_trap();
    sum += pending[i].red + pending[i].green + pending[i].blue;
  }
  volatile unsigned keep = sum;
  (void)keep;
  return 0;
}

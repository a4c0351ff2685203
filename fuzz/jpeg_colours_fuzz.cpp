// Colour gathering of the JPEG palette rule: any bytes decode without a
// fault (or are refused with a reason), the selection keeps its shape, and
// the merge, of the selection or of colours chosen for the whole picture,
// leaves the reserved entries alone.
#include <cstdint>
#include <span>

#include "core/shared_palette.h"
#include "formats/jpeg/jpeg_colours.h"
#include "palette/palette_load.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace zudizar;
  jpeg::DecodeOptions options;
  options.trace = [](int, const std::string&) {};
  options.maxPixels = std::int64_t{1} << 20;
  jpeg::Gathered gathered;
  std::string reason;
  if (!jpeg::GatherColours(std::span<const std::uint8_t>(data, size), false, nullptr, gathered, reason, options)) {
    if (reason.empty()) __builtin_trap();
    return 0;
  }
  const auto& list = gathered.selection;
  if (list.empty() || list.size() > 256) __builtin_trap();
  if (list[0].red != 0 || list[0].green != 0 || list[0].blue != 0) __builtin_trap();
  for (std::size_t i = 2; i < list.size(); ++i)
    if (list[i].count > list[i - 1].count) __builtin_trap();  // descending counts
  if (gathered.samples && (gathered.samples->width < 1 || gathered.samples->height < 1)) __builtin_trap();

  PictureColourList colours;
  for (std::size_t i = 0; i < list.size(); ++i) {
    colours.colours[i] = {list[i].red, list[i].green, list[i].blue, 0};
    colours.used[i] = true;
  }
  PaletteTable pending = DefaultPalette;
  MergeColourList(colours, pending, kJpegMergeRule);
  PictureColourList chosen = RepresentativeColours(gathered.histogram, pending);
  MergeColourList(chosen, pending, kJpegMergeRule);
  std::uint64_t sum = 0;
  for (int i = 0; i < 256; ++i) {
    const auto& e = pending[i];
    if ((i < kFirstFreeEntry || i > kLastFreeEntry) && !(e == DefaultPalette[i])) __builtin_trap();
    sum += e.red + e.green + e.blue;
  }
  return sum == 1 ? 1 : 0;
}

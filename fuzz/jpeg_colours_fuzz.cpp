// Colour gathering of the JPEG palette rule: any bytes decode without a
// fault, the selection keeps its shape, and the merge leaves the reserved
// entries alone.
#include <cstdint>
#include <span>

#include "core/indexed_image.h"
#include "formats/jpeg/jpeg.h"
#include "formats/jpeg/jpeg_colours.h"
#include "core/shared_palette.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  zudizar::jpeg::DecodeOptions options;
  options.trace = [](int, const std::string&) {};
  options.maxPixels = std::int64_t{1} << 20;
  const auto list = zudizar::jpeg::GatherColours(std::span<const std::uint8_t>(data, size), false, nullptr, options);
  if (list.empty() || list.size() > 256) __builtin_trap();
  if (list[0].red != 0 || list[0].green != 0 || list[0].blue != 0) __builtin_trap();
  for (std::size_t i = 2; i < list.size(); ++i)
    if (list[i].count > list[i - 1].count) __builtin_trap();  // descending counts

  zudizar::IndexedImage colours;
  for (std::size_t i = 0; i < list.size(); ++i)
    colours.colourTable[i] = {list[i].blue, list[i].green, list[i].red, 0};
  colours.infoHeader.biClrUsed = static_cast<std::uint32_t>(list.size());
  zudizar::SharedPalette.pending = zudizar::DefaultPalette;
  zudizar::MergeJpegColours(colours);
  std::uint64_t sum = 0;
  for (int i = 0; i < 256; ++i) {
    const auto& e = zudizar::SharedPalette.pending[i];
    if ((i < zudizar::kFirstFreeEntry || i > zudizar::kLastFreeEntry) && !(e == zudizar::DefaultPalette[i]))
      __builtin_trap();
    sum += e.red + e.green + e.blue;
  }
  return sum == 1 ? 1 : 0;
}

// MAG palette rule: decoding with the file's own colours, then the merge
// into the pending table.
#include <cstdint>
#include <span>

#include "core/shared_palette.h"
#include "formats/mag.h"
#include "palette/palette_load.h"

static volatile unsigned sink;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace zudizar;
  SetCurrentTable(DefaultPalette);
  SharedPalette.pending = DefaultPalette;
  IndexedImage image;
  MagDecodeOptions options;
  options.remapToShared = false;
  options.maxPixels = std::int64_t{1} << 22;
  if (DecodeMag(std::span(data, size), image, options)) {
    unsigned sum = 0;
    for (const std::uint8_t p : image.pixels) sum += p;
    for (const auto& c : image.colourTable) sum += c.blue + c.green + c.red;
    if (sum == 0xFFFFFFFFu) __builtin_trap();
  }
  LoadPaletteFromMagBytes(std::span(data, size));
  unsigned sum = 0;
  for (const auto& e : SharedPalette.pending) sum += e.red + e.green + e.blue;
  // Reserved entries never change.
  for (int i = 0; i < 10; ++i)
    if (SharedPalette.pending[i] != DefaultPalette[i]) __builtin_trap();
  sink = sum;
  return 0;
}

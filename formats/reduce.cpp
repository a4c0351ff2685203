#include "formats/reduce.h"

#include <cstdlib>

namespace zudizar {

int NearestSharedColour(ColourTableEntry& colour) {
  const PaletteTable& shared = SharedPalette.current;
  int best = 0;
  int minimum = 768;
  for (int i = 0; i < 256; ++i) {
    const PaletteEntry& e = shared[i];
    if (e.blue == colour.blue && e.green == colour.green && e.red == colour.red) return i;
    const int d = std::abs(colour.red - e.red) + std::abs(colour.green - e.green) +
                  std::abs(colour.blue - e.blue);
    if (d < minimum) {
      minimum = d;
      best = i;
    }
  }
  colour = {shared[best].blue, shared[best].green, shared[best].red, 0};
  return best;
}

void RemapToSharedPalette(IndexedImage& image) {
  std::uint8_t translation[256];
  for (int i = 0; i < 256; ++i) {
    ColourTableEntry c = image.colourTable[i];
    translation[i] = static_cast<std::uint8_t>(NearestSharedColour(c));
    const PaletteEntry& e = SharedPalette.current[i];
    image.colourTable[i] = {e.blue, e.green, e.red, 0};
  }
  if (!image.HasPixels()) return;
  for (auto& p : image.pixels) p = translation[p];
}

}  // namespace zudizar

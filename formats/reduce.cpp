#include "formats/reduce.h"

#include <cstdlib>
#include <memory>

namespace zudizar {

int NearestColourByScan(const PaletteTable& table, std::uint8_t red, std::uint8_t green,
                        std::uint8_t blue) {
  int best = 0;
  int minimum = 768;
  for (int i = 0; i < 256; ++i) {
    const PaletteEntry& e = table[i];
    if (e.blue == blue && e.green == green && e.red == red) return i;
    const int d = std::abs(red - e.red) + std::abs(green - e.green) + std::abs(blue - e.blue);
    if (d < minimum) {
      minimum = d;
      best = i;
    }
  }
  return best;
}

NearestColourMap::NearestColourMap(const PaletteTable& table) : table_(table) {}

int NearestColourMap::Nearest(std::uint8_t red, std::uint8_t green, std::uint8_t blue) const {
  return NearestColourByScan(table_, red, green, blue);
}

const NearestColourMap& CurrentNearestColourMap() {
  static std::unique_ptr<NearestColourMap> map;
  if (!map || map->Table() != SharedPalette.current)
    map = std::make_unique<NearestColourMap>(SharedPalette.current);
  return *map;
}

int NearestSharedColour(ColourTableEntry& colour) {
  const NearestColourMap& map = CurrentNearestColourMap();
  const int best = map.Nearest(colour.red, colour.green, colour.blue);
  const PaletteEntry& e = map.Table()[best];
  colour = {e.blue, e.green, e.red, 0};
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

// Bringing a picture's colours onto the shared palette by nearest colour
// (city-block distance, ties to the lowest index, exact matches first).
#pragma once

#include <cstdint>

#include "core/indexed_image.h"

namespace zudizar {

// Nearest-colour look-up for one palette table, bit-identical to the plain
// scan below. Decoders that map many pixels build or fetch one per decode.
class NearestColourMap {
 public:
  explicit NearestColourMap(const PaletteTable& table);
  const PaletteTable& Table() const { return table_; }
  int Nearest(std::uint8_t red, std::uint8_t green, std::uint8_t blue) const;

 private:
  PaletteTable table_;
};

// The map of the current shared table; rebuilt whenever that table changed
// since the last call.
const NearestColourMap& CurrentNearestColourMap();

// The defined plain scan of 256 entries, kept as the reference.
int NearestColourByScan(const PaletteTable& table, std::uint8_t red, std::uint8_t green,
                        std::uint8_t blue);

// Index of the current shared colour nearest to `colour` (blue, green, red,
// 0); `colour` is replaced by that entry's colour.
int NearestSharedColour(ColourTableEntry& colour);

// Maps every colour-table entry to its nearest shared colour, rewrites the
// pixels through that translation and leaves the shared palette as the
// image's colour table.
void RemapToSharedPalette(IndexedImage& image);

}  // namespace zudizar

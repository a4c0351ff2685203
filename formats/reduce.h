// Bringing a picture's colours onto the shared palette by nearest colour
// (city-block distance, ties to the lowest index, exact matches first).
#pragma once

#include <cstdint>

#include "core/indexed_image.h"

namespace zudizar {

// Index of the current shared colour nearest to `colour` (blue, green, red,
// 0); `colour` is replaced by that entry's colour.
int NearestSharedColour(ColourTableEntry& colour);

// Maps every colour-table entry to its nearest shared colour, rewrites the
// pixels through that translation and leaves the shared palette as the
// image's colour table.
void RemapToSharedPalette(IndexedImage& image);

}  // namespace zudizar

// Choosing the colours that best represent a picture with more colours than
// the palette's free entries: a variance-driven median cut over the colour
// histogram, refined by k-means, with the colours the palette keeps anyway
// (the reserved entries) taking part as fixed centres.
#pragma once

#include <span>
#include <vector>

#include "core/colour_histogram.h"
#include "core/indexed_image.h"

namespace zudizar {

// Up to `count` colours for the histogram's pixels, each the mean of the
// pixels it stands for; fewer when the histogram has fewer cells in use.
// Pixels closest to one of `fixed` are left to it.
std::vector<PaletteEntry> ChooseRepresentativeColours(const ColourHistogram& histogram, int count,
                                                      std::span<const PaletteEntry> fixed);

}  // namespace zudizar

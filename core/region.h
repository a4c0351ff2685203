// Region copies with a transparent index, scaled and mirrored copies, quarter
// turns, the edge-cut background colour and the frame grid.
#pragma once

#include <cstdint>

#include "core/indexed_image.h"

namespace zudizar {

// Copies the source rectangle to (dx, dy) at 1:1. Clipping at the
// destination's left or top edge removes the piece's right or bottom part.
// The source rectangle is clamped to the source image.
int CopyRegion(IndexedImage& destination, int dx, int dy, const IndexedImage& source, int sx, int sy,
               int width, int height, int transparent);

}  // namespace zudizar

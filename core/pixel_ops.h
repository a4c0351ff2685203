// Single-pixel access and the fills: flood fill, flood fill with its extent,
// and the gradient fill that steps through the swatch arrangement.
//
// These are the checked operations: points are clamped into the image, and an
// image without pixels reads as 0 and is left alone.
#pragma once

#include <cstdint>

#include "core/indexed_image.h"
#include "core/swatch_arrangement.h"

namespace zudizar {

// The index at (x, y) after clamping x into 0 … W − 1 and y into 0 … H − 1.
std::uint8_t ReadPixel(const IndexedImage& image, int x, int y);
void WritePixel(IndexedImage& image, int x, int y, std::uint8_t colour);

// Recolours the 4-connected region of the start pixel's colour. Nothing
// happens when the start pixel already has the colour.
void FloodFill(IndexedImage& image, int x, int y, std::uint8_t colour);

// As FloodFill, and reports the bounding box of the filled pixels (bottom is
// the largest y, top the smallest). The outputs are left untouched when
// nothing is filled.
void FloodFillExtent(IndexedImage& image, int x, int y, std::uint8_t colour, int& left, int& bottom, int& right,
                     int& top);

// Fills the region of the start pixel's colour v with colours stepped along
// the arrangement from the position of startColour (L) to that of endColour
// (R). With w the signed count of positions from L's to R's, both included,
// pixel (x, y) gets position
//   px = pL + w × (x − xFrom) / (xTo − xFrom + 1)   (pL when xTo = xFrom),
//   py = pL + w × (yFrom − y) / (yFrom − yTo + 1)   (pL when yTo = yFrom),
// the larger of the two when w > 0, the smaller when w < 0, with division
// truncating toward zero. The region is the one before the fill, even where a
// pixel receives v. Nothing happens when L equals v. Positions outside the
// arrangement (only reachable with an extent that does not hold the region)
// are clamped to its ends, and a divisor of 0 counts as no step on that axis.
void GradientFill(IndexedImage& image, int x, int y, std::uint8_t startColour, std::uint8_t endColour, int xFrom,
                  int yFrom, int xTo, int yTo, const SwatchArrangement& arrangement);

}  // namespace zudizar

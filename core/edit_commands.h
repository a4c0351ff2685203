// The pixel editor's whole-picture commands. Each
// works on the picture with a work buffer of the same size as scratch; none
// keeps state of its own. Where the size changes, the work buffer is
// recreated at the new size.
#pragma once

#include <cstdint>

#include "core/indexed_image.h"

namespace zudizar {

// A quarter turn clockwise of the largest square at the top-left; the rest
// becomes the background colour (the corner rule).
void RotatePictureQuarter(IndexedImage& picture, IndexedImage& work);
void FlipPictureLeftRight(IndexedImage& picture, IndexedImage& work);
void FlipPictureUpDown(IndexedImage& picture, IndexedImage& work);
// Column c + t := old column W − 1 − c − t for c = W div 2 (likewise rows).
void MirrorLeftToRight(IndexedImage& picture, IndexedImage& work);
void MirrorTopToBottom(IndexedImage& picture, IndexedImage& work);

enum class ShiftDirection { Left, Right, Up, Down };
// Moves the picture one pixel; the vacated column or row takes the colour
// of the bottom-right pixel (left, up) or of the top-left pixel (right, down).
void ShiftOnePixel(IndexedImage& picture, IndexedImage& work, ShiftDirection direction);

// Lays the picture over a silhouette of itself, offset one pixel right and
// up (upperRight) or right and down, in `colour`; the background is the
// bottom-left pixel (upperRight) or the top-left pixel.
void ShadowCopy(IndexedImage& picture, IndexedImage& work, bool upperRight, std::uint8_t colour);

// Enlarge doubles pictures of at most 128 × 120; shrink halves pictures of at
// least 48 × 48 (nearest neighbour). Both refuse other sizes and pictures
// without pixels, changing nothing.
bool CanEnlarge(const IndexedImage& picture);
bool CanShrink(const IndexedImage& picture);
bool EnlargePicture(IndexedImage& picture, IndexedImage& work);
bool ShrinkPicture(IndexedImage& picture, IndexedImage& work);

}  // namespace zudizar

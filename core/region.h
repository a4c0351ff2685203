// Region copies with a transparent index, scaled and mirrored copies, quarter
// turns, the edge-cut background colour and the frame grid.
//
// All operations take top-down coordinates. Copies return 1, or 0 (changing
// nothing) when either image is empty. None of them reads outside the source
// or writes outside the destination, whatever the arguments; source and
// destination may be the same image (the copy then works from a snapshot).
#pragma once

#include <cstdint>

#include "core/indexed_image.h"

namespace zudizar {

// Copies the source rectangle to (dx, dy) at 1:1. The destination rectangle is
// clipped as for FillRect; its top-left remaining pixel receives the source
// pixel (max(sx, 0), sy) and the rest follows 1:1, so clipping at the
// destination's left or top edge removes the piece's right or bottom part.
// The source start is clamped into the source image and the copy stops at the
// source's right and bottom edges. Source pixels equal to `transparent` are
// not copied (256: every pixel is).
int CopyRegion(IndexedImage& destination, int dx, int dy, const IndexedImage& source, int sx, int sy, int width,
               int height, int transparent);

// Nearest-neighbour scaling of the source rectangle onto the destination
// rectangle. A negative dwidth mirrors left–right and covers the columns
// dx + dwidth − 1 … dx, a negative dheight mirrors top–bottom likewise; a
// mirrored full copy of a W × H image is (dx = W, dwidth = −W). The scale is
// taken between the clipped destination and the source rectangle clamped into
// the source image; rows are picked counting upward from the bottom rows.
int StretchRegion(IndexedImage& destination, int dx, int dy, int dwidth, int dheight, const IndexedImage& source,
                  int sx, int sy, int swidth, int sheight, int transparent);

// Quarter turns of a square picture: 90 counter-clockwise, 180, 270 clockwise,
// any other angle a plain copy; every pixel of the square is written. When the
// two images are not equal squares, the largest square at the top-left that
// both hold is turned and every other destination pixel is left as it was.
int RotateImage(IndexedImage& destination, const IndexedImage& source, int angle);

// Turns the square of side `size` at (x, y) of the source into the same square
// of the destination: 90 a quarter clockwise (source (x + u, y + v) goes to
// (x + size − 1 − v, y + u)), 270 a quarter counter-clockwise, 180 a half
// turn, any other angle a plain copy. Pixels whose source or destination lies
// outside its image are skipped.
int RotateRegion(IndexedImage& destination, int x, int y, const IndexedImage& source, int size, int angle);

// The edge-cut colour from the four corner pixels: a colour that the top-left
// corner shares with another corner, else one the bottom-left shares, else the
// one bottom-right and top-right share, else the top-left. 0 for an empty image.
std::uint8_t BackgroundColour(const IndexedImage& image);

// Draws grid lines of `colour` over the top-left areaWidth × areaHeight part of
// the image: vertical lines every `spacing` columns (on the last column of each
// cell, moved by xOffset), horizontal lines every `spacing` rows (moved by
// yOffset, never on the first or last covered row). Spacing 1 draws the two
// centre lines, a negative spacing counts as 4, spacing 0 draws nothing. On a
// horizontal line a pixel that already has the colour becomes 255 − colour.
void DrawFrameGrid(IndexedImage& image, int xOffset, int yOffset, int spacing, std::uint8_t colour, int areaWidth,
                   int areaHeight);

}  // namespace zudizar

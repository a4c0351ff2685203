// Fixed frames of a canvas: snapping the pointer to the grid, the cell under a
// snapped point, and the cell operations (take, put, exchange, turn), the
// whole-picture shift and a grid drawn over part of a picture.
//
// Cells may reach outside the picture (edge cells, cells moved by the half
// offsets, pointers dragged off the canvas). Every operation here clips
// exactly: it reads only pixels inside the source and writes only pixels inside
// the destination; the part of a taken cell that lies outside the picture is
// background.
#pragma once

#include <cstdint>

#include "core/geometry.h"
#include "core/indexed_image.h"

namespace zudizar {

// One pointer coordinate snapped to a grid of `frame` (≥ 2) moved by `offset`:
// frame × ((v + offset) / frame) − offset, the division truncating toward zero.
int SnapCoordinate(int v, int frame, int offset);

// The pointer snapped to the frame; frames 0 (none) and 1 (centre lines) leave
// it as it is. The half toggles move the grid by frame ÷ 2.
Point SnapPoint(Point p, int frame, bool halfLeft, bool halfUp);

// The cell at a snapped point: frame × frame there; with frame 1 the quarter
// of the width × height picture that holds the point.
Rect CellRect(Point snapped, int frame, int width, int height);

// The picture's own rectangle.
inline Rect ImageRect(const IndexedImage& image) {
  return image.HasPixels() ? Rect{0, 0, image.ImageWidth(), image.ImageHeight()} : Rect{};
}

// Copies the source rectangle `from` to `to`, skipping every pixel whose source
// or destination lies outside its image and source pixels equal to
// `transparent` (256: none). Source and destination must be different images.
void CopyClipped(IndexedImage& destination, Point to, const IndexedImage& source, Rect from,
                 int transparent = kNoTransparent);

// Fills the part of the rectangle that lies inside the image.
void FillClipped(IndexedImage& image, Rect r, std::uint8_t colour);

// The piece of a cell: `piece` becomes cell-sized, filled with `background`
// where the cell lies outside the picture.
void TakeCell(IndexedImage& piece, const IndexedImage& picture, Rect cell, std::uint8_t background);

// Writes a piece into the cell, as far as the cell lies inside the picture.
void PutCell(IndexedImage& picture, Rect cell, const IndexedImage& piece);

// The two cells trade contents (no change when they are the same cell).
void ExchangeCells(IndexedImage& picture, Rect a, Rect b, std::uint8_t background);

// Turns a square cell in place by `angle` (90 a quarter counter-clockwise,
// 180, 270); false, and nothing changed, for a cell that is not square.
bool TurnCell(IndexedImage& picture, Rect cell, int angle, std::uint8_t background);

// destination := source displaced by (dx, dy), the uncovered part in
// `background`; both images of one size. One pass over the destination.
void ShiftPicture(IndexedImage& destination, const IndexedImage& source, int dx, int dy, std::uint8_t background);

// DrawFrameGrid limited to the rectangle `clip`: the pixels inside it end up
// exactly as a DrawFrameGrid over the whole image would leave them, and no
// pixel outside it is touched.
void DrawFrameGridRect(IndexedImage& image, int xOffset, int yOffset, int spacing, std::uint8_t colour, int areaWidth,
                       int areaHeight, Rect clip);

}  // namespace zudizar

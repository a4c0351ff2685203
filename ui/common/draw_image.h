// Drawing an IndexedImage into a paint area at 1:1 with its own colour table.
// Canvases stay crisp on HiDPI screens: scaling is nearest-neighbour.
#pragma once

#include <QImage>

#include "core/indexed_image.h"

class QPainter;

namespace zudizar {

// The image rectangle (sx, sy, w, h), top-down, as an indexed QImage with the
// image's colour table. The rectangle must lie inside the image.
QImage ToQImage(const IndexedImage& image, int sx, int sy, int w, int h);

// Draws the top-left min(W, AW) × min(H, AH) of the image; an image shorter
// than the area is drawn with its bottom row on the area's bottom row.
void DrawImage(const IndexedImage& image, QPainter& context, int areaWidth, int areaHeight);

// Draws the image rectangle (sx, sy, w, h) at (dx, dy), cut to the area.
void DrawImageRegion(const IndexedImage& image, QPainter& context, int dx, int dy, int sx, int sy, int w, int h,
                     int areaWidth, int areaHeight);

}  // namespace zudizar

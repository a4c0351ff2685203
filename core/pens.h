// Pens: a footprint table per pen code, stamping and erasing with it, and
// strokes of stamps between two points.
//
// A pen code is 16 × family + size index: family 0 round, 1 horizontal,
// 2 vertical, 3 diagonal; size index 0 … 6 for sizes 1, 2, 4, 8, 16, 24, 32,
// size 1 only in the round family. Codes outside these 25 draw nothing.
#pragma once

#include <cstdint>
#include <span>

#include "core/indexed_image.h"

namespace zudizar {

// One row of a pen footprint, relative to the pen's point: the row y + dy,
// columns x + left … x + right.
struct PenSpan {
  int dy;
  int left;
  int right;
};

// The rows of the pen, top row first; empty for codes that draw nothing.
std::span<const PenSpan> PenSpans(std::uint8_t penCode);

// The square the footprint lies in, relative to the pen's point (for sizes
// 4 … 32 the n × n square; for the small pens the 2 × 2 square up and right of
// the point, or the point itself). size 0 for codes that draw nothing.
struct PenBox {
  int size;
  int left;  // column offset of the square's left edge
  int top;   // row offset of the square's top edge
};
PenBox PenFootprintBox(std::uint8_t penCode);

// Sets the pen's pixels around (x, y) to the colour; (x, y) is clamped into
// the image first and the footprint is clipped to it.
void StampPen(IndexedImage& image, int x, int y, std::uint8_t colour, std::uint8_t penCode);

// Within the pen's pixels around (x, y), pixels of oldColour become newColour.
void ErasePen(IndexedImage& image, int x, int y, std::uint8_t oldColour, std::uint8_t newColour, std::uint8_t penCode);

// StampPen at every step of the line from the lower end point (the larger y;
// (x2, y2) when both are level) to the other, end points clamped into the
// image, one stamp per column or row along the longer axis.
void StrokePen(IndexedImage& image, int x1, int y1, int x2, int y2, std::uint8_t colour, std::uint8_t penCode);

// ErasePen at every step of the same line.
void StrokeErase(IndexedImage& image, int x1, int y1, int x2, int y2, std::uint8_t oldColour, std::uint8_t newColour,
                 std::uint8_t penCode);

}  // namespace zudizar

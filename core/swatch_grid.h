// The colour palette's Qt-free steps: the grid of 32 × 8 swatches of 16 × 16
// pixels, the rings of recent drawing colours, dragging a swatch to a new
// place in the arrangement, and the background fill of a new canvas.
#pragma once

#include <array>
#include <cstdint>

#include "core/geometry.h"
#include "core/indexed_image.h"
#include "core/swatch_arrangement.h"

namespace zudizar {

inline constexpr int kSwatchSide = 16;
inline constexpr int kSwatchColumns = 32;
inline constexpr int kSwatchRows = 8;
inline constexpr int kSwatchGridWidth = kSwatchSide * kSwatchColumns;  // 512
inline constexpr int kSwatchGridHeight = kSwatchSide * kSwatchRows;    // 128

// The colour an arrangement entry shows: its low 8 bits.
constexpr std::uint8_t SwatchColour(const SwatchArrangement& arrangement, int position) {
  return static_cast<std::uint8_t>(arrangement[static_cast<std::size_t>(position)] & 0xFF);
}

// The grid position under (x, y): x div 16 + (y div 16) × 32, or −1 when the
// point lies outside the grid.
constexpr int SwatchPositionAt(int x, int y) {
  if (x < 0 || y < 0 || x >= kSwatchGridWidth || y >= kSwatchGridHeight) return -1;
  return x / kSwatchSide + (y / kSwatchSide) * kSwatchColumns;
}

// Fills each 16 × 16 square of the grid image with the colour its position shows.
void DrawSwatchGrid(IndexedImage& grid, const SwatchArrangement& arrangement);

// Eight recent colours and the current position among them. Picking writes
// the slot at the current position; stepping moves the position, wrapping.
struct ColourRing {
  std::array<std::uint8_t, 8> colours{};
  int position = 0;

  std::uint8_t Current() const { return colours[static_cast<std::size_t>(position)]; }
  void Set(std::uint8_t colour) { colours[static_cast<std::size_t>(position)] = colour; }
  std::uint8_t Forward() {
    position = (position + 1) % 8;
    return Current();
  }
  std::uint8_t Back() {
    position = (position + 7) % 8;
    return Current();
  }
};

// The rings as they start, position 0 holding the colour in use.
ColourRing StartLeftRing(std::uint8_t current);
ColourRing StartRightRing(std::uint8_t current);

// The top-left of the 16 × 16 drag image for the pointer at (x, y): centred
// on the pointer, kept inside the area of areaWidth × areaHeight.
Point DragImageCorner(int x, int y, int areaWidth, int areaHeight);

// One step of a swatch drag. In `display`, restores the 16 × 16 area at
// `dragPoint` from `grid` and draws `swatch` at the new corner for (x, y);
// `dragPoint` becomes that corner. Returns the rectangle to present: the one
// covering the old and the new area, cut to the display.
Rect MoveSwatchDrag(IndexedImage& display, const IndexedImage& grid, const IndexedImage& swatch, Point& dragPoint,
                    int x, int y);

// The drop of a swatch dragged from `source` and released at (x, y): when the
// release point differs from `dragPoint` and lies on the grid, the two
// arrangement entries change places. Returns whether they did.
bool DropSwatch(SwatchArrangement& arrangement, int source, Point dragPoint, int x, int y);

// A new canvas's background: the picture filled with L, or, when R differs,
// a gradient from L to R through the arrangement over the whole picture —
// horizontal with L at the left edge, else vertical with L at the bottom row.
// The spare buffer (the owner's scratch picture) ends holding the picture
// filled with R.
void FillBackground(IndexedImage& picture, IndexedImage& spare, std::uint8_t left, std::uint8_t right, bool horizontal,
                    const SwatchArrangement& arrangement);

}  // namespace zudizar

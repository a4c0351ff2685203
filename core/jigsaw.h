// The jigsaw puzzle: the grid of whole cells over a picture, the shuffle that
// swaps and turns them, and the test whether a picture is back in place.
#pragma once

#include <cstdint>
#include <functional>

#include "core/geometry.h"
#include "core/indexed_image.h"

namespace zudizar {

// Random(n): an integer uniformly in 0 … n − 1.
using JigsawRandom = std::function<int(int)>;

// A small fast generator (xorshift64*) with a fixed seed, for tests and replays.
JigsawRandom SeededJigsawRandom(std::uint64_t seed);
// The same generator seeded from a nanosecond clock.
JigsawRandom ClockJigsawRandom();

// The whole frame × frame cells of a width × height picture, numbered row by
// row from the top-left; strips narrower than a cell are not part of it.
struct JigsawGrid {
  int frame = 0, columns = 0, rows = 0;
  static JigsawGrid Over(int frame, int width, int height);
  int Cells() const { return columns * rows; }
  Rect Cell(int k) const { return {frame * (k % columns), frame * (k / columns), frame, frame}; }
};

// One step k of the shuffle: d := Random(N), e := Random(4); cells k and d
// trade contents; cell k turns 90 × e degrees, then v := Random(4) and cell d
// turns 90 × v (so a cell that trades with itself turns twice). Returns d.
int ShuffleStep(IndexedImage& picture, const JigsawGrid& grid, int k, const JigsawRandom& random);

// Every step for k = 0 … N − 1; `afterCell(k, d)` runs after each (for the repaint).
void ShuffleJigsaw(IndexedImage& picture, const JigsawGrid& grid, const JigsawRandom& random,
                   const std::function<void(int, int)>& afterCell = {});

// True when the two pictures have the same size and the same pixels.
bool SamePixels(const IndexedImage& a, const IndexedImage& b);

}  // namespace zudizar

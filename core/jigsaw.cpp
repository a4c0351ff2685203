#include "core/jigsaw.h"

#include <chrono>
#include <memory>

#include "core/frames.h"
#include "core/region.h"

namespace zudizar {

JigsawRandom SeededJigsawRandom(std::uint64_t seed) {
  auto state = std::make_shared<std::uint64_t>(seed ? seed : 0x9E3779B97F4A7C15ULL);
  return [state](int n) {
    if (n <= 1) return 0;
    std::uint64_t& s = *state;
    s ^= s >> 12;
    s ^= s << 25;
    s ^= s >> 27;
    const std::uint64_t r = s * 0x2545F4914F6CDD1DULL;
    // The high 32 bits scaled onto 0 … n − 1: uniform to within n / 2^32.
    return static_cast<int>(((r >> 32) * static_cast<std::uint64_t>(n)) >> 32);
  };
}

JigsawRandom ClockJigsawRandom() {
  const auto now = std::chrono::steady_clock::now().time_since_epoch();
  return SeededJigsawRandom(
      static_cast<std::uint64_t>(std::chrono::duration_cast<std::chrono::nanoseconds>(now).count()));
}

JigsawGrid JigsawGrid::Over(int frame, int width, int height) {
  if (frame < 2 || width <= 0 || height <= 0) return {frame, 0, 0};
  return {frame, width / frame, height / frame};
}

int ShuffleStep(IndexedImage& picture, const JigsawGrid& grid, int k, const JigsawRandom& random) {
  const int n = grid.Cells();
  const int d = random(n);
  const int e = random(4);
  const Rect a = grid.Cell(k), b = grid.Cell(d);
  // Whole cells lie inside the picture, so the background is never used.
  const std::uint8_t background = BackgroundColour(picture);
  ExchangeCells(picture, a, b, background);
  TurnCell(picture, a, 90 * e, background);
  const int v = random(4);
  TurnCell(picture, b, 90 * v, background);
  return d;
}

void ShuffleJigsaw(IndexedImage& picture, const JigsawGrid& grid, const JigsawRandom& random,
                   const std::function<void(int, int)>& afterCell) {
  for (int k = 0; k < grid.Cells(); ++k) {
    const int d = ShuffleStep(picture, grid, k, random);
    if (afterCell) afterCell(k, d);
  }
}

bool SamePixels(const IndexedImage& a, const IndexedImage& b) {
  return a.ImageWidth() == b.ImageWidth() && a.ImageHeight() == b.ImageHeight() && a.pixels == b.pixels;
}

}  // namespace zudizar

// The spray stamp: each cell of a pen footprint takes the colour with
// probability 513 in 4096. The generator is injectable, so tests seed it.
#pragma once

#include <cstdint>
#include <functional>

#include "core/indexed_image.h"

namespace zudizar {

// A small fast generator of integers 0 … 4095, reseeded from a clock before
// every stamp. The clock is injectable; the default one counts nanoseconds.
class SprayGenerator {
 public:
  using Clock = std::function<std::uint64_t()>;

  SprayGenerator();
  explicit SprayGenerator(Clock clock);

  void Seed(std::uint64_t seed) { state_ = seed; }
  int Draw();
  // Reseeds from the clock until the first draw differs from the one kept
  // from the previous stamp (at most 4096 tries), and keeps it.
  void ReseedForStamp();
  int Kept() const { return kept_; }

 private:
  Clock clock_;
  std::uint64_t state_ = 0;
  int kept_ = -1;
};

// A cell is painted when its draw is at most this.
inline constexpr int kSprayThreshold = 512;

// The pen footprint of StampPen around (x, y), clamped into the image; every
// footprint cell, row by row and left to right, draws one number and gets the
// colour when the draw is at most 512. Cells outside the image draw too but
// are not painted, so clipping never shifts the pattern.
void StampSpray(IndexedImage& image, int x, int y, std::uint8_t colour, std::uint8_t penCode,
                SprayGenerator& generator);

}  // namespace zudizar

// How often a picture uses its colours, in cells of 8 x 8 x 8 colours that
// keep the sum of their colours, so each cell knows its mean colour exactly.
// The palette rules choose representative colours from it when a picture
// has more colours than the palette's free entries.
#pragma once

#include <cstdint>
#include <vector>

namespace zudizar {

class ColourHistogram {
 public:
  static constexpr int kBits = 5;
  static constexpr int kCells = 1 << (3 * kBits);

  struct Cell {
    std::uint64_t count = 0;
    std::uint64_t red = 0, green = 0, blue = 0;  // sums
  };

  ColourHistogram() : cells_(kCells) {}

  void Add(std::uint8_t red, std::uint8_t green, std::uint8_t blue, std::uint64_t weight = 1) {
    Cell& c = cells_[(red >> 3) << 10 | (green >> 3) << 5 | (blue >> 3)];
    c.count += weight;
    c.red += red * weight;
    c.green += green * weight;
    c.blue += blue * weight;
    total_ += weight;
  }
  // Rows of colours given as three planes.
  void AddPlanes(const std::uint8_t* red, const std::uint8_t* green, const std::uint8_t* blue,
                 std::size_t count) {
    for (std::size_t i = 0; i < count; ++i) Add(red[i], green[i], blue[i]);
  }

  const std::vector<Cell>& Cells() const { return cells_; }
  std::uint64_t Total() const { return total_; }

 private:
  std::vector<Cell> cells_;
  std::uint64_t total_ = 0;
};

}  // namespace zudizar

// How often a picture uses its colours: exactly, colour by colour, while the
// picture has few of them, and always in cells of 8 x 8 x 8 colours that keep
// the sum of their colours, so each cell knows its mean colour exactly. The
// palette rules choose representative colours from it when a picture has
// more colours than the palette's free entries.
#pragma once

#include <algorithm>
#include <cstdint>
#include <utility>
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

  // Colours counted one by one up to this many distinct ones.
  static constexpr std::size_t kExactColours = 1 << 15;

  ColourHistogram() : cells_(kCells), keys_(2 * kExactColours, kEmpty), counts_(2 * kExactColours, 0) {}

  // Empty again, keeping the allocations (fresh ones cost page faults).
  void Clear() {
    std::fill(cells_.begin(), cells_.end(), Cell{});
    total_ = 0;
    exact_ = true;
    keys_.assign(2 * kExactColours, kEmpty);
    counts_.assign(2 * kExactColours, 0);
    distinct_ = 0;
    lastKey_ = kEmpty;
    lastSlot_ = 0;
  }

  void Add(std::uint8_t red, std::uint8_t green, std::uint8_t blue, std::uint64_t weight = 1) {
    AddToCells(red, green, blue, weight);
    AddToExact(red, green, blue, weight);
  }

  // The two halves of Add, for a histogram whose cells take a sample of a
  // large picture's pixels while the exact count, as long as it lasts, takes
  // them all: a picture of few colours then keeps its exact counts, and
  // one of many stops counting exactly at the same pixel as with no sample.
  void AddToCells(std::uint8_t red, std::uint8_t green, std::uint8_t blue, std::uint64_t weight = 1) {
    Cell& c = cells_[(red >> 3) << 10 | (green >> 3) << 5 | (blue >> 3)];
    c.count += weight;
    c.red += red * weight;
    c.green += green * weight;
    c.blue += blue * weight;
    total_ += weight;
  }
  void AddToExact(std::uint8_t red, std::uint8_t green, std::uint8_t blue, std::uint64_t weight = 1) {
    if (exact_) AddExact((std::uint32_t{red} << 16) | (std::uint32_t{green} << 8) | blue, weight);
  }

  // Whether every colour was counted one by one; then ExactColours holds
  // them as (red << 16 | green << 8 | blue, count).
  bool Exact() const { return exact_; }
  std::vector<std::pair<std::uint32_t, std::uint64_t>> ExactColours() const {
    std::vector<std::pair<std::uint32_t, std::uint64_t>> out;
    if (!exact_) return out;
    for (std::size_t i = 0; i < keys_.size(); ++i)
      if (keys_[i] != kEmpty) out.emplace_back(keys_[i], counts_[i]);
    return out;
  }
  // Rows of colours given as three planes.
  void AddPlanes(const std::uint8_t* red, const std::uint8_t* green, const std::uint8_t* blue, std::size_t count) {
    for (std::size_t i = 0; i < count; ++i) Add(red[i], green[i], blue[i]);
  }

  const std::vector<Cell>& Cells() const { return cells_; }
  std::uint64_t Total() const { return total_; }

 private:
  static constexpr std::uint32_t kEmpty = 0xFFFFFFFFu;

  void AddExact(std::uint32_t key, std::uint64_t weight) {
    if (key == lastKey_) {
      counts_[lastSlot_] += weight;
      return;
    }
    const std::size_t mask = keys_.size() - 1;
    std::size_t slot = (key * 2654435761u) & mask;
    while (keys_[slot] != kEmpty && keys_[slot] != key) slot = (slot + 1) & mask;
    if (keys_[slot] == kEmpty) {
      if (distinct_ == kExactColours) {  // too many: the cells serve alone
        exact_ = false;
        keys_ = {};
        counts_ = {};
        return;
      }
      keys_[slot] = key;
      ++distinct_;
    }
    counts_[slot] += weight;
    lastKey_ = key;
    lastSlot_ = slot;
  }

  std::vector<Cell> cells_;
  std::uint64_t total_ = 0;
  bool exact_ = true;
  std::vector<std::uint32_t> keys_;
  std::vector<std::uint64_t> counts_;
  std::size_t distinct_ = 0;
  std::uint32_t lastKey_ = kEmpty;
  std::size_t lastSlot_ = 0;
};

}  // namespace zudizar

// Bringing a picture's colours onto the shared palette by nearest colour
// (city-block distance, ties to the lowest index, exact matches first).
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "base/large_buffer.h"
#include "core/indexed_image.h"

namespace zudizar {

// Nearest-colour look-up for one palette table, bit-identical to the plain
// scan below. Decoders that map many pixels build or fetch one per decode.
//
// The plain scan's answer is the lowest index among the entries at the least
// city-block distance (an exact match has distance 0, so it wins as the scan's
// early exit would). Two levels keep that answer exact and cheap:
//  - cells of 16 x 16 x 16 colours, built eagerly for a table: each keeps only
//    the entries that can be nearest to some colour in the cell (an entry whose
//    least distance to the cell exceeds another entry's greatest distance can
//    never win, ties kept);
//  - the answers, worked out lazily in blocks of 4 x 4 x 4 colours (one cache
//    line each, in the order blocks are first used): the cell's candidates
//    are narrowed to the block, then all 64 colours are worked out at once in
//    vector lanes.
// Nearest() fills blocks on first use: it is const for callers, but not safe to
// call from two threads at once.
class NearestColourMap {
 public:
  explicit NearestColourMap(const PaletteTable& table);
  NearestColourMap(const NearestColourMap&) = delete;
  NearestColourMap& operator=(const NearestColourMap&) = delete;

  const PaletteTable& Table() const { return table_; }
  // Starts over for another table, keeping the allocations.
  void Rebuild(const PaletteTable& table);

  int Nearest(std::uint8_t red, std::uint8_t green, std::uint8_t blue) const {
    const std::uint32_t block = (static_cast<std::uint32_t>(red >> 2) << 12) |
                                (static_cast<std::uint32_t>(green >> 2) << 6) | static_cast<std::uint32_t>(blue >> 2);
    std::uint32_t line = lines_[block];
    if (line == 0) [[unlikely]]
      line = FillBlock(block);
    return answers_[(static_cast<std::size_t>(line) << 6) | ((red & 3u) << 4) | ((green & 3u) << 2) | (blue & 3u)];
  }

  // The answers of Nearest() for `count` colours given as three planes, into
  // out[0 .. count). Faster than one call per colour where the processor
  // has AVX2: eight colours at once.
  void NearestMany(const std::uint8_t* red, const std::uint8_t* green, const std::uint8_t* blue, int count,
                   std::uint8_t* out) const;

 private:
  // Works out the block's answers; returns its line. A block whose 64
  // colours all have one answer gets the shared line of that answer: most
  // blocks a photo uses are such, and those 256 lines (16 KB) stay in the
  // nearest cache, while each mixed block takes a line of its own.
  std::uint32_t FillBlock(std::uint32_t block) const;
  // Records and returns the block's line: the shared one of `only` when
  // `answers` is null, or of the one answer all 64 `answers` have, else
  // the line they were worked out in, which becomes used.
  std::uint32_t Keep(std::uint32_t block, const std::uint8_t* answers, std::uint8_t only) const;

  PaletteTable table_;
  // Candidates of cell c (r>>4, g>>4, b>>4 packed as 12 bits) are
  // candidates_[cellStart_[c] .. cellStart_[c + 1]), in index order.
  std::vector<std::uint32_t> cellStart_;
  std::vector<std::uint8_t> candidates_;
  // Their colours, as three planes beside them.
  std::vector<std::uint8_t> candidateRed_, candidateGreen_, candidateBlue_;
  // Per block of 4 x 4 x 4 colours, the line of answers_ that holds its 64
  // answers; 0 while they are not worked out. 32-bit, as vector gathers
  // load them.
  std::uint32_t* lines_;
  // Lines of 64 answers: line 0 is never used, line 1 + i holds answer i
  // throughout, then the lines of mixed blocks in the order they were first
  // used: a picture's blocks lie together, and the memory touched is that
  // of the blocks used, not of all 2^18.
  std::uint8_t* answers_;
  mutable std::uint32_t usedLines_ = 0;
  LargeBuffer storage_;  // lines_, then answers_
};

// The map of the current shared table; rebuilt whenever that table changed
// since the last call. The check compares the whole table, so callers that map
// many pixels fetch the map once per picture, not once per pixel.
const NearestColourMap& CurrentNearestColourMap();

// The defined plain scan of 256 entries, kept as the reference.
int NearestColourByScan(const PaletteTable& table, std::uint8_t red, std::uint8_t green, std::uint8_t blue);

// Index of the current shared colour nearest to `colour` (blue, green, red,
// 0); `colour` is replaced by that entry's colour (fourth byte 0), unless the
// entry matches it exactly, in which case it is left as it was.
int NearestSharedColour(ColourTableEntry& colour);

// Maps every colour-table entry to its nearest shared colour, rewrites the
// pixels through that translation and leaves the shared palette as the
// image's colour table.
void RemapToSharedPalette(IndexedImage& image);

}  // namespace zudizar

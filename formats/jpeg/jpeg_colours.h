// Gathering a picture's colours for the palette: the colour-count table
// with its first-match rule, and the selection of the most frequent colours.
#pragma once

#include <cstdint>
#include <span>
#include <vector>

#include "formats/jpeg/jpeg_decoder.h"
#include "formats/progress.h"

namespace zudizar::jpeg {

// A table of 32769 entries (red, green, blue, count). A colour counts for the
// first entry that differs from it by less than 9 in each component; when
// none does, it takes the first free entry. Entry 0 is black from the start,
// so every colour near black counts there. Counts stop at 255.
//
// Entries that hold a colour lie at least 9 apart in some component, so a
// grid of cells of side 9 holds at most one entry per cell, and the first
// match of a colour is the lowest entry in the 27 cells around it. Once a
// colour has found its entry it finds the same one ever after (entries are
// only appended), so each colour's entry is remembered, in blocks of
// 4 x 4 x 4 colours made as colours arrive.
class ColourCounter {
 public:
  static constexpr int kEntries = 32769;
  struct Entry {
    std::uint8_t red = 0, green = 0, blue = 0, count = 0;
  };

  ColourCounter();
  void Offer(std::uint8_t red, std::uint8_t green, std::uint8_t blue);
  // Entries in use, entry 0 (black) included.
  int Used() const { return used_; }
  const Entry& operator[](int index) const { return entries_[index]; }
  // Black, then for counts 255 down to 1 every entry with that count in
  // table order, up to 256 entries in all.
  std::vector<Entry> Selection() const;

 private:
  static constexpr int kCellsPerSide = 29;  // 256 / 9 rounded up
  static int CellOf(int red, int green, int blue) {
    return ((red / 9) * kCellsPerSide + green / 9) * kCellsPerSide + blue / 9;
  }
  int FindFirstMatch(int red, int green, int blue) const;
  int EntryOf(std::uint8_t red, std::uint8_t green, std::uint8_t blue);

  std::vector<Entry> entries_;
  int used_ = 1;
  // Per cell: the index of the entry in it, or -1, and that entry's colour
  // (red << 16 | green << 8 | blue), next to each other.
  struct CellEntry {
    std::int32_t entry = -1;
    std::uint32_t colour = 0;
  };
  std::vector<CellEntry> cells_;
  // Remembered entries: per block of 4 x 4 x 4 colours its slot + 1 (0: no
  // slot yet); slot s holds the 64 colours' entry index + 1 (0: not known).
  std::vector<std::uint32_t> blockSlot_;
  std::vector<std::uint16_t> remembered_;
};

// Decodes for the colours only (`padded` as for DecodePicture) and returns
// the selection: black, then up to 255 colours.
std::vector<ColourCounter::Entry> GatherColours(std::span<const std::uint8_t> bytes, bool padded,
                                                ProgressSink* progress, const DecodeOptions& options = {});

}  // namespace zudizar::jpeg

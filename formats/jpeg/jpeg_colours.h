// Gathering a picture's colours for the palette: the colour-count table
// with its first-match rule, and the selection of the most frequent colours.
#pragma once

#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <vector>

#include "core/colour_histogram.h"
#include "formats/jpeg/jpeg_decoder.h"
#include "formats/jpeg/jpeg_samples.h"
#include "formats/progress.h"

namespace zudizar::jpeg {

// A table of 32769 entries (red, green, blue, count). A colour counts for the
// first entry that differs from it by less than 9 in each component; when
// none does, it takes the first free entry. Entry 0 is black from the start,
// so every colour near black counts there. Counts stop at 255.
//
// Entries that hold a colour lie at least 9 apart in some component, so a
// grid of cells of side 9 holds at most one entry per cell, and every entry
// near a colour lies in the 27 cells around the colour's own cell. Each cell
// keeps the entries of those 27 cells in table order, so the first of them
// that is near is the first match. Once a colour has found its entry it
// finds the same one ever after (entries are only appended), so each
// colour's entry is remembered, in blocks of 8 x 8 x 8 colours made as
// colours arrive.
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
  static constexpr int kCells = kCellsPerSide * kCellsPerSide * kCellsPerSide;
  static constexpr int kNeighbours = 27;
  int FindFirstMatch(int red, int green, int blue) const;
  void Add(int index);
  int EntryOf(std::uint8_t red, std::uint8_t green, std::uint8_t blue);

  std::vector<Entry> entries_;
  int used_ = 1;
  // Per cell, the entries of the cells around it in table order: index and
  // colour (red << 16 | green << 8 | blue).
  struct Candidate {
    std::uint32_t index;
    std::uint32_t colour;
  };
  // kNeighbours per cell; left uninitialised, as only the first
  // candidateCount_ of a cell are read, so that the pages of cells no colour
  // comes near are never touched.
  std::unique_ptr<Candidate[]> candidates_;
  std::vector<std::uint8_t> candidateCount_;
  // Remembered entries: per block of 8 x 8 x 8 colours its slot + 1 (0: no
  // slot yet); slot s holds the 512 colours' entry index + 1 (0: not known).
  std::vector<std::uint32_t> blockSlot_;
  std::vector<std::uint16_t> remembered_;
};

// What a decode for the colours yields.
struct Gathered {
  std::vector<ColourCounter::Entry> selection;  // black, then up to 255 colours
  int distinct = 0;                             // entries the counter holds besides black (see GatherColours)
  ColourHistogram histogram;                    // every pixel of the picture
  // The picture's colours, when it is small enough to keep and every pixel
  // came from the last scan's full pass.
  std::shared_ptr<RgbSamples> samples;
};

// The picture colours the gathered list holds at most (black comes first).
inline constexpr int kListColours = 255;

// Decodes for the colours only (`padded` as for DecodePicture), through the
// decoder the markers call for. Without `countAll`, counting stops once the
// counter holds more colours than the list takes (`distinct` is then just
// above kListColours): the selection is then of no use. Both passes run
// to their end all the same, with their progress. False, with the reason,
// when the file is refused.
bool GatherColours(std::span<const std::uint8_t> bytes, bool padded, ProgressSink* progress, Gathered& gathered,
                   std::string& reason, const DecodeOptions& options = {}, bool countAll = true);

}  // namespace zudizar::jpeg

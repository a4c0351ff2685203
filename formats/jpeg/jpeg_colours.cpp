// Colour gathering for the JPEG palette rule (ReadJpegColours): the colour
// counts, a histogram of every pixel, and the decoded samples.
#include "formats/jpeg/jpeg_colours.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <new>

#include "formats/jpeg/jpeg.h"
#include "formats/jpeg/jpeg_decoder.h"
#include "formats/jpeg/jpeg_file.h"
#include "formats/jpeg/jpeg_route.h"

namespace zudizar {
namespace jpeg {
namespace {

// Hands every decoded colour to the counter, unless it equals the colour
// handed over just before; the full pass also goes to the histogram and,
// when kept, to the samples.
class ColourSink final : public PixelSink {
 public:
  // `countAll`: count every colour even past the point where the list can
  // no longer hold them all (the palette rule then chooses colours for the
  // whole picture and needs no counts).
  ColourSink(ColourCounter& counter, Gathered& gathered, bool countAll)
      : counter_(counter), gathered_(gathered), countAll_(countAll) {}

  bool StartImage(int width, int height) override {
    // Cleared by GatherColours before the decode; again only for a
    // second image.
    if (started_) gathered_.histogram.Clear();
    started_ = true;
    gathered_.samples.reset();
    written_ = 0;
    const std::int64_t pixels = std::int64_t{width} * height;
    sparse_ = pixels > kDensePixels;
    blocks_ = busyBlocks_ = 0;
    if (pixels <= kMaxKeptPixels) {
      try {
        gathered_.samples = std::make_shared<RgbSamples>(width, height);
      } catch (const std::bad_alloc&) {
        // Not kept: the picture load decodes again.
      }
    }
    return true;
  }
  void DataEnded() override {
    if (gathered_.samples) gathered_.samples->notes |= kNoteDataEnded;
  }
  void DataSkipped() override {
    if (gathered_.samples) gathered_.samples->notes |= kNoteDataSkipped;
  }
  void PreviewBlock(int, int, int, int, Rgb colour) override { Offer(colour.red, colour.green, colour.blue); }
  void Block(int x, int y, int width, int height, const BlockPixels& pixels) override {
    RgbSamples* samples = gathered_.samples.get();
    const bool counting = Counting();
    if (counting)
      for (int j = 0; j < height; ++j)
        for (int i = 0; i < width; ++i) Offer(pixels.red[8 * j + i], pixels.green[8 * j + i], pixels.blue[8 * j + i]);
    if (samples) {
      const std::size_t stride = static_cast<std::size_t>(samples->width);
      const std::size_t at = static_cast<std::size_t>(y) * stride + static_cast<std::size_t>(x);
      const std::uint8_t* from[3] = {pixels.red, pixels.green, pixels.blue};
      std::uint8_t* to[3] = {samples->red + at, samples->green + at, samples->blue + at};
      for (int c = 0; c < 3; ++c) {
        if (width == 8) {  // a fixed length: plain moves, not a library call per row
          for (int j = 0; j < height; ++j) std::memcpy(to[c] + static_cast<std::size_t>(j) * stride, from[c] + 8 * j, 8);
        } else {
          for (int j = 0; j < height; ++j)
            std::memcpy(to[c] + static_cast<std::size_t>(j) * stride, from[c] + 8 * j, static_cast<std::size_t>(width));
        }
      }
    }
    AddToHistogram(width, height, pixels);
    written_ += std::int64_t{width} * height;
  }
  // The histogram for the colour choice. Its exact count (while it lasts)
  // takes every pixel, and so do its cells in small pictures. In a large
  // one, a quiet block (its colours close together) gives 4 of its 64
  // pixels, each weighing 16: flat areas hold many pixels, so a sample
  // stands for them well. A busy block (wide spread: a graphic's edges, a
  // photo's grain) is counted whole until most blocks prove busy, after
  // which it is sampled too. A graphic thus keeps its rare colours, and a
  // grainy photo is counted at a sixteenth of the cost, with a choice as
  // good (within 0.03 dB of counting every pixel, measured on a grainy
  // plasma, a smooth one, a gradient and a few-colour graphic).
  void AddToHistogram(int width, int height, const BlockPixels& pixels) {
    ColourHistogram& histogram = gathered_.histogram;
    if (histogram.Exact())
      for (int j = 0; j < height; ++j)
        for (int i = 0; i < width; ++i)
          histogram.AddToExact(pixels.red[8 * j + i], pixels.green[8 * j + i], pixels.blue[8 * j + i]);
    // Blocks cut by the picture's edge are few: counted whole.
    bool sample = false;
    if (sparse_ && width == 8 && height == 8) {
      const bool busy =
          Spread(pixels.red) > kBusySpread || Spread(pixels.green) > kBusySpread || Spread(pixels.blue) > kBusySpread;
      ++blocks_;
      busyBlocks_ += busy;
      sample = !busy || (blocks_ >= kTrialBlocks && 2 * busyBlocks_ > blocks_);
    }
    if (!sample) {
      for (int j = 0; j < height; ++j)
        for (int i = 0; i < width; ++i)
          histogram.AddToCells(pixels.red[8 * j + i], pixels.green[8 * j + i], pixels.blue[8 * j + i]);
      return;
    }
    // Rows and columns k and k + 4 from a start that moves from block to
    // block, so that no place in the block (its corners differ from its
    // middle after the decoder's transform) stands for all.
    const int start = static_cast<int>((blocks_ * 7) & 15);
    for (int j = start >> 2; j < height; j += 4)
      for (int i = start & 3; i < width; i += 4)
        histogram.AddToCells(pixels.red[8 * j + i], pixels.green[8 * j + i], pixels.blue[8 * j + i], 16);
  }

  // Greatest less least of one plane of a block.
  static int Spread(const std::uint8_t* plane) {
    std::uint8_t lo = 255, hi = 0;
    for (int k = 0; k < 64; ++k) {
      lo = std::min(lo, plane[k]);
      hi = std::max(hi, plane[k]);
    }
    return hi - lo;
  }

  // Whether the full pass gave every pixel exactly once, so the samples are
  // the picture the decoder would write.
  bool Complete() const {
    const RgbSamples* s = gathered_.samples.get();
    return s && written_ == std::int64_t{s->width} * s->height;
  }

 private:
  void Offer(std::uint8_t red, std::uint8_t green, std::uint8_t blue) {
    const std::uint32_t colour = (std::uint32_t{red} << 16) | (std::uint32_t{green} << 8) | blue;
    if (colour == previous_) return;
    previous_ = colour;
    if (Counting()) counter_.Offer(red, green, blue);
  }
  bool Counting() const { return countAll_ || counter_.Used() <= kListColours + 1; }

  static constexpr std::int64_t kDensePixels = std::int64_t{1} << 21;

  ColourCounter& counter_;
  Gathered& gathered_;
  bool countAll_;
  bool started_ = false;
  bool sparse_ = false;
  std::int64_t blocks_ = 0, busyBlocks_ = 0;
  // A block whose colours spread wider than this in some component is busy.
  static constexpr int kBusySpread = 16;
  static constexpr std::int64_t kTrialBlocks = 256;
  std::uint32_t previous_ = UINT32_MAX;  // nothing offered yet
  std::int64_t written_ = 0;
};

}  // namespace

ColourCounter::ColourCounter()
    : entries_(kEntries),
      candidates_(std::make_unique_for_overwrite<Candidate[]>(static_cast<std::size_t>(kCells) * kNeighbours)),
      candidateCount_(kCells, 0),
      blockSlot_(std::size_t{1} << 15, 0) {
  Add(0);  // entry 0, black
}

void ColourCounter::Add(int index) {
  const Entry& e = entries_[index];
  const Candidate candidate{static_cast<std::uint32_t>(index),
                            std::uint32_t{e.red} << 16 | std::uint32_t{e.green} << 8 | e.blue};
  const int r = e.red / 9, g = e.green / 9, b = e.blue / 9;
  for (int dr = -1; dr <= 1; ++dr)
    for (int dg = -1; dg <= 1; ++dg)
      for (int db = -1; db <= 1; ++db) {
        const int nr = r + dr, ng = g + dg, nb = b + db;
        if (nr < 0 || ng < 0 || nb < 0 || nr >= kCellsPerSide || ng >= kCellsPerSide || nb >= kCellsPerSide) continue;
        const int cell = (nr * kCellsPerSide + ng) * kCellsPerSide + nb;
        // At most one entry per cell, so at most 27 around any cell.
        candidates_[static_cast<std::size_t>(cell) * kNeighbours + candidateCount_[cell]++] = candidate;
      }
}

int ColourCounter::FindFirstMatch(int red, int green, int blue) const {
  const int cell = CellOf(red, green, blue);
  const Candidate* list = &candidates_[static_cast<std::size_t>(cell) * kNeighbours];
  for (int i = 0; i < candidateCount_[cell]; ++i) {
    const std::uint32_t c = list[i].colour;
    const int dr = static_cast<int>(c >> 16) - red;
    const int dg = static_cast<int>((c >> 8) & 0xFF) - green;
    const int db = static_cast<int>(c & 0xFF) - blue;
    if (dr > -9 && dr < 9 && dg > -9 && dg < 9 && db > -9 && db < 9) return static_cast<int>(list[i].index);
  }
  return -1;
}

int ColourCounter::EntryOf(std::uint8_t red, std::uint8_t green, std::uint8_t blue) {
  const std::uint32_t block = (std::uint32_t{red} >> 3 << 10) | (std::uint32_t{green} >> 3 << 5) | (blue >> 3u);
  std::uint32_t& slot = blockSlot_[block];
  if (slot == 0) {
    remembered_.resize(remembered_.size() + 512, 0);
    slot = static_cast<std::uint32_t>(remembered_.size() / 512);
  }
  std::uint16_t& known = remembered_[(slot - 1) * 512 + ((red & 7u) << 6 | (green & 7u) << 3 | (blue & 7u))];
  if (known != 0) return known - 1;
  int index = FindFirstMatch(red, green, blue);
  if (index < 0) {
    if (used_ == kEntries) return -1;  // the table is full: the colour is dropped
    index = used_++;
    entries_[index] = {red, green, blue, 0};
    Add(index);
  }
  known = static_cast<std::uint16_t>(index + 1);
  return index;
}

void ColourCounter::Offer(std::uint8_t red, std::uint8_t green, std::uint8_t blue) {
  const int index = EntryOf(red, green, blue);
  if (index < 0) return;
  Entry& entry = entries_[index];
  if (entry.count < 255) ++entry.count;
}

std::vector<ColourCounter::Entry> ColourCounter::Selection() const {
  std::vector<Entry> list;
  list.push_back({0, 0, 0, entries_[0].count});
  // Walking the table once per count value, as the rule reads, is a stable
  // bucket sort by descending count.
  std::vector<int> byCount[256];
  for (int i = 1; i < used_; ++i) byCount[entries_[i].count].push_back(i);
  for (int count = 255; count >= 1 && list.size() < 256; --count)
    for (int i : byCount[count]) {
      if (list.size() == 256) break;
      list.push_back(entries_[i]);
    }
  return list;
}

bool GatherColours(std::span<const std::uint8_t> bytes, bool padded, ProgressSink* progress, Gathered& gathered,
                   std::string& reason, const DecodeOptions& options, bool countAll) {
  ColourCounter counter;
  // Field by field, so that the histogram keeps its allocations.
  gathered.selection.clear();
  gathered.distinct = 0;
  gathered.histogram.Clear();
  gathered.samples.reset();
  ColourSink sink(counter, gathered, countAll);
  const bool ok = DecodeRouted(bytes, padded, sink, progress, reason, options);
  if (!sink.Complete()) gathered.samples.reset();
  if (!ok) {
    gathered = Gathered();
    return false;
  }
  gathered.selection = counter.Selection();
  gathered.distinct = counter.Used() - 1;
  return true;
}

}  // namespace jpeg

namespace {

void StoreSelection(const std::vector<jpeg::ColourCounter::Entry>& list, IndexedImage& image) {
  image.colourTable.fill({});
  for (std::size_t i = 0; i < list.size(); ++i) image.colourTable[i] = {list[i].blue, list[i].green, list[i].red, 0};
  image.infoHeader.biClrUsed = static_cast<std::uint32_t>(list.size());
}

}  // namespace

bool GatherJpegColours(std::span<const std::uint8_t> bytes, IndexedImage& image, ProgressSink* progress) {
  FreeImage(image);
  jpeg::Gathered gathered;
  std::string reason;
  if (!jpeg::GatherColours(bytes, false, progress, gathered, reason)) return false;
  StoreSelection(gathered.selection, image);
  return true;
}

bool ReadJpegColours(const std::string& name, IndexedImage& image, ProgressSink* progress) {
  FreeImage(image);
  std::vector<std::uint8_t> buffer;
  if (!jpeg::ReadPaddedFile(name, buffer)) return false;
  jpeg::Gathered gathered;
  std::string reason;
  if (!jpeg::GatherColours(buffer, true, progress, gathered, reason)) return false;
  StoreSelection(gathered.selection, image);
  return true;
}

}  // namespace zudizar

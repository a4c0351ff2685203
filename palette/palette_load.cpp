#include "palette/palette_load.h"

#include <algorithm>
#include <charconv>
#include <memory>
#include <new>
#include <vector>

#include <cmath>
#include <cstdio>
#include <limits>

#include "base/file_io.h"
#include "base/settings.h"
#include "base/trace.h"
#include "core/shared_palette.h"
#include "formats/bmp.h"
#include "formats/dispatch.h"
#include "formats/jpeg/jpeg.h"
#include "formats/jpeg/jpeg_colours.h"
#include "formats/mag.h"
#include "formats/png.h"
#include "palette/quantise.h"

namespace zudizar {
namespace {

bool SameColour(const PaletteEntry& a, const PaletteEntry& b) {
  return a.red == b.red && a.green == b.green && a.blue == b.blue;
}

// Distinct colours in order of appearance, up to 256; after that every new
// colour overwrites entry 255. Entries 0-254 never change once written, so
// they sit in a small hash table; entry 255 is compared directly.
class ColourGatherer {
 public:
  explicit ColourGatherer(PictureColourList& list) : list_(list) { slots_.fill(kEmpty); }

  void Offer(std::uint8_t red, std::uint8_t green, std::uint8_t blue) {
    const std::uint32_t key = (std::uint32_t{red} << 16) | (std::uint32_t{green} << 8) | blue;
    if (key == last_) return;
    last_ = key;
    std::size_t slot = Hash(key);
    while (slots_[slot] != kEmpty) {
      if (slots_[slot] == key) return;
      slot = (slot + 1) & (kSlots - 1);
    }
    if (count_ == 256 || count_ == 255) {
      PaletteEntry& e = list_.colours[255];
      if (count_ == 256) {
        if (e.red == red && e.green == green && e.blue == blue) return;
        list_.cut = true;
      } else {
        count_ = 256;
      }
      e = {red, green, blue, 0};
      list_.used[255] = true;
      return;
    }
    slots_[slot] = key;
    list_.colours[count_] = {red, green, blue, 0};
    list_.used[count_] = true;
    ++count_;
  }

 private:
  static constexpr std::size_t kSlots = 1024;
  static constexpr std::uint32_t kEmpty = 0xFFFFFFFFu;
  static std::size_t Hash(std::uint32_t key) { return (key * 2654435761u) >> 22; }

  PictureColourList& list_;
  std::array<std::uint32_t, kSlots> slots_;
  std::uint32_t last_ = kEmpty;
  int count_ = 0;
};

// Adds a palette picture's index counts to a histogram, each index counting
// as its table colour.
void AddIndexCounts(const std::array<std::uint64_t, 256>& counts, const std::array<PaletteEntry, 256>& colours,
                    ColourHistogram* histogram) {
  if (!histogram) return;
  for (int i = 0; i < 256; ++i)
    if (counts[i]) histogram->Add(colours[i].red, colours[i].green, colours[i].blue, counts[i]);
}

class ColourListSink : public BmpPixelSink {
 public:
  ColourListSink(PictureColourList& list, ColourHistogram* histogram)
      : list_(list), gatherer_(list), histogram_(histogram) {}

  bool Begin(const BmpPicture& picture) override {
    if (picture.palettised)
      for (int i = 0; i < 256; ++i)
        list_.colours[i] = {picture.table[i].red, picture.table[i].green, picture.table[i].blue, 0};
    return true;
  }
  void Indices(std::vector<std::uint8_t>& block) override {
    std::array<std::uint64_t, 256> counts{};
    for (const std::uint8_t index : block) ++counts[index];
    for (int i = 0; i < 256; ++i) list_.used[i] = list_.used[i] || counts[i] != 0;
    AddIndexCounts(counts, list_.colours, histogram_);
  }
  void ColourRow(int, const std::uint8_t* bgr, int present) override {
    for (int x = 0; x < present; ++x, bgr += 3) {
      gatherer_.Offer(bgr[2], bgr[1], bgr[0]);
      if (histogram_) histogram_->Add(bgr[2], bgr[1], bgr[0]);
    }
  }

 private:
  PictureColourList& list_;
  ColourGatherer gatherer_;
  ColourHistogram* histogram_;
};

constexpr MergeRule kBmpRule{false, true, true};
constexpr MergeRule kMagRule{true, true, true};

// Trace record of a picture whose colours did not all fit: how many were
// approximated, and the mean and largest distance, in RGB units.
constexpr int kApproximationTrace = 7100;

void TraceApproximation(const ColourHistogram& histogram, const PaletteTable& table) {
  // The measurement visits every colour of the histogram: only for a record.
  if (!TraceWanted()) return;
  const ApproximationError error = MeasureApproximation(histogram, table);
  char text[96];
  std::snprintf(text, sizeof text, "%llu %.2f %.2f", static_cast<unsigned long long>(error.approximated), error.mean,
                error.largest);
  TraceRecord(kApproximationTrace, text);
}

// The defined merge when the picture's colours fit the free entries;
// otherwise colours chosen to represent the whole picture, merged the same
// way. A picture "fits" when its list was not cut and the merge drops none.
void MergeOrChoose(const PictureColourList& list, const ColourHistogram& histogram, const MergeRule& rule,
                   const EntryMask& inUse) {
  PaletteTable& pending = SharedPalette.pending;
  if (!list.cut) {
    PictureColourList trialList = list;
    PaletteTable trial = pending;
    if (MergeColourList(trialList, trial, rule, inUse) == 0) {
      pending = trial;
      return;
    }
  }
  PictureColourList chosen = RepresentativeColours(histogram, pending, inUse);
  MergeColourList(chosen, pending, rule, inUse);
  TraceApproximation(histogram, pending);
}

void LoadPaletteByBmpRule(const OpenedPicture& opened, FileReport* report, const EntryMask& inUse) {
  if (!opened.readable || opened.bytes.size() < 14) return;
  PictureColourList list;
  ColourHistogram histogram;
  // A file the reader refuses changes nothing; the picture step that follows
  // reports why, so the user sees one message, not two.
  if (!GatherBmpColours(opened.bytes, list, kMaxImagePixels, &histogram)) return;
  if (list.cut) Report(report, kBmpColoursCutText, kBmpLoadFailedCaption, MessageKind::Information);
  MergeOrChoose(list, histogram, kBmpRule, inUse);
  RealizeSharedPalette();
}

// RGBA pixels offer their distinct colours over white in order, as a
// 24-bit BMP does; the histogram counts every pixel.
void GatherRgbaColours(std::span<const std::uint8_t> rgba, PictureColourList& list, ColourHistogram& histogram) {
  ColourGatherer gatherer(list);
  const std::uint8_t* p = rgba.data();
  for (std::size_t i = 0; i < rgba.size() / 4; ++i, p += 4) {
    const Rgba c = OverWhite({p[0], p[1], p[2], p[3]});
    gatherer.Offer(c.red, c.green, c.blue);
    histogram.Add(c.red, c.green, c.blue);
  }
}

// A PNG: a palette picture offers its table like an 8-bit BMP, the other
// kinds their distinct colours like a 24-bit BMP, each composited over white
// as the picture load shows them. Nothing is reported: the message about cut
// colours belongs to BMP files.
void LoadPaletteByPngRule(const OpenedPicture& opened, const EntryMask& inUse) {
  if (!opened.readable) return;
  // Row by row, so that no copy of the whole picture is made.
  class ColourRows final : public PngRowSink {
   public:
    bool Start(const PngHeader& header) override {
      header_ = header;
      return true;
    }
    void Row(int, const std::uint8_t* pixels, int x0, int step) override {
      for (int x = x0; x < header_.width; x += step) {
        if (header_.palettised) {
          ++counts_[pixels[x]];
          continue;
        }
        const std::uint8_t* p = pixels + static_cast<std::size_t>(x) * 4;
        const Rgba c = OverWhite({p[0], p[1], p[2], p[3]});
        gatherer_.Offer(c.red, c.green, c.blue);
        histogram_.Add(c.red, c.green, c.blue);
      }
    }
    PngHeader header_;
    PictureColourList list_;
    ColourGatherer gatherer_{list_};
    ColourHistogram histogram_;
    std::array<std::uint64_t, 256> counts_{};
  };
  auto rows = std::make_unique<ColourRows>();
  std::string reason;
  bool ended = false;
  if (!DecodePngRows(opened.bytes, *rows, reason, ended)) return;
  if (rows->header_.palettised) {
    for (int i = 0; i < 256; ++i) {
      const Rgba c = OverWhite(rows->header_.table[i]);
      rows->list_.colours[i] = {c.red, c.green, c.blue, 0};
      rows->list_.used[i] = rows->counts_[i] != 0;
    }
    AddIndexCounts(rows->counts_, rows->list_.colours, &rows->histogram_);
  }
  MergeOrChoose(rows->list_, rows->histogram_, kBmpRule, inUse);
  RealizeSharedPalette();
}

bool ParseInt32(std::string_view text, std::int32_t& value) {
  while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) text.remove_prefix(1);
  while (!text.empty() && (text.back() == ' ' || text.back() == '\t' || text.back() == '\r')) text.remove_suffix(1);
  if (!text.empty() && text.front() == '+') text.remove_prefix(1);
  if (text.empty()) return false;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value, 10);
  return error == std::errc() && end == text.data() + text.size();
}

}  // namespace

bool GatherBmpColours(std::span<const std::uint8_t> bytes, PictureColourList& list, std::int64_t maxPixels,
                      ColourHistogram* histogram) {
  PictureColourList gathered;
  ColourListSink sink(gathered, histogram);
  std::string reason;
  if (!DecodeBmp(bytes, sink, reason, maxPixels)) return false;
  list = gathered;
  return true;
}

int MergeColourList(PictureColourList& list, PaletteTable& pending, const MergeRule& rule, const EntryMask& inUse) {
  std::array<bool, 256> taken = inUse;
  for (int i = 0; i < 256; ++i) {
    if (!list.used[i]) continue;
    const PaletteEntry& c = list.colours[i];
    for (int s = 0; s < 256; ++s) {
      const bool reserved = s < kFirstFreeEntry || s > kLastFreeEntry;
      if ((rule.matchAllEntries || reserved) && SameColour(pending[s], c)) {
        list.used[i] = false;
        taken[s] = true;
      }
    }
    if (rule.entry9Aliases && IsEntry9Colour(c.red, c.green, c.blue)) {
      list.used[i] = false;
      taken[9] = true;
    }
  }
  if (rule.dropRepeats)
    for (int i = 0; i < 255; ++i) {
      if (!list.used[i]) continue;
      for (int j = i + 1; j < 256; ++j)
        if (list.used[j] && SameColour(list.colours[j], list.colours[i])) list.used[j] = false;
    }
  int slot = kFirstFreeEntry;
  int dropped = 0;
  for (int i = 0; i < 256; ++i) {
    if (!list.used[i]) continue;
    while (slot <= kLastFreeEntry && taken[slot]) ++slot;
    if (slot > kLastFreeEntry) {  // no entry left: the rest are dropped
      ++dropped;
      continue;
    }
    pending[slot].red = list.colours[i].red;
    pending[slot].green = list.colours[i].green;
    pending[slot].blue = list.colours[i].blue;
    taken[slot] = true;
  }
  return dropped;
}

PictureColourList RepresentativeColours(const ColourHistogram& histogram, const PaletteTable& pending,
                                        const EntryMask& inUse) {
  // The entries that keep their colours stand as fixed centres, so the
  // choice spends the entries it may write on the colours they miss.
  std::vector<PaletteEntry> fixed;
  for (int i = 0; i < 256; ++i)
    if (i < kFirstFreeEntry || i > kLastFreeEntry || inUse[i]) fixed.push_back(pending[i]);
  PictureColourList list;
  const int count = CountUnusedFreeEntries(inUse);
  const auto chosen = ChooseRepresentativeColours(histogram, count, fixed);
  for (std::size_t i = 0; i < chosen.size() && i < 256; ++i) {
    list.colours[i] = chosen[i];
    list.used[i] = true;
  }
  return list;
}

ApproximationError MeasureApproximation(const ColourHistogram& histogram, const PaletteTable& table) {
  ApproximationError error;
  double sum = 0;
  std::uint64_t pixels = 0;
  const auto measure = [&](double red, double green, double blue, std::uint64_t count) {
    double best = std::numeric_limits<double>::max();
    for (const PaletteEntry& e : table) {
      const double dr = e.red - red, dg = e.green - green, db = e.blue - blue;
      best = std::min(best, dr * dr + dg * dg + db * db);
    }
    const double distance = std::sqrt(best);
    if (distance > 0) ++error.approximated;
    error.largest = std::max(error.largest, distance);
    sum += distance * static_cast<double>(count);
    pixels += count;
  };
  if (histogram.Exact()) {
    for (const auto& [colour, count] : histogram.ExactColours())
      measure(colour >> 16, (colour >> 8) & 0xFF, colour & 0xFF, count);
  } else {
    for (const auto& cell : histogram.Cells()) {
      if (cell.count == 0) continue;
      const double w = static_cast<double>(cell.count);
      measure(static_cast<double>(cell.red) / w, static_cast<double>(cell.green) / w,
              static_cast<double>(cell.blue) / w, cell.count);
    }
  }
  if (pixels) error.mean = sum / static_cast<double>(pixels);
  return error;
}

namespace {

// The JPEG rule on a file already read; the decoded colours stay in
// `opened` for the picture step.
bool MergeJpegColours(OpenedPicture& opened, ProgressSink* progress, const EntryMask& inUse) {
  opened.samples.reset();
  if (!opened.readable) return false;
  jpeg::Gathered gathered;
  std::string reason;
  // A refused file changes nothing; the picture step that follows says why.
  if (!jpeg::GatherColours(opened.bytes, true, progress, gathered, reason, {}, false)) return false;
  PictureColourList list;
  for (std::size_t i = 0; i < gathered.selection.size() && i < 256; ++i) {
    const auto& e = gathered.selection[i];
    list.colours[i] = {e.red, e.green, e.blue, 0};
    list.used[i] = true;
  }
  // The list holds at most 255 of the gathered colours.
  list.cut = gathered.distinct > jpeg::kListColours;
  MergeOrChoose(list, gathered.histogram, kJpegMergeRule, inUse);
  RealizeSharedPalette();
  opened.samples = std::move(gathered.samples);
  return true;
}

void MergeByFormat(OpenedPicture& opened, FileReport* report, ProgressSink* progress, const EntryMask& inUse) {
  switch (opened.format) {
    case PictureFormat::Mag:
      if (opened.readable) LoadPaletteFromMagBytes(opened.bytes, inUse);
      break;
    case PictureFormat::Jpeg: MergeJpegColours(opened, progress, inUse); break;
    case PictureFormat::Icon:
      // An icon is brought onto the palette as it is: nothing to merge. Its
      // reader's messages are left to the picture step.
      break;
    case PictureFormat::Png: LoadPaletteByPngRule(opened, inUse); break;
    case PictureFormat::Bmp: LoadPaletteByBmpRule(opened, report, inUse); break;
  }
}

}  // namespace

bool LoadPaletteFromJpeg(const std::string& name, ProgressSink* progress) {
  OpenedPicture opened;
  ReadPictureAs(name, PictureFormat::Jpeg, opened);
  return MergeJpegColours(opened, progress, kNoEntriesInUse);
}

void LoadStartupPalette(FileReport* report, ProgressSink* progress, const EntryMask& inUse) {
  SharedPalette.pending = SharedPalette.current;
  std::string name = ReadSetting("INITBMP");
  if (name.empty()) name = ProgramFolder() + "TAVOCINI.BMP";
  LoadPaletteFromPicture(name, report, progress, inUse);
  RealizeSharedPalette();
}

void MergeOpenedColours(OpenedPicture& opened, FileReport* report, ProgressSink* progress, const EntryMask& inUse) {
  // The pending table may lag behind the current one; the entries in use
  // must keep the colours their pixels show now.
  for (int i = 0; i < 256; ++i)
    if (inUse[i]) SharedPalette.pending[i] = SharedPalette.current[i];
  try {
    MergeByFormat(opened, report, progress, inUse);
  } catch (const std::bad_alloc&) {
    // The palette stays as it was.
    SharedPalette.pending = SharedPalette.current;
    opened.samples.reset();
    ReportLoadWithoutMemory(report, opened.name);
  }
}

void LoadPaletteFromPicture(const std::string& name, FileReport* report, ProgressSink* progress,
                            const EntryMask& inUse) {
  OpenedPicture opened;
  ReadPictureForOpen(name, opened);
  MergeOpenedColours(opened, report, progress, inUse);
}

bool MergeRgbaColours(std::span<const std::uint8_t> rgba, const EntryMask& inUse) {
  SharedPalette.pending = SharedPalette.current;
  try {
    PictureColourList list;
    ColourHistogram histogram;
    GatherRgbaColours(rgba, list, histogram);
    MergeOrChoose(list, histogram, kMagRule, inUse);
  } catch (const std::bad_alloc&) {
    SharedPalette.pending = SharedPalette.current;
    return false;
  }
  RealizeSharedPalette();
  return true;
}

void MergePictureColours(const IndexedImage& image, const EntryMask& inUse) {
  SharedPalette.pending = SharedPalette.current;
  PictureColourList list;
  std::array<std::uint64_t, 256> counts{};
  if (image.HasPixels()) {
    const std::size_t n = std::min(image.pixels.size(), static_cast<std::size_t>(std::max(image.ImageWidth(), 0)) *
                                                            static_cast<std::size_t>(std::max(image.ImageHeight(), 0)));
    for (std::size_t i = 0; i < n; ++i) ++counts[image.pixels[i]];
  }
  for (int i = 0; i < 256; ++i) {
    const ColourTableEntry& c = image.colourTable[i];
    list.colours[i] = {c.red, c.green, c.blue, 0};
    list.used[i] = counts[i] != 0;
  }
  if (MergeColourList(list, SharedPalette.pending, kMagRule, inUse) > 0) {
    ColourHistogram histogram;
    AddIndexCounts(counts, list.colours, &histogram);
    TraceApproximation(histogram, SharedPalette.pending);
  }
  RealizeSharedPalette();
}

std::string SwatchFilePath() { return ProgramFolder() + "IDXPALET.TXT"; }

bool ParseSwatchArrangement(std::string_view text, SwatchArrangement& arrangement) {
  std::array<std::string_view, 256> lines;
  std::size_t count = 0;
  std::size_t start = 0;
  while (count < 256 && start < text.size()) {
    std::size_t end = text.find('\n', start);
    if (end == std::string_view::npos) end = text.size();
    lines[count++] = text.substr(start, end - start);
    start = end + 1;
  }
  if (count < 256) return false;
  for (int p = 0; p < 256; ++p) {
    std::int32_t value = 0;
    arrangement[p] = ParseInt32(lines[p], value) ? value : p;
  }
  return true;
}

std::string FormatSwatchArrangement(const SwatchArrangement& arrangement) {
  std::string text;
  text.reserve(256 * 6);
  for (const std::int32_t value : arrangement) {
    text += std::to_string(value);
    text += "\r\n";
  }
  return text;
}

void ReadSwatchArrangement(const std::string& path, SwatchArrangement& arrangement) {
  std::vector<std::uint8_t> bytes;
  if (!ReadWholeFile(path, bytes, std::uint64_t{16} << 20)) return;
  ParseSwatchArrangement(std::string_view(reinterpret_cast<const char*>(bytes.data()), bytes.size()), arrangement);
}

bool WriteSwatchArrangement(const std::string& path, const SwatchArrangement& arrangement) {
  const std::string text = FormatSwatchArrangement(arrangement);
  return WriteFileSafely(path, std::vector<std::uint8_t>(text.begin(), text.end()));
}

bool LoadPaletteFromMagBytes(std::span<const std::uint8_t> bytes, const EntryMask& inUse) {
  IndexedImage picture;
  MagDecodeOptions options;
  options.remapToShared = false;
  if (!DecodeMag(bytes, picture, options)) return false;
  MergePictureColours(picture, inUse);
  return true;
}

bool LoadPaletteFromMag(const std::string& name) {
  OpenedPicture opened;
  return ReadPictureAs(name, PictureFormat::Mag, opened) && LoadPaletteFromMagBytes(opened.bytes);
}

}  // namespace zudizar

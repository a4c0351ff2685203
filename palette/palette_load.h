// Palette loading: merging a picture file's colours into the pending table,
// and the swatch arrangement file IDXPALET.TXT.
#pragma once

#include <array>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>

#include "core/colour_histogram.h"
#include "core/entry_mask.h"
#include "core/indexed_image.h"
#include "core/limits.h"
#include "core/swatch_arrangement.h"
#include "formats/opened_picture.h"
#include "formats/progress.h"

namespace zudizar {

// Every rule below that places colours takes `inUse`, the entries other
// canvases' pixels index: those keep their colours, and the picture's colours
// go to the free entries left. With no entry in use the rules are unchanged.

// Copies the current table into the pending one and merges the start-up
// palette picture ("INITBMP", or TAVOCINI.BMP in the program folder).
void LoadStartupPalette(FileReport* report = nullptr, ProgressSink* progress = nullptr,
                        const EntryMask& inUse = kNoEntriesInUse);

// The palette step of an open (between ReadPictureForOpen and
// MapOpenedPicture): merges the picture's colours into the pending table by
// its format's rule, then rebuilds the handle. A file that cannot be read or
// decoded changes nothing and reports nothing (the picture step says why).
// The BMP rule reports "ﾋﾞｯﾄﾏｯﾌﾟのﾛｰﾄﾞ失敗" when a picture offers more than
// 256 colours; running out of memory leaves the pending table as the current
// one and names the file. A JPEG's decoded colours are kept in `opened` for
// the picture step when the picture is small enough.
// When the colours were chosen because they did not all fit, a trace record
// says how many were approximated and by how much.
void MergeOpenedColours(OpenedPicture& opened, FileReport* report = nullptr, ProgressSink* progress = nullptr,
                        const EntryMask& inUse = kNoEntriesInUse);
// The palette step alone, for callers that want only the colours.
void LoadPaletteFromPicture(const std::string& name, FileReport* report = nullptr, ProgressSink* progress = nullptr,
                            const EntryMask& inUse = kNoEntriesInUse);
// The MAG rule: adds the colours an image uses that the palette lacks.
void MergePictureColours(const IndexedImage& image, const EntryMask& inUse = kNoEntriesInUse);
// The colours of a picture held in memory (a picture from the clipboard) as
// RGBA, 4 bytes a pixel, composited over white as a PNG's are: merged into
// the pending table, which starts as the current one, by the MAG rule (a
// colour any entry holds is used as it is, the others go to free entries
// not in `inUse`); when they do not all fit, colours chosen for the whole
// picture as for a photo. Then the handle is rebuilt. False, the pending
// table left as the current one, when memory ran out.
bool MergeRgbaColours(std::span<const std::uint8_t> rgba, const EntryMask& inUse = kNoEntriesInUse);
// The MAG palette rule for a file: decodes keeping the file's own colours and
// merges them into the pending table (MergePictureColours). False when
// unreadable.
bool LoadPaletteFromMag(const std::string& name);
bool LoadPaletteFromMagBytes(std::span<const std::uint8_t> bytes, const EntryMask& inUse = kNoEntriesInUse);

// A picture's colours offered to the pending table, in order, each with a
// used mark.
struct PictureColourList {
  std::array<PaletteEntry, 256> colours{};  // red, green, blue; flags unused
  std::array<bool, 256> used{};
  bool cut = false;  // more than 256 distinct colours were met
};

// The BMP rule's colour gathering from a whole file held in memory:
// palettised pictures offer their table with the indices their pixels use;
// 16-, 24- and 32-bit pictures offer their distinct colours in file order,
// a 257th and every later new colour overwriting entry 255 (`cut`).
// False when the file cannot be decoded (nothing is offered). `histogram`,
// when given, counts every pixel's colour.
bool GatherBmpColours(std::span<const std::uint8_t> bytes, PictureColourList& list,
                      std::int64_t maxPixels = kMaxImagePixels, ColourHistogram* histogram = nullptr);

// How offered colours meet the pending table.
struct MergeRule {
  // Match against all 256 entries (MAG, JPEG), or only the reserved ones (BMP).
  bool matchAllEntries = false;
  // A6CAF0 and A4C8F0 count as reserved entry 9 (BMP and MAG).
  bool entry9Aliases = true;
  // Drop later repeats of a colour before placing (BMP and MAG).
  bool dropRepeats = true;
};

// The JPEG rule: every entry may match, no aliases, no repeat dropping.
inline constexpr MergeRule kJpegMergeRule{true, false, false};

// Matches the used colours against `pending`, then places each remaining one,
// in list order, in the lowest free entry of 10-245 not yet taken; colours
// left over when no entry is free are dropped, and counted in the result.
// Entries marked in `inUse` are never written. Flags are left untouched.
int MergeColourList(PictureColourList& list, PaletteTable& pending, const MergeRule& rule,
                    const EntryMask& inUse = kNoEntriesInUse);

// As many colours as there are free entries not in `inUse`, chosen to
// represent a picture's histogram; the reserved entries and the entries in
// use take part as they are in `pending`.
PictureColourList RepresentativeColours(const ColourHistogram& histogram, const PaletteTable& pending,
                                        const EntryMask& inUse = kNoEntriesInUse);

// How far a picture's colours lie from their nearest entries of a table.
struct ApproximationError {
  std::uint64_t approximated = 0;  // distinct colours (or cells) without an exact entry
  double mean = 0;                 // mean distance over the picture's pixels
  double largest = 0;              // largest distance of any of its colours
};
// Measured over the histogram's exact colours, or its cells' mean colours
// when it holds too many; distances are Euclidean in RGB.
ApproximationError MeasureApproximation(const ColourHistogram& histogram, const PaletteTable& table);

// The JPEG palette rule: gathers the picture's colours and merges them into
// the pending table (black, then the most frequent colours; colours chosen
// for the whole picture when they do not fit), then rebuilds the handle.
// False when the file cannot be read or is refused; nothing changes then.
bool LoadPaletteFromJpeg(const std::string& name, ProgressSink* progress = nullptr);

// The swatch arrangement file.
// IDXPALET.TXT in the program folder.
std::string SwatchFilePath();
// Takes the first 256 lines of `text` when it has at least 256; a line that is
// not a decimal integer gives its position's own index. False (arrangement
// unchanged) when the text has fewer lines.
bool ParseSwatchArrangement(std::string_view text, SwatchArrangement& arrangement);
// 256 lines of decimal integers, each ended by CR LF.
std::string FormatSwatchArrangement(const SwatchArrangement& arrangement);
// Reads IDXPALET.TXT; a missing or short file leaves `arrangement` unchanged.
void ReadSwatchArrangement(const std::string& path, SwatchArrangement& arrangement);
bool WriteSwatchArrangement(const std::string& path, const SwatchArrangement& arrangement);

}  // namespace zudizar

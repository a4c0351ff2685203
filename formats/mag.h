// MAG pictures ("MAKI02  "): flag bits and copy vectors over 2-byte units,
// 8-, 16- and 256-colour read, 16- and 256-colour written.
//
// The codec works on bytes; only the thin file wrappers touch the disk. One
// decoder serves the picture reader (colours brought onto the shared palette)
// and the palette rule (the file's own colour table and indices kept).
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "core/indexed_image.h"
#include "core/limits.h"
#include "formats/progress.h"

namespace zudizar {

struct OpenedPicture;

// A file that cannot be read or decoded fails without a message; a file
// shorter than its header says opens with the note kDataEndedText.
bool ReadMagFile(const std::string& name, IndexedImage& image, FileReport* report = nullptr,
                 ProgressSink* progress = nullptr);
// The same on a file already read (ReadPictureAs).
bool ReadMagOpened(const OpenedPicture& opened, IndexedImage& image, FileReport* report = nullptr);
// Reports only running out of memory; the file system's refusals are
// reported by SavePictureFile.
bool WriteMagFile(const std::string& name, IndexedImage& image, FileReport* report = nullptr,
                  ProgressSink* progress = nullptr);

// Nothing legitimate comes close: even an uncompressed 256-colour picture of
// the largest allowed size needs about 350 MB.
constexpr std::uint64_t kMaxMagFileBytes = std::uint64_t{1} << 29;

struct MagDecodeOptions {
  // False keeps the file's colour table and indices (the palette rule).
  bool remapToShared = true;
  // Pictures with more pixels are refused; fuzzing lowers it.
  std::int64_t maxPixels = kMaxImagePixels;
};

// Decodes a whole MAG file. On failure `image` is left as it was; on success
// it is replaced by a picture 4F (256 colours) or 8F pixels wide, the
// picture's own pixels starting at column x1 mod 4 (or mod 8), with x1 and y1
// in its origin fields. `ended`: the file is shorter than its header says
// (what is missing decodes as zeros).
bool DecodeMag(std::span<const std::uint8_t> bytes, IndexedImage& image, const MagDecodeOptions& options = {},
               bool* ended = nullptr);

// Encodes a work copy of `image` (the image itself is not changed): the
// 16-colour layout for 1-15 distinct pixel values, 256 colours otherwise; a
// picture with its own colours (ownColours) keeps its table and indices, in
// the 16-colour layout when every pixel value is below 16. The fields before
// the header are the picture's own (MagFieldBytes).
// Widths that do not fill whole flag bytes are padded at the right with the
// lowest pixel value the picture uses; x2 records the true width.
// False when the image has no pixels or memory runs out.
bool EncodeMag(const IndexedImage& image, std::vector<std::uint8_t>& bytes);

// The user name field's length in a whole file, in bytes.
inline constexpr std::size_t kMagUserNameBytes = 18;

// The user name a picture that never came from a MAG is written with: the
// setting MagUserName of [Option] in Shift_JIS, or "ZUDIZAR" when it is unset
// or cannot be written in 18 bytes of Shift_JIS.
std::string DefaultMagUserName();
// Field text may hold neither a zero byte (the header would start there)
// nor 0x1A (the terminator).
bool MagFieldTextAllowed(std::string_view bytes);
// The fields a writer puts down for `mag`: its own when present, else the
// defaults (machine "MG  ", machine code 0, DefaultMagUserName, no comment).
MagFields WrittenMagFields(const MagFields& mag);
// The bytes between the signature and the header a writer puts down for
// `mag`: machine name, user name, comment, 0x1A and the gap; the defaults
// (machine "MG  ", DefaultMagUserName, no comment) when it is not present.
std::vector<std::uint8_t> MagFieldBytes(const MagFields& mag);
// The fields of a MAG file held in memory, without decoding its picture;
// `isMag` false (and empty fields) when it has no MAG header.
MagFields ReadMagFields(std::span<const std::uint8_t> bytes, bool& isMag);

// The fields as bytes of their own, to keep beside a copy of the picture in
// another format (the crash recovery's BMP). UnpackMagFields takes exactly
// what PackMagFields wrote and refuses anything else (leaving `mag` alone).
std::vector<std::uint8_t> PackMagFields(const MagFields& mag);
bool UnpackMagFields(std::span<const std::uint8_t> bytes, MagFields& mag);

// Colour compaction, shared with the icon writer. Renumbers the pixel values
// that occur as 0, 1, 2 ... in ascending order and returns their count n.
// For n < 16 the colour table becomes the shared palette with entry new(i)
// holding shared colour i (unused indices all map to 241), or for a picture
// with its own colours (ownColours) its own colour i; for n >= 16 the image
// is left alone.
int CompactColours(IndexedImage& image);

// A copy of `image` (pixels, information header, colour table) for a writer
// to compact and encode; false when it cannot be allocated.
bool MakeWorkCopy(const IndexedImage& image, IndexedImage& copy);

}  // namespace zudizar

// The decoding core: the marker loop and the two passes over each scan,
// handing decoded colours to a pixel sink. The picture reader maps them to
// the shared palette, the colour gathering counts them, tests keep them.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

#include "core/indexed_image.h"
#include "core/limits.h"
#include "formats/jpeg/jpeg_colour.h"
#include "formats/jpeg/jpeg_trace.h"
#include "formats/progress.h"

namespace zudizar::jpeg {

// Where a preview colour goes: a luminance block's area, clipped.
struct PreviewArea {
  int x, y, width, height;
};

class PixelSink {
 public:
  virtual ~PixelSink() = default;
  // A scan starts on a picture of the frame's own size (whole blocks are
  // decoded, the rest of partial ones is thrown away); false when the
  // picture cannot be made, which ends decoding.
  virtual bool StartImage(int width, int height) = 0;
  // Preview pass: one colour for the area of a luminance block, already
  // clipped to the picture.
  virtual void PreviewBlock(int x, int y, int width, int height, Rgb colour) = 0;
  // The preview blocks of one row of MCUs, in decoding order, handed over
  // before that row's progress; by default one PreviewBlock each.
  virtual void PreviewBlocks(std::span<const PreviewArea> areas, std::span<const Rgb> colours) {
    for (std::size_t i = 0; i < areas.size(); ++i)
      PreviewBlock(areas[i].x, areas[i].y, areas[i].width, areas[i].height, colours[i]);
  }
  // Full pass: the colours of a luminance block at (x, y); only its top-left
  // width x height lie inside the picture.
  virtual void Block(int x, int y, int width, int height, const BlockPixels& pixels) = 0;
  // The picture is not all the file's: its data ended before the picture
  // did (the rest is decoded from zeros or left out), or damaged data was
  // skipped. The decode goes on.
  virtual void DataEnded() {}
  virtual void DataSkipped() {}
};

struct DecodeOptions {
  TraceSink trace;                           // empty: the program's trace log
  std::int64_t maxPixels = kMaxImagePixels;  // larger frames end decoding like failed ones
  // Bytes the preview pass may keep decoded coefficients in, so that the
  // full pass need not decode the data again; -1: 1.5 times the picture's
  // index size, at most 64 MB. Results are the same for any size, 0 included.
  std::int64_t coefficientStoreBytes = -1;
};

// The least entropy-coded data a Huffman-coded frame of `mcus` MCUs can have:
// every MCU codes at least one DC difference, of at least one bit.
inline std::int64_t LeastScanBytes(std::int64_t mcus) { return (mcus + 7) / 8; }

// Decodes a whole file held in `bytes`. A scan whose data cannot hold all of
// the frame's MCU rows (LeastScanBytes) makes a picture of the rows it can
// hold, with DataEnded; so does a scan that runs past the file's end.
void Decode(std::span<const std::uint8_t> bytes, PixelSink& sink, ProgressSink* progress,
            const DecodeOptions& options = {});
// The same over a buffer whose last kTailBytes bytes are the zero tail.
void DecodePadded(std::span<const std::uint8_t> padded, PixelSink& sink, ProgressSink* progress,
                  const DecodeOptions& options);

// Decodes into `image`, each colour mapped to the nearest shared colour.
// `padded`: whether the last kTailBytes bytes of `bytes` are the zero tail.
void DecodePicture(std::span<const std::uint8_t> bytes, bool padded, IndexedImage& image, ProgressSink* progress,
                   const DecodeOptions& options = {});

}  // namespace zudizar::jpeg

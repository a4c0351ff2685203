// Baseline JPEG pictures: the tolerant decoder (pixels mapped to the shared
// palette as they are decoded), the colour gathering for palettes, and the
// JFIF encoder. Format errors never fail a read: they go to the trace log.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "core/indexed_image.h"
#include "core/shared_palette.h"
#include "formats/progress.h"

namespace zudizar {

struct OpenedPicture;

// Decodes the file into `image` at the frame's size, every pixel the nearest
// shared colour. Baseline files go through the own tolerant decoder (format
// errors go to the trace log, a file without a scan leaves no pixels); the
// kinds it does not decode correctly (progressive, arithmetic, 16-bit
// tables, other samplings, RGB, CMYK, missing Huffman tables) go through
// libjpeg-turbo. False when the file cannot be read, or is refused (12-bit,
// lossless, or rejected by the library): the image is then left as it was
// and one "JPEGのﾛｰﾄﾞ失敗" message names the file and the reason.
// Progress: after each MCU row, percent with phase 0 (preview pass) or 1.
bool ReadJpegFile(const std::string& name, IndexedImage& image, FileReport* report = nullptr,
                  ProgressSink* progress = nullptr);
// The same on a file already read (ReadPictureAs). When the palette step
// kept the decoded colours in `opened`, they are taken out and mapped, by
// rows with phase 1, instead of decoding again.
bool ReadJpegOpened(OpenedPicture& opened, IndexedImage& image, FileReport* report, ProgressSink* progress = nullptr);

// Decodes the file for its colours only: `image` gets no pixels; its colour
// table holds black, then up to 255 gathered colours by descending count,
// and infoHeader.biClrUsed says how many entries that list has. False when
// the file cannot be read or is refused.
bool ReadJpegColours(const std::string& name, IndexedImage& image, ProgressSink* progress = nullptr);

// Writes `image` (colours from the current shared palette) as a baseline
// JFIF file with 2 x 1 luminance sampling. Progress phase 0 while counting
// the bytes, 1 while writing them. False when the image has no pixels or
// the file cannot be written.
bool WriteJpegFile(const std::string& name, IndexedImage& image, FileReport* report = nullptr,
                   ProgressSink* progress = nullptr);

// The same work on bytes in memory.
bool DecodeJpegImage(std::span<const std::uint8_t> bytes, IndexedImage& image, ProgressSink* progress = nullptr);
bool GatherJpegColours(std::span<const std::uint8_t> bytes, IndexedImage& image, ProgressSink* progress = nullptr);
// The whole file; empty when the image has no pixels.
std::vector<std::uint8_t> EncodeJpeg(const IndexedImage& image, const PaletteTable& palette,
                                     ProgressSink* progress = nullptr);
}  // namespace zudizar

// Baseline JPEG pictures: the tolerant decoder (pixels mapped to the shared
// palette as they are decoded), the colour gathering for palettes, and the
// JFIF encoder. Format errors never fail a read: they go to the trace log.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "core/indexed_image.h"
#include "formats/progress.h"
#include "core/shared_palette.h"

namespace zudizar {

// Decodes the file into `image` at the frame size rounded up to multiples of
// 8, every pixel the nearest shared colour. False only when the file cannot
// be opened or its size taken; a file without a scan leaves no pixels.
// Progress: after each MCU row, percent with phase 0 (preview pass) or 1.
bool ReadJpegFile(const std::string& name, IndexedImage& image, ProgressSink* progress = nullptr);

// Decodes the file for its colours only: `image` gets no pixels; its colour
// table holds black, then up to 255 gathered colours by descending count,
// and infoHeader.biClrUsed says how many entries that list has.
bool ReadJpegColours(const std::string& name, IndexedImage& image, ProgressSink* progress = nullptr);

// Writes `image` (colours from the current shared palette) as a baseline
// JFIF file with 2 x 1 luminance sampling. Progress phase 0 while counting
// the bytes, 1 while writing them. False when the image has no pixels or
// the file cannot be written.
bool WriteJpegFile(const std::string& name, IndexedImage& image, ProgressSink* progress = nullptr);

// The JPEG palette rule: gathers the picture's colours (ReadJpegColours) and
// merges them into the pending table, then rebuilds the handle. False when
// the file cannot be read; nothing changes then.
bool LoadPaletteFromJpeg(const std::string& name, ProgressSink* progress = nullptr);

// The same work on bytes in memory.
void DecodeJpegImage(std::span<const std::uint8_t> bytes, IndexedImage& image,
                     ProgressSink* progress = nullptr);
void GatherJpegColours(std::span<const std::uint8_t> bytes, IndexedImage& image,
                       ProgressSink* progress = nullptr);
// The whole file; empty when the image has no pixels.
std::vector<std::uint8_t> EncodeJpeg(const IndexedImage& image, const PaletteTable& palette,
                                     ProgressSink* progress = nullptr);
// Merges a gathered list (colour table, biClrUsed entries) into the pending
// table: colours it holds anywhere stay, the rest take the lowest free
// entries 10-245; the excess is dropped.
void MergeJpegColours(const IndexedImage& colours);

}  // namespace zudizar

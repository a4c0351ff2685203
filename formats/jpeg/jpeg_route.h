// Which decoder takes a JPEG file, decided from its markers before any pixel
// is written: the own baseline decoder keeps the kinds it decodes correctly,
// libjpeg-turbo takes the other kinds it supports, and the rest is refused
// with a reason the user can read.
#pragma once

#include <cstdint>
#include <span>
#include <string>

#include "formats/jpeg/jpeg_decoder.h"
#include "formats/progress.h"

namespace zudizar::jpeg {

enum class Route { Own, Library, Refuse };

// The most memory a decode through the library may take: its buffers and the
// picture's indices. A 16384 x 16384 picture fits, with room for a
// progressive file of a quarter of that.
inline constexpr std::int64_t kDecodeMemoryBudget = std::int64_t{1} << 30;

// Reads the markers up to the first scan. Files whose headers are too broken
// to tell stay with the tolerant own decoder. `reason` is set for Refuse.
Route ChooseDecoder(std::span<const std::uint8_t> bytes, std::string& reason);

// Decodes through libjpeg-turbo into `sink`: StartImage with the true size,
// then every 8 x 8 block of the full pass (no preview pass). Progress is
// reported with phase 1. False, with the reason, when the library refuses
// the file, the picture exceeds `maxPixels`, its Huffman-coded data is too
// short for the frame (LeastScanBytes), or its buffers would exceed
// kDecodeMemoryBudget. Damaged or missing data the library gets past is
// told to the sink (DataSkipped, DataEnded).
bool DecodeWithLibrary(std::span<const std::uint8_t> bytes, PixelSink& sink, ProgressSink* progress,
                       std::string& reason, std::int64_t maxPixels = kMaxImagePixels);

// Routes and decodes. `padded`: the last kTailBytes bytes of `bytes` are the
// zero tail. False, with the reason, when the file is refused; the own
// decoder fails only for a frame beyond the picture limits or `maxPixels`.
bool DecodeRouted(std::span<const std::uint8_t> bytes, bool padded, PixelSink& sink, ProgressSink* progress,
                  std::string& reason, const DecodeOptions& options = {});

// The same into a new picture, each colour mapped to the nearest shared
// colour, that replaces `image` on success. `notes`: whether the sink was
// told DataEnded (bit 0) or DataSkipped (bit 1).
bool DecodeRoutedPicture(std::span<const std::uint8_t> bytes, bool padded, IndexedImage& image, ProgressSink* progress,
                         std::string& reason, const DecodeOptions& options = {}, int* notes = nullptr);
inline constexpr int kNoteDataEnded = 1;
inline constexpr int kNoteDataSkipped = 2;

// The failure box of a JPEG file that cannot be read.
inline constexpr const char* kJpegLoadFailedCaption = "JPEGのﾛｰﾄﾞ失敗";

}  // namespace zudizar::jpeg

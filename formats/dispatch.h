// Loading and saving a picture by file name: one table of formats chooses
// the reader or writer.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>

#include "core/indexed_image.h"
#include "formats/opened_picture.h"
#include "formats/progress.h"

namespace zudizar {

// The format a name's extension names (upper-cased, from the last full stop):
// ".MAG"; ".JPG", ".JPEG", ".JPE", ".JFIF"; ".ICO"; ".PNG"; anything else, or
// none, BMP.
PictureFormat FormatByExtension(std::string_view name);

// The format whose signature the first bytes carry ("BM", "MAKI02  ",
// FF D8 FF, the icon header 00 00 01 00 with at least one image, the PNG
// signature 89 "PNG" 0D 0A 1A 0A); false when
// they carry none.
bool FormatBySignature(std::span<const std::uint8_t> firstBytes, PictureFormat& format);

// The reader for a file: its extension decides, unless its first bytes clearly
// say it is another supported format. Pure: needs no file.
PictureFormat ChoosePictureFormat(std::string_view name, std::span<const std::uint8_t> firstBytes);

// How many first bytes ChoosePictureFormat looks at.
inline constexpr std::size_t kSignatureBytes = 8;

// The picture step of an open: decodes `opened` by its format onto the
// shared palette (a JPEG's kept colours are taken out and mapped instead).
// On failure the image is left as it was and `report` says why, as each
// format's reader does; running out of memory names the file.
bool MapOpenedPicture(OpenedPicture& opened, IndexedImage& image, FileReport* report = nullptr,
                      ProgressSink* progress = nullptr);

// Reads and decodes by the file's format (ReadPictureForOpen, then
// MapOpenedPicture).
bool LoadPictureFile(const std::string& name, IndexedImage& image, FileReport* report = nullptr,
                     ProgressSink* progress = nullptr);
// Writes by the extension's format. The old file is replaced only when the
// new one is complete; a failed save leaves it untouched. When the file
// system refuses the write, or memory runs out, a message names the file and
// the reason (the system's message); LastFileFailure() keeps the error.
bool SavePictureFile(const std::string& name, IndexedImage& image, FileReport* report = nullptr,
                     ProgressSink* progress = nullptr);

}  // namespace zudizar

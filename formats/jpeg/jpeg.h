#pragma once

#include <string>

#include "core/indexed_image.h"
#include "formats/progress.h"

namespace zudizar {

bool ReadJpegFile(const std::string& name, IndexedImage& image, ProgressSink* progress = nullptr);
bool WriteJpegFile(const std::string& name, IndexedImage& image, ProgressSink* progress = nullptr);

// The JPEG palette rule: gathers the picture's colours (ReadJpegColours) and
// merges the most frequent ones into the pending table. False when unreadable.
bool LoadPaletteFromJpeg(const std::string& name);

}  // namespace zudizar

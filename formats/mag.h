#pragma once

#include <string>

#include "core/indexed_image.h"
#include "formats/progress.h"

namespace zudizar {

bool ReadMagFile(const std::string& name, IndexedImage& image, ProgressSink* progress = nullptr);
bool WriteMagFile(const std::string& name, IndexedImage& image, ProgressSink* progress = nullptr);

// The MAG palette rule: decodes keeping the file's own colours and merges
// them into the pending table (MergePictureColours). False when unreadable.
bool LoadPaletteFromMag(const std::string& name);

}  // namespace zudizar

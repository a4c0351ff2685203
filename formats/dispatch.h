// Loading and saving a picture by file name: one table of formats chooses
// the reader or writer.
#pragma once

#include <string>

#include "core/indexed_image.h"
#include "formats/progress.h"

namespace zudizar {

bool LoadPictureFile(const std::string& name, IndexedImage& image, ProgressSink* progress = nullptr);
bool SavePictureFile(const std::string& name, IndexedImage& image, ProgressSink* progress = nullptr);

}  // namespace zudizar

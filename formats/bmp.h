#pragma once

#include <string>

#include "core/indexed_image.h"
#include "formats/progress.h"

namespace zudizar {

bool ReadBmpFile(const std::string& name, IndexedImage& image, ProgressSink* progress = nullptr);
bool WriteBmpFile(const std::string& name, IndexedImage& image, ProgressSink* progress = nullptr);

}  // namespace zudizar

#pragma once

#include <string>

#include "core/indexed_image.h"
#include "formats/progress.h"

namespace zudizar {

bool ReadIconFile(const std::string& name, IndexedImage& image, ProgressSink* progress = nullptr);
bool WriteIconFile(const std::string& name, IndexedImage& image, ProgressSink* progress = nullptr);

}  // namespace zudizar

// Placeholder until the codec lands: refuses every file.
#include "formats/icon.h"

namespace zudizar {

bool ReadIconFile(const std::string&, IndexedImage& image, ProgressSink*) {
  FreeImage(image);
  return false;
}
bool WriteIconFile(const std::string&, IndexedImage&, ProgressSink*) { return false; }
}  // namespace zudizar

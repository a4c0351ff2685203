// Placeholder until the codec lands: refuses every file.
#include "formats/mag.h"

namespace zudizar {

bool ReadMagFile(const std::string&, IndexedImage& image, ProgressSink*) {
  FreeImage(image);
  return false;
}
bool WriteMagFile(const std::string&, IndexedImage&, ProgressSink*) { return false; }
bool LoadPaletteFromMag(const std::string&) { return false; }
}  // namespace zudizar

// Placeholder until the codec lands: refuses every file.
#include "formats/jpeg/jpeg.h"

namespace zudizar {

bool ReadJpegFile(const std::string&, IndexedImage& image, ProgressSink*) {
  FreeImage(image);
  return false;
}
bool WriteJpegFile(const std::string&, IndexedImage&, ProgressSink*) { return false; }
bool LoadPaletteFromJpeg(const std::string&) { return false; }

}  // namespace zudizar

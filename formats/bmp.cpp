// Placeholder until the BMP codec lands.
#include "formats/bmp.h"

namespace zudizar {

bool ReadBmpFile(const std::string&, IndexedImage& image, ProgressSink*) {
  FreeImage(image);
  return false;
}
bool WriteBmpFile(const std::string&, IndexedImage&, ProgressSink*) { return false; }

}  // namespace zudizar

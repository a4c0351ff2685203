// Placeholder dispatch by extension until the format table lands.
#include "formats/dispatch.h"

#include <algorithm>

#include "formats/bmp.h"
#include "formats/icon.h"
#include "formats/jpeg/jpeg.h"
#include "formats/mag.h"

namespace zudizar {
namespace {
std::string UpperExtension(const std::string& name) {
  const auto dot = name.find_last_of('.');
  if (dot == std::string::npos) return {};
  std::string ext = name.substr(dot);
  std::transform(ext.begin(), ext.end(), ext.begin(), [](unsigned char c) { return static_cast<char>(std::toupper(c)); });
  return ext;
}
}  // namespace

bool LoadPictureFile(const std::string& name, IndexedImage& image, ProgressSink* progress) {
  const std::string ext = UpperExtension(name);
  if (ext == ".MAG") return ReadMagFile(name, image, progress);
  if (ext == ".JPG") return ReadJpegFile(name, image, progress);
  if (ext == ".ICO") return ReadIconFile(name, image, progress);
  return ReadBmpFile(name, image, progress);
}

bool SavePictureFile(const std::string& name, IndexedImage& image, ProgressSink* progress) {
  image.fileHeader.bfOffBits = kBmpHeaderArea;
  const std::string ext = UpperExtension(name);
  if (ext == ".MAG") return WriteMagFile(name, image, progress);
  if (ext == ".JPG") return WriteJpegFile(name, image, progress);
  if (ext == ".ICO") return WriteIconFile(name, image, progress);
  return WriteBmpFile(name, image, progress);
}

}  // namespace zudizar

#include "palette/info.h"

#include "base/shift_jis.h"
#include "formats/mag.h"
#include "formats/opened_picture.h"
#include "palette/convert.h"
#include "palette/exact.h"

namespace zudizar {
namespace {

const char* FormatName(PictureFormat format) {
  switch (format) {
    case PictureFormat::Bmp: return "BMP";
    case PictureFormat::Mag: return "MAG";
    case PictureFormat::Jpeg: return "JPEG";
    case PictureFormat::Icon: return "icon";
    case PictureFormat::Png: return "PNG";
  }
  return "?";
}

// Trailing spaces pad the fixed-length fields; they say nothing.
std::string Shown(const std::string& bytes) {
  std::string text = ShiftJisToUtf8(bytes);
  while (!text.empty() && text.back() == ' ') text.pop_back();
  return text;
}

}  // namespace

int RunInfo(const std::vector<std::string>& files, std::FILE* out) {
  int status = 0;
  for (const std::string& name : files) {
    std::string error;
    if (!InputIsAFile(name, error)) {
      std::fprintf(out, "%s\n", error.c_str());
      status = 1;
      continue;
    }
    OpenedPicture opened;
    ReadPictureForOpen(name, opened);
    IndexedImage image;
    ExactSource source;
    std::vector<std::string> warnings;
    if (!OpenExact(opened, image, error, &warnings, &source)) {
      std::fprintf(out, "%s\n", error.c_str());
      status = 1;
      continue;
    }
    std::fprintf(out, "%s: %s, %d x %d, %s%llu colours%s\n", name.c_str(), FormatName(opened.format), source.width,
                 source.height, source.colourCountExact ? "" : "more than ",
                 static_cast<unsigned long long>(source.colours), source.indexed ? " (indexed)" : "");
    if (opened.format == PictureFormat::Mag) {
      const MagFields& mag = image.mag;
      std::fprintf(out, "  machine: %s (code %u, flags %u)\n", Shown(mag.machine).c_str(), mag.machineCode,
                   mag.machineFlags);
      std::fprintf(out, "  user: %s\n", Shown(mag.user).c_str());
      std::fprintf(out, "  comment: %s\n", Shown(mag.comment).c_str());
    }
    for (const std::string& warning : warnings) std::fprintf(out, "  warning: %s\n", warning.c_str());
  }
  return status;
}

}  // namespace zudizar

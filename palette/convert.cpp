#include "palette/convert.h"

#include <cerrno>
#include <vector>

#include "core/indexed_image.h"
#include "formats/dispatch.h"
#include "base/file_io.h"
#include "formats/progress.h"
#include "palette/palette_load.h"
#include "core/shared_palette.h"

namespace zudizar {
namespace {

// Collects the message boxes a reader or writer shows, to give their text as
// the reason of a failure.
class ConvertSink : public ProgressSink {
 public:
  void Notice(const std::string& text, const std::string&, NoticeIcon) override {
    std::string line = text;
    for (auto& c : line)
      if (c == '\n') c = ' ';
    notices.push_back(line);
  }
  std::vector<std::string> notices;
};

// What the main window's ApplyPalette does to the shared tables.
void ApplyPendingPalette() {
  PaletteTable table;
  PaletteHandle handle = GetPendingPalette(table);
  SetCurrentPalette(table, std::move(handle));
}

std::string Reason(const ConvertSink& sink, std::size_t before, const std::string& fallback) {
  return sink.notices.size() > before ? sink.notices.back() : fallback;
}

// Whether OUT's extension names a format the conversion writes; other names
// would get BMP bytes, which the windows' Save allows but a command must not.
bool WritableExtension(const std::string& out) {
  const auto slash = out.find_last_of('/');
  const auto dot = out.find_last_of('.');
  if (dot == std::string::npos || (slash != std::string::npos && dot < slash)) return false;
  std::string extension = out.substr(dot);
  for (char& c : extension)
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  for (const char* supported : kConvertExtensions)
    if (extension == supported) return true;
  return false;
}

}  // namespace

int RunConvert(const std::string& in, const std::string& out, std::string& error) {
  error.clear();
  if (!WritableExtension(out)) {
    error = out + ": cannot write this format; supported extensions:";
    for (const char* supported : kConvertExtensions) error += std::string(" ") + supported;
    return 1;
  }
  if (!FileExists(in)) {
    error = in + ": no such file";
    return 1;
  }
  ConvertSink sink;
  InitSharedPalette();
  LoadStartupPalette(&sink);
  ApplyPendingPalette();

  LoadPaletteFromPicture(in, &sink);
  ApplyPendingPalette();
  ApplyPendingPalette();

  IndexedImage image;
  std::size_t before = sink.notices.size();
  if (!LoadPictureFile(in, image, &sink) || !image.HasPixels()) {
    error = Reason(sink, before, in + ": cannot be read as a picture");
    return 1;
  }
  before = sink.notices.size();
  if (!SavePictureFile(out, image, &sink)) {
    const FileFailure& failure = LastFileFailure();
    if (failure.error != 0)
      error = out + ": cannot be written: " + (failure.error == ENOMEM ? "not enough memory" : failure.Reason());
    else
      error = Reason(sink, before, out + ": cannot be written");
    return 1;
  }
  return 0;
}

}  // namespace zudizar

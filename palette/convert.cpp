#include "palette/convert.h"

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

}  // namespace

int RunConvert(const std::string& in, const std::string& out, std::string& error) {
  error.clear();
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
    error = Reason(sink, before, out + ": cannot be written");
    return 1;
  }
  return 0;
}

}  // namespace zudizar

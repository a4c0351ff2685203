// Placeholder until palette loading lands: start-up keeps the default palette.
#include "palette/palette_load.h"

namespace zudizar {

void LoadStartupPalette(ProgressSink*) { SharedPalette.pending = SharedPalette.current; RealizeSharedPalette(); }
void LoadPaletteFromPicture(const std::string&, ProgressSink*) {}
void MergePictureColours(const IndexedImage&) {}
SwatchArrangement IdentityArrangement() {
  SwatchArrangement a{};
  for (int i = 0; i < 256; ++i) a[i] = i;
  return a;
}
void ReadSwatchArrangement(const std::string&, SwatchArrangement&) {}
bool WriteSwatchArrangement(const std::string&, const SwatchArrangement&) { return false; }

}  // namespace zudizar

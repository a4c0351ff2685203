// Palette loading: merging a picture file's colours into the pending table.
#pragma once

#include <array>
#include <cstdint>
#include <string>

#include "core/indexed_image.h"
#include "formats/progress.h"

namespace zudizar {

// Copies the current table into the pending one and merges the start-up
// palette picture ("INITBMP", or TAVOCINI.BMP in the program folder).
void LoadStartupPalette(ProgressSink* progress = nullptr);
// Merges the colours of one picture file into the pending table by its
// extension's rule, then rebuilds the handle.
void LoadPaletteFromPicture(const std::string& name, ProgressSink* progress = nullptr);
// The MAG rule: adds the colours an image uses that the palette lacks.
void MergePictureColours(const IndexedImage& image);

using SwatchArrangement = std::array<std::int32_t, 256>;
SwatchArrangement IdentityArrangement();
// Reads IDXPALET.TXT; a missing or short file leaves `arrangement` unchanged.
void ReadSwatchArrangement(const std::string& path, SwatchArrangement& arrangement);
bool WriteSwatchArrangement(const std::string& path, const SwatchArrangement& arrangement);

}  // namespace zudizar

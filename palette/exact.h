// Opening a picture with its own colours, without the shared palette, for
// the exact conversion (`--convert --exact`) and `--info`: an indexed
// picture keeps its colour table and indices; a true-colour picture gets 256
// colours chosen for it (its own colours when it has no more than 256).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "core/indexed_image.h"
#include "formats/opened_picture.h"

namespace zudizar {

// What the file held, besides the picture.
struct ExactSource {
  int width = 0, height = 0;  // the picture's size as opened
  bool indexed = false;       // the file holds a colour table and indices
  // Distinct colours of the file's picture; for a true-colour picture with
  // very many, a lower bound (`colourCountExact` false).
  std::uint64_t colours = 0;
  bool colourCountExact = true;
};

// Decodes `opened` (ReadPictureForOpen) into `image` with ownColours set.
// False, with the reason on one line in `error`, when it cannot be read;
// the notes of a picture opened despite its file go to `warnings`.
bool OpenExact(OpenedPicture& opened, IndexedImage& image, std::string& error,
               std::vector<std::string>* warnings = nullptr, ExactSource* source = nullptr);

}  // namespace zudizar

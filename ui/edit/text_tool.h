// The text tool's mouse steps (tool 17) on any picture: the edit palette's
// own and, in the main palette's edit mode, the main picture. Each step
// returns the rectangle of the picture or work buffer it changed, for the
// window to present.
#pragma once

#include <QFont>
#include <QSize>
#include <QString>
#include <cstdint>

#include "core/geometry.h"
#include "core/indexed_image.h"

namespace zudizar {

struct TextToolState {
  QFont font;                  // FontDialog1's font
  int fixedTextPosition = 0;   // 0 free, 1 centre, 2–5 the corners
  bool vertical = false;       // "縦書き"
  int stampTransparent = 0;    // 0, or 255 for letters of colour 0
  QSize stampSize;             // the rendered text's box at the stamp's top-left
  Rect bandRect;               // where the dragged stamp now lies in the work buffer
};

// A press at `at` with letters of `colour`: copies `picture` into `work`,
// prepares the stamp, then either puts it at the fixed place into `picture`
// at once (`gesture` false) or shows it at `at` in `work` and starts a drag
// (`gesture` true). At a fixed place a press outside the picture does nothing.
Rect TextPress(IndexedImage& picture, IndexedImage& work, IndexedImage& stamp, TextToolState& state,
               std::uint8_t colour, const QString& text, Point at, bool& gesture);

// The drag: the stamp follows the pointer in `work`; `picture` is untouched.
Rect TextMove(IndexedImage& work, const IndexedImage& picture, const IndexedImage& stamp, TextToolState& state,
              Point at);

// The release: the stamp goes into `picture` at `at`, unless released outside it.
Rect TextRelease(IndexedImage& picture, const IndexedImage& stamp, const TextToolState& state, Point at);

}  // namespace zudizar

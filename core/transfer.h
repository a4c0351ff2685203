// Transfers of pieces between the canvases: the region a transfer takes from
// its source, the edge-cut colour, and the paste of a piece.
#pragma once

#include "core/geometry.h"
#include "core/indexed_image.h"

namespace zudizar {

// Transfer modes, numbered alike in the three palettes.
enum TransferMode : int {
  kTransferNone = 0,
  kCopyFromMain = 1,
  kCopyFromMainEdgeCut = 2,
  kCutFromMain = 3,
  kCopyToMain = 4,
  kCopyToMainEdgeCut = 5,
  kCopyFromSub = 6,
  kCopyFromSubEdgeCut = 7,
};

// The region of a sourceWidth × sourceHeight picture that a transfer at (x, y)
// takes into an editWidth × editHeight picture: the point is clamped onto the
// source, the size is at least 1 × 1, at most the edit picture and cut at the
// source's right and bottom edges. Note the order: height before width.
Rect ClampTransfer(int x, int y, int height, int width, int sourceWidth, int sourceHeight, int editWidth,
                   int editHeight);

// True for the edge-cut modes (2, 5, 7).
bool IsEdgeCut(int mode);

// The transparent index of a transfer in `mode` from `source`: the source
// picture's background colour for the edge-cut modes, else 256 (none).
int TransferTransparent(int mode, const IndexedImage& source);

}  // namespace zudizar

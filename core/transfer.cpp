#include "core/transfer.h"

#include <algorithm>

#include "core/region.h"

namespace zudizar {

Rect ClampTransfer(int x, int y, int height, int width, int sourceWidth, int sourceHeight, int editWidth,
                   int editHeight) {
  if (sourceWidth <= 0 || sourceHeight <= 0 || editWidth <= 0 || editHeight <= 0) return {};
  x = std::min(std::max(x, 0), sourceWidth - 1);
  y = std::min(std::max(y, 0), sourceHeight - 1);
  width = std::min({std::max(width, 1), editWidth, sourceWidth - x});
  height = std::min({std::max(height, 1), editHeight, sourceHeight - y});
  return {x, y, width, height};
}

bool IsEdgeCut(int mode) {
  return mode == kCopyFromMainEdgeCut || mode == kCopyToMainEdgeCut || mode == kCopyFromSubEdgeCut;
}

int TransferTransparent(int mode, const IndexedImage& source) {
  return IsEdgeCut(mode) ? BackgroundColour(source) : kNoTransparent;
}

}  // namespace zudizar

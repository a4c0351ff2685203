#include "ui/edit/text_tool.h"

#include "core/text_stamp.h"
#include "ui/edit/text_render.h"

namespace zudizar {

namespace {
bool Inside(const IndexedImage& picture, Point at) {
  return picture.HasPixels() && Rect{0, 0, picture.ImageWidth(), picture.ImageHeight()}.Contains(at);
}
}  // namespace

Rect TextPress(IndexedImage& picture, IndexedImage& work, IndexedImage& stamp, TextToolState& state,
               std::uint8_t colour, const QString& text, Point at, bool& gesture) {
  gesture = false;
  if (!picture.HasPixels()) return {};
  // A fixed place needs a click on the picture; a free stamp may start anywhere.
  if (state.fixedTextPosition != kTextFree && !Inside(picture, at)) return {};
  CopyImage(work, picture, kNoTransparent);
  state.stampSize = PrepareTextStamp(stamp, colour, text, state.font, state.vertical, state.stampTransparent);
  const int tw = state.stampSize.width(), th = state.stampSize.height();
  if (state.fixedTextPosition != kTextFree) {
    const Point origin =
        FixedTextOrigin(state.fixedTextPosition, picture.ImageWidth(), picture.ImageHeight(), tw, th);
    return StampText(picture, origin, stamp, tw, th, state.stampTransparent);
  }
  gesture = true;
  state.bandRect = {at.x, at.y, tw, th};
  return StampText(work, at, stamp, tw, th, state.stampTransparent);
}

Rect TextMove(IndexedImage& work, const IndexedImage& picture, const IndexedImage& stamp, TextToolState& state,
              Point at) {
  return MoveTextStamp(work, picture, state.bandRect, at, stamp, state.stampSize.width(), state.stampSize.height(),
                       state.stampTransparent);
}

Rect TextRelease(IndexedImage& picture, const IndexedImage& stamp, const TextToolState& state, Point at) {
  if (!Inside(picture, at)) return {};
  return StampText(picture, at, stamp, state.stampSize.width(), state.stampSize.height(), state.stampTransparent);
}

}  // namespace zudizar

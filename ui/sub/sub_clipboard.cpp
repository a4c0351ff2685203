// The sub canvas's system-clipboard commands.
#include "core/frames.h"
#include "core/pick_outline.h"
#include "core/region.h"
#include "ui/app/app.h"
#include "ui/common/canvas_view.h"
#include "ui/common/clipboard.h"
#include "ui/sub/sub_window.h"

namespace zudizar {

void TTAVOSUBF::MN_CLIPCOPYClick() {
  const IndexedImage& picture = document_.Picture();
  if (busy_ || !picture.HasPixels()) return;
  // A running pick for the edit palette chooses what is copied.
  CopyToClipboard(picture, Picking() ? pick_ : ImageRect(picture));
}

void TTAVOSUBF::MN_CLIPPASTEClick() {
  IndexedImage& picture = document_.Picture();
  if (busy_ || !picture.HasPixels()) return;
  ClipboardPiece piece;
  if (!TakeClipboardPiece(this, app_.dialogs(), app_.session(), app_.EntriesInUseBeside(App::CanvasId::Sub), picture,
                          piece))
    return;
  // The sub canvas has no paste to place: the piece goes to the top left of
  // what the window shows, as one step.
  const Point at = ClampToPicture({view_->ScrollX(), view_->ScrollY()}, picture.ImageWidth(), picture.ImageHeight());
  const IndexedImage& source = piece.picture;
  CopyRegion(picture, at.x, at.y, source, 0, 0, source.ImageWidth(), source.ImageHeight(), kNoTransparent);
  const Rect changed = Rect{at.x, at.y, source.ImageWidth(), source.ImageHeight()}.Intersect(ImageRect(picture));
  document_.Touch(changed);
  document_.Commit(piece.palette);
  app_.CanvasPictureChanged();
  emit app_.session().historyChanged();
  view_->Restore(picture, changed);
}

}  // namespace zudizar

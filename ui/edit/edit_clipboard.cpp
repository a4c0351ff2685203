// The edit palette's system-clipboard commands.
#include "core/frames.h"
#include "core/region.h"
#include "core/transfer.h"
#include "ui/app/app.h"
#include "ui/common/clipboard.h"
#include "ui/edit/edit_window.h"

namespace zudizar {

void TTAVOEDTF::MN_CLIPCOPYClick() {
  // The edit palette has no selection: its whole picture goes.
  if (busy_ || !Picture().HasPixels()) return;
  CopyToClipboard(Picture(), ImageRect(Picture()));
}

void TTAVOEDTF::MN_CLIPPASTEClick() {
  if (busy_ || !Picture().HasPixels()) return;
  ClipboardPiece piece;
  if (!TakeClipboardPiece(this, app_.dialogs(), app_.session(), app_.EntriesInUseBeside(App::CanvasId::Edit), Picture(),
                          piece))
    return;
  // As a transfer in: what was drawn is a step of its own, the piece comes
  // in at the top left cut to the picture, and is the next step, with the
  // entries its colours took.
  Checkpoint();
  const IndexedImage& source = piece.picture;
  const Rect r = ClampTransfer(0, 0, source.ImageHeight(), source.ImageWidth(), source.ImageWidth(),
                               source.ImageHeight(), Picture().ImageWidth(), Picture().ImageHeight());
  CopyRegion(Picture(), 0, 0, source, r.x, r.y, r.width, r.height, kNoTransparent);
  display_.overlayShownFor = 0;
  RepaintView();
  document_.TouchAll();
  document_.Commit(piece.palette);
  emit app_.session().historyChanged();
  app_.CanvasPictureChanged();
}

}  // namespace zudizar

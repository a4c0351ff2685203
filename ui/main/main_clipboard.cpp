// The main canvas's system-clipboard commands.
#include "core/frames.h"
#include "ui/app/app.h"
#include "ui/common/canvas_view.h"
#include "ui/common/clipboard.h"
#include "ui/main/main_window.h"

namespace zudizar {

void TForm1::MN_CLIPCOPYClick() {
  const IndexedImage& picture = document_.Picture();
  if (busy_ || !picture.HasPixels()) return;
  Rect region = ImageRect(picture);
  // A running selection for the edit palette chooses what is copied.
  const MainMode kind = mode_ ? mode_->Kind() : MainMode::None;
  if (kind == MainMode::CopyToEdit || kind == MainMode::CopyToEditEdgeCut || kind == MainMode::MoveToEdit)
    region = static_cast<const SelectionMode&>(*mode_).Region();
  CopyToClipboard(picture, region);
}

void TForm1::MN_CLIPPASTEClick() {
  if (busy_ || !document_.Picture().HasPixels()) return;
  ClipboardPiece piece;
  if (!TakeClipboardPiece(this, app_.dialogs(), app_.session(), app_.EntriesInUseBeside(App::CanvasId::Main),
                          document_.Picture(), piece))
    return;
  // The piece follows the pointer as the edit palette's picture does in its
  // paste, until the confirm.
  if (mode_) mode_->Leave(false);
  retired_ = std::move(mode_);
  view_->RestoreAll(document_.Picture());
  mode_ = std::make_unique<PasteMode>(*this, std::move(piece));
  ReflectMode();
  mode_->Enter();
  DropRetiredMode();
}

}  // namespace zudizar

// The calls this window makes into the edit palette's transfer operations
// and the main palette's exchange.
#include "ui/app/app.h"
#include "ui/edit/edit_window.h"
#include "ui/main/main_window.h"
#include "ui/sub/sub_window.h"

namespace zudizar {

void TTAVOSUBF::EditSetTransferMode(int mode) { app_.edit().SetTransferMode(mode); }

void TTAVOSUBF::EditPreview(int x, int y, int transparent, int h, int w) {
  app_.edit().PreviewTransfer(x, y, transparent, SubPictureImage, h, w);
}

void TTAVOSUBF::EditCopyInto(int x, int y, int transparent, int h, int w) {
  app_.edit().CopyIntoEdit(x, y, transparent, SubPictureImage, h, w);
}

void TTAVOSUBF::EditRestoreView() { app_.edit().RestoreView(); }

void TTAVOSUBF::MainExchange() { app_.main().CanvasCommand(8); }

}  // namespace zudizar

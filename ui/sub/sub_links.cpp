// The calls this window makes into the edit palette's transfer operations
// and the main palette's exchange.
#include "ui/app/app.h"
#include "ui/edit/edit_window.h"
#include "ui/main/main_window.h"
#include "ui/sub/sub_window.h"

namespace zudizar {

// Until the edit palette offers its transfer operations, a transfer is
// started from this window alone and the piece goes nowhere.
void TTAVOSUBF::EditSetTransferMode(int mode) {
  StartSubTransfer(mode);
  if (mode == 6 || mode == 7) setWindowTitle(kSubPickPrompt);
}
void TTAVOSUBF::EditPreview(int, int, int, int, int) {}
void TTAVOSUBF::EditCopyInto(int, int, int, int, int) {}
void TTAVOSUBF::EditRestoreView() {}
void TTAVOSUBF::MainExchange() {}

}  // namespace zudizar

// The sub palette's side of the exchange with the main palette.
#include <QAction>
#include <QScrollArea>
#include <QScrollBar>

#include "ui/app/app.h"
#include "ui/common/paint_box.h"
#include "ui/main/main_window.h"
#include "ui/sub/sub_window.h"

namespace zudizar {

void TTAVOSUBF::ReceiveMainPicture() {
  // One exchange at a time; the user-interface thread is the only caller.
  static bool running = false;
  if (running) return;
  running = true;
  Busy = true;
  const IndexedImage& picture = app_.main().PictureImage;
  const int w = picture.ImageWidth(), h = picture.ImageHeight();
  if (CreateImage(w, h, SubPictureImage)) {
    CopyImage(SubPictureImage, picture, kNoTransparent);
    PaintBox1->SetAreaSize(w, h);
    CreateImage(w, h, SubViewImage);
    CreateImage(w, h, SubDisplayImage);
    CopyImage(SubViewImage, SubPictureImage, kNoTransparent);
  }
  Scroll->horizontalScrollBar()->setValue(0);
  Scroll->verticalScrollBar()->setValue(0);
  for (const char* name : {"MN_EDITCOPY", "MN_EDITCOPYR", "MN_MAINCOPY"})
    if (QAction* item = findChild<QAction*>(QString::fromLatin1(name))) item->setChecked(false);
  TransferMode = 0;
  Busy = false;
  running = false;
  // The screen buffer was made afresh: compose it before it is presented.
  RefreshView();
}

}  // namespace zudizar

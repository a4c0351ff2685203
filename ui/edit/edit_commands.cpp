// The edit palette's whole-picture commands and undo. Size-keeping commands
// take their undo checkpoint before the change; enlarge and shrink after it.
#include "core/edit_commands.h"

#include "ui/app/app.h"
#include "ui/common/dialogs.h"
#include "ui/edit/edit_window.h"

namespace zudizar {

void TTAVOEDTF::Checkpoint() { TakeCheckpoint(undo_, Picture()); }

void TTAVOEDTF::MN_EDITROLEClick() {
  Checkpoint();
  RotatePictureQuarter(Picture(), work_);
  RepaintView();
}

void TTAVOEDTF::MN_EDITSAYUClick() {
  Checkpoint();
  FlipPictureLeftRight(Picture(), work_);
  RepaintView();
}

void TTAVOEDTF::MN_EDITUPDOWNClick() {
  Checkpoint();
  FlipPictureUpDown(Picture(), work_);
  RepaintView();
}

void TTAVOEDTF::MN_EDITHOSYOKUClick() {
  Checkpoint();
  InvertImageColours(Picture());
  RepaintView();
}

void TTAVOEDTF::MN_EDITSAYUCOPYClick() {
  Checkpoint();
  MirrorLeftToRight(Picture(), work_);
  RepaintView();
}

void TTAVOEDTF::MN_EDITUPDOWNCOPYClick() {
  Checkpoint();
  MirrorTopToBottom(Picture(), work_);
  RepaintView();
}

void TTAVOEDTF::MN_EDITSAUPClick() {
  Checkpoint();
  MirrorLeftToRight(Picture(), work_);
  MirrorTopToBottom(Picture(), work_);
  RepaintView();
}

void TTAVOEDTF::MN_EDITKAKUDAIClick() {
  if (!Picture().HasPixels()) return;
  if (!CanEnlarge(Picture())) {
    setWindowTitle(QStringLiteral("%1x%2").arg(Picture().ImageWidth()).arg(Picture().ImageHeight()));
    app_.dialogs().MessageBox(this, QStringLiteral("サイズが大きい為、拡大出来ません。"), QStringLiteral("メッセージ"),
                              BoxButtons::Ok, BoxIcon::Information);
    return;
  }
  FillImage(display_.magnified, 7);
  if (!EnlargePicture(Picture(), work_)) return;
  RecreatePictureBuffers();
  SetScrollRanges(Picture().ImageWidth(), Picture().ImageHeight());
  RepaintView();
  Checkpoint();
}

void TTAVOEDTF::MN_EDITSYUKUSYOClick() {
  if (!Picture().HasPixels()) return;
  if (!CanShrink(Picture())) {
    setWindowTitle(QStringLiteral("%1x%2").arg(Picture().ImageWidth()).arg(Picture().ImageHeight()));
    app_.dialogs().MessageBox(this, QStringLiteral("サイズが小さい為、縮小出来ません。"), QStringLiteral("メッセージ"),
                              BoxButtons::Ok, BoxIcon::Information);
    return;
  }
  FillImage(display_.magnified, 7);
  CopyImage(display_.screen, display_.magnified, kNoTransparent);
  if (!ShrinkPicture(Picture(), work_)) return;
  RecreatePictureBuffers();
  SetScrollRanges(Picture().ImageWidth(), Picture().ImageHeight());
  RepaintView();
  Checkpoint();
}

void TTAVOEDTF::MN_EDITSHIFTLEFTClick() {
  Checkpoint();
  ShiftOnePixel(Picture(), work_, ShiftDirection::Left);
  RepaintView();
}

void TTAVOEDTF::MN_EDITSHIFTRIGHTClick() {
  Checkpoint();
  ShiftOnePixel(Picture(), work_, ShiftDirection::Right);
  RepaintView();
}

void TTAVOEDTF::MN_EDITSHIFTUPClick() {
  Checkpoint();
  ShiftOnePixel(Picture(), work_, ShiftDirection::Up);
  RepaintView();
}

void TTAVOEDTF::MN_EDITSHIFTDOWNClick() {
  Checkpoint();
  ShiftOnePixel(Picture(), work_, ShiftDirection::Down);
  RepaintView();
}

void TTAVOEDTF::MN_EDITSHTURClick() {
  Checkpoint();
  ShadowCopy(Picture(), work_, true, app_.session().RightColour());
  RepaintView();
}

void TTAVOEDTF::MN_EDITSFTDRClick() {
  Checkpoint();
  ShadowCopy(Picture(), work_, false, app_.session().RightColour());
  RepaintView();
  app_.CanvasPictureChanged();
}

void TTAVOEDTF::MN_EDITUNDOClick() {
  RestoreCheckpoint(Picture(), undo_);
  RepaintView();
  app_.CanvasPictureChanged();
}

}  // namespace zudizar

// The edit palette's whole-picture commands and undo. Size-keeping commands
// take their undo checkpoint before the change; enlarge and shrink after it.
#include "core/edit_commands.h"

#include "ui/app/app.h"
#include "ui/common/dialogs.h"
#include "ui/edit/edit_window.h"

namespace zudizar {

void TTAVOEDTF::Checkpoint() { TakeCheckpoint(UndoImage, EditImage); }

void TTAVOEDTF::MN_EDITROLEClick() {
  Checkpoint();
  RotatePictureQuarter(EditImage, WorkImage);
  RepaintView();
}

void TTAVOEDTF::MN_EDITSAYUClick() {
  Checkpoint();
  FlipPictureLeftRight(EditImage, WorkImage);
  RepaintView();
}

void TTAVOEDTF::MN_EDITUPDOWNClick() {
  Checkpoint();
  FlipPictureUpDown(EditImage, WorkImage);
  RepaintView();
}

void TTAVOEDTF::MN_EDITHOSYOKUClick() {
  Checkpoint();
  InvertImageColours(EditImage);
  RepaintView();
}

void TTAVOEDTF::MN_EDITSAYUCOPYClick() {
  Checkpoint();
  MirrorLeftToRight(EditImage, WorkImage);
  RepaintView();
}

void TTAVOEDTF::MN_EDITUPDOWNCOPYClick() {
  Checkpoint();
  MirrorTopToBottom(EditImage, WorkImage);
  RepaintView();
}

void TTAVOEDTF::MN_EDITSAUPClick() {
  Checkpoint();
  MirrorLeftToRight(EditImage, WorkImage);
  MirrorTopToBottom(EditImage, WorkImage);
  RepaintView();
}

void TTAVOEDTF::MN_EDITKAKUDAIClick() {
  if (!EditImage.HasPixels()) return;
  if (!CanEnlarge(EditImage)) {
    setWindowTitle(QStringLiteral("%1x%2").arg(EditImage.ImageWidth()).arg(EditImage.ImageHeight()));
    app_.dialogs().MessageBox(this, QStringLiteral("サイズが大きい為、拡大出来ません。"), QStringLiteral("メッセージ"),
                              BoxButtons::Ok, BoxIcon::Information);
    return;
  }
  FillImage(MagnifiedImage, 7);
  if (!EnlargePicture(EditImage, WorkImage)) return;
  RecreatePictureBuffers();
  SetScrollRanges(EditImage.ImageWidth(), EditImage.ImageHeight());
  RepaintView();
  Checkpoint();
}

void TTAVOEDTF::MN_EDITSYUKUSYOClick() {
  if (!EditImage.HasPixels()) return;
  if (!CanShrink(EditImage)) {
    setWindowTitle(QStringLiteral("%1x%2").arg(EditImage.ImageWidth()).arg(EditImage.ImageHeight()));
    app_.dialogs().MessageBox(this, QStringLiteral("サイズが小さい為、縮小出来ません。"), QStringLiteral("メッセージ"),
                              BoxButtons::Ok, BoxIcon::Information);
    return;
  }
  FillImage(MagnifiedImage, 7);
  CopyImage(ScreenImage, MagnifiedImage, kNoTransparent);
  if (!ShrinkPicture(EditImage, WorkImage)) return;
  RecreatePictureBuffers();
  SetScrollRanges(EditImage.ImageWidth(), EditImage.ImageHeight());
  RepaintView();
  Checkpoint();
}

void TTAVOEDTF::MN_EDITSHIFTLEFTClick() {
  Checkpoint();
  ShiftOnePixel(EditImage, WorkImage, ShiftDirection::Left);
  RepaintView();
}

void TTAVOEDTF::MN_EDITSHIFTRIGHTClick() {
  Checkpoint();
  ShiftOnePixel(EditImage, WorkImage, ShiftDirection::Right);
  RepaintView();
}

void TTAVOEDTF::MN_EDITSHIFTUPClick() {
  Checkpoint();
  ShiftOnePixel(EditImage, WorkImage, ShiftDirection::Up);
  RepaintView();
}

void TTAVOEDTF::MN_EDITSHIFTDOWNClick() {
  Checkpoint();
  ShiftOnePixel(EditImage, WorkImage, ShiftDirection::Down);
  RepaintView();
}

void TTAVOEDTF::MN_EDITSHTURClick() {
  Checkpoint();
  ShadowCopy(EditImage, WorkImage, true, app_.session().RightColour());
  RepaintView();
}

void TTAVOEDTF::MN_EDITSFTDRClick() {
  Checkpoint();
  ShadowCopy(EditImage, WorkImage, false, app_.session().RightColour());
  RepaintView();
}

void TTAVOEDTF::MN_EDITUNDOClick() {
  RestoreCheckpoint(EditImage, UndoImage);
  RepaintView();
}

}  // namespace zudizar

// The edit palette's whole-picture commands, undo and redo. Each command is
// a step of the history of its own: what was drawn before it ends a step,
// and the command's result is the next.
#include "core/edit_commands.h"

#include <QAction>
#include <QToolButton>

#include "base/settings.h"
#include "core/frames.h"
#include "ui/app/app.h"
#include "ui/common/dialogs.h"
#include "ui/common/history_colours.h"
#include "ui/edit/edit_window.h"

namespace zudizar {

void TTAVOEDTF::Checkpoint() {
  // The picture is small: comparing all of it with the history's copy finds
  // whatever any tool or command changed.
  document_.TouchAll();
  document_.Commit();
  // A new step may have pushed the oldest steps of any canvas out.
  emit app_.session().historyChanged();
}

void TTAVOEDTF::MN_EDITROLEClick() {
  RunAsStep([this] { RotatePictureQuarter(Picture(), work_); });
}

void TTAVOEDTF::MN_EDITSAYUClick() {
  RunAsStep([this] { FlipPictureLeftRight(Picture(), work_); });
}

void TTAVOEDTF::MN_EDITUPDOWNClick() {
  RunAsStep([this] { FlipPictureUpDown(Picture(), work_); });
}

void TTAVOEDTF::MN_EDITHOSYOKUClick() {
  RunAsStep([this] { InvertImageColours(Picture()); });
}

void TTAVOEDTF::MN_EDITSAYUCOPYClick() {
  RunAsStep([this] { MirrorLeftToRight(Picture(), work_); });
}

void TTAVOEDTF::MN_EDITUPDOWNCOPYClick() {
  RunAsStep([this] { MirrorTopToBottom(Picture(), work_); });
}

void TTAVOEDTF::MN_EDITSAUPClick() {
  RunAsStep([this] {
    MirrorLeftToRight(Picture(), work_);
    MirrorTopToBottom(Picture(), work_);
  });
}

void TTAVOEDTF::MN_EDITKAKUDAIClick() {
  if (!Picture().HasPixels()) return;
  if (!CanEnlarge(Picture())) {
    ShowSizeCaption();
    app_.dialogs().MessageBox(this, QStringLiteral("サイズが大きい為、拡大出来ません。"), QStringLiteral("メッセージ"),
                              BoxButtons::Ok, BoxIcon::Information);
    return;
  }
  Checkpoint();
  FillImage(display_.magnified, 7);
  if (!EnlargePicture(Picture(), work_)) return;
  RecreatePictureBuffers();
  SetScrollRanges(Picture().ImageWidth(), Picture().ImageHeight());
  RepaintView();
  Checkpoint();
  ShowSizeCaption();
}

void TTAVOEDTF::ShowSizeCaption() {
  // The size commands say the size the picture has now, refused or not, so
  // the caption never keeps a size the picture no longer has.
  setWindowTitle(QStringLiteral("%1x%2").arg(Picture().ImageWidth()).arg(Picture().ImageHeight()));
}

void TTAVOEDTF::MN_EDITSYUKUSYOClick() {
  if (!Picture().HasPixels()) return;
  if (!CanShrink(Picture())) {
    ShowSizeCaption();
    app_.dialogs().MessageBox(this, QStringLiteral("サイズが小さい為、縮小出来ません。"), QStringLiteral("メッセージ"),
                              BoxButtons::Ok, BoxIcon::Information);
    return;
  }
  Checkpoint();
  FillImage(display_.magnified, 7);
  CopyImage(display_.screen, display_.magnified, kNoTransparent);
  if (!ShrinkPicture(Picture(), work_)) return;
  RecreatePictureBuffers();
  SetScrollRanges(Picture().ImageWidth(), Picture().ImageHeight());
  RepaintView();
  Checkpoint();
  ShowSizeCaption();
}

void TTAVOEDTF::MN_EDITSHIFTLEFTClick() {
  RunAsStep([this] { ShiftOnePixel(Picture(), work_, ShiftDirection::Left); });
}

void TTAVOEDTF::MN_EDITSHIFTRIGHTClick() {
  RunAsStep([this] { ShiftOnePixel(Picture(), work_, ShiftDirection::Right); });
}

void TTAVOEDTF::MN_EDITSHIFTUPClick() {
  RunAsStep([this] { ShiftOnePixel(Picture(), work_, ShiftDirection::Up); });
}

void TTAVOEDTF::MN_EDITSHIFTDOWNClick() {
  RunAsStep([this] { ShiftOnePixel(Picture(), work_, ShiftDirection::Down); });
}

void TTAVOEDTF::MN_EDITSHTURClick() {
  RunAsStep([this] { ShadowCopy(Picture(), work_, true, app_.session().RightColour()); });
}

void TTAVOEDTF::MN_EDITSFTDRClick() {
  RunAsStep([this] { ShadowCopy(Picture(), work_, false, app_.session().RightColour()); });
  app_.CanvasPictureChanged();
}

// ---- undo and redo ----

void TTAVOEDTF::MN_EDITUNDOClick() { MoveInHistory(false); }

void TTAVOEDTF::MN_EDITREDOClick() { MoveInHistory(true); }

void TTAVOEDTF::MN_EDITUNDOSTROKEClick() {
  undoEachStroke_ = !undoEachStroke_;
  Action(QStringLiteral("MN_EDITUNDOSTROKE"))->setChecked(undoEachStroke_);
  // What was drawn so far is one step, whichever way the next ones go.
  Checkpoint();
  try {
    WriteSettingIn("Edit", "UndoEachStroke", undoEachStroke_ ? "1" : "0");
  } catch (const SettingsWriteError& error) {
    app_.ShowSettingsError(error);
  }
}

void TTAVOEDTF::ReflectHistory() {
  // Strokes drawn since the last step count as a step to undo.
  const bool drawn = !document_.history().BaseMatches(Picture());
  const bool undo = document_.CanUndo() || drawn;
  const bool redo = document_.CanRedo() && !drawn;
  if (QAction* item = Action(QStringLiteral("MN_EDITUNDO"))) item->setEnabled(undo);
  if (QAction* item = Action(QStringLiteral("MN_EDITREDO"))) item->setEnabled(redo);
  if (ui_.SpeedButton11) ui_.SpeedButton11->setEnabled(undo);
}

void TTAVOEDTF::MoveInHistory(bool forward) {
  if (busy_ || inMouseDown_ || inMouseMove_) return;
  // A stroke, a display-start frame or a carried quarter ends first; so does
  // a transfer's preview.
  if (Dragging()) {
    tools_.Cancel();
    framing_ = moveInCentreView_ = false;
  }
  Checkpoint();
  const HistoryMove move = forward ? document_.Redo() : document_.Undo();
  if (move.moved) {
    const bool mapped =
        FollowMoveColours(app_.session(), move, app_.EntriesInUseBeside(App::CanvasId::Edit), Picture());
    if (mapped) document_.Adopt(ImageRect(Picture()));
    if (move.resized) {
      RecreatePictureBuffers();
      FillImage(display_.magnified, 7);
      SetScrollRanges(Picture().ImageWidth(), Picture().ImageHeight());
    }
    display_.overlayShownFor = 0;
    RepaintView();
    app_.CanvasPictureChanged();
    ShowFileCaption();
    if (mapped) setWindowTitle(windowTitle() + QString::fromUtf8(kColoursMappedNote));
  } else {
    display_.overlayShownFor = 0;
    RepaintView();
  }
  ReflectHistory();
}

}  // namespace zudizar

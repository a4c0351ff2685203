// The edit palette's text tool on the main canvas in edit mode: the stamp
// is prepared from the edit palette's text, font and fixed place and lands in
// the main picture.
#include "core/tool_gestures.h"
#include "ui/app/app.h"
#include "ui/edit/edit_window.h"  // also the text tool's steps
#include "ui/edit/text_input.h"
#include "ui/main/main_window.h"

namespace zudizar {

void TForm1::EditModeTextPress(Qt::MouseButton button, Point p) {
  TTAVOEDTF& edit = app_.edit();
  TextToolState& state = edit.TextStamp;
  state.font = edit.TextFont;
  state.fixedTextPosition = edit.FixedTextPosition;
  state.vertical = app_.textInput().VerticalText;
  const bool right = button == Qt::RightButton;
  bool gesture = false;
  editGestureTool_ = kToolText;
  // ViewImage is the picture being edited, ToolImage the work buffer, PieceImage the stamp.
  const Rect changed =
      TextPress(ViewImage, ToolImage, PieceImage, state, right ? RightColour : LeftColour, edit.TextString, p, gesture);
  if (gesture) {
    editGesture_.Dragging = true;
    editGesture_.RightDrag = right;
    Tracking = true;
    ComposeFrom(ToolImage, changed);
    return;
  }
  if (changed.Empty()) return;
  ComposeRect(changed);
  CopyImage(PictureImage, ViewImage, kNoTransparent);
  MarkModified();
}

void TForm1::EditModeTextMove(Point p) {
  TTAVOEDTF& edit = app_.edit();
  ComposeFrom(ToolImage, TextMove(ToolImage, ViewImage, PieceImage, edit.TextStamp, p));
}

void TForm1::EditModeTextRelease(Point p) {
  Tracking = false;
  editGesture_.Dragging = false;
  const TextToolState& state = app_.edit().TextStamp;
  const Rect preview = state.bandRect.Intersect({0, 0, ViewImage.ImageWidth(), ViewImage.ImageHeight()});
  const Rect stamped = TextRelease(ViewImage, PieceImage, state, p);
  ComposeRect(preview.Union(stamped));
  if (stamped.Empty()) return;
  CopyImage(PictureImage, ViewImage, kNoTransparent);
  MarkModified();
}

}  // namespace zudizar

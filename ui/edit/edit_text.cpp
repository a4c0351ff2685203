// The text tool in the edit palette: the stamp follows the mouse or goes to
// a fixed place; "縦書き" sets the text top to bottom.
#include <QAction>

#include "ui/app/app.h"
#include "ui/edit/edit_window.h"
#include "ui/edit/text_input.h"
#include "ui/main/main_window.h"

namespace zudizar {

void TTAVOEDTF::TextToolDown(Qt::MouseButton button, Point p) {
  TextStamp.font = TextFont;
  TextStamp.fixedTextPosition = FixedTextPosition;
  TextStamp.vertical = app_.textInput().VerticalText;
  const bool right = button == Qt::RightButton;
  const std::uint8_t colour = right ? app_.main().RightColour : app_.main().LeftColour;
  bool gesture = false;
  const Rect changed = TextPress(EditImage, WorkImage, StampImage, TextStamp, colour, TextString, p, gesture);
  StampTransparent = static_cast<std::uint8_t>(TextStamp.stampTransparent);
  if (gesture) {
    Gesture.Dragging = true;
    Gesture.RightDrag = right;
  }
  PresentPictureRect(changed, gesture ? WorkImage : EditImage);
}

void TTAVOEDTF::TextToolMove(Point p) {
  PresentPictureRect(TextMove(WorkImage, EditImage, StampImage, TextStamp, p), WorkImage);
}

void TTAVOEDTF::TextToolUp(Point p) {
  Gesture.Dragging = false;
  const Rect picture{0, 0, EditImage.ImageWidth(), EditImage.ImageHeight()};
  // The preview leaves the screen wherever the stamp lands, or if it lands nowhere.
  const Rect preview = TextStamp.bandRect.Intersect(picture);
  const Rect stamped = TextRelease(EditImage, StampImage, TextStamp, p);
  PresentPictureRect(preview.Union(stamped), EditImage);
}

void TTAVOEDTF::MN_TATEGAKIClick() {
  TForm2& input = app_.textInput();
  input.VerticalText = !input.VerticalText;
  Action(QStringLiteral("MN_TATEGAKI"))->setChecked(input.VerticalText);
}

}  // namespace zudizar

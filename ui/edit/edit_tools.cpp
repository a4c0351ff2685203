// The edit palette's tools: the tool buttons, tool and pen selection, the
// colour items, the text tool's items, and the mouse on the paint area.
#include <QAction>
#include <QButtonGroup>
#include <QLineEdit>
#include <QToolButton>

#include "core/edit_commands.h"
#include "core/region.h"
#include "ui/app/app.h"
#include "ui/colour/colour_window.h"
#include "ui/common/dialogs.h"
#include "ui/edit/edit_glyphs.h"
#include "ui/edit/edit_window.h"
#include "ui/edit/text_input.h"
#include "ui/main/main_window.h"

namespace zudizar {

namespace {

struct ToolItem {
  int tool;
  const char* item;    // its menu item
  const char* button;  // the button pressed with it
};

constexpr ToolItem kToolItems[] = {
    {kToolSpray, "MN_EDITSPRAY", "SpeedButton9"},  {kToolFree, "MN_EDITFREE", "BTN_FREE"},
    {kToolLine, "MN_EDITLINE", "BTN_LINE"},        {kToolBox, "MN_EDITANGLE", "BTN_ANGLE"},
    {kToolFill, "MN_EDITFUL", "BTN_FUL"},          {kToolEraser, "MN_EDITERAS", "BTN_ERAS"},
    {kToolMove, "MN_EDITMOVE", "BTN_MOVE"},        {kToolText, "MN_EDITMOJI", "BTN_MOJI"},
    {kToolGradientVertical, "MN_EDITGRADYY", "BTN_FUL"}, {kToolGradientHorizontal, "MN_EDITGRADXX", "BTN_FUL"},
};

bool IsStartFrameTool(int tool) { return tool == kToolStartFrame4 || tool == kToolStartFrame8; }

}  // namespace

void TTAVOEDTF::BuildButtons(QWidget* panel) {
  toolGroup_ = new QButtonGroup(this);
  toolGroup_->setExclusive(true);
  auto make = [&](QToolButton*& button, const char* name, EditGlyph glyph, int x, int y, const QString& tip,
                  bool tool) {
    button = new QToolButton(panel);
    button->setObjectName(QString::fromLatin1(name));
    button->setGeometry(x, y, 32, 32);
    button->setIconSize(QSize(28, 28));
    button->setIcon(EditGlyphIcon(glyph));
    button->setAutoRaise(false);
    if (!tip.isEmpty()) button->setToolTip(tip);
    if (tool) {
      button->setCheckable(true);
      toolGroup_->addButton(button);
    }
  };
  make(BTN_FREE, "BTN_FREE", EditGlyph::Free, 0, 0, QStringLiteral("自由線"), true);
  make(BTN_LINE, "BTN_LINE", EditGlyph::Line, 32, 0, QStringLiteral("直線"), true);
  make(BTN_ANGLE, "BTN_ANGLE", EditGlyph::Rectangle, 64, 0, QStringLiteral("長方形"), true);
  make(BTN_FUL, "BTN_FUL", EditGlyph::Fill, 96, 0, QStringLiteral("塗りつぶし"), true);
  make(BTN_ERAS, "BTN_ERAS", EditGlyph::Eraser, 128, 0, QStringLiteral("消しゴム"), true);
  make(BTN_MOVE, "BTN_MOVE", EditGlyph::Move, 160, 0, QStringLiteral("移動"), true);
  make(BTN_MOJI, "BTN_MOJI", EditGlyph::Text, 0, 32, QStringLiteral("文字"), true);
  make(BTN_FONTSET, "BTN_FONTSET", EditGlyph::Font, 32, 32, QStringLiteral("ﾌｫﾝﾄ設定"), false);
  make(SpeedButton9, "SpeedButton9", EditGlyph::Spray, 64, 32, QStringLiteral("ｽﾌﾟﾚｲ"), true);
  make(SpeedButton10, "SpeedButton10", EditGlyph::None, 96, 32, QString(), false);
  make(SpeedButton11, "SpeedButton11", EditGlyph::Undo, 128, 32, QStringLiteral("ｱﾝﾄﾞｩ"), false);
  make(BTN_COLORDEF, "BTN_COLORDEF", EditGlyph::Colours, 160, 32, QStringLiteral("ﾏｳｽ色設定"), false);
  BTN_FREE->setChecked(true);
  connect(BTN_FREE, &QToolButton::clicked, this, [this] { MN_EDITFREEClick(); });
  connect(BTN_LINE, &QToolButton::clicked, this, [this] { MN_EDITLINEClick(); });
  connect(BTN_ANGLE, &QToolButton::clicked, this, [this] { MN_EDITANGLEClick(); });
  connect(BTN_FUL, &QToolButton::clicked, this, [this] { MN_EDITFULClick(); });
  connect(BTN_ERAS, &QToolButton::clicked, this, [this] { MN_EDITERASClick(); });
  connect(BTN_MOVE, &QToolButton::clicked, this, [this] { MN_EDITMOVEClick(); });
  connect(BTN_MOJI, &QToolButton::clicked, this, [this] { BTN_MOJIClick(); });
  connect(SpeedButton9, &QToolButton::clicked, this, [this] { MN_EDITSPRAYClick(); });
  connect(BTN_FONTSET, &QToolButton::clicked, this, [this] { MN_EDITFONTClick(); });
  connect(SpeedButton11, &QToolButton::clicked, this, [this] { MN_EDITUNDOClick(); });
  connect(BTN_COLORDEF, &QToolButton::clicked, this, [this] { MN_COLORSETClick(); });
}

void TTAVOEDTF::SelectTool(int tool) {
  Tool = tool;
  for (const ToolItem& item : kToolItems) {
    if (QAction* action = Action(QString::fromLatin1(item.item))) action->setChecked(item.tool == tool);
    if (item.tool == tool)
      if (auto* button = findChild<QToolButton*>(QString::fromLatin1(item.button)))
        if (!button->isChecked()) button->setChecked(true);
  }
  // Choosing a tool is the undo checkpoint for everything drawn with it.
  Checkpoint();
}

void TTAVOEDTF::MN_EDITMOJIClick() {
  SelectTool(kToolText);
  TForm2& input = app_.textInput();
  input.Edit1->setText(TextString);
  input.show();
}

void TTAVOEDTF::BTN_MOJIClick() {
  TextString.clear();
  setWindowTitle(QString());
  MN_EDITMOJIClick();
}

void TTAVOEDTF::MN_EDITFONTClick() {
  QFont font = TextFont;
  if (app_.dialogs().ChooseFont(this, font)) TextFont = font;
}

void TTAVOEDTF::SetFixedTextPosition(int position) {
  FixedTextPosition = position;
  const char* items[] = {"MN_KOTEICANCEL", "MN_KOTEITYUOU", "MN_KOTEIUPLEFT", "MN_KOTEIUPRIGHT", "MN_KOTEIDOWNLEFT",
                         "MN_KOTEIDOWNRIGHT"};
  for (int k = 0; k < 6; ++k)
    if (QAction* action = Action(QString::fromLatin1(items[k]))) action->setChecked(k == position);
}

void TTAVOEDTF::SetPen(std::uint8_t code) {
  PenCode = code;
  for (QAction* action : findChildren<QAction*>()) {
    const QVariant pen = action->property("penCode");
    if (pen.isValid()) action->setChecked(pen.toInt() == code);
  }
}

void TTAVOEDTF::MN_COLORSETClick() {
  app_.colour().ShowWindow();
}

void TTAVOEDTF::MN_COLORDEFAULTClick() {
  // The swatches show the new colours when they are next painted.
  app_.main().LeftColour = 249;
  app_.main().RightColour = 252;
}

ToolInk TTAVOEDTF::Ink() {
  if (Tool == kToolGradientVertical || Tool == kToolGradientHorizontal) app_.colour().GetSwatchArrangement(order_);
  return {app_.main().LeftColour, app_.main().RightColour, PenCode, &order_, &Spray};
}

void TTAVOEDTF::PaintBox1MouseDown(Qt::MouseButton button, int x, int y) {
  if (inMouseDown_ || Busy) return;
  inMouseDown_ = true;
  const bool right = button == Qt::RightButton;
  if (IsStartFrameTool(Tool)) {
    // The display start: the view is 1:1 here, so paint-area points are picture points.
    Gesture.RightDrag = right;
    Gesture.Dragging = true;
    gestureTool_ = Tool;
    DrawStartFrame(x, y);
  } else if (!Gesture.Dragging && EditImage.HasPixels()) {
    const Point p = CurrentView().ToPicture(x, y);
    const bool inside = Rect{0, 0, EditImage.ImageWidth(), EditImage.ImageHeight()}.Contains(p);
    gestureTool_ = Tool;
    if (Tool == kToolMove && ViewMode == 1) {
      MoveInCentreView(button, p, 0);
    } else if (Tool == kToolMove && right) {
      if (inside) MN_EDITROLEClick();
    } else if (Tool == kToolText) {
      TextToolDown(button, p);
    } else {
      const bool slow = inside && (Tool == kToolFill || Tool == kToolGradientVertical ||
                                   Tool == kToolGradientHorizontal);
      if (slow) setWindowTitle(QStringLiteral("しばらくお待ち下さい"));
      const ToolStep step = ToolPress(Tool, Target(), Ink(), Gesture, p, right);
      if (step.present == Present::FromWork) PresentPictureRect(step.rect, WorkImage);
      else if (step.present == Present::FromPicture) PresentPictureRect(step.rect, EditImage);
      else if (step.present == Present::WholeView) RepaintView();
      if (slow) ShowFileCaption();
    }
  }
  inMouseDown_ = false;
}

void TTAVOEDTF::PaintBox1MouseMove(Qt::MouseButton, int x, int y) {
  if (inMouseMove_ || !Gesture.Dragging || Busy) return;
  inMouseMove_ = true;
  if (IsStartFrameTool(gestureTool_)) {
    DrawStartFrame(x, y);
  } else if (moveInCentreView_) {
    MoveInCentreView(Gesture.RightDrag ? Qt::RightButton : Qt::LeftButton, CurrentView().ToPicture(x, y), 1);
  } else if (gestureTool_ == kToolText) {
    TextToolMove(CurrentView().ToPicture(x, y));
  } else {
    const ToolStep step = ToolMove(gestureTool_, Target(), Ink(), Gesture, CurrentView().ToPicture(x, y));
    if (step.present == Present::FromWork) PresentPictureRect(step.rect, WorkImage);
    else if (step.present == Present::FromPicture) PresentPictureRect(step.rect, EditImage);
    else if (step.present == Present::WholeView) RepaintView();
  }
  inMouseMove_ = false;
}

void TTAVOEDTF::PaintBox1MouseUp(Qt::MouseButton, int x, int y) {
  if (!Gesture.Dragging) return;
  if (IsStartFrameTool(gestureTool_)) {
    Gesture.Dragging = false;
    if (IsStartFrameTool(Tool)) FinishStartFrame(x, y);
    return;
  }
  if (moveInCentreView_) {
    MoveInCentreView(Gesture.RightDrag ? Qt::RightButton : Qt::LeftButton, CurrentView().ToPicture(x, y), 2);
    return;
  }
  if (gestureTool_ == kToolText) {
    TextToolUp(CurrentView().ToPicture(x, y));
    return;
  }
  const ToolStep step = ToolRelease(gestureTool_, Target(), Ink(), Gesture, CurrentView().ToPicture(x, y));
  Gesture.Dragging = false;
  if (step.present == Present::FromWork) PresentPictureRect(step.rect, WorkImage);
  else if (step.present == Present::FromPicture) PresentPictureRect(step.rect, EditImage);
  else if (step.present == Present::WholeView) RepaintView();
}

// The move tool in the centre-line view works on the four quarters.
// phase 0 press, 1 move, 2 release.
void TTAVOEDTF::MoveInCentreView(Qt::MouseButton button, Point p, int phase) {
  const bool inside = Rect{0, 0, EditImage.ImageWidth(), EditImage.ImageHeight()}.Contains(p);
  const Rect q = QuarterUnder(EditImage, p);
  auto showStampOver = [&] {
    CopyImage(MagnifiedImage, EditImage, kNoTransparent);
    CopyRegion(MagnifiedImage, q.x, q.y, StampImage, 0, 0, q.width, q.height, kNoTransparent);
    OverlayShownFor = 0;
    DrawOverlay(1);
  };
  if (phase == 0) {
    if (!inside) return;
    if (button == Qt::RightButton) {
      TurnQuarter(EditImage, WorkImage, q);
      OverlayShownFor = 0;
      RepaintView();
      return;
    }
    CopyRegion(StampImage, 0, 0, EditImage, q.x, q.y, q.width, q.height, kNoTransparent);
    showStampOver();
    Gesture.RightDrag = false;
    Gesture.LastPoint = p;
    Gesture.BandRect = {p.x, p.y, 1, 1};
    Gesture.Dragging = true;
    moveInCentreView_ = true;
  } else if (phase == 1) {
    if (inside) showStampOver();
  } else {
    Gesture.Dragging = false;
    moveInCentreView_ = false;
    // The source quarter keeps its content; a release outside commits nothing.
    if (inside) CopyRegion(EditImage, q.x, q.y, StampImage, 0, 0, q.width, q.height, kNoTransparent);
    OverlayShownFor = 0;
    RepaintView();
  }
}

}  // namespace zudizar

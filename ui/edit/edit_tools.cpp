// The edit palette's tools: the tool buttons, tool and pen selection, the
// colour items, the text tool's items, and the mouse on the paint area. The
// choices live in the shared tool settings; the gestures run in this
// palette's own tool session.
#include <QAction>
#include <QButtonGroup>
#include <QLineEdit>
#include <QToolButton>

#include "core/edit_commands.h"
#include "core/region.h"
#include "ui/app/app.h"
#include "ui/common/dialogs.h"
#include "ui/common/reentry.h"
#include "ui/edit/edit_glyphs.h"
#include "ui/edit/edit_window.h"
#include "ui/edit/text_input.h"
#include "ui/edit/text_render.h"

namespace zudizar {

namespace {

struct ToolItem {
  int tool;
  const char* item;    // its menu item
  const char* button;  // the button pressed with it
};

constexpr ToolItem kToolItems[] = {
    {kToolSpray, "MN_EDITSPRAY", "SpeedButton9"},
    {kToolFree, "MN_EDITFREE", "BTN_FREE"},
    {kToolLine, "MN_EDITLINE", "BTN_LINE"},
    {kToolBox, "MN_EDITANGLE", "BTN_ANGLE"},
    {kToolFill, "MN_EDITFUL", "BTN_FUL"},
    {kToolEraser, "MN_EDITERAS", "BTN_ERAS"},
    {kToolMove, "MN_EDITMOVE", "BTN_MOVE"},
    {kToolText, "MN_EDITMOJI", "BTN_MOJI"},
    {kToolGradientVertical, "MN_EDITGRADYY", "BTN_FUL"},
    {kToolGradientHorizontal, "MN_EDITGRADXX", "BTN_FUL"},
};

}  // namespace

ToolSettings& TTAVOEDTF::Settings() { return app_.session().tools; }

void TTAVOEDTF::SettingsChanged() { emit app_.session().toolsChanged(); }

void TTAVOEDTF::BuildButtons(QWidget* panel) {
  auto* toolGroup = new QButtonGroup(this);
  toolGroup->setExclusive(true);
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
      toolGroup->addButton(button);
    }
  };
  make(ui_.BTN_FREE, "BTN_FREE", EditGlyph::Free, 0, 0, QStringLiteral("自由線"), true);
  make(ui_.BTN_LINE, "BTN_LINE", EditGlyph::Line, 32, 0, QStringLiteral("直線"), true);
  make(ui_.BTN_ANGLE, "BTN_ANGLE", EditGlyph::Rectangle, 64, 0, QStringLiteral("長方形"), true);
  make(ui_.BTN_FUL, "BTN_FUL", EditGlyph::Fill, 96, 0, QStringLiteral("塗りつぶし"), true);
  make(ui_.BTN_ERAS, "BTN_ERAS", EditGlyph::Eraser, 128, 0, QStringLiteral("消しゴム"), true);
  make(ui_.BTN_MOVE, "BTN_MOVE", EditGlyph::Move, 160, 0, QStringLiteral("移動"), true);
  make(ui_.BTN_MOJI, "BTN_MOJI", EditGlyph::Text, 0, 32, QStringLiteral("文字"), true);
  make(ui_.BTN_FONTSET, "BTN_FONTSET", EditGlyph::Font, 32, 32, QStringLiteral("ﾌｫﾝﾄ設定"), false);
  make(ui_.SpeedButton9, "SpeedButton9", EditGlyph::Spray, 64, 32, QStringLiteral("ｽﾌﾟﾚｲ"), true);
  make(ui_.SpeedButton10, "SpeedButton10", EditGlyph::None, 96, 32, QString(), false);
  make(ui_.SpeedButton11, "SpeedButton11", EditGlyph::Undo, 128, 32, QStringLiteral("ｱﾝﾄﾞｩ"), false);
  make(ui_.BTN_COLORDEF, "BTN_COLORDEF", EditGlyph::Colours, 160, 32, QStringLiteral("ﾏｳｽ色設定"), false);
  ui_.BTN_FREE->setChecked(true);
  connect(ui_.BTN_FREE, &QToolButton::clicked, this, [this] { MN_EDITFREEClick(); });
  connect(ui_.BTN_LINE, &QToolButton::clicked, this, [this] { MN_EDITLINEClick(); });
  connect(ui_.BTN_ANGLE, &QToolButton::clicked, this, [this] { MN_EDITANGLEClick(); });
  connect(ui_.BTN_FUL, &QToolButton::clicked, this, [this] { MN_EDITFULClick(); });
  connect(ui_.BTN_ERAS, &QToolButton::clicked, this, [this] { MN_EDITERASClick(); });
  connect(ui_.BTN_MOVE, &QToolButton::clicked, this, [this] { MN_EDITMOVEClick(); });
  connect(ui_.BTN_MOJI, &QToolButton::clicked, this, [this] { BTN_MOJIClick(); });
  connect(ui_.SpeedButton9, &QToolButton::clicked, this, [this] { MN_EDITSPRAYClick(); });
  connect(ui_.BTN_FONTSET, &QToolButton::clicked, this, [this] { MN_EDITFONTClick(); });
  connect(ui_.SpeedButton11, &QToolButton::clicked, this, [this] { MN_EDITUNDOClick(); });
  connect(ui_.BTN_COLORDEF, &QToolButton::clicked, this, [this] { MN_COLORSETClick(); });
}

void TTAVOEDTF::SelectTool(int tool) {
  Settings().tool = tool;
  SettingsChanged();
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
  input.Edit1->setText(QString::fromStdString(Settings().text.text));
  input.show();
}

void TTAVOEDTF::BTN_MOJIClick() {
  Settings().text.text.clear();
  SettingsChanged();
  setWindowTitle(QString());
  MN_EDITMOJIClick();
}

void TTAVOEDTF::MN_EDITFONTClick() {
  QFont font = FontFromDescription(Settings().text.font);
  if (!app_.dialogs().ChooseFont(this, font)) return;
  Settings().text.font = DescribeFont(font);
  SettingsChanged();
}

void TTAVOEDTF::SetFixedTextPosition(int position) {
  Settings().text.fixedPlace = position;
  SettingsChanged();
  const char* items[] = {"MN_KOTEICANCEL",  "MN_KOTEITYUOU",    "MN_KOTEIUPLEFT",
                         "MN_KOTEIUPRIGHT", "MN_KOTEIDOWNLEFT", "MN_KOTEIDOWNRIGHT"};
  for (int k = 0; k < 6; ++k)
    if (QAction* action = Action(QString::fromLatin1(items[k]))) action->setChecked(k == position);
}

void TTAVOEDTF::SetPen(std::uint8_t code) {
  Settings().penCode = code;
  SettingsChanged();
  for (QAction* action : findChildren<QAction*>()) {
    const QVariant pen = action->property("penCode");
    if (pen.isValid()) action->setChecked(pen.toInt() == code);
  }
}

void TTAVOEDTF::MN_COLORSETClick() { app_.ShowColourWindow(); }

void TTAVOEDTF::MN_COLORDEFAULTClick() {
  // The swatches show the new colours when they are next painted.
  app_.session().SetLeftColour(249);
  app_.session().SetRightColour(252);
}

void TTAVOEDTF::MN_TATEGAKIClick() {
  bool& vertical = Settings().text.vertical;
  vertical = !vertical;
  SettingsChanged();
  Action(QStringLiteral("MN_TATEGAKI"))->setChecked(vertical);
}

ToolInk TTAVOEDTF::Ink() {
  const int tool = tools_.Dragging() ? tools_.GestureTool() : Settings().tool;
  if (tool == kToolGradientVertical || tool == kToolGradientHorizontal) order_ = app_.session().SwatchOrder();
  return {app_.session().LeftColour(), app_.session().RightColour(), &order_};
}

void TTAVOEDTF::ShowToolStep(const ToolStep& step) {
  switch (step.present) {
    case Present::FromWork: PresentPictureRect(step.rect, work_); break;
    case Present::FromPicture: PresentPictureRect(step.rect, Picture()); break;
    case Present::WholeView: RepaintView(); break;
    case Present::Nothing: break;
  }
  if (!step.committed) return;
  app_.CanvasPictureChanged();
  // A stroke is a step of its own, or part of the step the last tool choice began.
  if (undoEachStroke_)
    Checkpoint();
  else
    ReflectHistory();
}

void TTAVOEDTF::PaintBox1MouseDown(Qt::MouseButton button, int x, int y) {
  const ReentryGuard guard(inMouseDown_);
  if (!guard.Entered() || busy_) return;
  const bool right = button == Qt::RightButton;
  const int tool = Settings().tool;
  if (Settings().AwaitingDisplayStart()) {
    // The display start: the view is 1:1 here, so paint-area points are picture points.
    framing_ = true;
    DrawStartFrame(x, y);
  } else if (!Dragging() && Picture().HasPixels()) {
    const Point p = CurrentView().ToPicture(x, y);
    const bool inside = Rect{0, 0, Picture().ImageWidth(), Picture().ImageHeight()}.Contains(p);
    if (tool == kToolMove && display_.viewMode == kViewCentreLines) {
      MoveInCentreView(button, p, 0);
    } else if (tool == kToolMove && right) {
      if (inside) MN_EDITROLEClick();
    } else {
      const ToolRow* row = FindTool(tool);
      const bool slow = inside && row && row->joining == Joining::OnePoint;
      if (slow) setWindowTitle(QStringLiteral("しばらくお待ち下さい"));
      ShowToolStep(tools_.Press(Target(), Ink(), p, right));
      if (slow) ShowFileCaption();
    }
  }
}

void TTAVOEDTF::PaintBox1MouseMove(Qt::MouseButton, int x, int y) {
  const ReentryGuard guard(inMouseMove_);
  if (!guard.Entered() || !Dragging() || busy_) return;
  if (framing_)
    DrawStartFrame(x, y);
  else if (moveInCentreView_)
    MoveInCentreView(Qt::LeftButton, CurrentView().ToPicture(x, y), 1);
  else
    ShowToolStep(tools_.Move(Target(), Ink(), CurrentView().ToPicture(x, y)));
}

void TTAVOEDTF::PaintBox1MouseUp(Qt::MouseButton, int x, int y) {
  if (framing_) {
    framing_ = false;
    if (Settings().AwaitingDisplayStart()) FinishStartFrame(x, y);
  } else if (moveInCentreView_) {
    MoveInCentreView(Qt::LeftButton, CurrentView().ToPicture(x, y), 2);
  } else if (tools_.Dragging()) {
    ShowToolStep(tools_.Release(Target(), Ink(), CurrentView().ToPicture(x, y)));
  }
}

// The move tool in the centre-line view works on the four quarters.
// phase 0 press, 1 move, 2 release.
void TTAVOEDTF::MoveInCentreView(Qt::MouseButton button, Point p, int phase) {
  const bool inside = Rect{0, 0, Picture().ImageWidth(), Picture().ImageHeight()}.Contains(p);
  const Rect q = QuarterUnder(Picture(), p);
  auto showStampOver = [&] {
    CopyImage(display_.magnified, Picture(), kNoTransparent);
    CopyRegion(display_.magnified, q.x, q.y, stamp_, 0, 0, q.width, q.height, kNoTransparent);
    display_.overlayShownFor = 0;
    DrawOverlay(1);
  };
  if (phase == 0) {
    if (!inside) return;
    if (button == Qt::RightButton) {
      TurnQuarter(Picture(), work_, q);
      display_.overlayShownFor = 0;
      RepaintView();
      ReflectHistory();
      return;
    }
    CopyRegion(stamp_, 0, 0, Picture(), q.x, q.y, q.width, q.height, kNoTransparent);
    showStampOver();
    moveInCentreView_ = true;
  } else if (phase == 1) {
    if (inside) showStampOver();
  } else {
    moveInCentreView_ = false;
    // The source quarter keeps its content; a release outside commits nothing.
    if (inside) CopyRegion(Picture(), q.x, q.y, stamp_, 0, 0, q.width, q.height, kNoTransparent);
    display_.overlayShownFor = 0;
    RepaintView();
    if (undoEachStroke_)
      Checkpoint();
    else
      ReflectHistory();
  }
}

}  // namespace zudizar

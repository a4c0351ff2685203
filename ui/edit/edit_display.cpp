// The edit palette's views: scroll ranges, composing the visible part of the
// picture with its overlay, presenting changed rectangles, the magnification
// items and the display-start click.
#include <QAction>
#include <QScrollBar>
#include <QSignalBlocker>
#include <algorithm>

#include "core/region.h"
#include "ui/common/paint_box.h"
#include "ui/common/reentry.h"
#include "ui/edit/edit_window.h"

namespace zudizar {

EditView TTAVOEDTF::CurrentView() const {
  return ComputeEditView(EditImage().ImageWidth(), EditImage().ImageHeight(), display_.magnified.ImageWidth(),
                         display_.magnified.ImageHeight(), display_.zoom, ui_.ScrollBarX->value(),
                         ui_.ScrollBarY->value());
}

void TTAVOEDTF::SetScrollRanges(int width, int height) {
  const int areaWidth = ui_.PaintBox1->AreaWidth(), areaHeight = ui_.PaintBox1->AreaHeight();
  // The new range may move a bar; the caller repaints once afterwards.
  const QSignalBlocker blockX(ui_.ScrollBarX), blockY(ui_.ScrollBarY);
  ui_.ScrollBarX->setMaximum(ScrollMaximum(areaWidth, width, display_.zoom));
  ui_.ScrollBarX->setVisible(areaWidth < width * display_.zoom);
  ui_.ScrollBarY->setMaximum(ScrollMaximum(areaHeight, height, display_.zoom));
  ui_.ScrollBarY->setVisible(areaHeight < height * display_.zoom);
  FillImage(display_.magnified, 7);
  FillImage(display_.screen, 7);
}

void TTAVOEDTF::RepaintView() {
  if (!display_.magnified.HasPixels() || !Picture().HasPixels() || busy_) return;
  const ReentryGuard hold(viewHeld_);
  if (!hold.Entered()) return;
  display_.blanked = false;
  const EditView view = CurrentView();
  IndexedImage& target = display_.viewMode != kViewStandard ? display_.magnified : display_.screen;
  MagnifyRegion(target, 0, 0, Picture(), view.PictureArea(), view.zoom);
  if (display_.viewMode != kViewStandard) {
    display_.overlayShownFor = 0;
    DrawOverlay(display_.viewMode);
  } else {
    PresentScreenRect({0, 0, display_.screen.ImageWidth(), display_.screen.ImageHeight()});
  }
}

void TTAVOEDTF::DrawOverlay(int mode) {
  const ReentryGuard guard(inOverlay_);
  if (!guard.Entered()) return;
  if (mode != display_.overlayShownFor) {
    display_.overlayShownFor = mode;
    CopyImage(display_.screen, display_.magnified, kNoTransparent);
    if (Action(QStringLiteral("MN_VIEWGRID"))->isChecked())
      DrawFrameGrid(display_.screen, 0, 0, GridSpacing(mode), 7, Picture().ImageWidth() * display_.zoom,
                    Picture().ImageHeight() * display_.zoom);
  }
  PresentScreenRect({0, 0, display_.screen.ImageWidth(), display_.screen.ImageHeight()});
}

void TTAVOEDTF::PresentScreenRect(const Rect& rect) {
  if (!rect.Empty()) ui_.PaintBox1->update(rect.x, rect.y, rect.width, rect.height);
}

void TTAVOEDTF::PresentPictureRect(const Rect& rect, const IndexedImage& source) {
  if (busy_ || !display_.magnified.HasPixels() || !display_.screen.HasPixels()) return;
  const bool grid = display_.viewMode != kViewStandard && Action(QStringLiteral("MN_VIEWGRID"))->isChecked();
  PresentScreenRect(zudizar::PresentPictureRect(CurrentView(), display_.viewMode, grid, source, rect,
                                                display_.magnified, display_.screen));
}

void TTAVOEDTF::ScrollBarXChange() { RepaintView(); }
void TTAVOEDTF::ScrollBarYChange() { RepaintView(); }

void TTAVOEDTF::StopAwaitingDisplayStart() {
  ToolSettings& tools = Settings();
  if (!tools.AwaitingDisplayStart()) return;
  tools.tool = tools.savedTool;
  SettingsChanged();
  // The prompt would ask for a click that no longer means anything.
  ShowFileCaption();
}

void TTAVOEDTF::MN_VIEW1Click() {
  StopAwaitingDisplayStart();
  display_.zoom = 1;
  display_.viewMode = kViewStandard;
  Action(QStringLiteral("MN_VIEW1"))->setChecked(true);
  for (const char* name : {"MN_VIEW4", "MN_VIEW8", "MN_VIEWCENTER", "MN_VIEWGRID"})
    Action(QString::fromLatin1(name))->setChecked(false);
  SetScrollRanges(Picture().ImageWidth(), Picture().ImageHeight());
  RepaintView();
}

void TTAVOEDTF::MN_VIEWCENTERClick() {
  StopAwaitingDisplayStart();
  display_.zoom = 1;
  display_.viewMode = kViewCentreLines;
  for (const char* name : {"MN_VIEW1", "MN_VIEW4", "MN_VIEW8"}) Action(QString::fromLatin1(name))->setChecked(false);
  Action(QStringLiteral("MN_VIEWCENTER"))->setChecked(true);
  Action(QStringLiteral("MN_VIEWGRID"))->setChecked(true);
  SetScrollRanges(Picture().ImageWidth(), Picture().ImageHeight());
  RepaintView();
}

void TTAVOEDTF::MN_VIEWGRIDClick() {
  QAction* grid = Action(QStringLiteral("MN_VIEWGRID"));
  grid->setChecked(!grid->isChecked());
  display_.overlayShownFor = 0;
  RepaintView();
}

void TTAVOEDTF::SetMagnification(int zoom) {
  for (const char* name : {"MN_VIEW1", "MN_VIEW4", "MN_VIEW8", "MN_VIEWCENTER"})
    Action(QString::fromLatin1(name))->setChecked(false);
  Action(zoom == 4 ? QStringLiteral("MN_VIEW4") : QStringLiteral("MN_VIEW8"))->setChecked(true);
  const int w = Picture().ImageWidth(), h = Picture().ImageHeight();
  if (display_.magnified.ImageWidth() >= 8 * w || display_.magnified.ImageHeight() >= 8 * h ||
      display_.viewMode != kViewStandard) {
    StopAwaitingDisplayStart();
    display_.zoom = zoom;
    display_.viewMode = zoom;
    SetScrollRanges(w, h);
    display_.overlayShownFor = 0;
    RepaintView();
    return;
  }
  // Ask for the display start: the picture at 1:1 with a frame of what the
  // magnified view will show.
  CopyImage(display_.magnified, Picture(), kNoTransparent);
  CopyImage(display_.screen, Picture(), kNoTransparent);
  PresentScreenRect({0, 0, display_.screen.ImageWidth(), display_.screen.ImageHeight()});
  ToolSettings& tools = Settings();
  if (!tools.AwaitingDisplayStart()) tools.savedTool = tools.tool;
  tools.tool = zoom == 4 ? kToolStartFrame4 : kToolStartFrame8;
  SettingsChanged();
  display_.pendingZoom = zoom;
  display_.startFramePosition = {0, 0};
  DrawStartFrame(0, 0);
  setWindowTitle(QStringLiteral("表示開始位置をｸﾘｯｸして下さい"));
}

void TTAVOEDTF::DrawStartFrame(int x, int y) {
  if (display_.viewMode == kViewStandard && Picture().HasPixels()) {
    setWindowTitle(QStringLiteral("%1x%2").arg(x).arg(y));
    IndexedImage& screen = display_.screen;
    const IndexedImage& magnified = display_.magnified;
    Point& size = display_.startFrameSize;
    size = {magnified.ImageWidth() / display_.pendingZoom, magnified.ImageHeight() / display_.pendingZoom};
    x = std::clamp(x, 0, Picture().ImageWidth() - 1);
    y = std::clamp(y, 0, Picture().ImageHeight() - 1);
    const Rect old{display_.startFramePosition.x, display_.startFramePosition.y, size.x, size.y};
    CopyRegion(screen, old.x, old.y, magnified, old.x, old.y, old.width, old.height, kNoTransparent);
    DrawRectOutline(screen, x, y, x + size.x - 1, y + size.y - 1, 7);
    const Rect frame{x, y, size.x, size.y};
    PresentScreenRect(old.Union(frame).Intersect({0, 0, screen.ImageWidth(), screen.ImageHeight()}));
  }
  display_.startFramePosition = {x, y};
}

void TTAVOEDTF::FinishStartFrame(int x, int y) {
  Settings().tool = Settings().savedTool;
  SettingsChanged();
  display_.zoom = display_.pendingZoom;
  display_.viewMode = display_.pendingZoom;
  {
    // One composition, once the bars stand where the click asked.
    const ReentryGuard hold(viewHeld_);
    SetScrollRanges(Picture().ImageWidth(), Picture().ImageHeight());
    const QSignalBlocker blockX(ui_.ScrollBarX), blockY(ui_.ScrollBarY);
    ui_.ScrollBarX->setValue(std::clamp(x / 2, 0, ui_.ScrollBarX->maximum()));
    ui_.ScrollBarY->setValue(std::clamp(y / 2, 0, ui_.ScrollBarY->maximum()));
  }
  display_.overlayShownFor = 0;
  RepaintView();
  ShowFileCaption();
}

void TTAVOEDTF::RestoreView() {
  busy_ = true;
  {
    const ReentryGuard hold(viewHeld_);
    ui_.PaintBox1->SetAreaSize(display_.magnified.ImageWidth(), display_.magnified.ImageHeight());
    SetScrollRanges(Picture().ImageWidth(), Picture().ImageHeight());
  }
  busy_ = false;
  display_.overlayShownFor = 0;
  RepaintView();
}

}  // namespace zudizar

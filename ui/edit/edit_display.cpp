// The edit palette's views: scroll ranges, composing the visible part of the
// picture with its overlay, presenting changed rectangles, the magnification
// items and the display-start click.
#include <QAction>
#include <QScrollBar>
#include <QSignalBlocker>
#include <algorithm>

#include "core/region.h"
#include "ui/common/paint_box.h"
#include "ui/edit/edit_window.h"

namespace zudizar {

EditView TTAVOEDTF::CurrentView() const {
  return ComputeEditView(EditImage.ImageWidth(), EditImage.ImageHeight(), MagnifiedImage.ImageWidth(),
                         MagnifiedImage.ImageHeight(), Zoom, ScrollBarX->value(), ScrollBarY->value());
}

void TTAVOEDTF::SetScrollRanges(int width, int height) {
  const int areaWidth = PaintBox1->AreaWidth(), areaHeight = PaintBox1->AreaHeight();
  // The new range may move a bar; the caller repaints once afterwards.
  const QSignalBlocker blockX(ScrollBarX), blockY(ScrollBarY);
  ScrollBarX->setMaximum(ScrollMaximum(areaWidth, width, Zoom));
  ScrollBarX->setVisible(areaWidth < width * Zoom);
  ScrollBarY->setMaximum(ScrollMaximum(areaHeight, height, Zoom));
  ScrollBarY->setVisible(areaHeight < height * Zoom);
  FillImage(MagnifiedImage, 7);
  FillImage(ScreenImage, 7);
}

void TTAVOEDTF::RepaintView() {
  if (!MagnifiedImage.HasPixels() || !EditImage.HasPixels() || Busy || !PaintEnabled) return;
  PaintEnabled = false;
  blanked_ = false;
  const EditView view = CurrentView();
  IndexedImage& target = ViewMode != 0 ? MagnifiedImage : ScreenImage;
  MagnifyRegion(target, 0, 0, EditImage, view.PictureArea(), view.zoom);
  if (ViewMode != 0) {
    OverlayShownFor = 0;
    DrawOverlay(ViewMode);
  } else {
    PresentScreenRect({0, 0, ScreenImage.ImageWidth(), ScreenImage.ImageHeight()});
  }
  PaintEnabled = true;
}

void TTAVOEDTF::DrawOverlay(int mode) {
  if (inOverlay_) return;
  inOverlay_ = true;
  if (mode != OverlayShownFor) {
    OverlayShownFor = mode;
    CopyImage(ScreenImage, MagnifiedImage, kNoTransparent);
    if (Action(QStringLiteral("MN_VIEWGRID"))->isChecked())
      DrawFrameGrid(ScreenImage, 0, 0, GridSpacing(mode), 7, EditImage.ImageWidth() * Zoom,
                    EditImage.ImageHeight() * Zoom);
  }
  PresentScreenRect({0, 0, ScreenImage.ImageWidth(), ScreenImage.ImageHeight()});
  inOverlay_ = false;
}

void TTAVOEDTF::PresentScreenRect(const Rect& rect) {
  if (!rect.Empty()) PaintBox1->update(rect.x, rect.y, rect.width, rect.height);
}

void TTAVOEDTF::PresentPictureRect(const Rect& rect, const IndexedImage& source) {
  if (Busy || !MagnifiedImage.HasPixels() || !ScreenImage.HasPixels()) return;
  const bool grid = ViewMode != 0 && Action(QStringLiteral("MN_VIEWGRID"))->isChecked();
  PresentScreenRect(zudizar::PresentPictureRect(CurrentView(), ViewMode, grid, source, rect, MagnifiedImage,
                                                ScreenImage));
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
  Zoom = 1;
  ViewMode = 0;
  Action(QStringLiteral("MN_VIEW1"))->setChecked(true);
  for (const char* name : {"MN_VIEW4", "MN_VIEW8", "MN_VIEWCENTER", "MN_VIEWGRID"})
    Action(QString::fromLatin1(name))->setChecked(false);
  SetScrollRanges(EditImage.ImageWidth(), EditImage.ImageHeight());
  RepaintView();
}

void TTAVOEDTF::MN_VIEWCENTERClick() {
  StopAwaitingDisplayStart();
  Zoom = 1;
  ViewMode = 1;
  for (const char* name : {"MN_VIEW1", "MN_VIEW4", "MN_VIEW8"}) Action(QString::fromLatin1(name))->setChecked(false);
  Action(QStringLiteral("MN_VIEWCENTER"))->setChecked(true);
  Action(QStringLiteral("MN_VIEWGRID"))->setChecked(true);
  SetScrollRanges(EditImage.ImageWidth(), EditImage.ImageHeight());
  RepaintView();
}

void TTAVOEDTF::MN_VIEWGRIDClick() {
  QAction* grid = Action(QStringLiteral("MN_VIEWGRID"));
  grid->setChecked(!grid->isChecked());
  OverlayShownFor = 0;
  RepaintView();
}

void TTAVOEDTF::SetMagnification(int zoom) {
  for (const char* name : {"MN_VIEW1", "MN_VIEW4", "MN_VIEW8", "MN_VIEWCENTER"})
    Action(QString::fromLatin1(name))->setChecked(false);
  Action(zoom == 4 ? QStringLiteral("MN_VIEW4") : QStringLiteral("MN_VIEW8"))->setChecked(true);
  const int w = EditImage.ImageWidth(), h = EditImage.ImageHeight();
  if (MagnifiedImage.ImageWidth() >= 8 * w || MagnifiedImage.ImageHeight() >= 8 * h || ViewMode != 0) {
    StopAwaitingDisplayStart();
    Zoom = zoom;
    ViewMode = zoom;
    SetScrollRanges(w, h);
    OverlayShownFor = 0;
    RepaintView();
    return;
  }
  // Ask for the display start: the picture at 1:1 with a frame of what the
  // magnified view will show.
  CopyImage(MagnifiedImage, EditImage, kNoTransparent);
  CopyImage(ScreenImage, EditImage, kNoTransparent);
  PresentScreenRect({0, 0, ScreenImage.ImageWidth(), ScreenImage.ImageHeight()});
  ToolSettings& tools = Settings();
  if (!tools.AwaitingDisplayStart()) tools.savedTool = tools.tool;
  tools.tool = zoom == 4 ? kToolStartFrame4 : kToolStartFrame8;
  SettingsChanged();
  PendingZoom = zoom;
  StartFramePosition = {0, 0};
  DrawStartFrame(0, 0);
  setWindowTitle(QStringLiteral("表示開始位置をｸﾘｯｸして下さい"));
}

void TTAVOEDTF::DrawStartFrame(int x, int y) {
  if (ViewMode == 0 && EditImage.HasPixels()) {
    setWindowTitle(QStringLiteral("%1x%2").arg(x).arg(y));
    StartFrameSize = {MagnifiedImage.ImageWidth() / PendingZoom, MagnifiedImage.ImageHeight() / PendingZoom};
    x = std::clamp(x, 0, EditImage.ImageWidth() - 1);
    y = std::clamp(y, 0, EditImage.ImageHeight() - 1);
    const Rect old{StartFramePosition.x, StartFramePosition.y, StartFrameSize.x, StartFrameSize.y};
    CopyRegion(ScreenImage, old.x, old.y, MagnifiedImage, old.x, old.y, old.width, old.height, kNoTransparent);
    DrawRectOutline(ScreenImage, x, y, x + StartFrameSize.x - 1, y + StartFrameSize.y - 1, 7);
    const Rect frame{x, y, StartFrameSize.x, StartFrameSize.y};
    PresentScreenRect(old.Union(frame).Intersect({0, 0, ScreenImage.ImageWidth(), ScreenImage.ImageHeight()}));
  }
  StartFramePosition = {x, y};
}

void TTAVOEDTF::FinishStartFrame(int x, int y) {
  Settings().tool = Settings().savedTool;
  SettingsChanged();
  Zoom = PendingZoom;
  ViewMode = PendingZoom;
  PaintEnabled = false;
  SetScrollRanges(EditImage.ImageWidth(), EditImage.ImageHeight());
  {
    const QSignalBlocker blockX(ScrollBarX), blockY(ScrollBarY);
    ScrollBarX->setValue(std::clamp(x / 2, 0, ScrollBarX->maximum()));
    ScrollBarY->setValue(std::clamp(y / 2, 0, ScrollBarY->maximum()));
  }
  PaintEnabled = true;
  OverlayShownFor = 0;
  RepaintView();
  ShowFileCaption();
}

void TTAVOEDTF::RestoreView() {
  Busy = true;
  PaintEnabled = false;
  PaintBox1->SetAreaSize(MagnifiedImage.ImageWidth(), MagnifiedImage.ImageHeight());
  SetScrollRanges(EditImage.ImageWidth(), EditImage.ImageHeight());
  PaintEnabled = true;
  Busy = false;
  OverlayShownFor = 0;
  RepaintView();
}

}  // namespace zudizar

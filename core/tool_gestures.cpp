#include "core/tool_gestures.h"

#include <algorithm>
#include <cstdlib>

#include "core/pens.h"
#include "core/region.h"

namespace zudizar {

namespace {

Rect PictureRect(const IndexedImage& image) {
  return image.HasPixels() ? Rect{0, 0, image.ImageWidth(), image.ImageHeight()} : Rect{};
}

bool Inside(const IndexedImage& image, Point p) { return PictureRect(image).Contains(p); }

std::uint8_t ColourOf(const ToolInk& ink, bool right) { return right ? ink.right : ink.left; }
std::uint8_t OtherOf(const ToolInk& ink, bool right) { return right ? ink.left : ink.right; }

constexpr SwatchArrangement kIdentityOrder = IdentityArrangement();

// Puts the band's last preview back from the picture.
void RestoreBand(const ToolTarget& t, const Rect& band) {
  if (!band.Empty())
    CopyRegion(t.work, band.x, band.y, t.picture, band.x, band.y, band.width, band.height, kNoTransparent);
}

void StartGesture(GestureState& state, Point p) {
  state.LastPoint = p;
  state.BandRect = {p.x, p.y, 1, 1};
  state.Dragging = true;
}

// The whole-picture move: the vacated area shows the background colour of
// the picture as it now is.
void MoveTo(const ToolTarget& t, Point p) {
  FillImage(t.picture, BackgroundColour(t.picture));
  PlaceCentred(t.picture, t.stamp, p);
}

ToolStep Gradient(const ToolTarget& t, const ToolInk& ink, Point p, bool right, bool vertical) {
  const std::uint8_t c = ColourOf(ink, right);
  if (ReadPixel(t.picture, p.x, p.y) == c) return {};
  // The extent comes from a probe fill that leaves no trace.
  CopyImage(t.work, t.picture, kNoTransparent);
  int left = p.x, bottom = p.y, right_ = p.x, top = p.y;
  FloodFillExtent(t.picture, p.x, p.y, c, left, bottom, right_, top);
  CopyImage(t.picture, t.work, kNoTransparent);
  const SwatchArrangement& order = ink.order ? *ink.order : kIdentityOrder;
  if (vertical)
    GradientFill(t.picture, p.x, p.y, c, OtherOf(ink, right), left, bottom, left, top, order);
  else
    GradientFill(t.picture, p.x, p.y, c, OtherOf(ink, right), left, bottom, right_, bottom, order);
  return {Present::WholeView, PictureRect(t.picture)};
}

}  // namespace

const ToolRow* FindTool(int tool) {
  for (const ToolRow& row : kToolTable)
    if (row.tool == tool) return &row;
  return nullptr;
}

Rect PenStampRect(const IndexedImage& image, int x, int y, std::uint8_t penCode) {
  if (!image.HasPixels()) return {};
  const PenBox box = PenFootprintBox(penCode);
  if (box.size <= 0) return {};
  x = std::clamp(x, 0, image.ImageWidth() - 1);
  y = std::clamp(y, 0, image.ImageHeight() - 1);
  return Rect{x + box.left, y + box.top, box.size, box.size}.Intersect(PictureRect(image));
}

Rect PenSegmentRect(const IndexedImage& image, Point a, Point b, std::uint8_t penCode) {
  return PenStampRect(image, a.x, a.y, penCode).Union(PenStampRect(image, b.x, b.y, penCode));
}

void PlaceCentred(IndexedImage& picture, const IndexedImage& stamp, Point p) {
  if (!picture.HasPixels() || !stamp.HasPixels()) return;
  const int w = stamp.ImageWidth(), h = stamp.ImageHeight();
  const int cx = w / 2, cy = h / 2;
  const int width = w - std::abs(p.x - cx);
  const int height = h - std::abs(p.y - cy);
  if (width <= 0 || height <= 0) return;
  CopyRegion(picture, std::max(0, p.x - cx), std::max(0, p.y - cy), stamp, std::max(0, cx - p.x),
             std::max(0, cy - p.y), width, height, kNoTransparent);
}

Rect QuarterUnder(const IndexedImage& picture, Point p) {
  const int qw = picture.ImageWidth() / 2, qh = picture.ImageHeight() / 2;
  return {p.x < qw ? 0 : qw, p.y < qh ? 0 : qh, qw, qh};
}

void TurnQuarter(IndexedImage& picture, IndexedImage& work, const Rect& quarter) {
  if (!picture.HasPixels() || quarter.Empty()) return;
  CopyImage(work, picture, kNoTransparent);
  FillRect(picture, quarter.x, quarter.y, quarter.width, quarter.height, BackgroundColour(picture));
  RotateRegion(picture, quarter.x, quarter.y, work, std::min(quarter.width, quarter.height), 90);
}

ToolStep ToolPress(int tool, const ToolTarget& t, const ToolInk& ink, GestureState& state, Point p,
                   bool right) {
  state.RightDrag = right;
  const ToolRow* row = FindTool(tool);
  if (!row || !Inside(t.picture, p)) return {};
  const std::uint8_t c = ColourOf(ink, right);
  switch (row->shape) {
    case Shape::Spray:
      if (ink.spray) StampSpray(t.picture, p.x, p.y, c, ink.penCode, *ink.spray);
      StartGesture(state, p);
      return {Present::FromPicture, PenStampRect(t.picture, p.x, p.y, ink.penCode)};
    case Shape::Pen:
      StampPen(t.picture, p.x, p.y, c, ink.penCode);
      StartGesture(state, p);
      return {Present::FromPicture, PenStampRect(t.picture, p.x, p.y, ink.penCode)};
    case Shape::Erase:
      ErasePen(t.picture, p.x, p.y, c, OtherOf(ink, right), ink.penCode);
      StartGesture(state, p);
      return {Present::FromPicture, PenStampRect(t.picture, p.x, p.y, ink.penCode)};
    case Shape::Line:
    case Shape::Box:
      // The press shows a single pixel, not the pen.
      CopyImage(t.work, t.picture, kNoTransparent);
      WritePixel(t.work, p.x, p.y, c);
      StartGesture(state, p);
      return {Present::FromWork, Rect{p.x, p.y, 1, 1}};
    case Shape::Fill:
      FloodFill(t.picture, p.x, p.y, c);
      return {Present::WholeView, PictureRect(t.picture)};
    case Shape::GradientVertical:
      return Gradient(t, ink, p, right, true);
    case Shape::GradientHorizontal:
      return Gradient(t, ink, p, right, false);
    case Shape::Move:
      if (right) return {};
      CopyImage(t.stamp, t.picture, kNoTransparent);
      MoveTo(t, p);
      StartGesture(state, p);
      return {Present::WholeView, PictureRect(t.picture)};
    case Shape::None:
      return {};
  }
  return {};
}

ToolStep ToolMove(int tool, const ToolTarget& t, const ToolInk& ink, GestureState& state, Point p) {
  const ToolRow* row = FindTool(tool);
  if (!state.Dragging || !row || !Inside(t.picture, p)) return {};
  const std::uint8_t c = ColourOf(ink, state.RightDrag);
  const Point last = state.LastPoint;
  switch (row->shape) {
    case Shape::Spray:
      if (ink.spray) StampSpray(t.picture, p.x, p.y, c, ink.penCode, *ink.spray);
      state.LastPoint = p;
      return {Present::FromPicture, PenStampRect(t.picture, p.x, p.y, ink.penCode)};
    case Shape::Pen:
      StrokePen(t.picture, last.x, last.y, p.x, p.y, c, ink.penCode);
      state.LastPoint = p;
      return {Present::FromPicture, PenSegmentRect(t.picture, last, p, ink.penCode)};
    case Shape::Erase:
      StrokeErase(t.picture, last.x, last.y, p.x, p.y, c, OtherOf(ink, state.RightDrag), ink.penCode);
      state.LastPoint = p;
      return {Present::FromPicture, PenSegmentRect(t.picture, last, p, ink.penCode)};
    case Shape::Line: {
      RestoreBand(t, state.BandRect);
      StrokePen(t.work, last.x, last.y, p.x, p.y, c, ink.penCode);
      const Rect shape = PenSegmentRect(t.picture, last, p, ink.penCode);
      const Rect shown = state.BandRect.Union(shape);
      state.BandRect = shape;
      return {Present::FromWork, shown};
    }
    case Shape::Box: {
      RestoreBand(t, state.BandRect);
      const Rect shape = Rect::FromCorners(last, p);
      FillRect(t.work, shape.x, shape.y, shape.width, shape.height, c);
      const Rect shown = state.BandRect.Union(shape);
      state.BandRect = shape;
      return {Present::FromWork, shown};
    }
    case Shape::Move:
      MoveTo(t, p);
      return {Present::WholeView, PictureRect(t.picture)};
    default:
      return {};
  }
}

ToolStep ToolRelease(int tool, const ToolTarget& t, const ToolInk& ink, GestureState& state, Point p) {
  if (!state.Dragging) return {};
  state.Dragging = false;
  const ToolRow* row = FindTool(tool);
  if (!row) return {};
  const Rect band = state.BandRect;
  if (!Inside(t.picture, p)) {
    // Nothing is committed; a rubber band's preview leaves no trace.
    if (row->previewInWork) return {Present::FromPicture, band.Intersect(PictureRect(t.picture))};
    return {};
  }
  const std::uint8_t c = ColourOf(ink, state.RightDrag);
  const Point last = state.LastPoint;
  switch (row->shape) {
    case Shape::Spray:
      if (ink.spray) StampSpray(t.picture, p.x, p.y, c, ink.penCode, *ink.spray);
      return {Present::FromPicture, PenStampRect(t.picture, p.x, p.y, ink.penCode)};
    case Shape::Pen:
      StrokePen(t.picture, last.x, last.y, p.x, p.y, c, ink.penCode);
      return {Present::FromPicture, PenSegmentRect(t.picture, last, p, ink.penCode)};
    case Shape::Erase:
      StrokeErase(t.picture, last.x, last.y, p.x, p.y, c, OtherOf(ink, state.RightDrag), ink.penCode);
      return {Present::FromPicture, PenSegmentRect(t.picture, last, p, ink.penCode)};
    case Shape::Line:
      StrokePen(t.picture, last.x, last.y, p.x, p.y, c, ink.penCode);
      // The union also clears what is left of the last preview.
      return {Present::FromPicture, band.Union(PenSegmentRect(t.picture, last, p, ink.penCode))};
    case Shape::Box: {
      const Rect shape = Rect::FromCorners(last, p);
      FillRect(t.picture, shape.x, shape.y, shape.width, shape.height, c);
      return {Present::FromPicture, band.Union(shape)};
    }
    case Shape::Move:
      MoveTo(t, p);
      return {Present::WholeView, PictureRect(t.picture)};
    default:
      return {};
  }
}

}  // namespace zudizar

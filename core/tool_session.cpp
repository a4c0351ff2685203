#include "core/tool_session.h"

#include <algorithm>
#include <utility>

#include "core/pens.h"
#include "core/pixel_ops.h"
#include "core/region.h"

namespace zudizar {

namespace {

Rect PictureRect(const IndexedImage& image) {
  return image.HasPixels() ? Rect{0, 0, image.ImageWidth(), image.ImageHeight()} : Rect{};
}

bool Inside(const IndexedImage& image, Point p) { return PictureRect(image).Contains(p); }

constexpr SwatchArrangement kIdentityOrder = IdentityArrangement();

// ---- marks: one per tool ----

Rect MarkSpray(IndexedImage& onto, const MarkContext& c, Point, Point to) {
  StampSpray(onto, to.x, to.y, c.colour, c.penCode, c.spray);
  return PenStampRect(onto, to.x, to.y, c.penCode);
}

Rect MarkPen(IndexedImage& onto, const MarkContext& c, Point from, Point to) {
  StrokePen(onto, from.x, from.y, to.x, to.y, c.colour, c.penCode);
  return PenSegmentRect(onto, from, to, c.penCode);
}

// Pixels of the button's colour become the other button's colour.
Rect MarkErase(IndexedImage& onto, const MarkContext& c, Point from, Point to) {
  StrokeErase(onto, from.x, from.y, to.x, to.y, c.colour, c.other, c.penCode);
  return PenSegmentRect(onto, from, to, c.penCode);
}

Rect MarkBox(IndexedImage& onto, const MarkContext& c, Point from, Point to) {
  const Rect box = Rect::FromCorners(from, to);
  FillRect(onto, box.x, box.y, box.width, box.height, c.colour);
  return box.Intersect(PictureRect(onto));
}

Rect MarkFill(IndexedImage& onto, const MarkContext& c, Point, Point to) {
  FloodFill(onto, to.x, to.y, c.colour);
  return PictureRect(onto);
}

Rect Gradient(IndexedImage& onto, const MarkContext& c, Point p, bool vertical) {
  if (ReadPixel(onto, p.x, p.y) == c.colour) return {};
  // The extent comes from a probe fill that leaves no trace: it is taken back
  // from the original within the extent (the fill changes nothing outside
  // it), or from a whole copy.
  int left = p.x, bottom = p.y, right = p.x, top = p.y;
  if (const IndexedImage* original = c.target.original) {
    FloodFillExtent(onto, p.x, p.y, c.colour, left, bottom, right, top);
    const Rect extent = Rect::FromCorners({left, bottom}, {right, top});
    CopyRegion(onto, extent.x, extent.y, *original, extent.x, extent.y, extent.width, extent.height, kNoTransparent);
  } else {
    IndexedImage& scratch = c.target.work;
    CopyImage(scratch, onto, kNoTransparent);
    FloodFillExtent(onto, p.x, p.y, c.colour, left, bottom, right, top);
    CopyImage(onto, scratch, kNoTransparent);
  }
  if (vertical)
    GradientFill(onto, p.x, p.y, c.colour, c.other, left, bottom, left, top, c.order);
  else
    GradientFill(onto, p.x, p.y, c.colour, c.other, left, bottom, right, bottom, c.order);
  return PictureRect(onto);
}

Rect MarkGradientVertical(IndexedImage& onto, const MarkContext& c, Point, Point to) {
  return Gradient(onto, c, to, true);
}

Rect MarkGradientHorizontal(IndexedImage& onto, const MarkContext& c, Point, Point to) {
  return Gradient(onto, c, to, false);
}

// The carried picture centred on the pointer; the vacated area shows the
// background colour of the picture as it now is.
Rect MarkMove(IndexedImage& onto, const MarkContext& c, Point, Point to) {
  FillImage(onto, BackgroundColour(onto));
  PlaceCentred(onto, c.target.stamp, to);
  return PictureRect(onto);
}

// The text stamp with its top-left corner at the point.
Rect MarkText(IndexedImage& onto, const MarkContext& c, Point, Point to) {
  return StampText(onto, to, c.target.stamp, c.text.width, c.text.height, c.text.transparent);
}

constexpr ToolRow kToolTable[] = {
    {kToolSpray, Joining::Points, Draws::OnPicture, MarkSpray},
    {kToolFree, Joining::Freehand, Draws::OnPicture, MarkPen},
    {kToolLine, Joining::TwoPoints, Draws::InWork, MarkPen},
    {kToolBox, Joining::TwoPoints, Draws::InWork, MarkBox},
    {kToolFill, Joining::OnePoint, Draws::WholePicture, MarkFill},
    {kToolEraser, Joining::Freehand, Draws::OnPicture, MarkErase},
    {kToolMove, Joining::Drag, Draws::WholePicture, MarkMove},
    {kToolText, Joining::Carry, Draws::InWork, MarkText},
    {kToolGradientVertical, Joining::OnePoint, Draws::WholePicture, MarkGradientVertical},
    {kToolGradientHorizontal, Joining::OnePoint, Draws::WholePicture, MarkGradientHorizontal},
};

Present PresentOf(Draws draws) { return draws == Draws::WholePicture ? Present::WholeView : Present::FromPicture; }

// Where previews are drawn: the work buffer, or the picture itself when the
// canvas keeps the original beside it.
IndexedImage& PreviewBuffer(const ToolTarget& t) { return t.original ? t.picture : t.work; }

// Takes the preview's area back from what lies under it.
void RestoreBand(const ToolTarget& t, const Rect& band) {
  if (band.Empty()) return;
  const IndexedImage& under = t.original ? *t.original : t.picture;
  CopyRegion(PreviewBuffer(t), band.x, band.y, under, band.x, band.y, band.width, band.height, kNoTransparent);
}

// Gives a stamp without pixels the size the gesture needs.
bool SizeStamp(IndexedImage& stamp, int width, int height) {
  if (stamp.HasPixels()) return true;
  return CreateImage(std::max(width, 1), std::max(height, 1), stamp);
}

}  // namespace

const ToolRow* FindTool(int tool) {
  for (const ToolRow& row : kToolTable)
    if (row.tool == tool) return &row;
  return nullptr;
}

ToolSession::ToolSession(const ToolSettings& settings, TextStamper* stamper, SprayGenerator spray)
    : settings_(settings), stamper_(stamper), spray_(std::move(spray)) {}

MarkContext ToolSession::Context(const ToolTarget& target, const ToolInk& ink, bool right) {
  return {target,
          right ? ink.right : ink.left,
          right ? ink.left : ink.right,
          settings_.penCode,
          ink.order ? *ink.order : kIdentityOrder,
          spray_,
          text_};
}

Point ToolSession::From(const ToolRow& row, Point p) const {
  switch (row.joining) {
    case Joining::Freehand: return gesture_.last;
    case Joining::TwoPoints: return gesture_.anchor;
    default: return p;
  }
}

ToolStep ToolSession::Press(const ToolTarget& t, const ToolInk& ink, Point p, bool right) {
  gesture_ = {};
  gesture_.right = right;
  const ToolRow* row = FindTool(settings_.DrawingTool());
  if (!row || !t.picture.HasPixels()) return {};
  const MarkContext c = Context(t, ink, right);
  const bool inside = Inside(t.picture, p);
  Joining joining = row->joining;
  Point at = p;
  if (joining == Joining::Carry) {
    // A fixed place needs a click on the picture; a free stamp may start anywhere.
    const int place = settings_.text.fixedPlace;
    if (!stamper_ || (place != kTextFree && !inside)) return {};
    const TextStampBox box = stamper_->Measure(settings_.text);
    if (!SizeStamp(t.stamp, std::min(box.width, t.picture.ImageWidth()), std::min(box.height, t.picture.ImageHeight())))
      return {};
    text_ = stamper_->RenderStamp(t.stamp, c.colour, settings_.text);
    if (place != kTextFree) {
      at = FixedTextOrigin(place, t.picture.ImageWidth(), t.picture.ImageHeight(), text_.width, text_.height);
      joining = Joining::OnePoint;
    }
  } else if (!inside) {
    return {};
  }
  if (joining == Joining::OnePoint) {
    const Rect changed = row->mark(t.picture, c, at, at);
    if (changed.Empty()) return {};
    return {PresentOf(row->draws), changed, true};
  }
  if (joining == Joining::Drag) {
    if (right || !SizeStamp(t.stamp, t.picture.ImageWidth(), t.picture.ImageHeight())) return {};
    CopyImage(t.stamp, t.picture, kNoTransparent);
  }
  gesture_.active = true;
  gesture_.tool = row->tool;
  gesture_.anchor = gesture_.last = at;
  if (row->draws == Draws::InWork) {
    IndexedImage& preview = PreviewBuffer(t);
    if (!t.original) CopyImage(t.work, t.picture, kNoTransparent);
    Rect shown;
    if (joining == Joining::TwoPoints) {
      // A two-point shape starts as a single pixel, not the pen.
      WritePixel(preview, at.x, at.y, c.colour);
      shown = {at.x, at.y, 1, 1};
    } else {
      shown = row->mark(preview, c, at, at);
    }
    gesture_.band = shown;
    return {Present::FromWork, shown};
  }
  return {PresentOf(row->draws), row->mark(t.picture, c, at, at)};
}

ToolStep ToolSession::Move(const ToolTarget& t, const ToolInk& ink, Point p) {
  if (!gesture_.active) return {};
  const ToolRow* row = FindTool(gesture_.tool);
  if (!row || (!Inside(t.picture, p) && row->joining != Joining::Carry)) return {};
  const MarkContext c = Context(t, ink, gesture_.right);
  const Point from = From(*row, p);
  if (row->draws == Draws::InWork) {
    RestoreBand(t, gesture_.band);
    const Rect mark = row->mark(PreviewBuffer(t), c, from, p);
    const Rect shown = gesture_.band.Union(mark);
    gesture_.band = mark;
    return {Present::FromWork, shown};
  }
  const Rect changed = row->mark(t.picture, c, from, p);
  gesture_.last = p;
  return {PresentOf(row->draws), changed};
}

ToolStep ToolSession::Release(const ToolTarget& t, const ToolInk& ink, Point p) {
  if (!gesture_.active) return {};
  gesture_.active = false;
  const ToolRow* row = FindTool(gesture_.tool);
  if (!row) return {};
  const bool inside = Inside(t.picture, p);
  const MarkContext c = Context(t, ink, gesture_.right);
  const Point from = From(*row, p);
  if (row->draws == Draws::InWork) {
    // The shown rectangle also takes back what is left of the preview.
    const Rect preview = gesture_.band.Intersect(PictureRect(t.picture));
    if (t.original) RestoreBand(t, gesture_.band);
    if (!inside) return {Present::FromPicture, preview};
    const Rect mark = row->mark(t.picture, c, from, p);
    return {Present::FromPicture, preview.Union(mark), !mark.Empty()};
  }
  // The picture already holds the gesture's marks, wherever it ends.
  if (!inside) return {Present::Nothing, {}, true};
  return {PresentOf(row->draws), row->mark(t.picture, c, from, p), true};
}

}  // namespace zudizar

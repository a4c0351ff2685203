// The pixel editor's view: which part of the picture a magnified view shows,
// the mapping between paint-area and picture pixels, magnifying a rectangle
// into the view buffers and drawing the grid over a rectangle only.
#pragma once

#include "core/geometry.h"
#include "core/indexed_image.h"

namespace zudizar {

// Screen pixels a picture pixel covers are zoom × zoom; one scroll step moves
// the view by two picture pixels.
struct EditView {
  int zoom = 1;
  int originX = 0, originY = 0;         // first picture column and row shown
  int shownWidth = 0, shownHeight = 0;  // screen pixels covered (D × G)

  // The picture rectangle the view shows.
  Rect PictureArea() const { return {originX, originY, shownWidth / zoom, shownHeight / zoom}; }
  // The paint-area point's picture pixel (floor division, so points left of
  // or above the area map outside the picture).
  Point ToPicture(int x, int y) const;
  // The screen rectangle of a picture rectangle (not clipped).
  Rect ToScreen(const Rect& picture) const;
};

// The maximum of a scroll bar for a picture side at a zoom on a paint-area
// side, or 0 when the magnified picture fits (the bar is then hidden).
int ScrollMaximum(int areaSide, int pictureSide, int zoom);

// The view of a W × H picture in an areaWidth × areaHeight buffer at a zoom
// with the two scroll positions. The origin never passes the picture's last
// column or row, and never goes below 0.
EditView ComputeEditView(int pictureWidth, int pictureHeight, int areaWidth, int areaHeight, int zoom, int scrollX,
                         int scrollY);

// Copies the source rectangle into the destination at (dx, dy), each pixel
// becoming a zoom × zoom block (zoom 1 is a plain copy). Clipped to both images.
void MagnifyRegion(IndexedImage& destination, int dx, int dy, const IndexedImage& source, Rect source_rect, int zoom);

// The view's grid (index 7, 248 where a horizontal line meets 7), drawn only
// over `clip`, with the same pixels as DrawFrameGrid(image, 0, 0, spacing, 7,
// areaWidth, areaHeight) gives there. Spacing 1 draws the centre lines.
void DrawGridOver(IndexedImage& image, int spacing, int areaWidth, int areaHeight, const Rect& clip);

// The grid spacing of a view mode: 4 or 8, 1 (centre lines) for mode 1.
// The edit palette's view modes: the standard 1:1 view, the centre-line view,
// and the magnified views, numbered by their zoom (4 or 8).
inline constexpr int kViewStandard = 0;
inline constexpr int kViewCentreLines = 1;

inline int GridSpacing(int viewMode) { return viewMode == kViewCentreLines ? 1 : viewMode; }

// Shows a changed picture rectangle: its visible part is magnified from
// `source` into `magnified` (view mode ≠ 0) and from there, with the grid
// when `grid` is set, into `screen`; in the standard view straight into
// `screen`. Returns the screen rectangle that changed (empty when the
// rectangle is not in view).
Rect PresentPictureRect(const EditView& view, int viewMode, bool grid, const IndexedImage& source, const Rect& rect,
                        IndexedImage& magnified, IndexedImage& screen);

}  // namespace zudizar

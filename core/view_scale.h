// How a canvas is shown at a zoom: the one mapping between picture pixels,
// the paint area's logical pixels and the screen's device pixels, and the
// composition of a screen rectangle from the picture as shown, with the frame
// grid and the outline drawn at screen resolution. Qt-free.
//
// Below 1:1 each device pixel shows the picture pixel at its centre (indexed
// colours are never blended); above, picture pixels become blocks of whole
// device pixels. Grid lines and outlines are one device pixel thin, on the
// edges of the picture pixels they belong to, so at 1:1 they fall exactly on
// the pixels they are drawn on at picture resolution.
#pragma once

#include <cstdint>
#include <vector>

#include "core/geometry.h"
#include "core/indexed_image.h"

namespace zudizar {

// A zoom of `mul`/`div`: one of the two is 1.
struct Zoom {
  int mul = 1, div = 1;
  friend bool operator==(const Zoom&, const Zoom&) = default;
};

// The zoom levels, smallest first.
inline constexpr Zoom kZoomLevels[] = {{1, 8}, {1, 4}, {1, 2}, {1, 1}, {2, 1}, {4, 1}, {8, 1}};
inline constexpr int kZoomLevelCount = 7;
inline constexpr int kZoomOneLevel = 3;

// The level of `zoom` in kZoomLevels, or the 1:1 level for any other.
int ZoomLevel(Zoom zoom);
// The largest level at which a width × height picture fits an area of
// areaWidth × areaHeight logical pixels (the smallest level when none does).
Zoom FitZoom(int width, int height, int areaWidth, int areaHeight);

class ViewScale {
 public:
  // `deviceRatio` is the screen's device pixel ratio; it is taken in
  // quarters (1, 1.25, 1.5, … 2, 3), which every desktop uses.
  explicit ViewScale(Zoom zoom = {}, double deviceRatio = 1.0);

  Zoom GetZoom() const { return zoom_; }
  // Device pixels per logical pixel, in quarters.
  int RatioQuarters() const { return quarters_; }
  bool OneToOne() const { return zoom_ == Zoom{} && quarters_ == 4; }

  // Logical pixels (the paint area, the mouse): the picture pixel shown at
  // the centre of logical pixel `x`, and the logical pixel that shows
  // picture pixel `x` (its block's first pixel above 1:1). The pixel found
  // under a logical pixel is the one shown there.
  int LogicalToPicture(int x) const;
  int PictureToLogical(int x) const;
  // The logical pixels a picture of `size` pixels takes.
  int LogicalSize(int size) const;

  // Device pixels: the picture pixel shown at device pixel `d`'s centre, and
  // the device pixel holding the left (top) edge of picture pixel `x`: the
  // device span of pixels [x0, x1) is [EdgeToDevice(x0), EdgeToDevice(x1)).
  int DeviceToPicture(int d) const;
  int EdgeToDevice(int x) const;
  // The picture coordinate at device pixel d's left edge, rounded down / up.
  int FloorPictureAt(int d) const;
  int CeilPictureAt(int d) const;
  // The device pixels covering the logical rectangle, and the logical
  // rectangle covering device pixels.
  Rect LogicalToDeviceRect(const Rect& r) const;
  Rect DeviceToLogicalRect(const Rect& r) const;
  // The device pixels that show (or draw a line of) picture rectangle `r`.
  Rect PictureToDeviceRect(const Rect& r) const;

 private:
  Zoom zoom_;
  int quarters_ = 4;
  // Device pixel d lies on picture coordinate d × num_ / den_ (a rational
  // so every level at every quarter ratio maps exactly).
  std::int64_t num_ = 1, den_ = 1;
};

// What a screen rectangle is composed from.
struct ShownLayers {
  const IndexedImage* source = nullptr;  // the picture as shown, previews included
  // The whole-picture shift: the source displaced, the rest in background;
  // no grid, no outline.
  bool shifted = false;
  int dx = 0, dy = 0;
  std::uint8_t background = 0;
  // The frame grid (frame 0: none) and its half offsets, as DrawFrameGrid
  // takes them over the whole source.
  int frame = 0, xOffset = 0, yOffset = 0;
  Rect outline;  // drawn as DrawRectOutline draws it; empty for none
  std::uint8_t lineColour = 248;
};

// Composes device rectangle `area` (device pixels of the paint area) into
// `screen`, whose pixel (0, 0) is device pixel `origin`. `area` must lie in
// the screen and in the picture's device span. At 1:1 the result is exactly
// the source with DrawFrameGrid and DrawRectOutline over it.
void ComposeScaled(IndexedImage& screen, Point origin, const Rect& area, const ShownLayers& layers,
                   const ViewScale& scale);

}  // namespace zudizar

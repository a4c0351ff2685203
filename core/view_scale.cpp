#include "core/view_scale.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "core/frames.h"

namespace zudizar {

namespace {

std::int64_t FloorDiv(std::int64_t a, std::int64_t b) {
  std::int64_t q = a / b;
  if ((a % b != 0) && ((a < 0) != (b < 0))) --q;
  return q;
}

std::int64_t CeilDiv(std::int64_t a, std::int64_t b) { return -FloorDiv(-a, b); }

int Narrow(std::int64_t v) {
  return static_cast<int>(std::clamp<std::int64_t>(v, -(std::int64_t{1} << 30), std::int64_t{1} << 30));
}

}  // namespace

int ZoomLevel(Zoom zoom) {
  for (int k = 0; k < kZoomLevelCount; ++k)
    if (kZoomLevels[k] == zoom) return k;
  return kZoomOneLevel;
}

Zoom FitZoom(int width, int height, int areaWidth, int areaHeight) {
  for (int k = kZoomLevelCount - 1; k > 0; --k) {
    const ViewScale scale(kZoomLevels[k]);
    if (scale.LogicalSize(width) <= areaWidth && scale.LogicalSize(height) <= areaHeight) return kZoomLevels[k];
  }
  return kZoomLevels[0];
}

ViewScale::ViewScale(Zoom zoom, double deviceRatio) : zoom_(zoom) {
  if (zoom_.mul < 1 || zoom_.div < 1) zoom_ = {};
  quarters_ = std::clamp(static_cast<int>(std::lround(deviceRatio * 4)), 4, 64);
  // Picture coordinate = device coordinate × div × 4 / (mul × quarters).
  num_ = std::int64_t{zoom_.div} * 4;
  den_ = std::int64_t{zoom_.mul} * quarters_;
}

int ViewScale::LogicalToPicture(int x) const {
  return Narrow(FloorDiv((2 * std::int64_t{x} + 1) * zoom_.div, 2 * std::int64_t{zoom_.mul}));
}

int ViewScale::PictureToLogical(int x) const { return Narrow(FloorDiv(std::int64_t{x} * zoom_.mul, zoom_.div)); }

int ViewScale::LogicalSize(int size) const { return Narrow(CeilDiv(std::int64_t{size} * zoom_.mul, zoom_.div)); }

int ViewScale::DeviceToPicture(int d) const { return Narrow(FloorDiv((2 * std::int64_t{d} + 1) * num_, 2 * den_)); }

int ViewScale::FloorPictureAt(int d) const { return Narrow(FloorDiv(std::int64_t{d} * num_, den_)); }

int ViewScale::CeilPictureAt(int d) const { return Narrow(CeilDiv(std::int64_t{d} * num_, den_)); }

int ViewScale::EdgeToDevice(int x) const { return Narrow(FloorDiv(std::int64_t{x} * den_, num_)); }

Rect ViewScale::LogicalToDeviceRect(const Rect& r) const {
  if (r.Empty()) return {};
  const int l = Narrow(FloorDiv(std::int64_t{r.x} * quarters_, 4));
  const int t = Narrow(FloorDiv(std::int64_t{r.y} * quarters_, 4));
  return Rect::FromEdges(l, t, Narrow(CeilDiv(std::int64_t{r.Right()} * quarters_, 4)),
                         Narrow(CeilDiv(std::int64_t{r.Bottom()} * quarters_, 4)));
}

Rect ViewScale::DeviceToLogicalRect(const Rect& r) const {
  if (r.Empty()) return {};
  const int l = Narrow(FloorDiv(std::int64_t{r.x} * 4, quarters_));
  const int t = Narrow(FloorDiv(std::int64_t{r.y} * 4, quarters_));
  return Rect::FromEdges(l, t, Narrow(CeilDiv(std::int64_t{r.Right()} * 4, quarters_)),
                         Narrow(CeilDiv(std::int64_t{r.Bottom()} * 4, quarters_)));
}

Rect ViewScale::PictureToDeviceRect(const Rect& r) const {
  if (r.Empty()) return {};
  // From the left edge of the first pixel to the right edge of the last:
  // every sample, grid line and outline of the rectangle lies in it.
  return Rect::FromEdges(EdgeToDevice(r.x), EdgeToDevice(r.y), Narrow(CeilDiv(std::int64_t{r.Right()} * den_, num_)),
                         Narrow(CeilDiv(std::int64_t{r.Bottom()} * den_, num_)));
}

namespace {

// The grid as DrawFrameGrid lays it over a width × height picture: which
// columns carry a vertical line and which rows a horizontal one.
struct GridLines {
  int cs = 0, rs = 0, columnPhase = 0, rowPhase = 0, width = 0, height = 0;

  GridLines(int frame, int xOffset, int yOffset, int w, int h) : width(w), height(h) {
    const int spacing = frame < 0 ? 4 : frame;
    cs = spacing == 1 ? w / 2 : spacing;
    rs = spacing == 1 ? h / 2 : spacing;
    if (cs > 0) columnPhase = static_cast<int>(((std::int64_t{xOffset} - 1) % cs + cs) % cs);
    if (rs > 0) rowPhase = ((yOffset % rs) + rs) % rs;
  }
  // A line column in [a, b]: vertical lines stop short of the last column.
  bool ColumnIn(std::int64_t a, std::int64_t b) const { return LineIn(a, b, 0, width - 2, cs, columnPhase); }
  // A line row in [a, b]: never the first or the last row.
  bool RowIn(std::int64_t a, std::int64_t b) const { return LineIn(a, b, 1, height - 2, rs, rowPhase); }
  // Some position p in [a, b] ∩ [lo, hi] with p ≡ phase (mod spacing).
  static bool LineIn(std::int64_t a, std::int64_t b, std::int64_t lo, std::int64_t hi, int spacing, int phase) {
    if (spacing <= 0) return false;
    a = std::max(a, lo);
    b = std::min(b, hi);
    if (a > b) return false;
    const std::int64_t first = a + ((phase - a % spacing) % spacing + spacing) % spacing;
    return first <= b;
  }
};

}  // namespace

void ComposeScaled(IndexedImage& screen, Point origin, const Rect& area, const ShownLayers& layers,
                   const ViewScale& scale) {
  const IndexedImage* source = layers.source;
  if (area.Empty() || !source || !source->HasPixels() || !screen.HasPixels()) return;
  const int width = source->ImageWidth(), height = source->ImageHeight();
  const Rect inScreen = area.Translated(-origin.x, -origin.y).Intersect(ImageRect(screen));
  if (inScreen.Empty()) return;
  const Rect a = inScreen.Translated(origin.x, origin.y);

  // Which picture pixel each device column and row shows.
  std::vector<int> columns(static_cast<std::size_t>(a.width)), rows(static_cast<std::size_t>(a.height));
  for (int i = 0; i < a.width; ++i) columns[i] = std::clamp(scale.DeviceToPicture(a.x + i), 0, width - 1);
  for (int j = 0; j < a.height; ++j) rows[j] = std::clamp(scale.DeviceToPicture(a.y + j), 0, height - 1);
  // A run of source pixels in a row: 1:1 over columns the source holds.
  const bool contiguous = scale.GetZoom() == Zoom{} && scale.RatioQuarters() == 4 && columns[0] + a.width <= width;

  for (int j = 0; j < a.height; ++j) {
    std::uint8_t* out = screen.Row(inScreen.y + j) + inScreen.x;
    if (layers.shifted) {
      const int py = rows[j] - layers.dy;
      if (py < 0 || py >= height) {
        std::memset(out, layers.background, static_cast<std::size_t>(a.width));
        continue;
      }
      const std::uint8_t* in = source->Row(py);
      for (int i = 0; i < a.width; ++i) {
        const int px = columns[i] - layers.dx;
        out[i] = px >= 0 && px < width ? in[px] : layers.background;
      }
      continue;
    }
    if (j > 0 && rows[j] == rows[j - 1]) {
      // A magnified row repeats the one above it (grid and outline come later).
      std::memcpy(out, screen.Row(inScreen.y + j - 1) + inScreen.x, static_cast<std::size_t>(a.width));
      continue;
    }
    const std::uint8_t* in = source->Row(rows[j]);
    if (contiguous) {
      std::memcpy(out, in + columns[0], static_cast<std::size_t>(a.width));
    } else {
      for (int i = 0; i < a.width; ++i) out[i] = in[columns[i]];
    }
  }
  if (layers.shifted) return;

  if (layers.frame != 0) {
    const GridLines grid(layers.frame, layers.xOffset, layers.yOffset, width, height);
    const std::uint8_t colour = layers.lineColour;
    const auto over = static_cast<std::uint8_t>(255 - colour);
    // A vertical line is the device column holding its column's right edge;
    // a horizontal line the device row holding its row's top edge.
    std::vector<int> lineColumns;
    for (int i = 0; i < a.width; ++i) {
      const int d = a.x + i;
      // Columns whose right edge lies in (d, d + 1].
      if (grid.ColumnIn(scale.FloorPictureAt(d), scale.FloorPictureAt(d + 1) - 1)) lineColumns.push_back(i);
    }
    for (int j = 0; j < a.height; ++j) {
      const int d = a.y + j;
      // Rows r whose top edge lies in [d, d + 1).
      const bool horizontal = grid.RowIn(scale.CeilPictureAt(d), scale.CeilPictureAt(d + 1) - 1);
      std::uint8_t* out = screen.Row(inScreen.y + j) + inScreen.x;
      if (horizontal) {
        for (int i = 0; i < a.width; ++i) out[i] = out[i] == colour ? over : colour;
      } else {
        for (int i : lineColumns) out[i] = colour;
      }
    }
  }

  if (!layers.outline.Empty()) {
    const Rect& o = layers.outline;
    const int top = std::clamp(o.y, 0, height - 1), bottom = std::clamp(o.Bottom() - 1, 0, height - 1);
    const int left = std::clamp(o.x, 0, width - 1), right = std::clamp(o.Right() - 1, 0, width - 1);
    const Rect edges = scale.PictureToDeviceRect(Rect::FromEdges(left, top, right + 1, bottom + 1));
    const int l = edges.x, r = edges.Right() - 1, t = edges.y, b = edges.Bottom() - 1;
    const Rect box = a.Intersect(edges);
    if (!box.Empty()) {
      for (int y : {t, b}) {
        if (y < box.y || y >= box.Bottom()) continue;
        std::uint8_t* out = screen.Row(y - origin.y);
        std::memset(out + box.x - origin.x, layers.lineColour, static_cast<std::size_t>(box.width));
      }
      for (int y = std::max(t + 1, box.y); y < std::min(b, box.Bottom()); ++y) {
        std::uint8_t* out = screen.Row(y - origin.y);
        for (int x : {l, r})
          if (x >= box.x && x < box.Right()) out[x - origin.x] = layers.lineColour;
      }
    }
  }
}

}  // namespace zudizar

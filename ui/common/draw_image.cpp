#include "ui/common/draw_image.h"

#include <QPainter>
#include <algorithm>
#include <cstring>

namespace zudizar {

QImage ToQImage(const IndexedImage& image, int sx, int sy, int w, int h) {
  QImage out(w, h, QImage::Format_Indexed8);
  QList<QRgb> table(256);
  for (int i = 0; i < 256; ++i) {
    const ColourTableEntry& e = image.colourTable[i];
    table[i] = qRgb(e.red, e.green, e.blue);
  }
  out.setColorTable(table);
  for (int y = 0; y < h; ++y) std::memcpy(out.scanLine(y), image.Row(sy + y) + sx, static_cast<std::size_t>(w));
  return out;
}

namespace {

void Blit(const IndexedImage& image, QPainter& context, int dx, int dy, int sx, int sy, int w, int h) {
  if (w <= 0 || h <= 0) return;
  const QImage part = ToQImage(image, sx, sy, w, h);
  context.save();
  context.setRenderHint(QPainter::SmoothPixmapTransform, false);
  context.drawImage(QPoint(dx, dy), part);
  context.restore();
}

}  // namespace

void DrawImage(const IndexedImage& image, QPainter& context, int areaWidth, int areaHeight) {
  if (!image.HasPixels()) return;
  const int width = image.ImageWidth();
  const int height = image.ImageHeight();
  const int w = std::min(width, areaWidth);
  const int h = std::min(height, areaHeight);
  const int top = height < areaHeight ? areaHeight - height : 0;
  Blit(image, context, 0, top, 0, 0, w, h);
}

void DrawImageRegion(const IndexedImage& image, QPainter& context, int dx, int dy, int sx, int sy, int w, int h,
                     int areaWidth, int areaHeight) {
  if (!image.HasPixels()) return;
  w = std::max(w, 0);
  h = std::max(h, 0);
  if (dx + w > areaWidth) w = areaWidth - dx;
  if (dy + h > areaHeight) h = areaHeight - dy;
  h = std::min(h, image.ImageHeight() - sy);
  // Never read outside the image: cut what lies left of, above or right of it.
  if (sx < 0) {
    w += sx;
    dx -= sx;
    sx = 0;
  }
  if (sy < 0) {
    h += sy;
    dy -= sy;
    sy = 0;
  }
  w = std::min(w, image.ImageWidth() - sx);
  Blit(image, context, dx, dy, sx, sy, w, h);
}

}  // namespace zudizar

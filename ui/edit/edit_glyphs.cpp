#include "ui/edit/edit_glyphs.h"

#include <QFont>
#include <QIconEngine>
#include <QPainter>
#include <QPainterPath>
#include <QPixmap>

namespace zudizar {

namespace {

// Every glyph is drawn on a 32 × 32 design grid and scaled to the request.
class GlyphEngine : public QIconEngine {
 public:
  explicit GlyphEngine(EditGlyph glyph) : glyph_(glyph) {}
  QIconEngine* clone() const override { return new GlyphEngine(glyph_); }

  QPixmap pixmap(const QSize& size, QIcon::Mode mode, QIcon::State state) override {
    return scaledPixmap(size, mode, state, 1.0);
  }
  QPixmap scaledPixmap(const QSize& size, QIcon::Mode mode, QIcon::State state, qreal scale) override {
    QPixmap pixmap(size * scale);
    pixmap.setDevicePixelRatio(scale);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    paint(&painter, QRect(QPoint(0, 0), size), mode, state);
    return pixmap;
  }

  void paint(QPainter* p, const QRect& rect, QIcon::Mode mode, QIcon::State) override {
    if (glyph_ == EditGlyph::None) return;
    p->save();
    p->setRenderHint(QPainter::Antialiasing, true);
    p->translate(rect.topLeft());
    p->scale(rect.width() / 32.0, rect.height() / 32.0);
    const QColor ink = mode == QIcon::Disabled ? QColor(150, 150, 150) : QColor(30, 30, 30);
    QPen pen(ink, 2.2, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin);
    p->setPen(pen);
    p->setBrush(Qt::NoBrush);
    switch (glyph_) {
      case EditGlyph::Free: {
        QPainterPath path(QPointF(5, 24));
        path.cubicTo(9, 8, 14, 8, 16, 17);
        path.cubicTo(18, 26, 24, 25, 27, 8);
        p->drawPath(path);
        break;
      }
      case EditGlyph::Line:
        p->drawLine(QPointF(6, 26), QPointF(26, 6));
        p->setBrush(ink);
        p->drawEllipse(QPointF(6, 26), 2, 2);
        p->drawEllipse(QPointF(26, 6), 2, 2);
        break;
      case EditGlyph::Rectangle:
        p->setBrush(QColor(70, 110, 200));
        p->drawRect(QRectF(6, 9, 20, 14));
        break;
      case EditGlyph::Fill: {
        // A tipped bucket with paint running out.
        QPainterPath bucket;
        bucket.moveTo(8, 12);
        bucket.lineTo(18, 6);
        bucket.lineTo(25, 18);
        bucket.lineTo(15, 24);
        bucket.closeSubpath();
        p->setBrush(QColor(235, 235, 235));
        p->drawPath(bucket);
        p->setPen(Qt::NoPen);
        p->setBrush(QColor(200, 60, 60));
        QPainterPath drop;
        drop.moveTo(8, 13);
        drop.cubicTo(3, 18, 4, 26, 7, 27);
        drop.cubicTo(10, 26, 10, 19, 8, 13);
        p->drawPath(drop);
        break;
      }
      case EditGlyph::Eraser: {
        p->translate(16, 16);
        p->rotate(-35);
        p->setBrush(QColor(240, 150, 170));
        p->drawRoundedRect(QRectF(-11, -6, 22, 12), 2, 2);
        p->setBrush(QColor(250, 250, 250));
        p->drawRoundedRect(QRectF(-11, -6, 8, 12), 2, 2);
        break;
      }
      case EditGlyph::Move: {
        p->drawLine(QPointF(16, 4), QPointF(16, 28));
        p->drawLine(QPointF(4, 16), QPointF(28, 16));
        p->setBrush(ink);
        const QPointF heads[4][3] = {{{16, 3}, {12, 8}, {20, 8}},
                                     {{16, 29}, {12, 24}, {20, 24}},
                                     {{3, 16}, {8, 12}, {8, 20}},
                                     {{29, 16}, {24, 12}, {24, 20}}};
        for (const auto& head : heads) p->drawPolygon(head, 3);
        break;
      }
      case EditGlyph::Text:
      case EditGlyph::Font: {
        QFont font(QStringLiteral("IPAGothic"));
        font.setPixelSize(glyph_ == EditGlyph::Text ? 24 : 15);
        font.setBold(glyph_ == EditGlyph::Text);
        p->setFont(font);
        if (glyph_ == EditGlyph::Text) {
          p->drawText(QRectF(0, 0, 32, 32), Qt::AlignCenter, QStringLiteral("字"));
        } else {
          p->drawText(QRectF(0, 0, 32, 20), Qt::AlignCenter, QStringLiteral("Aa"));
          p->drawLine(QPointF(6, 25), QPointF(26, 25));
          p->drawLine(QPointF(22, 21), QPointF(26, 25));
          p->drawLine(QPointF(22, 29), QPointF(26, 25));
        }
        break;
      }
      case EditGlyph::Spray: {
        p->setBrush(QColor(220, 220, 220));
        p->drawRoundedRect(QRectF(15, 12, 11, 17), 2, 2);
        p->drawRect(QRectF(18, 8, 5, 4));
        p->setPen(Qt::NoPen);
        p->setBrush(ink);
        const QPointF dots[] = {{11, 6}, {7, 9}, {12, 11}, {5, 14}, {9, 15}, {4, 5}, {8, 3}, {13, 3}};
        for (const QPointF& d : dots) p->drawEllipse(d, 1.2, 1.2);
        break;
      }
      case EditGlyph::Undo: {
        QPainterPath path(QPointF(9, 13));
        path.cubicTo(14, 6, 26, 8, 26, 17);
        path.cubicTo(26, 24, 19, 27, 12, 25);
        p->drawPath(path);
        p->setBrush(ink);
        const QPointF head[3] = {{5, 14}, {12, 7}, {13, 16}};
        p->drawPolygon(head, 3);
        break;
      }
      case EditGlyph::Colours: {
        const QColor colours[4] = {QColor(210, 50, 50), QColor(50, 160, 60), QColor(50, 90, 210), QColor(240, 200, 40)};
        p->setPen(QPen(ink, 1.2));
        for (int k = 0; k < 4; ++k) {
          p->setBrush(colours[k]);
          p->drawRect(QRectF(5 + (k % 2) * 12, 5 + (k / 2) * 12, 10, 10));
        }
        break;
      }
      case EditGlyph::None: break;
    }
    p->restore();
  }

 private:
  EditGlyph glyph_;
};

}  // namespace

QIcon EditGlyphIcon(EditGlyph glyph) { return QIcon(new GlyphEngine(glyph)); }

}  // namespace zudizar

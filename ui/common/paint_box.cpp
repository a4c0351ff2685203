#include "ui/common/paint_box.h"

#include <QMouseEvent>
#include <QPaintEvent>
#include <QPainter>

namespace zudizar {

PaintBox::PaintBox(QWidget* parent) : QWidget(parent) {
  setAttribute(Qt::WA_OpaquePaintEvent);
  setMouseTracking(true);
}

void PaintBox::SetAreaSize(int width, int height) { setFixedSize(width, height); }

void PaintBox::paintEvent(QPaintEvent* event) {
  if (!onPaint) return;
  QPainter painter(this);
  for (const QRect& r : event->region()) onPaint(painter, r.intersected(rect()));
}

void PaintBox::mousePressEvent(QMouseEvent* event) {
  const QPoint p = event->position().toPoint();
  if (onMouseDown) onMouseDown(event->button(), p.x(), p.y());
}

void PaintBox::mouseMoveEvent(QMouseEvent* event) {
  const QPoint p = event->position().toPoint();
  Qt::MouseButton button = Qt::NoButton;
  if (event->buttons() & Qt::LeftButton)
    button = Qt::LeftButton;
  else if (event->buttons() & Qt::RightButton)
    button = Qt::RightButton;
  if (onMouseMove) onMouseMove(button, p.x(), p.y());
}

void PaintBox::mouseReleaseEvent(QMouseEvent* event) {
  const QPoint p = event->position().toPoint();
  if (onMouseUp) onMouseUp(event->button(), p.x(), p.y());
}

void PaintBox::mouseDoubleClickEvent(QMouseEvent* event) {
  // Only the left button double-clicks; a quick second right click is a press
  // like any other (turning a cell twice, drawing with the right colour).
  if (onDoubleClick && event->button() == Qt::LeftButton)
    onDoubleClick();
  else
    QWidget::mouseDoubleClickEvent(event);
}

}  // namespace zudizar

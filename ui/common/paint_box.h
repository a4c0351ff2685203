// A paint area of a fixed size that forwards paint and mouse events to its
// owning window's handlers, in paint-area pixels.
#pragma once

#include <QWidget>
#include <functional>

namespace zudizar {

class PaintBox : public QWidget {
  Q_OBJECT
 public:
  using MouseHandler = std::function<void(Qt::MouseButton button, int x, int y)>;

  explicit PaintBox(QWidget* parent = nullptr);

  // Called once per rectangle of the exposed region, with that rectangle.
  std::function<void(QPainter&, const QRect& exposed)> onPaint;
  MouseHandler onMouseDown, onMouseMove, onMouseUp;
  std::function<void()> onDoubleClick;  // left button; other double clicks arrive as presses

  // Sets the paint area's size (the widget's fixed size).
  void SetAreaSize(int width, int height);
  int AreaWidth() const { return width(); }
  int AreaHeight() const { return height(); }

 protected:
  void paintEvent(QPaintEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;
  void mouseDoubleClickEvent(QMouseEvent* event) override;
};

}  // namespace zudizar

// The one line of text under a canvas. It changes with every mouse move, so a
// new text only repaints the line: unlike a label, it never asks the window
// to lay itself out again, and a long text is cut, never widening the window.
#pragma once

#include <QString>
#include <QWidget>

namespace zudizar {

class StatusLine : public QWidget {
 public:
  explicit StatusLine(QWidget* parent = nullptr);

  const QString& text() const { return text_; }
  void setText(const QString& text);

  QSize sizeHint() const override;
  QSize minimumSizeHint() const override;

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  QString text_;
};

}  // namespace zudizar

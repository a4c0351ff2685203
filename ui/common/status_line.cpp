#include "ui/common/status_line.h"

#include <QPainter>

namespace zudizar {

namespace {

constexpr int kSideMargin = 4;
constexpr int kTopMargin = 1;

}  // namespace

StatusLine::StatusLine(QWidget* parent) : QWidget(parent) {
  setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Fixed);
}

void StatusLine::setText(const QString& text) {
  if (text == text_) return;
  text_ = text;
  update();
}

QSize StatusLine::sizeHint() const { return {0, fontMetrics().height() + 2 * kTopMargin}; }

QSize StatusLine::minimumSizeHint() const { return sizeHint(); }

void StatusLine::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  painter.setPen(palette().color(foregroundRole()));
  painter.drawText(rect().adjusted(kSideMargin, kTopMargin, -kSideMargin, -kTopMargin),
                   Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine, text_);
}

}  // namespace zudizar
